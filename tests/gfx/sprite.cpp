// Sprite blitter tests: fast and clipping paths against a per-pixel reference.
#include <gtest/gtest.h>

#include "app/app.h"
#include "gfx/gfx.h"
#include "helpers/testscreen.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace spumex {
namespace {

// Builds a sprite from (count, x, y) runs; pixel k of run r holds base + 256*r + k.
std::vector<uint16_t> makeruns(int dx, int dy, int w, int h, const std::vector<std::vector<int>>& runs,
                               uint16_t base = 0x1101) {
  std::vector<uint16_t> s = {(uint16_t)(int16_t)dx, (uint16_t)(int16_t)dy, (uint16_t)w, (uint16_t)h};
  for (size_t r = 0; r < runs.size(); r++) {
    s.push_back((uint16_t)runs[r][0]);
    s.push_back((uint16_t)(int16_t)runs[r][1]);
    s.push_back((uint16_t)(int16_t)runs[r][2]);
    for (int k = 0; k < runs[r][0]; k++) s.push_back((uint16_t)(base + 256 * r + k));
  }
  s.push_back(0);
  return s;
}

// A disc-like sprite: 10 rows, 11 wide, centred on its drawing position.
std::vector<uint16_t> disc() {
  return makeruns(-5, -5, 11, 11,
                  {{4, 3, 0}, {6, 2, 1}, {8, 1, 2}, {10, 0, 3}, {10, 0, 4},
                   {10, 0, 5}, {10, 0, 6}, {8, 1, 7}, {6, 2, 8}, {4, 3, 9}});
}

// What drawing the sprite at (px, py) must do to `bytes`, one pixel at a time.
void reference(std::vector<uint8_t>& bytes, int64_t px, int64_t py, const uint16_t* s) {
  int64_t ox = px + (int16_t)s[0], oy = py + (int16_t)s[1];
  for (const uint16_t* rec = s + 4; rec[0] != 0; rec += 3 + rec[0]) {
    int64_t row = oy + (int16_t)rec[2];
    for (int k = 0; k < rec[0]; k++) {
      int64_t col = ox + (int16_t)rec[1] + k;
      if (row < 0 || row >= ysize || col < 0 || col >= xsize) continue;
      uint16_t v = rec[3 + k];
      if (depth == 16) {
        memcpy(&bytes[(size_t)(row * stride + 2 * col)], &v, 2);
      } else {
        bytes[(size_t)(row * stride + col)] = (uint8_t)v;
      }
    }
  }
}

// Fills the test screen (and its slack) with a marker byte.
void fillscreen(uint8_t v) {
  std::vector<uint8_t>& b = testscreenbytes();
  memset(b.data(), v, b.size());
}

int countchanged(const std::vector<uint8_t>& before) {
  const std::vector<uint8_t>& now = testscreenbytes();
  int n = 0;
  for (size_t i = 0; i < now.size(); i++) n += now[i] != before[i];
  return n;
}

struct screencase {
  int w, h, bpp, rowstride;
};

struct position {
  const char* name;
  int px, py;  // values from 10000 to 29999 mean xsize/ysize + (v - 20000)
};

int resolve(int v, int size) { return v >= 10000 && v < 30000 ? size + (v - 20000) : v; }

const screencase screens[] = {{40, 30, 16, 0}, {40, 30, 8, 0}, {37, 23, 16, 90}, {37, 23, 8, 45}};

const position positions[] = {
    {"centre", 20, 15},
    {"top-left exact", 5, 5},
    {"bottom-right exact", 20000 - 6, 20000 - 6},
    {"right one further", 20000 - 5, 12},
    {"bottom one further", 12, 20000 - 5},
    {"cut by top", 15, 2},
    {"cut by left", 1, 10},
    {"cut by right", 20000 - 2, 10},
    {"cut by bottom", 10, 20000 - 1},
    {"top-left corner", 0, 0},
    {"top-right corner", 20000 + 0, -1},
    {"bottom-left corner", -2, 20000 + 1},
    {"bottom-right corner", 20000 + 3, 20000 + 4},
    {"outside left", -6, 10},
    {"outside right", 20000 + 5, 10},
    {"outside top", 10, -5},
    {"outside bottom", 10, 20000 + 5},
    {"far away", -2000000000, 2000000000},
    {"far away negative", 2147483647, -2147483647},
};

TEST(DrawSprite, MatchesPerPixelReferenceEverywhere) {
  std::vector<uint16_t> s = disc();
  for (const screencase& sc : screens) {
    for (const position& p : positions) {
      usetestscreen(sc.w, sc.h, sc.bpp, sc.rowstride);
      fillscreen(0xA5);
      int px = resolve(p.px, xsize), py = resolve(p.py, ysize);
      std::vector<uint8_t> want = testscreenbytes();
      reference(want, px, py, s.data());
      drawsprite(px, py, s.data());
      EXPECT_EQ(testscreenbytes(), want) << p.name << " at " << sc.w << "x" << sc.h << " depth " << sc.bpp;
    }
  }
}

TEST(DrawSprite, WhollyOutsideDrawsNothing) {
  std::vector<uint16_t> s = disc();
  usetestscreen(40, 30);
  fillscreen(0x5A);
  std::vector<uint8_t> before = testscreenbytes();
  // the bounding box is one pixel wider than the runs, so the last columns of it may be on screen
  const int spots[][2] = {{-5, 10}, {-100, 10}, {45, 10}, {10, -5}, {10, 35}, {-5, -5}, {45, 35}, {45, -5}};
  for (const auto& p : spots) {
    drawsprite(p[0], p[1], s.data());
    EXPECT_EQ(countchanged(before), 0) << p[0] << "," << p[1];
  }
}

TEST(DrawSprite, OneFurtherDrawsTheEdgeImageMinusTheFallenPixels) {
  std::vector<uint16_t> s = disc();
  for (int bpp : {16, 8}) {
    int bytes = bpp == 16 ? 2 : 1;
    usetestscreen(40, 30, bpp);
    int ex = xsize - 11 + 5, ey = ysize - 11 + 5;  // bounding box ends exactly at the edges
    drawsprite(ex, ey, s.data());
    std::vector<uint8_t> edge = testscreenbytes();
    int drawn = 0;
    for (int y = 0; y < ysize; y++)
      for (int x = 0; x < xsize; x++) drawn += testpixel(x, y) != 0;
    EXPECT_EQ(drawn, 4 + 6 + 8 + 10 * 4 + 8 + 6 + 4);

    usetestscreen(40, 30, bpp);
    drawsprite(ex + 1, ey, s.data());
    for (int y = 0; y < ysize; y++)
      for (int x = 0; x < xsize; x++) {
        uint32_t want = 0;
        if (x > 0) memcpy(&want, &edge[(size_t)y * stride + (size_t)(x - 1) * bytes], bytes);
        EXPECT_EQ(testpixel(x, y), want) << "right, " << x << "," << y << " depth " << bpp;
      }

    usetestscreen(40, 30, bpp);
    drawsprite(ex, ey + 1, s.data());
    for (int y = 0; y < ysize; y++)
      for (int x = 0; x < xsize; x++) {
        uint32_t want = 0;
        if (y > 0) memcpy(&want, &edge[(size_t)(y - 1) * stride + (size_t)x * bytes], bytes);
        EXPECT_EQ(testpixel(x, y), want) << "down, " << x << "," << y << " depth " << bpp;
      }
  }
}

TEST(DrawSprite, EmptySpriteDrawsNothing) {
  std::vector<uint16_t> s = makeruns(-3, -3, 7, 7, {});
  for (int bpp : {16, 8}) {
    usetestscreen(20, 20, bpp);
    fillscreen(0x33);
    std::vector<uint8_t> before = testscreenbytes();
    drawsprite(10, 10, s.data());
    drawsprite(0, 0, s.data());
    EXPECT_EQ(countchanged(before), 0);
  }
}

TEST(DrawSprite, NullDrawsTheCursorAndNothingWithoutOne) {
  std::vector<uint16_t> cursor = disc();
  uint16_t* saved = cursorsprite;
  for (int py : {15, 2}) {  // fast path and clipping path
    cursorsprite = cursor.data();
    usetestscreen(40, 30);
    drawsprite(20, py, cursor.data());
    std::vector<uint8_t> want = testscreenbytes();
    usetestscreen(40, 30);
    drawsprite(20, py, nullptr);
    EXPECT_EQ(testscreenbytes(), want);
    int lit = 0;
    for (uint8_t b : want) lit += b != 0;
    EXPECT_GT(lit, 0);
  }

  cursorsprite = nullptr;
  usetestscreen(40, 30);
  fillscreen(0x77);
  std::vector<uint8_t> before = testscreenbytes();
  drawsprite(20, 15, nullptr);
  drawsprite(0, 0, nullptr);
  EXPECT_EQ(countchanged(before), 0);
  cursorsprite = saved;
}

TEST(DrawSprite, Depth8WritesOneLowBytePerPixel) {
  std::vector<uint16_t> s = makeruns(0, 0, 5, 2, {{4, 0, 0}, {3, 1, 1}}, 0xBE10);
  for (int px : {3, -1}) {  // fast path, then cut by the left edge
    usetestscreen(10, 4, 8);
    fillscreen(0xEE);
    std::vector<uint8_t> before = testscreenbytes();
    drawsprite(px, 1, s.data());
    int changed = countchanged(before);
    int visible = px >= 0 ? 7 : 6;
    EXPECT_EQ(changed, visible);
    for (int k = 0; k < 4; k++)
      if (px + k >= 0) {
        EXPECT_EQ(testpixel(px + k, 1), (uint32_t)(0x10 + k));
      }
    for (int k = 0; k < 3; k++)
      if (px + 1 + k >= 0) {
        EXPECT_EQ(testpixel(px + 1 + k, 2), (uint32_t)(0x10 + k));
      }
  }
}

TEST(DrawSprite, RunWiderThanTheScreenStaysInsideItsRow) {
  // outside the sprite contract, but the blitter must still keep to the screen
  std::vector<uint16_t> s = makeruns(-20, 0, 60, 1, {{50, 5, 0}});
  for (int bpp : {16, 8}) {
    usetestscreen(10, 3, bpp);
    fillscreen(0x11);
    std::vector<uint8_t> want = testscreenbytes();
    reference(want, 0, 1, s.data());
    drawsprite(0, 1, s.data());  // sx = -15, 35 pixels left of a 10-pixel screen
    EXPECT_EQ(testscreenbytes(), want);
  }
}

TEST(DrawSprite, RealBallSpritesMatchTheReference) {
  if (scratch == nullptr) scratch = (uint8_t*)malloc(SCRATCHSIZE);
  for (int bpp : {16, 8}) {
    usetestscreen(640, 480, bpp);
    uint16_t* ball = makesprite(7, 200, 100, 50);
    ASSERT_NE(ball, nullptr);
    const int spots[][2] = {{320, 240}, {7, 7}, {632, 472}, {633, 473}, {634, 240}, {3, 478}, {-6, -6}, {646, 486}};
    for (const auto& p : spots) {
      usetestscreen(640, 480, bpp);
      std::vector<uint8_t> want = testscreenbytes();
      reference(want, p[0], p[1], ball);
      drawsprite(p[0], p[1], ball);
      EXPECT_EQ(testscreenbytes(), want) << p[0] << "," << p[1] << " depth " << bpp;
    }
    free(ball);
  }
}

}  // namespace
}  // namespace spumex
