// Span, triangle walk and run-list shape tests.
#include <gtest/gtest.h>

#include "app/app.h"
#include "gfx/gfx.h"
#include "helpers/testscreen.h"

#include <array>
#include <cstdlib>
#include <vector>

namespace spumex {
namespace {

struct spanrec {
  int32_t xa, y, xb;
  bool operator==(const spanrec&) const = default;
};

void record(int32_t xa, int32_t y, int32_t xb, void* user) {
  ((std::vector<spanrec>*)user)->push_back({xa, y, xb});
}

// pairs (xa, xb) for rows from `top` down
std::vector<spanrec> rows(int32_t top, std::vector<std::array<int32_t, 2>> pairs) {
  std::vector<spanrec> v;
  for (auto& p : pairs) v.push_back({p[0], top++, p[1]});
  return v;
}

struct tricase {
  const char* name;
  int32_t v[6];
  std::vector<spanrec> want;
};

TEST(FillTriangle, SpansInOrder) {
  const tricase cases[] = {
      {"flattop", {0, 0, 10, 0, 0, 10},
       rows(0, {{0, 10}, {0, 9}, {0, 8}, {0, 7}, {0, 6}, {0, 4}, {0, 3}, {0, 2}, {0, 1}, {0, 0}})},
      {"restart", {0, 0, 20, 5, 0, 10},
       rows(0, {{0, 0}, {0, 5}, {0, 10}, {0, 15}, {0, 20}, {0, 20}, {0, 15}, {0, 10}, {0, 5}, {0, 0}})},
      {"flatbottom", {5, 0, 0, 3, 10, 3}, rows(0, {{5, 5}, {8, 3}, {10, 0}})},
      {"oneline", {0, 7, 30, 7, 12, 7}, {}},
      // ties: equal y1, y2 keep P1 on top; an equal y3 comes after them
      {"tie12", {10, 0, 0, 0, 0, 10},
       rows(0, {{10, 0}, {9, 0}, {8, 0}, {7, 0}, {6, 0}, {4, 0}, {3, 0}, {2, 0}, {1, 0}, {0, 0}})},
      {"tiebottom", {5, 0, 10, 3, 0, 3}, rows(0, {{5, 5}, {3, 8}, {0, 10}})},
      {"tie23", {0, 5, 10, 0, 20, 0}, rows(0, {{10, 20}, {8, 15}, {5, 10}, {3, 5}, {0, 0}})},
      {"negative", {-10, -2, -30, 2, -10, 6},
       rows(-2, {{-10, -10}, {-10, -17}, {-10, -23}, {-10, -30}, {-10, -30}, {-10, -23}, {-10, -17}, {-10, -10}})},
      // the widest x range that 16.16 holds, and one beyond it
      {"extremes", {-16384, 0, 16383, 0, -16384, 3}, rows(0, {{-16384, 16383}, {-16384, 0}, {-16384, -16384}})},
      {"toowide", {-16384, 0, 16384, 0, -16384, 3}, {}},
  };
  for (const tricase& c : cases) {
    std::vector<spanrec> got;
    filltriangle(c.v[0], c.v[1], c.v[2], c.v[3], c.v[4], c.v[5], record, &got);
    EXPECT_EQ(got, c.want) << c.name;
  }
}

// columns [lo, hi) of row y hold c, everything else of the screen 0
void expectrow(int y, int lo, int hi, uint32_t c, const char* what) {
  for (int r = 0; r < ysize; r++)
    for (int x = 0; x < xsize; x++)
      ASSERT_EQ(testpixel(x, r), (r == y && x >= lo && x < hi) ? c : 0u) << what << " at " << x << "," << r;
}

TEST(HLine, Clipping) {
  struct {
    int32_t x1, y, x2, lo, hi;
  } const cases[] = {
      {10, 2, 3, 3, 10}, {3, 2, 10, 3, 10}, {5, 2, 5, 0, 0}, {-5, 2, 3, 0, 3},
      {29, 2, 42, 29, 31},  {-9, 2, 50, 0, 31}, {-9, 2, -1, 0, 0}, {32, 2, 40, 0, 0},
      {31, 2, 40, 0, 0},    {0, -1, 9, 0, 0},  {0, 6, 9, 0, 0},   {0, 5, 9, 0, 9},
  };
  for (int bits : {16, 8}) {
    for (auto& c : cases) {
      usetestscreen(32, 6, bits, 70);  // padded rows
      uint32_t color = 0xABCD1234;
      hline(c.x1, c.y, c.x2, color);
      expectrow(c.y, c.lo, c.hi, bits == 16 ? 0x1234 : 0x34, "hline");
    }
  }
}

TEST(DrawTriangle, CoversRowsAboveBottom) {
  usetestscreen(16, 12);
  drawtriangle(0, 0, 10, 0, 0, 10, 255, 0, 0);
  const int widths[] = {10, 9, 8, 7, 6, 4, 3, 2, 1, 0, 0, 0};
  for (int y = 0; y < 12; y++)
    for (int x = 0; x < 16; x++)
      ASSERT_EQ(testpixel(x, y), x < widths[y] ? rgb565(255, 0, 0) : 0u) << x << "," << y;
}

// radius-4 disc: half widths 1, 3, 3, 4, 4, 4, 3, 3, 1 on rows -4 to 4
const int halfwidth[] = {1, 3, 3, 4, 4, 4, 3, 3, 1};
const int8_t disc[] = {-1, -4, 3, -3, -3, 7, -3, -2, 7, -4, -1, 9, -4, 0, 9,
                       -4, 1,  9, -3, 2,  7, -3, 3,  7, -1, 4,  3, -128};

TEST(DrawRuns, DiscClipped) {
  struct {
    int32_t x, y;
  } const at[] = {{10, 6}, {0, 6}, {19, 6}, {10, 1}, {-5, 6}, {24, 6}};
  for (auto& p : at) {
    usetestscreen(20, 12);
    drawruns(p.x, p.y, disc, 0, 255, 0);
    for (int y = 0; y < 12; y++)
      for (int x = 0; x < 20; x++) {
        int dx = x - p.x, dy = y - p.y;
        bool in = dy >= -4 && dy <= 4 && std::abs(dx) <= halfwidth[dy + 4];
        ASSERT_EQ(testpixel(x, y), in ? rgb565(0, 255, 0) : 0u) << p.x << "," << p.y << " at " << x << "," << y;
      }
  }
}

}  // namespace
}  // namespace spumex
