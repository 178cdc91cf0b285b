// Editing with the mouse on a scaled screen: new block, turning, recolouring a
// hose on a swatch, storing the scene, clearing it.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include "harness.h"
#include "reference.h"
#include "sim/sim.h"

using namespace e2e;

namespace {

const unsigned short grey = to565(0x606060);  // blocks are (96, 96, 96)
const unsigned short red = to565(0xFF0000);   // swatch 0

}  // namespace

TEST(Editing, DragTurnRecolourStoreAndClear) {
  std::string home = freshhome();
  referencestart(home, {"800"});
  spumex::clearall();
  picture empty = referenceframe(25, 460);

  xserver& x = sharedserver();
  program p;
  ASSERT_TRUE(launch(p, home, {"800"}, 600, 400)) << p.err;
  ASSERT_EQ(p.width, 800);
  picture got;

  // The template block at logical (160, 30) dragged to (480, 160): a level
  // grey bar 120 long and 24 wide around that point.
  drag(x, p, 160, 30, 480, 160);
  EXPECT_TRUE(waitpicture(x, p, [&](const picture& pic) {
    return around(pic, p, 440, 155, 3, grey) == 49 && around(pic, p, 530, 168, 3, grey) == 49 &&
           around(pic, p, 480, 185, 3, grey) == 0;
  }, got)) << "no level bar at (480, 160)";

  // Its handle, 36 units right of the centre, pulled to 10 right and 10 below
  // the centre: the bar now runs down to the right at 45 degrees.
  drag(x, p, 516, 160, 490, 170);
  EXPECT_TRUE(waitpicture(x, p, [&](const picture& pic) {
    return around(pic, p, 515, 195, 3, grey) == 49 && around(pic, p, 445, 125, 3, grey) == 49 &&
           around(pic, p, 530, 160, 3, grey) == 0;
  }, got)) << "the bar did not turn";

  // The initial white hose from the centre onto swatch 0 at (25, 450) turns red;
  // then its nozzle (up and right of the base) pulled 10 below the base: the
  // hose points straight up, its red tip above the swatch row.
  drag(x, p, 320, 240, 25, 450);
  drag(x, p, 40, 434, 25, 460);
  EXPECT_TRUE(waitpicture(x, p, [&](const picture& pic) {
    return around(pic, p, 25, 428, 3, red) >= 20;
  }, got)) << "no red hose pointing up at (25, 450)";

  // shift+2 stores slot 1: positions in 1/256 units, the angles the mouse gave.
  key(x, XK_2, true);
  std::string text;
  EXPECT_TRUE(waitfile(home + "/.spumexpreset1",
                       "hose:6400,115200,-256,255,0,0\nblock:122880,40960,127\n", text))
      << text;

  // x: the hose and the block go, the last balls fall out, the scene is empty;
  // stored now, slot 2 is an empty file.
  key(x, XK_x);
  EXPECT_TRUE(waitequal(x, p, empty, got, 8000))
      << differences(got, empty) << " pixels differ, " << firstdifference(got, empty, p.width);
  key(x, XK_3, true);
  EXPECT_TRUE(waitfile(home + "/.spumexpreset2", "", text)) << text;
  finish(p);
}
