// Presets across runs: a stored scene comes back at the next start, a slot
// written by hand loads its good lines, a digit loads a slot.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include "harness.h"
#include "presets/presets.h"
#include "reference.h"

using namespace e2e;

namespace {

const unsigned short grey = to565(0x606060);  // blocks are (96, 96, 96)

}  // namespace

TEST(Presets, StoredSceneComesBackAtTheNextStart) {
  std::string home = freshhome();
  xserver& x = sharedserver();
  program p;
  ASSERT_TRUE(launch(p, home)) << p.err;

  // Two new blocks, the second turned 45 degrees up to the right.
  key(x, XK_x);
  drag(x, p, 160, 30, 480, 160);
  drag(x, p, 160, 30, 200, 300);
  drag(x, p, 236, 300, 210, 290);
  key(x, XK_1, true);
  std::string text;
  EXPECT_TRUE(waitfile(home + "/.spumexpreset0", "block:51200,76800,-127\nblock:122880,40960,0\n",
                       text)) << text;

  // Once the last balls of the cleared hose are gone, the window shows what
  // loading that slot draws.
  referencestart(home);
  picture want = referenceframe(210, 290);
  picture got;
  EXPECT_TRUE(waitequal(x, p, want, got, 8000))
      << differences(got, want) << " pixels differ, " << firstdifference(got, want, p.width);
  finish(p);

  // The next start has the same scene, without the initial hose.
  program q;
  ASSERT_TRUE(launch(q, home, {}, 600, 300)) << q.err;
  want = referenceframe(600, 300);
  EXPECT_TRUE(waitequal(x, q, want, got))
      << differences(got, want) << " pixels differ, " << firstdifference(got, want, q.width);
  EXPECT_EQ(around(got, q, 450, 166, 3, grey), 49) << "no level block at (480, 160)";
  EXPECT_EQ(around(got, q, 221, 279, 2, grey), 25) << "no turned block at (200, 300)";
  EXPECT_EQ(around(got, q, 320, 240, 10, grey), 0) << "no blocks elsewhere";
  finish(q);
}

TEST(Presets, HandWrittenSlotLoadsItsGoodLines) {
  std::string home = freshhome();
  writefile(home + "/.spumexpreset0",
            "This file was written by hand.\n"
            "hose:40960,90000,300,0,255,0\n"
            "hose:1,2,3,4,5\n"
            "block:30000,100000,-200 and some words\n"
            "Hose:1,2,3,4,5,6\n"
            "block:x,1,2\n"
            "hose: 150000, 50000,  200, 255, 255, 0\r\n"
            "\n"
            "block:100000,60000,100\r\n"
            "garbage:1,2,3\n"
            "hose:20000,20000,0,300,\n"
            "-1,7\n");
  writefile(home + "/.spumexpreset2", "block:81920,61440,0\n");

  xserver& x = sharedserver();
  program p;
  ASSERT_TRUE(launch(p, home, {}, 600, 440)) << p.err;

  // Stored again, the scene is the good lines in canonical form, hoses first;
  // the hose whose blue stands on the next line is read whole, its red 300
  // kept as its low byte.
  key(x, XK_2, true);
  std::string text;
  EXPECT_TRUE(waitfile(home + "/.spumexpreset1",
                       "hose:40960,90000,300,0,255,0\n"
                       "hose:150000,50000,200,255,255,0\n"
                       "hose:20000,20000,0,44,255,7\n"
                       "block:30000,100000,-200\n"
                       "block:100000,60000,100\n",
                       text)) << text;
  picture got = capture565(x, p);
  EXPECT_EQ(around(got, p, 406, 245, 2, grey), 25) << "no block at (390, 234)";

  // 3 loads slot 2, one level block at the centre; the balls in flight fall out.
  referencestart(home);
  spumex::loadpreset(2);
  picture want = referenceframe(600, 440);
  key(x, XK_3);
  EXPECT_TRUE(waitequal(x, p, want, got, 8000))
      << differences(got, want) << " pixels differ, " << firstdifference(got, want, p.width);
  finish(p);
}
