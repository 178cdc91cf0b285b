// The program as a user starts it: banner, window size, background, Escape, exit status.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include "harness.h"
#include "reference.h"

#include <SDL.h>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

using namespace e2e;

namespace {

std::string lastline(const std::string& text) {
  std::string t = text;
  while (!t.empty() && t.back() == '\n') t.pop_back();
  size_t nl = t.rfind('\n');
  return nl == std::string::npos ? t : t.substr(nl + 1);
}

const char* const fixedlines[] = {
    "Use: spumex [screenwidth]",
    "screenwidth is optional argument 100-2048 (default 640)",
    "c          Change background colors",
    "e          Eye demo",
    "f          New fractal background",
    "h          Hide/unhide the non-ball objects",
    "m          Turn on/off mixing",
    "p          Pause movement",
    "r          Rotate hoses",
    "s          Spiral pattern (escape to exit)",
    "x          Delete everything",
    "1-9        Load preset",
    "shift 1-9  Store preset",
    "Drag the fountains over the colors to change their color",
};

void expectbanner(const std::string& out) {
  std::istringstream in(out);
  std::string line;
  std::vector<std::string> lines;
  while (std::getline(in, line)) lines.push_back(line);
  ASSERT_GE(lines.size(), 17u);
  EXPECT_NE(lines[0].find("Spumex"), std::string::npos);
  for (size_t i = 0; i < 14; i++) EXPECT_EQ(lines[3 + i], fixedlines[i]) << "banner line " << 4 + i;
}

}  // namespace

TEST(Startup, FailsWithoutAVideoDriver) {
  program p;
  ASSERT_TRUE(startprogram(p, nullptr, {}, {"SDL_VIDEODRIVER=nosuchdriver", "-DISPLAY", "HOME=" + freshhome()}));
  ASSERT_TRUE(waitexit(p, 10000));
  EXPECT_EQ(p.status, 1);
  expectbanner(p.out);
  EXPECT_EQ(p.err.rfind("Couldn't initialize SDL: ", 0), 0u) << p.err;
  killprogram(p);
}

// Where there is no display, SDL 2 (under sdl12-compat) would fall back to a
// driver that draws nowhere; the program must say it cannot start instead of
// running unseen. SDL 1.2.15 falls back to a text-mode display, which is real.
TEST(Startup, FailsWithNoDisplay) {
  const SDL_version* v = SDL_Linked_Version();
  if (v->major == 1 && v->minor == 2 && v->patch < 50)
    GTEST_SKIP() << "SDL 1.2." << (int)v->patch << " shows the scene in the terminal when there is no display";
  program p;
  long start = clockms();
  ASSERT_TRUE(startprogram(p, nullptr, {}, {"-DISPLAY", "-WAYLAND_DISPLAY", "HOME=" + freshhome()}));
  ASSERT_TRUE(waitexit(p, 10000)) << "still running with no display";
  std::cout << "ended " << clockms() - start << " ms after start\n";
  EXPECT_EQ(p.status, 1);
  expectbanner(p.out);
  // SDL 2 may say something of its own first.
  EXPECT_NE(("\n" + p.err).find("\nCouldn't initialize SDL: "), std::string::npos) << p.err;
  killprogram(p);
}

struct sizecase {
  std::vector<std::string> args;
  int width, height;
};

TEST(Startup, WindowSizeFollowsTheWidthArgument) {
  xserver& x = sharedserver();
  ASSERT_NE(x.display, nullptr);
  const sizecase cases[] = {
      {{}, 640, 480},        {{"100"}, 100, 75},   {{"2048"}, 2048, 1536},
      {{"99"}, 640, 480},    {{"800", "300"}, 800, 600},
  };
  for (const sizecase& c : cases) {
    std::string label = c.args.empty() ? "(none)" : c.args[0];
    program p;
    ASSERT_TRUE(waitnowindow(x));
    ASSERT_TRUE(startprogram(p, &x, c.args, {"HOME=" + freshhome()}));
    ASSERT_TRUE(waitwindow(p, x)) << label << ": " << p.err;
    EXPECT_EQ(p.width, c.width) << label;
    EXPECT_EQ(p.height, c.height) << label;
    moveto(x, p, p.width / 2, p.height / 2);
    key(x, XK_Escape);
    ASSERT_TRUE(waitexit(p, 10000)) << label;
    EXPECT_EQ(p.status, 0) << label;
    expectbanner(p.out);
    std::string last = lastline(p.out);
    EXPECT_EQ(last.rfind("fps = ", 0), 0u) << label << ": " << last;
    EXPECT_GT(atoi(last.c_str() + 6), 0) << label;
    killprogram(p);
  }
}

// A scene of blocks only: no balls, so every frame is the same picture, and it
// must be the one the drawing code makes of the same start-up in memory.
TEST(Startup, BackgroundBehindBlocksIsTheComputedOne) {
  std::string home = freshhome();
  writefile(home + "/.spumexpreset0", "block:81920,61440,0\nblock:122880,96000,200\n");
  referencestart(home);
  picture want = referenceframe(600, 300);
  picture bg = referencebackground();

  // The reference itself: a varied fractal, mostly uncovered.
  std::vector<int> seen(65536, 0);
  int distinct = 0;
  for (unsigned short v : bg) distinct += seen[v]++ == 0;
  EXPECT_GT(distinct, 20);
  EXPECT_LT(differences(want, bg), (int)want.size() / 10);

  program p;
  ASSERT_TRUE(launch(p, home, {}, 600, 300)) << p.err;
  picture got;
  EXPECT_TRUE(waitequal(sharedserver(), p, want, got))
      << differences(got, want) << " pixels differ, " << firstdifference(got, want, p.width);
  finish(p);
}
