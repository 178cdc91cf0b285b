// The two demos as a user meets them: s and e take over the window, Escape
// brings the scene back and the program goes on.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <cmath>

#include "harness.h"
#include "reference.h"

using namespace e2e;

namespace {

// The spiral frame on the screen: the head's path index, found by drawing the
// candidates whose arrowhead lies on black pixels; -1 when none matches.
int spiralhead(const picture& pic, int width) {
  int n = referencespiralpoints();
  for (int k = 0; k < n; k++) {
    int x, y, heading;
    referencespiralpoint(k, x, y, heading);
    // Halfway from the head point to the arrow's tip, 9 pixels ahead.
    double a = heading * M_PI / 180.0 + M_PI / 2.0;
    int cx = x + (int)(4.5 * sin(a)), cy = y + (int)(4.5 * cos(a));
    if (countcolour(pic, width, cx - 1, cy - 1, cx + 2, cy + 2, 0) < 5) continue;
    if (referencespiralframe(k) == pic) return k;
  }
  return -1;
}

// Centre of the black pixels (the pupil) within a square of the picture.
bool pupil(const picture& pic, int width, int x0, int y0, int side, double& px, double& py) {
  double sx = 0, sy = 0;
  int n = 0;
  for (int y = y0; y < y0 + side; y++)
    for (int x = x0; x < x0 + side; x++)
      if (pic[(size_t)y * width + x] == 0) {
        sx += x;
        sy += y;
        n++;
      }
  if (n < 10) return false;
  px = sx / n;
  py = sy / n;
  return true;
}

}  // namespace

TEST(Demos, SpiralAndEyesReturnToTheScene) {
  // Blocks only: no ball takes a nextrand() value, so the spiral's colours are
  // the next ones after the fractal, in the program and here.
  std::string home = freshhome();
  writefile(home + "/.spumexpreset0", "block:81920,61440,0\nblock:122880,96000,200\n");
  const int mx = 600, my = 300;
  referencestart(home);
  picture scene = referenceframe(mx, my);

  xserver& x = sharedserver();
  program p;
  ASSERT_TRUE(launch(p, home, {}, mx, my)) << p.err;
  picture got;
  EXPECT_TRUE(waitequal(x, p, scene, got)) << "start: " << differences(got, scene);

  // s: the spiral over the background, its head moving outward frame by frame.
  referencespiral();
  key(x, XK_s);
  int first = -1;
  EXPECT_TRUE(waitpicture(x, p, [&](const picture& pic) {
    return (first = spiralhead(pic, p.width)) >= 0;
  }, got)) << "no spiral frame";
  sleepfor(200);
  int later = -1;
  EXPECT_TRUE(waitpicture(x, p, [&](const picture& pic) {
    return (later = spiralhead(pic, p.width)) >= 0;
  }, got)) << "no later spiral frame";
  EXPECT_GT(later, first) << "the spiral's head does not move on";
  referencespiralend();

  // Escape ends only the demo.
  key(x, XK_Escape);
  EXPECT_TRUE(waitequal(x, p, scene, got)) << "after the spiral: " << differences(got, scene);
  sleepfor(200);
  EXPECT_TRUE(running(p)) << "Escape in the spiral ended the program";

  // e: the eyes, looking at the pointer.
  movelogical(x, p, 200, 120);
  key(x, XK_e);
  picture upleft = referenceeyes(200, 120);
  EXPECT_TRUE(waitequal(x, p, upleft, got))
      << "eyes: " << differences(got, upleft) << " pixels differ, "
      << firstdifference(got, upleft, p.width);
  picture seen1 = got;
  movelogical(x, p, 440, 360);
  picture downright = referenceeyes(440, 360);
  EXPECT_TRUE(waitequal(x, p, downright, got))
      << "eyes after a move: " << differences(got, downright) << " pixels differ";
  picture seen2 = got;

  // The middle eye, at (320, 240) with radius 20: its pupil sits up and left
  // of the centre while the pointer is up and left, down and right after.
  double ax, ay, bx, by;
  ASSERT_TRUE(pupil(seen1, p.width, 300, 220, 41, ax, ay));
  ASSERT_TRUE(pupil(seen2, p.width, 300, 220, 41, bx, by));
  EXPECT_LT(ax, 318);
  EXPECT_LT(ay, 238);
  EXPECT_GT(bx, 322);
  EXPECT_GT(by, 242);

  key(x, XK_Escape);
  picture back = referenceframe(440, 360);
  EXPECT_TRUE(waitequal(x, p, back, got)) << "after the eyes: " << differences(got, back);
  sleepfor(200);
  EXPECT_TRUE(running(p)) << "Escape in the eyes ended the program";
  finish(p);
}
