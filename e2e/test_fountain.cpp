// The fountain as a user sees it: balls from the initial hose, pause and resume.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include "harness.h"
#include "reference.h"
#include "sim/sim.h"

using namespace e2e;

// The initial white hose at the centre sprays up and to the right; its balls
// come down near the right edge. Everything that differs from the scene
// without balls is a ball.
TEST(Fountain, BallsRiseFallAndFreezeWhilePaused) {
  std::string home = freshhome();
  referencestart(home);
  const int mx = 100, my = 200;         // the cursor, away from the balls' path
  picture still = referenceframe(mx, my);
  spumex::clearall();
  picture empty = referenceframe(mx, my);

  xserver& x = sharedserver();
  program p;
  ASSERT_TRUE(launch(p, home, {}, mx, my)) << p.err;
  const int w = p.width;
  picture got;

  // Balls above the hose's base (row 240), right of the nozzle.
  EXPECT_TRUE(waitpicture(x, p, [&](const picture& pic) {
    return differencesin(pic, still, w, 330, 0, 640, 225) > 100;
  }, got)) << "no balls above the hose";
  // Nothing changes left of the hose above the swatches: balls fly right only.
  EXPECT_EQ(differencesin(got, still, w, 0, 0, 290, 420), 0);
  // Balls reach the bottom rows at the right.
  EXPECT_TRUE(waitpicture(x, p, [&](const picture& pic) {
    return differencesin(pic, still, w, 450, 450, 640, 480) > 20;
  }, got)) << "no balls near the bottom";

  // Paused: two captures apart in time are the same picture, with balls in it.
  key(x, XK_p);
  sleepfor(150);
  picture a = capture565(x, p);
  sleepfor(400);
  picture b = capture565(x, p);
  EXPECT_EQ(differences(a, b), 0) << "the picture moved while paused";
  EXPECT_GT(differences(a, still), 100);

  // p again: the balls move on.
  key(x, XK_p);
  EXPECT_TRUE(waitpicture(x, p, [&](const picture& pic) { return differences(pic, b) > 0; }, got,
                          2000)) << "no motion after the pause";

  // With the hose gone, every ball falls out and the scene is empty.
  key(x, XK_x);
  EXPECT_TRUE(waitequal(x, p, empty, got, 8000))
      << differences(got, empty) << " pixels differ, " << firstdifference(got, empty, w);
  finish(p);
}
