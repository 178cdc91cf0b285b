// Ball bounce tests over every face direction, against the bounce formula itself.
#include <gtest/gtest.h>

#include "sim/sim.h"

#include <cmath>

namespace spumex {
namespace {

// The bounce as written: single-precision direction and dot product, the
// reflection in double precision with 1.7, truncation toward zero; then gravity.
void reference(float d, int32_t& vx, int32_t& vy) {
  float t = (float)(d * M_PI / 512.0);
  float s = (float)sin((double)t);
  float c = (float)cos((double)t);
  float dot = (float)vx * c + (float)vy * s;
  if (dot < 0) {
    int32_t nx = (int32_t)((double)vx - (double)(c * dot) * 1.7);
    int32_t ny = (int32_t)((double)vy - (double)(s * dot) * 1.7);
    vx = nx;
    vy = ny;
  }
  vy += gravity;
}

// One tick for one ball that lands on cell (200, 100), which holds face 5.
void bounce(float d, int32_t vx, int32_t vy) {
  facenormals[5] = d;
  ball b{nullptr, 200 * 256 + 128 - vx, 100 * 256 + 128 - vy, vx, vy, 0, 0, 0, 0};
  balls = &b;
  moveballs();
  balls = nullptr;
  int32_t wantx = vx, wanty = vy;
  reference(d, wantx, wanty);
  ASSERT_EQ(b.vx, wantx) << "direction " << d << ", velocity " << vx << "," << vy;
  ASSERT_EQ(b.vy, wanty) << "direction " << d << ", velocity " << vx << "," << vy;
}

const int32_t velocities[][2] = {{300, 400}, {-250, 120}, {0, -512}, {511, 0}, {-37, -301}, {1, 1}};

TEST(MoveBalls, EveryWholeDirection) {
  initbitmap();
  blockmap[100 * MAPW + 200] = 5;
  for (int d = 0; d < 1024; d++)
    for (auto& v : velocities) bounce((float)d, v[0], v[1]);
}

TEST(MoveBalls, DirectionsThatAreNotWhole) {
  // Not what the block map stores, but a face table entry can hold them.
  initbitmap();
  blockmap[100 * MAPW + 200] = 5;
  const float odd[] = {-0.0f, 0.5f, 255.25f, 1023.5f, 1024.0f, 2048.0f, -256.0f, -1.0f, 1e9f};
  for (float d : odd)
    for (auto& v : velocities) bounce(d, v[0], v[1]);
}

}  // namespace
}  // namespace spumex
