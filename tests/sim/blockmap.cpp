// Block collision map tests: regions, ids, directions, clipping and the 64-block pool.
#include <gtest/gtest.h>

#include "sim/sim.h"

#include <algorithm>
#include <map>
#include <vector>

namespace spumex {
namespace {

struct box {
  int n = 0, x0 = 9999, y0 = 9999, x1 = -1, y1 = -1;  // cell count and bounds
};

// rebuilds the map over whatever it holds from the given blocks, linked in order
std::vector<uint16_t> rebuilt(std::vector<block> list) {
  for (size_t i = 0; i + 1 < list.size(); i++) list[i].next = &list[i + 1];
  if (!list.empty()) list.back().next = nullptr;
  blocks = list.empty() ? nullptr : &list[0];
  makeblockmap();
  blocks = nullptr;
  return std::vector<uint16_t>(blockmap, blockmap + MAPW * MAPH);
}

// builds the map from the given blocks on a cleared map
std::vector<uint16_t> mapof(std::vector<block> list) {
  initbitmap();
  return rebuilt(list);
}

block at(int x, int y, int angle) { return block{nullptr, x * 256, y * 256, angle}; }

std::map<int, box> boxes(const std::vector<uint16_t>& m) {
  std::map<int, box> b;
  for (int y = 0; y < MAPH; y++)
    for (int x = 0; x < MAPW; x++)
      if (int id = m[y * MAPW + x]) {
        box& k = b[id];
        k.n++;
        k.x0 = std::min(k.x0, x), k.y0 = std::min(k.y0, y), k.x1 = std::max(k.x1, x), k.y1 = std::max(k.y1, y);
      }
  return b;
}

TEST(BlockMap, EmptyListClearsMap) {
  initbitmap();
  std::fill_n(blockmap, MAPW * MAPH, 7);
  std::vector<uint16_t> m = mapof({});
  EXPECT_TRUE(boxes(m).empty());
}

// A rebuild clears only the cells marked since the last clear; it must
// leave none of them behind, whatever the blocks before and after.
TEST(BlockMap, RebuildLeavesNothingOfTheLastMap) {
  const std::vector<block> scenes[] = {
      {at(320, 240, 100), at(10, 470, 0)}, {at(620, 100, 0)},  {at(200, 100, 300), at(330, 250, 700)},
      {},                                  {at(60, 12, 0)},    {at(321, 241, 101), at(600, 450, 900)},
      {at(320, 240, 100)},
  };
  mapof(scenes[0]);
  for (size_t i = 1; i < std::size(scenes); i++) {
    std::vector<uint16_t> over = rebuilt(scenes[i]);
    EXPECT_EQ(over, mapof(scenes[i])) << "scene " << i << " over scene " << i - 1;
    rebuilt(scenes[i - 1]);
    EXPECT_EQ(rebuilt(scenes[i]), over) << "scene " << i << " over scene " << i - 1 << " again";
  }
}

// Each run length has its own stores: every run marks exactly its cells,
// ends given either way round, and its row's marked columns cover them.
TEST(BlockMap, SpanMarksExactlyItsCells) {
  for (int lo : {0, 1, 3, 610}) {
    for (int n = 1; n <= 40; n++) {
      initbitmap();
      int hi = std::min(lo + n, MAPW - 1);
      uint16_t id = (uint16_t)(250 + n);  // above 255 too: no lane carries into the next
      mapspan(n % 2 ? lo : hi, 7, n % 2 ? hi : lo, (void*)(uintptr_t)id);
      int marked = 0;
      for (int i = 0; i < MAPW * MAPH; i++) marked += blockmap[i] != 0;
      ASSERT_EQ(marked, hi - lo) << lo << " + " << n;
      for (int x = lo; x < hi; x++) ASSERT_EQ(blockmap[7 * MAPW + x], id) << lo << " + " << n << " at " << x;
      EXPECT_TRUE(mapleft[7] <= lo && mapright[7] >= hi) << lo << " + " << n;
    }
  }
}

TEST(BlockMap, Angle0Regions) {
  std::map<int, box> b = boxes(mapof({at(320, 240, 0)}));
  ASSERT_EQ(b.size(), 4u);
  EXPECT_EQ(b[1].n, 144);
  EXPECT_TRUE(b[1].x0 >= 368 && b[1].x1 <= 379 && b[1].y0 >= 229 && b[1].y1 <= 250);
  EXPECT_EQ(b[2].n, 144);
  EXPECT_TRUE(b[2].x0 >= 260 && b[2].x1 <= 271 && b[2].y0 >= 229 && b[2].y1 <= 250);
  EXPECT_EQ(b[3].n, 1296);
  EXPECT_TRUE(b[3].y0 == 228 && b[3].y1 == 239 && b[3].x0 == 260 && b[3].x1 == 379);
  EXPECT_EQ(b[4].n, 1296);
  EXPECT_TRUE(b[4].y0 == 240 && b[4].y1 == 251 && b[4].x0 == 260 && b[4].x1 == 379);
  const float dirs[] = {0, 512, 768, 256};
  for (int i = 0; i < 4; i++) EXPECT_EQ(facenormals[i + 1], dirs[i]) << i + 1;
}

TEST(BlockMap, Angle256Regions) {
  std::vector<uint16_t> m = mapof({at(320, 240, 256)});
  std::map<int, box> b = boxes(m);
  ASSERT_EQ(b.size(), 4u);
  int total = 0;
  for (auto& [id, k] : b) {
    total += k.n;
    EXPECT_TRUE(k.x0 >= 308 && k.x1 <= 331 && k.y0 >= 180 && k.y1 <= 299) << id;
  }
  EXPECT_EQ(total, 2880);  // the whole 24 x 120 bar
  EXPECT_GT(b[1].y0, 240);  // bottom end
  EXPECT_LT(b[2].y1, 240);  // top end
  EXPECT_TRUE(b[3].x0 == 320 && b[3].x1 == 331);
  EXPECT_TRUE(b[4].x0 == 308 && b[4].x1 == 319);
  const float dirs[] = {256, 768, 0, 512};
  for (int i = 0; i < 4; i++) EXPECT_EQ(facenormals[i + 1], dirs[i]) << i + 1;
}

TEST(BlockMap, WholeTurnsEqualZero) {
  std::vector<uint16_t> zero = mapof({at(200, 100, 0)});
  for (int a : {1024, -1024}) {
    EXPECT_EQ(mapof({at(200, 100, a)}), zero) << a;
    const float dirs[] = {0, 512, 768, 256};
    for (int i = 0; i < 4; i++) EXPECT_EQ(facenormals[i + 1], dirs[i]) << a << " " << i + 1;
  }
}

TEST(BlockMap, LaterBlockWins) {
  block first = at(320, 240, 0), second = at(350, 250, 200);
  std::vector<uint16_t> one = mapof({first}), two = mapof({second}), both = mapof({first, second});
  int overlap = 0;
  for (int i = 0; i < MAPW * MAPH; i++) {
    overlap += one[i] && two[i];
    ASSERT_EQ(both[i], two[i] ? two[i] + 4 : one[i]) << i;
  }
  EXPECT_GT(overlap, 100);
}

TEST(BlockMap, ClippedAtEdges) {
  // bounds of every marked cell, whatever its id
  auto all = [](const std::vector<uint16_t>& m) {
    std::vector<uint16_t> solid(m.size());
    for (size_t i = 0; i < m.size(); i++) solid[i] = m[i] != 0;
    return boxes(solid)[1];
  };
  box right = all(mapof({at(620, 100, 0)}));
  EXPECT_TRUE(right.x0 == 560 && right.x1 == 638 && right.n == 79 * 24);  // never column 639
  box left = all(mapof({at(10, 470, 0)}));
  EXPECT_TRUE(left.x0 == 0 && left.x1 == 69 && left.y0 == 458 && left.y1 == 479);  // no wrap
  EXPECT_EQ(left.n, 70 * 22);
}

TEST(BlockMap, SixtyFourBlocksAllSolid) {
  // a grid of separate bars: every block owns its four ids on all 2880 cells
  std::vector<block> grid;
  for (int i = 0; i < MAXBLOCKS; i++) grid.push_back(at(60 + 120 * (i % 5), 12 + 24 * (i / 5), 0));
  std::vector<uint16_t> m = mapof(grid);
  for (int i = 0; i < MAXBLOCKS; i++) {
    int n = 0;
    for (int y = 24 * (i / 5); y < 24 * (i / 5) + 24; y++)
      for (int x = 120 * (i % 5); x < 120 * (i % 5) + 120; x++) {
        int id = m[y * MAPW + x];
        n += id > 4 * i && id <= 4 * i + 4;
      }
    EXPECT_EQ(n, 2880) << "block " << i;
  }
  EXPECT_EQ(facenormals[256], 256.0f);

  // all stacked: the last block covers everything beneath with ids 253 to 256
  std::vector<block> stack(MAXBLOCKS, at(320, 240, 0));
  std::map<int, box> b = boxes(mapof(stack));
  ASSERT_EQ(b.size(), 4u);
  EXPECT_EQ(b[253].n + b[254].n + b[255].n + b[256].n, 2880);
  EXPECT_EQ(b[256].n, 1296);
}

}  // namespace
}  // namespace spumex
