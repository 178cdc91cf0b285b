// Spiral demo tests: the path, the trail, the arrowhead and the demo's key handling.
#include <gtest/gtest.h>

#include "app/app.h"
#include "demos/demos.h"
#include "gfx/gfx.h"
#include "gfx/video.h"
#include "helpers/testscreen.h"
#include "helpers/testvideo.h"

#include <SDL.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace spumex {
namespace {

constexpr int32_t N = 35261;
constexpr uint16_t MARK = 0x001F;  // pure blue: never a black head pixel

// Builds the ball sprites once, on a 16-bit screen.
// Fills every pixel word of the test screen with v.
void fill16(uint16_t v) {
  std::vector<uint8_t>& b = testscreenbytes();
  for (size_t i = 0; i + 1 < b.size(); i += 2) memcpy(&b[i], &v, 2);
}

std::vector<int32_t> pathblock() { return std::vector<int32_t>(PATHBYTES / 4, 0); }

TEST(SpiralPath, PointsAt640x480) {
  usetestscreen(640, 480);
  std::vector<int32_t> path = pathblock();
  ASSERT_EQ(makepath(path.data()), N);
  struct { int32_t i, x, y, heading; } cases[] = {
      {0, 316, 236, 220}, {1, 314, 237, 246}, {2, 313, 240, 270}, {N - 1, 740, 54, 20273}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.i);
    EXPECT_EQ(path[2 * c.i], c.x);
    EXPECT_EQ(path[2 * c.i + 1], c.y);
    EXPECT_EQ(path[HEADINGSTART + c.i], c.heading);
  }
}

TEST(SpiralHead, StepsAndCyclesInTheLast28) {
  struct { int32_t from, to; } cases[] = {
      {0, 1}, {3, 4}, {N - 29, N - 28}, {N - 2, N - 1}, {N - 1, N - 28}, {N - 28, N - 27}};
  for (auto& c : cases) {
    spiralhead = c.from;
    stepspiral(N);
    EXPECT_EQ(spiralhead, c.to) << "from " << c.from;
  }
}

// The 15 x 15 box around (x, y) of a 16-bit screen image.
std::vector<uint16_t> box(const std::vector<uint8_t>& bytes, int x, int y) {
  std::vector<uint16_t> v;
  for (int dy = -7; dy <= 7; dy++)
    for (int dx = -7; dx <= 7; dx++) {
      uint16_t w;
      memcpy(&w, &bytes[(size_t)(y + dy) * stride + 2 * (x + dx)], 2);
      v.push_back(w);
    }
  return v;
}

TEST(SpiralTrail, EveryFourthPointWithColourKModulo256) {
  ensuresprites();
  // A made-up path: the trail points on a grid of separate balls, all else off the screen.
  const int32_t nballs = 520;
  const int32_t head = 4 * nballs;
  std::vector<int32_t> path = pathblock();
  for (int32_t i = 0; i <= head; i++) {
    path[2 * i] = -1000;
    path[2 * i + 1] = -1000;
  }
  auto spot = [](int32_t k, int32_t& x, int32_t& y) {
    x = 20 + 24 * (k % 50);
    y = 20 + 24 * (k / 50);
  };
  for (int32_t k = 0; k < nballs; k++) spot(k, path[2 * (head - 4 - 4 * k)], path[2 * (head - 4 - 4 * k) + 1]);
  int32_t colors[NTRAILCOLORS];
  for (int i = 0; i < NTRAILCOLORS; i++) colors[i] = (i * 37 + 5) & 511;  // all different

  usetestscreen(1216, 288);
  spiralhead = head;
  drawspiral(path.data(), head + 1, colors);
  std::vector<uint8_t> drawn = testscreenbytes();
  for (int32_t k = 0; k < nballs; k++) {
    int32_t x, y;
    spot(k, x, y);
    usetestscreen(1216, 288);
    drawsprite(x, y, ballsprites[colors[k & 255]]);
    ASSERT_EQ(box(drawn, x, y), box(testscreenbytes(), x, y)) << "ball " << k;
  }
}

TEST(SpiralTrail, BallsFartherBackDrawnOver) {
  ensuresprites();
  std::vector<int32_t> path = pathblock();
  for (int32_t i = 0; i <= 8; i++) {
    path[2 * i] = -1000;
    path[2 * i + 1] = -1000;
  }
  path[2 * 4] = path[2 * 0] = 50;  // balls k = 0 and k = 1 on one spot
  path[2 * 4 + 1] = path[2 * 0 + 1] = 50;
  int32_t colors[NTRAILCOLORS] = {0};
  colors[0] = 448;
  colors[1] = 7;
  usetestscreen(100, 100);
  spiralhead = 8;
  drawspiral(path.data(), 9, colors);
  std::vector<uint8_t> drawn = testscreenbytes();
  usetestscreen(100, 100);
  drawsprite(50, 50, ballsprites[7]);
  EXPECT_EQ(box(drawn, 50, 50), box(testscreenbytes(), 50, 50));
}

TEST(SpiralTrail, NoBallWhileTheHeadIsBelow4) {
  ensuresprites();
  usetestscreen(640, 480);
  std::vector<int32_t> path = pathblock();
  makepath(path.data());
  int32_t colors[NTRAILCOLORS];
  for (int32_t& c : colors) c = 448;
  for (int32_t p = 0; p <= 4; p++) {
    SCOPED_TRACE(p);
    usetestscreen(640, 480);
    fill16(MARK);
    spiralhead = p;
    drawspiral(path.data(), N, colors);
    int black = 0, other = 0;
    int x0 = 9999, x1 = -1, y0 = 9999, y1 = -1;
    for (int y = 0; y < 480; y++)
      for (int x = 0; x < 640; x++) {
        uint32_t v = testpixel(x, y);
        if (v == 0) {
          black++;
          x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
        } else if (v != MARK) {
          other++;
        }
      }
    EXPECT_GT(black, 0);
    if (p < 4) {
      EXPECT_EQ(other, 0);
      // The arrow sits within 9 pixels of its path point.
      EXPECT_GE(x0, path[2 * p] - 9);
      EXPECT_LE(x1, path[2 * p] + 9);
      EXPECT_GE(y0, path[2 * p + 1] - 9);
      EXPECT_LE(y1, path[2 * p + 1] + 9);
    } else {
      EXPECT_GT(other, 0);
    }
  }
}

TEST(SpiralHead, ArrowheadIsTwoBlackTriangles) {
  // Tip and barbs 9 pixels from (100, 100), truncated toward zero: the tip of
  // heading 0 lands at x + 8 because sin of the single-precision pi / 2 is just below 1.
  struct { int32_t heading, tx, ty, b1x, b1y, b2x, b2y; } cases[] = {
      {0, 108, 99, 93, 106, 93, 93},
      {-90, 99, 108, 93, 93, 106, 93},
      {90, 99, 91, 106, 106, 93, 106},
      {180, 91, 100, 106, 93, 106, 106},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.heading);
    usetestscreen(200, 200);
    fill16(MARK);
    drawhead(100, 100, c.heading);
    std::vector<uint8_t> got = testscreenbytes();
    usetestscreen(200, 200);
    fill16(MARK);
    drawtriangle(c.tx, c.ty, c.b1x, c.b1y, 100, 100, 0, 0, 0);
    drawtriangle(c.tx, c.ty, c.b2x, c.b2y, 100, 100, 0, 0, 0);
    EXPECT_EQ(got, testscreenbytes());
    int black = 0;
    for (size_t i = 0; i + 1 < got.size(); i += 2) black += got[i] == 0 && got[i + 1] == 0;
    EXPECT_GT(black, 20);
  }
}

// --- the demo loop on the dummy video driver ---

class SpiralDemo : public ::testing::Test {
 protected:
  void SetUp() override {
    usevideo();
    exitflag = 0;
    eyemode = 0;
    spiralmode = 1;
  }
};

TEST_F(SpiralDemo, EscapeWithTheKeyEndsBeforeTheFirstFrame) {
  exitflag = 1;
  int f = frames;
  int32_t h = spiralhead = 10;
  spiraldemo();
  EXPECT_EQ(frames, f);
  EXPECT_EQ(spiralhead, h);
  EXPECT_EQ(exitflag, 0);
  EXPECT_EQ(spiralmode, 0);
}

TEST_F(SpiralDemo, EscapeEndsOnlyTheDemoAndTheHeadStays) {
  spiralhead = 100;
  int f = frames;
  pushkey(SDLK_ESCAPE);
  spiraldemo();
  EXPECT_EQ(frames, f + 1);
  EXPECT_EQ(spiralhead, 101);
  EXPECT_EQ(exitflag, 0);
  EXPECT_EQ(spiralmode, 0);
  // A second run goes on from there.
  pushkey(SDLK_ESCAPE);
  spiraldemo();
  EXPECT_EQ(spiralhead, 102);
}

TEST_F(SpiralDemo, SDuringTheDemoDoesNotEndIt) {
  // The demo's loop reads input through pollinput and runs while exitflag
  // stays 0: an s taken there leaves it running.
  spiralmode = 1;
  pushkey(SDLK_s);
  pollinput();
  EXPECT_EQ(exitflag, 0);
  SDL_Event left;
  EXPECT_EQ(SDL_PeepEvents(&left, 1, SDL_PEEKEVENT, SDL_ALLEVENTS), 0) << "the s was not taken";
  // Then a whole run with the s before the Escape: one frame, no exit asked.
  int f = frames;
  pushkey(SDLK_s);
  pushkey(SDLK_ESCAPE);
  spiraldemo();
  EXPECT_EQ(frames - f, 1);
  EXPECT_EQ(spiralmode, 0);
  EXPECT_EQ(exitflag, 0);
}

TEST_F(SpiralDemo, EDuringTheSpiralLeavesTheEyesRequested) {
  pushkey(SDLK_e);
  pushkey(SDLK_ESCAPE);
  spiraldemo();
  EXPECT_EQ(spiralmode, 0);
  EXPECT_EQ(exitflag, 0);
  EXPECT_EQ(eyemode, 1);
  // The frame loop then runs the eye demo, which draws until its own Escape.
  int f = frames;
  pushkey(SDLK_ESCAPE);
  eyedemo();
  EXPECT_EQ(frames, f + 1);
  EXPECT_EQ(eyemode, 0);
  EXPECT_EQ(exitflag, 0);
}

}  // namespace
}  // namespace spumex
