// Tests of the diamond-square height field.
#include <gtest/gtest.h>

#include "app/state.h"
#include "background/background.h"
#include "helpers/testscreen.h"

#include <cstdlib>
#include <cstring>
#include <vector>

using namespace spumex;

namespace {

const int N = FIELDSIZE;

int h(int x, int y) { return heightfield[y * N + x]; }
void seth(int x, int y, int v) { heightfield[y * N + x] = (uint8_t)v; }

// A built field with the background on a small test screen.
void build(unsigned seed) {
  usetestscreen(64, 48, 16);
  seedrand(seed);
  fractal();
  ASSERT_NE(heightfield, nullptr);
}

// The field all at 128.
void flat() { memset(heightfield, 128, (size_t)N * N); }

int clampv(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

}  // namespace

TEST(HeightField, BordersKeep128) {
  build(1);
  EXPECT_EQ(h(0, 0), 128);
  int other = 0;
  for (int i = 0; i < N; i++) {
    EXPECT_EQ(h(N - 1, i), 128) << "row " << i;
    EXPECT_EQ(h(i, N - 1), 128) << "column " << i;
    if (h(i, 1) != 128) other++;
  }
  EXPECT_GT(other, 100);   // the rest of the field was built
}

// At step 2 each byte with an odd coordinate is its neighbours' average or one less;
// on column 0 and row 0 the edge midpoints average three neighbours.
TEST(HeightField, LastLevelIsBaseOrBaseMinusOne) {
  build(2);
  long same = 0, less = 0;
  for (int y = 0; y < N - 1; y++) {
    for (int x = 0; x < N - 1; x++) {
      if (x % 2 == 0 && y % 2 == 0) continue;
      int base;
      if (x % 2 && y % 2) {
        base = (h(x - 1, y - 1) + h(x + 1, y - 1) + h(x - 1, y + 1) + h(x + 1, y + 1)) / 4;
      } else {
        int sum = 0, n = 0;
        if (x > 0) { sum += h(x - 1, y); n++; }
        sum += h(x + 1, y); n++;
        if (y > 0) { sum += h(x, y - 1); n++; }
        sum += h(x, y + 1); n++;
        base = sum / n;
      }
      int v = h(x, y);
      if (v == base) same++;
      else if (v == clampv(base - 1)) less++;
      else ADD_FAILURE() << "(" << x << "," << y << ") = " << v << ", base " << base;
      if (HasFailure()) return;
    }
  }
  EXPECT_GT(same, 200000);
  EXPECT_GT(less, 200000);
}

// One build draws exactly 1,048,575 numbers, and nextrand() is its only input.
TEST(HeightField, RandCallsPerBuild) {
  for (unsigned seed : {3u, 77u}) {
    build(seed);
    int next = nextrand();
    std::vector<uint8_t> first(heightfield, heightfield + N * N);
    seedrand(seed);
    for (int i = 0; i < 1048575; i++) nextrand();
    EXPECT_EQ(nextrand(), next) << "seed " << seed;
    build(seed);
    EXPECT_EQ(memcmp(first.data(), heightfield, (size_t)N * N), 0) << "seed " << seed;
  }
}

TEST(HeightField, SecondBuildReusesMemoryAndDiffers) {
  build(4);
  uint8_t* field = heightfield;
  std::vector<uint8_t> first(heightfield, heightfield + N * N);
  fractal();
  EXPECT_EQ(heightfield, field);
  EXPECT_NE(memcmp(first.data(), heightfield, (size_t)N * N), 0);
}

// Neighbour sets, integer averages, the random term and the clamp of one midpoint.
TEST(HeightField, DiamondPoint) {
  build(5);
  struct Case { int xleft, xright, yup, ydown, amp, expectbase; } cases[] = {
      {99, 101, 99, 101, 1, (10 + 20 + 30 + 41) / 4},
      {-1, 101, 99, 101, 1, (20 + 30 + 41) / 3},
      {99, 101, -1, 101, 1, (10 + 20 + 41) / 3},
      {-1, 101, -1, 101, 1, (20 + 41) / 2},
      {99, 101, 99, 101, 64, 25},
      {99, 101, 99, 101, 1024, 25},
  };
  for (const Case& c : cases) {
    for (unsigned seed = 1; seed <= 20; seed++) {
      flat();
      seth(99, 100, 10);
      seth(101, 100, 20);
      seth(100, 99, 30);
      seth(100, 101, 41);
      seedrand(seed);
      int r = nextrand() % c.amp - c.amp / 2;
      int after = nextrand();
      seedrand(seed);
      diamondpoint(100, c.xleft, c.xright, 100, c.yup, c.ydown, c.amp);
      EXPECT_EQ(h(100, 100), clampv(c.expectbase + r)) << c.xleft << " " << c.yup << " " << c.amp;
      EXPECT_EQ(nextrand(), after);   // exactly one number per point
    }
  }
  // a target above the field's edge changes nothing and draws nothing
  flat();
  seedrand(9);
  int first = nextrand();
  seedrand(9);
  diamondpoint(1025, 0, 2, 1, 1024, 1026, 64);
  diamondpoint(0, 1024, 1026, 1025, -1, 1, 64);
  EXPECT_EQ(nextrand(), first);
}

// Square centres go column by column, top down; edge midpoints left then top per square.
TEST(HeightField, PassOrder) {
  build(6);
  const int amp = 1024;
  struct Pass { bool square; int step; std::vector<std::pair<int, int>> order; } passes[] = {
      {true, 512, {{256, 256}, {256, 768}, {768, 256}, {768, 768}}},
      {false, 1024, {{0, 512}, {512, 0}}},
      {false, 512, {{0, 256}, {256, 0}, {0, 768}, {256, 512},
                    {512, 256}, {768, 0}, {512, 768}, {768, 512}}},
  };
  for (const Pass& p : passes) {
    flat();
    seedrand(11);
    std::vector<int> rs;
    for (size_t i = 0; i <= p.order.size(); i++) rs.push_back(nextrand() % amp - amp / 2);
    seedrand(11);
    if (p.square) squarepass(p.step, amp);
    else diamondpass(p.step, amp);
    for (size_t i = 0; i < p.order.size(); i++) {
      auto [x, y] = p.order[i];
      EXPECT_EQ(h(x, y), clampv(128 + rs[i])) << "step " << p.step << " (" << x << "," << y << ")";
    }
    EXPECT_EQ(nextrand() % amp - amp / 2, rs.back());   // one number per point, no more
    EXPECT_EQ(h(N - 1, p.step / 2), 128);           // right and bottom edges stay
    EXPECT_EQ(h(p.step / 2, N - 1), 128);
  }
}

// Steps that are not powers of two from 2 to 1024, or an amp below 1, do nothing.
TEST(HeightField, BadLevelsDoNothing) {
  build(7);
  flat();
  seedrand(13);
  int first = nextrand();
  seedrand(13);
  for (int step : {0, -2, 1, 3, 1000, 2048}) {
    squarepass(step, 64);
    diamondpass(step, 64);
  }
  squarepass(2, 0);
  diamondpass(2, 0);
  EXPECT_EQ(nextrand(), first);
  for (int i = 0; i < N * N; i++) ASSERT_EQ(heightfield[i], 128) << i;
}
