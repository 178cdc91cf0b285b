// The smallest and the largest screen: start-up, a frame of the scene, both demos and the background.
#include <gtest/gtest.h>

#include "app/app.h"
#include "background/background.h"
#include "demos/demos.h"
#include "gfx/gfx.h"
#include "gfx/video.h"
#include "helpers/temphome.h"
#include "helpers/testscreen.h"
#include "presets/presets.h"
#include "sim/sim.h"
#include "support/support.h"

#include <SDL.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace spumex {
namespace {

constexpr int GUARD = 64;            // bytes behind every row of the drawing screen

// Slot 0 at start-up: an orange hose at the centre, objects on and past every edge.
const char* const slot0scene =
    "hose:81920,61440,384,255,128,0\n"
    "hose:0,0,0,0,0,255\n"
    "hose:163583,122623,640,0,0,255\n"
    "hose:2147483647,-2147483648,-2147483648,0,0,255\n"
    "block:153600,61440,0\n"
    "block:-7680,-2560,128\n"
    "block:81920,122623,2147483647\n"
    "block:-2147483648,2147483647,-1024\n";

struct size {
  int width, height;
};

// Test names in listings carry the size, not its bytes.
void PrintTo(const size& s, std::ostream* os) { *os << s.width << "x" << s.height; }

class Extremes : public testing::TestWithParam<size> {
 protected:
  temphome home;

  // The program's own start-up and scene at the width, slot 0 read from HOME.
  void SetUp() override {
    entertemphome(home, "spumexextremes");
    std::ofstream(home.dir + "/.spumexpreset0") << slot0scene;
    std::string arg = std::to_string(GetParam().width);
    char prog[] = "spumex";
    char* argv[] = {prog, arg.data(), nullptr};
    startscene(2, argv, true);
  }

  void TearDown() override { leavetemphome(home); }

  // A plain screen of the same size with guard bytes behind every row.
  void useguardedscreen() { usetestscreen(xsize, ysize, 16, 2 * xsize + GUARD); }

  // Nothing was written behind any row.
  void expectguards() {
    const std::vector<uint8_t>& b = testscreenbytes();
    for (int y = 0; y < ysize; y++)
      for (int i = 0; i < GUARD; i++)
        ASSERT_EQ(b[(size_t)y * stride + 2 * xsize + i], 0) << "row " << y << " guard byte " << i;
    for (size_t i = (size_t)ysize * stride; i < b.size(); i++) ASSERT_EQ(b[i], 0) << "past the screen";
  }

  // Pixels of the screen that hold the value v.
  std::vector<std::pair<int, int>> pixelsof(uint32_t v) {
    std::vector<std::pair<int, int>> found;
    for (int y = 0; y < ysize; y++)
      for (int x = 0; x < xsize; x++)
        if (testpixel(x, y) == v) found.push_back({x, y});
    return found;
  }
};

TEST_P(Extremes, StartUpOpensTheScreenAtTheSize) {
  const size s = GetParam();
  EXPECT_EQ(xsize, s.width);
  EXPECT_EQ(ysize, s.height);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(screen->w, s.width);
  EXPECT_EQ(screen->h, s.height);
  EXPECT_EQ(depth, 16);
  EXPECT_EQ(stride, (int)screen->pitch);
  EXPECT_GE(stride, 2 * s.width);
  EXPECT_EQ(rowoffsets[s.height - 1], (s.height - 1) * stride);
  EXPECT_NE(background, nullptr);
  for (uint16_t* sprite : ballsprites) ASSERT_NE(sprite, nullptr);
  ASSERT_NE(cursorsprite, nullptr);

  int nhoses = 0, nblocks = 0;
  for (hose* h = hoses; h; h = h->next) nhoses++;
  for (block* b = blocks; b; b = b->next) nblocks++;
  EXPECT_EQ(nhoses, 4) << "slot 0 replaced the initial hose";
  EXPECT_EQ(nblocks, 4);
}

// The frame loop's frame on the dummy driver's surface, objects hidden: the
// background everywhere but under the cursor ball in the top-left corner.
TEST_P(Extremes, HiddenFrameOnTheDriverSurfaceIsTheBackground) {
  ASSERT_FALSE(mustlock());
  hidden = 1;
  drawframe();
  ASSERT_NE(background, nullptr);
  size_t rowlen = 2 * (size_t)xsize;
  for (int y = ysize / 8; y < ysize; y++) {
    const uint8_t* row = (const uint8_t*)screen->pixels + (size_t)y * screen->pitch;
    ASSERT_EQ(memcmp(row, background + y * rowlen, rowlen), 0) << "row " << y;
  }
}

// Both demo loops on the driver surface: with Escape queued each draws one
// frame, then returns with its flag and the exit flag cleared.
TEST_P(Extremes, DemoLoopsDrawOneFrameOnTheDriverSurface) {
  for (int demo = 0; demo < 2; demo++) {
    SCOPED_TRACE(demo);
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.type = SDL_KEYDOWN;
    e.key.keysym.sym = SDLK_ESCAPE;
    ASSERT_EQ(SDL_PushEvent(&e), 0);
    int before = frames;
    if (demo == 0) {
      spiralmode = 1;
      spiraldemo();
    } else {
      eyemode = 1;
      eyedemo();
    }
    EXPECT_EQ(frames, before + 1);
    EXPECT_EQ(spiralmode, 0);
    EXPECT_EQ(eyemode, 0);
    EXPECT_EQ(exitflag, 0);
  }
}

// One frame of the scene: the orange hose lies around its base, the bars
// (found as what changes when they are taken away) around their centres, and
// nothing is written outside the screen.
TEST_P(Extremes, FrameOfTheScene) {
  useguardedscreen();
  uint8_t* saved = background;
  background = nullptr;  // black under the frame
  mousex = 639;
  mousey = 479;
  drawframe();
  expectguards();
  std::vector<uint8_t> full = testscreenbytes();

  double sx = xsize / 640.0, sy = ysize / 480.0;
  auto orange = pixelsof(rgb565(255, 128, 0));
  EXPECT_FALSE(orange.empty());
  double reach = 30.0 * sx + 2.0;
  for (auto [x, y] : orange) {
    double dx = x - 320.0 * sx, dy = y - 240.0 * sy;
    ASSERT_LE(std::sqrt(dx * dx + dy * dy), reach) << x << "," << y;
  }

  // The same frame without the bars, the template moved far away.
  block* live = blocks;
  block keep = newblock;
  blocks = nullptr;
  newblock.x = INT32_MIN;
  drawframe();
  blocks = live;
  newblock = keep;
  background = saved;
  expectguards();
  const std::vector<uint8_t>& bare = testscreenbytes();

  // Bars on the screen: the template at (160, 30), the scene's at (600, 240),
  // (-30, -10) and (320, 478); each within its half diagonal of 62 units.
  const double centres[][2] = {{160, 30}, {600, 240}, {-30, -10}, {320, 478}};
  size_t changed = 0;
  for (int y = 0; y < ysize; y++)
    for (int x = 0; x < xsize; x++) {
      size_t at = (size_t)y * stride + 2 * x;
      if (full[at] == bare[at] && full[at + 1] == bare[at + 1]) continue;
      changed++;
      bool near = false;
      for (auto& c : centres) {
        double dx = x / sx - c[0], dy = y / sy - c[1];
        near = near || std::sqrt(dx * dx + dy * dy) <= 62.0 + 2.0 / sx;
      }
      ASSERT_TRUE(near) << x << "," << y;
    }
  EXPECT_GT(changed, 0u);
}

// Balls flying and mixing all over the screen, then hidden objects.
TEST_P(Extremes, FramesWithBallsAndMixing) {
  useguardedscreen();
  for (int i = 0; i < 120; i++) simstep();
  ASSERT_NE(balls, nullptr);
  for (uint8_t mix : {0, 1}) {
    mixing = mix;
    drawframe();
    expectguards();
  }
  hidden = 1;
  mousex = 0;
  mousey = 0;
  drawframe();
  expectguards();
}

TEST_P(Extremes, SpiralFrames) {
  useguardedscreen();
  std::vector<int32_t> path(PATHBYTES / 4);
  std::vector<int32_t> colors(NTRAILCOLORS);
  makecolors(colors.data());
  int32_t count = makepath(path.data());
  ASSERT_GT(count, HEADLOOP);
  uint8_t* saved = background;
  background = nullptr;
  for (int32_t head : {0, 4, count / 2, count - 1}) {
    SCOPED_TRACE(head);
    spiralhead = head;
    lockscreen();
    copybackground();
    drawspiral(path.data(), count, colors.data());
    expectguards();
  }
  background = saved;
  spiralhead = 0;
  // The last frame shows the whole trail; some of it lies on even the smallest screen.
  size_t lit = 0;
  for (int y = 0; y < ysize; y++)
    for (int x = 0; x < xsize; x++) lit += testpixel(x, y) != 0;
  EXPECT_GT(lit, 0u);
}

// The eyes fill their grid, logical 180..460 by 100..380, and leave the rest alone.
TEST_P(Extremes, EyeFrameStaysInItsGrid) {
  useguardedscreen();
  uint8_t* saved = background;
  background = nullptr;
  mousex = 320;
  mousey = 240;
  copybackground();
  draweyes();
  background = saved;
  expectguards();
  double sx = xsize / 640.0, sy = ysize / 480.0;
  size_t inside = 0;
  for (int y = 0; y < ysize; y++)
    for (int x = 0; x < xsize; x++) {
      if (testpixel(x, y) == 0) continue;
      bool ingrid = x >= 180 * sx - 1 && x <= 460 * sx + 1 && y >= 100 * sy - 1 && y <= 380 * sy + 1;
      ASSERT_TRUE(ingrid) << x << "," << y;
      inside++;
    }
  // The 49 discs cover most of the grid (pi / 4 of each eye's square).
  double grid = (280 * sx) * (280 * sy);
  EXPECT_GT((double)inside, 0.4 * grid);
}

// A new background of every scheme is copied whole into the screen, row for row.
TEST_P(Extremes, BackgroundOfEverySchemeIsCopiedWhole) {
  useguardedscreen();
  for (int i = 0; i < 8; i++) {
    SCOPED_TRACE(colorscheme);
    colorscheme++;
    makebackground();
    ASSERT_NE(background, nullptr);
    copybackground();
    expectguards();
    size_t rowlen = 2 * (size_t)xsize;
    for (int y = 0; y < ysize; y++)
      ASSERT_EQ(memcmp(videomem + (size_t)y * stride, background + y * rowlen, rowlen), 0) << "row " << y;
  }
}

INSTANTIATE_TEST_SUITE_P(Widths, Extremes, testing::Values(size{100, 75}, size{2048, 1536}),
                         [](const testing::TestParamInfo<size>& i) {
                           return "Width" + std::to_string(i.param.width);
                         });

}  // namespace
}  // namespace spumex
