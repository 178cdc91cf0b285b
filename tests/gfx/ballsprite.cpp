// Ball sprite generator tests: run layout, byte counts, intensities and pixel values.
#include <gtest/gtest.h>

#include "app/app.h"
#include "gfx/gfx.h"
#include "helpers/testscreen.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace spumex {
namespace {

struct run {
  int count, x, y;
  std::vector<uint16_t> pixels;
};

struct parsed {
  int dx, dy, width, height;
  std::vector<run> runs;
  size_t bytes;
};

parsed parse(const uint16_t* s) {
  parsed p{(int16_t)s[0], (int16_t)s[1], s[2], s[3], {}, 0};
  const uint16_t* rec = s + 4;
  while (rec[0] != 0) {
    run r{rec[0], (int16_t)rec[1], (int16_t)rec[2], std::vector<uint16_t>(rec + 3, rec + 3 + rec[0])};
    p.runs.push_back(r);
    rec += 3 + rec[0];
  }
  p.bytes = (size_t)(rec + 1 - s) * 2;
  return p;
}

void setup(int width, int bpp = 16) {
  if (scratch == nullptr) scratch = (uint8_t*)malloc(SCRATCHSIZE);
  usetestscreen(width, width * 3 / 4, bpp);
}

TEST(MakeSprite, Radius7At640) {
  setup(640);
  uint16_t* s = makesprite(7, 255, 255, 255);
  ASSERT_NE(s, nullptr);
  parsed p = parse(s);
  EXPECT_EQ(p.dx, -7);
  EXPECT_EQ(p.dy, -7);
  EXPECT_EQ(p.width, 15);
  EXPECT_EQ(p.height, 15);
  const int want[14][2] = {{6, 4},  {8, 3},  {10, 2}, {12, 1}, {14, 0}, {14, 0}, {14, 0},
                           {14, 0}, {14, 0}, {14, 0}, {12, 1}, {10, 2}, {8, 3},  {6, 4}};
  ASSERT_EQ(p.runs.size(), 14u);
  for (int j = 0; j < 14; j++) {
    EXPECT_EQ(p.runs[j].count, want[j][0]) << j;
    EXPECT_EQ(p.runs[j].x, want[j][1]) << j;
    EXPECT_EQ(p.runs[j].y, j);
  }
  EXPECT_EQ(p.bytes, 406u);
  free(s);
}

TEST(MakeSprite, PixelRadiusTwoAtWidth100) {
  const uint8_t intensity[4][4] = {{0, 237, 181, 0}, {237, 235, 180, 92}, {181, 180, 131, 58}, {0, 92, 58, 0}};
  for (int bpp : {16, 8}) {
    setup(100, bpp);
    for (int radius : {3, 7, 12}) {
      EXPECT_EQ(ballpixels(radius), 2);
      uint16_t* s = makesprite(radius, 255, 255, 255);
      ASSERT_NE(s, nullptr);
      parsed p = parse(s);
      EXPECT_EQ(p.dx, -2);
      EXPECT_EQ(p.dy, -2);
      EXPECT_EQ(p.width, 5);
      EXPECT_EQ(p.height, 5);
      const int rows[4][3] = {{2, 1, 0}, {4, 0, 1}, {4, 0, 2}, {2, 1, 3}};
      ASSERT_EQ(p.runs.size(), 4u);
      for (int j = 0; j < 4; j++) {
        EXPECT_EQ(p.runs[j].count, rows[j][0]);
        EXPECT_EQ(p.runs[j].x, rows[j][1]);
        EXPECT_EQ(p.runs[j].y, rows[j][2]);
        for (int k = 0; k < p.runs[j].count; k++) {
          uint32_t c = (intensity[j][p.runs[j].x + k] * 255u) >> 8;
          uint32_t want = bpp == 16 ? rgb565(c, c, c) : (c >> 5) | ((c >> 5) << 3) | (c & 0xC0);
          EXPECT_EQ(p.runs[j].pixels[k], want) << "radius " << radius << " row " << j << " cell " << k;
        }
      }
      EXPECT_EQ(p.bytes, 58u);
      free(s);
    }
  }
  uint8_t grid[BALLGRID][BALLGRID];
  shadeball(2, grid);
  for (int j = 0; j < BALLGRID; j++)
    for (int i = 0; i < BALLGRID; i++)
      EXPECT_EQ(grid[j][i], j < 4 && i < 4 ? intensity[j][i] : 0) << i << "," << j;
}

TEST(MakeSprite, InvariantsForEveryRadiusAndWidth) {
  for (int width : {100, 640, 1707, 2048}) {
    setup(width);
    for (int radius : {3, 7, 12}) {
      int a = radius * width / 640;
      if (a < 3) a = 2;
      ASSERT_EQ(ballpixels(radius), a);
      uint16_t* s = makesprite(radius, 90, 160, 230);
      ASSERT_NE(s, nullptr);
      parsed p = parse(s);
      SCOPED_TRACE(testing::Message() << "width " << width << " radius " << radius);
      EXPECT_EQ(p.dx, -a);
      EXPECT_EQ(p.dy, -a);
      EXPECT_EQ(p.width, 2 * a + 1);
      EXPECT_EQ(p.height, 2 * a + 1);
      ASSERT_EQ((int)p.runs.size(), 2 * a);
      size_t bytes = 8 + 2;
      for (int j = 0; j < 2 * a; j++) {
        const run& r = p.runs[j];
        const run& mirror = p.runs[2 * a - 1 - j];
        EXPECT_EQ(r.y, j);
        EXPECT_GE(r.x, 0);
        EXPECT_LE(r.x + r.count, p.width);
        EXPECT_LT(r.count, 100);
        EXPECT_EQ(r.count, mirror.count);
        EXPECT_EQ(r.x + r.count, 2 * a - r.x);  // symmetric about the centre
        bytes += 6 + 2 * r.count;
      }
      EXPECT_EQ(p.runs[a - 1].count, 2 * a);
      EXPECT_EQ(p.runs[a].count, 2 * a);
      EXPECT_EQ(p.bytes, bytes);
      free(s);
    }
  }
}

TEST(ShadeBall, IntensitiesFollowTheLighting) {
  for (int a : {2, 3, 7, 9, 12, 22, 31, 32, 38}) {
    uint8_t grid[BALLGRID][BALLGRID];
    shadeball(a, grid);
    int brightest = 0, bi = 0, bj = 0;
    for (int j = 0; j < BALLGRID; j++)
      for (int i = 0; i < BALLGRID; i++) {
        double x = i - a + 0.5, y = j - a + 0.5, d2 = x * x + y * y;
        int v = grid[j][i];
        if (i >= 2 * a || j >= 2 * a || d2 > (double)a * a) {
          EXPECT_EQ(v, 0) << "a " << a << " cell " << i << "," << j;
          continue;
        }
        // the same lighting in double precision, allowed one step of rounding
        double z = std::sqrt((double)a * a - d2);
        double s = (-x - y + 1.5 * z) / (a * 2.0615528128088303);
        double t = (s + 1.0) * 0.5;
        EXPECT_NEAR(v, std::floor(t * t * 255.0), 1.0) << "a " << a << " cell " << i << "," << j;
        EXPECT_GE(v, 6);
        if (v > brightest) brightest = v, bi = i, bj = j;
      }
    EXPECT_LT(bi, a) << "a " << a;  // lit from the upper left
    EXPECT_LT(bj, a) << "a " << a;
  }
}

TEST(MakeSprite, PixelValuesComeFromIntensityAndColour) {
  struct colourcase {
    uint32_t r, g, b;
  } colours[] = {{255, 255, 255}, {0, 200, 100}, {254, 1, 128}, {0, 0, 0}};
  for (int bpp : {16, 8}) {
    setup(2048, bpp);
    for (int radius : {3, 7, 12}) {
      uint8_t grid[BALLGRID][BALLGRID];
      shadeball(ballpixels(radius), grid);
      for (const colourcase& c : colours) {
        uint16_t* s = makesprite(radius, c.r, c.g, c.b);
        ASSERT_NE(s, nullptr);
        parsed p = parse(s);
        for (const run& r : p.runs)
          for (int k = 0; k < r.count; k++) {
            uint32_t in = grid[r.y][r.x + k];
            uint32_t rr = (in * c.r) >> 8, gg = (in * c.g) >> 8, bb = (in * c.b) >> 8;
            uint32_t want = bpp == 16 ? rgb565(rr, gg, bb) : (rr >> 5) | ((gg >> 5) << 3) | (bb & 0xC0);
            ASSERT_EQ(r.pixels[k], want) << "depth " << bpp << " radius " << radius << " row " << r.y;
          }
        free(s);
      }
    }
  }
}

TEST(MakeSprite, OnlyTheLowByteOfEachChannelCounts) {
  setup(640);
  uint16_t* a = makesprite(7, 256 + 255, 300, 0x1FF);
  uint16_t* b = makesprite(7, 255, 44, 255);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  parsed pa = parse(a);
  ASSERT_EQ(pa.bytes, parse(b).bytes);
  EXPECT_EQ(memcmp(a, b, pa.bytes), 0);
  free(a);
  free(b);
}

TEST(MakeSprite, BlackBallIsOpaque) {
  setup(640);
  uint16_t* s = makesprite(7, 0, 0, 0);
  ASSERT_NE(s, nullptr);
  parsed p = parse(s);
  EXPECT_EQ(p.runs.size(), 14u);
  for (const run& r : p.runs) {
    for (uint16_t v : r.pixels) EXPECT_EQ(v, 0);
  }
  usetestscreen(40, 30);
  memset(testscreenbytes().data(), 0xFF, testscreenbytes().size());
  drawsprite(20, 15, s);
  EXPECT_EQ(testpixel(20, 15), 0u);
  EXPECT_EQ(testpixel(13, 15), 0u);
  EXPECT_EQ(testpixel(12, 15), 0xFFFFu);
  free(s);
}

TEST(MakeSprite, OversizedRadiusStaysInsideTheGrid) {
  setup(2048);
  EXPECT_EQ(ballpixels(1000), MAXBALLPIXELS);
  EXPECT_EQ(ballpixels(-5), 2);
  uint16_t* s = makesprite(1000, 255, 0, 0);
  ASSERT_NE(s, nullptr);
  parsed p = parse(s);
  EXPECT_EQ(p.width, 2 * MAXBALLPIXELS + 1);
  EXPECT_EQ((int)p.runs.size(), 2 * MAXBALLPIXELS);
  free(s);
}

}  // namespace
}  // namespace spumex
