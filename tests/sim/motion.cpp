// Ball motion tests: bounces, the scene's edges, sinking through a block and removal.
#include <gtest/gtest.h>

#include "sim/sim.h"

#include <algorithm>
#include <vector>

namespace spumex {
namespace {

// a ball that lands on the centre of cell (px, py) in its next move
ball landing(int px, int py, int vx, int vy) {
  return ball{nullptr, px * 256 + 128 - vx, py * 256 + 128 - vy, vx, vy, 0, 0, 0, 0};
}

// one tick of motion for a single ball
ball step(ball b) {
  balls = &b;
  moveballs();
  balls = nullptr;
  return b;
}

TEST(MoveBalls, BounceOnFace) {
  struct {
    int id;
    float dir;
    int vx, vy, wantvx, wantvy;
  } const cases[] = {
      {1, 768, 300, 400, 300, -272}, {1, 640, 100, 100, -70, -61}, {1, 0, 200, 300, 200, 308},
      {1, 0, 0, 300, 0, 308},        {256, 768, 300, 400, 300, -272},
  };
  for (auto& c : cases) {
    initbitmap();
    blockmap[100 * MAPW + 200] = (uint16_t)c.id;
    facenormals[c.id] = c.dir;
    ball b = step(landing(200, 100, c.vx, c.vy));
    EXPECT_EQ(b.vx, c.wantvx) << c.vx << "," << c.vy << " on " << c.dir;
    EXPECT_EQ(b.vy, c.wantvy) << c.vx << "," << c.vy << " on " << c.dir;
    EXPECT_EQ(b.x, 200 * 256 + 128);  // the position is not corrected
    EXPECT_EQ(b.y, 100 * 256 + 128);
  }
}

TEST(MoveBalls, OnlyInsideTheScene) {
  initbitmap();
  std::fill_n(blockmap, MAPW * MAPH, 1);
  facenormals[1] = 768;
  struct {
    int32_t x, y, wantvy;
  } const cases[] = {{-1, 1000, 408},        {640 * 256, 1000, 408},  {1000, -1, 408},
                     {1000, 480 * 256, 408}, {0, 0, -272},            {639 * 256 + 255, 479 * 256 + 255, -272}};
  for (auto& c : cases) {
    ball b = step(ball{nullptr, c.x, c.y - 400, 0, 400, 0, 0, 0, 0});
    EXPECT_EQ(b.vy, c.wantvy) << c.x << "," << c.y;
  }
}

TEST(MoveBalls, Column639NeverBounces) {
  initbitmap();
  block k{nullptr, 620 * 256, 240 * 256, 0};
  blocks = &k;
  makeblockmap();
  blocks = nullptr;
  EXPECT_EQ(step(landing(639, 235, 0, 400)).vy, 408);
  EXPECT_EQ(step(landing(638, 235, 0, 400)).vy, -272);
}

TEST(MoveBalls, RestingBallSinksThrough) {
  initbitmap();
  block k{nullptr, 320 * 256, 240 * 256, 0};
  blocks = &k;
  makeblockmap();
  blocks = nullptr;
  ball b{nullptr, 320 * 256, 230 * 256, 0, 0, 0, 0, 0, 0};
  int t = 0;
  for (; (b.y >> 8) < 240 && t < 2000; t++) {
    int before = b.vy;
    b = step(b);
    if (t >= 3 && (b.y >> 8) < 240) {
      ASSERT_TRUE((before == 4 && b.vy == 6) || (before == 6 && b.vy == 4)) << t << ": " << b.vy;
    }
  }
  EXPECT_NEAR(t, 10 * 256 / 5, 10);  // about 5/256 unit per tick
  // the lower half looks down: no more bounces until the ball leaves the block
  for (int i = 0; (b.y >> 8) < 252; i++) {
    ASSERT_LT(i, 30);
    int before = b.vy;
    b = step(b);
    ASSERT_EQ(b.vy, before + 8);
  }
  EXPECT_EQ(b.vx, 0);
}

TEST(DropBalls, BelowBottomGoes) {
  const int32_t ys[] = {122879, 122880, -5, 200000, 0, 122880};
  ball list[6] = {};
  for (int i = 0; i < 6; i++) list[i] = ball{i < 5 ? &list[i + 1] : nullptr, -9000, ys[i], 0, 0, 0, 0, 0, 0};
  ball* savedfree = freeballs;
  freeballs = nullptr;
  balls = &list[0];
  dropballs();
  std::vector<ball*> kept, freed;
  for (ball* b = balls; b; b = b->next) kept.push_back(b);
  for (ball* b = freeballs; b; b = b->next) freed.push_back(b);
  EXPECT_EQ(kept, (std::vector<ball*>{&list[0], &list[2], &list[4]}));
  EXPECT_EQ(freed, (std::vector<ball*>{&list[5], &list[3], &list[1]}));  // last removed first
  balls = nullptr;
  freeballs = savedfree;
}

TEST(DropBalls, NegativeXFallsOut) {
  initbitmap();
  std::fill_n(blockmap, MAPW * MAPH, 1);
  facenormals[1] = 768;
  ball b{nullptr, -5 * 256, 100 * 256, 0, 0, 0, 0, 0, 0};
  ball* savedfree = freeballs;
  balls = &b;
  int vy = 0;
  while (balls != nullptr) {
    int32_t y = b.y + b.vy;
    moveballs();
    vy += 8;
    ASSERT_EQ(b.vy, vy);  // never deflected
    dropballs();
    EXPECT_EQ(balls == nullptr, y >= 122880) << y;
  }
  EXPECT_EQ(freeballs, &b);
  freeballs = savedfree;
}

}  // namespace
}  // namespace spumex
