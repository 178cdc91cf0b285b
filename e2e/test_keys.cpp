// Key commands as a user sees them: hide, colour schemes, new fractal, rotation, mixing.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include "app/app.h"
#include "background/background.h"
#include "harness.h"
#include "reference.h"

using namespace e2e;

namespace {

std::string blocksonly() {
  std::string home = freshhome();
  writefile(home + "/.spumexpreset0", "block:81920,61440,0\nblock:122880,96000,200\n");
  return home;
}

#define EXPECT_PICTURE(want, what)                                                      \
  do {                                                                                  \
    picture got_;                                                                       \
    EXPECT_TRUE(waitequal(x, p, want, got_))                                            \
        << what << ": " << differences(got_, want) << " pixels differ, "                \
        << firstdifference(got_, want, p.width);                                        \
  } while (0)

}  // namespace

// A scene of blocks only has no balls, so each key's effect is one exact picture.
TEST(Keys, HideSchemesFractalAndRotation) {
  std::string home = blocksonly();
  const int mx = 600, my = 300;
  referencestart(home);
  picture first = referenceframe(mx, my);
  spumex::hidden = 1;
  picture bare = referenceframe(mx, my);
  spumex::hidden = 0;
  // Hiding leaves the background and the cursor ball.
  EXPECT_LT(differences(bare, referencebackground()), 50);

  xserver& x = sharedserver();
  program p;
  ASSERT_TRUE(launch(p, home, {}, mx, my)) << p.err;
  EXPECT_PICTURE(first, "start");

  key(x, XK_h);
  EXPECT_PICTURE(bare, "h");
  key(x, XK_h);
  EXPECT_PICTURE(first, "h again");

  // c steps through the eight schemes; the eighth press is back at the start.
  picture previous = first;
  for (int k = 1; k <= 8; k++) {
    spumex::colorscheme++;
    spumex::makebackground();
    picture want = referenceframe(mx, my);
    EXPECT_GT(differences(want, previous), 1000) << "scheme " << k;
    key(x, XK_c);
    EXPECT_PICTURE(want, "c pressed " << k << " times");
    previous = want;
  }
  EXPECT_EQ(previous, first);

  // f grows the next fractal of the same nextrand() sequence.
  spumex::fractal();
  picture next = referenceframe(mx, my);
  EXPECT_GT(differences(next, first), (int)first.size() / 8);
  key(x, XK_f);
  EXPECT_PICTURE(next, "f");

  // r turns the template hose at the top left on and on; r again puts it back.
  picture got;
  auto hoseturned = [&](const picture& pic) {
    return differencesin(pic, next, p.width, 0, 0, 80, 70) > 50;
  };
  key(x, XK_r);
  EXPECT_TRUE(waitpicture(x, p, hoseturned, got)) << "the template hose does not turn";
  sleepfor(50);
  picture later = capture565(x, p);
  EXPECT_GT(differencesin(later, got, p.width, 0, 0, 80, 70), 0) << "the hose stopped turning";
  EXPECT_EQ(differencesin(later, next, p.width, 80, 0, p.width, p.height), 0)
      << "rotation moved something besides the template hose";
  key(x, XK_r);
  EXPECT_PICTURE(next, "r again");
  finish(p);
}

// A red and a blue hose spray together: with mixing on, balls sharing a cell
// turn magenta, a colour neither hose has; without it no such pixel exists.
TEST(Keys, MixingBlendsNeighbouringBalls) {
  std::string home = freshhome();
  writefile(home + "/.spumexpreset0",
            "hose:81920,61440,384,255,0,0\nhose:81920,61440,384,0,0,255\n");
  xserver& x = sharedserver();
  program p;
  ASSERT_TRUE(launch(p, home, {}, 100, 200)) << p.err;
  key(x, XK_h);  // hoses and swatches out of the way: only balls and cursor

  auto magenta = [](const picture& pic) {
    int n = 0;
    for (unsigned short v : pic) n += (v >> 11) > 8 && (v & 31) > 8 && ((v >> 5) & 63) == 0;
    return n;
  };
  auto redandblue = [](const picture& pic) {
    int red = 0, blue = 0;
    for (unsigned short v : pic) {
      red += (v >> 11) > 8 && (v & 0x7FF) == 0;
      blue += (v & 31) > 8 && (v >> 5) == 0;
    }
    return red > 200 && blue > 200;
  };
  picture got;
  EXPECT_TRUE(waitpicture(x, p, redandblue, got)) << "no red and blue balls";
  EXPECT_EQ(magenta(got), 0);
  sleepfor(300);
  EXPECT_EQ(magenta(capture565(x, p)), 0);

  key(x, XK_m);
  EXPECT_TRUE(waitpicture(x, p, [&](const picture& pic) { return magenta(pic) > 500; }, got))
      << "mixing made no magenta balls";
  key(x, XK_m);
  EXPECT_TRUE(waitpicture(x, p, [&](const picture& pic) { return magenta(pic) == 0; }, got))
      << "magenta stays after mixing is off";
  finish(p);
}
