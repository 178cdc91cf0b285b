// Block collision map: every logical cell a block covers holds the id of its nearest face.
#include "sim/sim.h"
#include "gfx/gfx.h"
#include "app/app.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace spumex {

uint16_t* blockmap = nullptr;
float facenormals[NFACES];

void initbitmap() {
  if (blockmap != nullptr) {
    memset(blockmap, 0, sizeof(uint16_t) * MAPW * MAPH);
    return;
  }
  blockmap = (uint16_t*)calloc((size_t)MAPW * MAPH, sizeof(uint16_t));
  if (blockmap == nullptr) nomem("initbitmap");
}

void mapspan(int32_t x1, int32_t y, int32_t x2, void* id) {
  int32_t lo = std::min(x1, x2);
  int32_t hi = std::max(x1, x2);
  if (hi < 0 || y < 0 || y > MAPH - 1 || lo > MAPW - 1) return;
  lo = std::max(lo, 0);
  hi = std::min(hi, MAPW - 1);  // column 639 is never marked
  if (hi <= lo) return;
  std::fill_n(blockmap + (size_t)y * MAPW + lo, hi - lo, (uint16_t)(uintptr_t)id);
}

// half added in double, then truncated toward zero
static inline int32_t rnd(float v) {
  return (int32_t)((double)v + 0.5);
}

// one triangle of the map filled with a face id
static inline void filltri(point p, point q, point r, int32_t id) {
  filltriangle(p.x, p.y, q.x, q.y, r.x, r.y, mapspan, (void*)(uintptr_t)id);
}

// the four regions of one block, faces d to d + 3
static void mapblock(const block* k, int32_t d) {
  float t = anglerad(k->angle);
  float dx = (float)(cos((double)t) * 12.0);
  float dy = (float)(sin((double)t) * 12.0);
  float cx = (float)(k->x >> 8);
  float cy = (float)(k->y >> 8);

  // ends of the inner segment, 48 units either side of the centre
  point a = {rnd(cx + 4.0f * dx), rnd(cy + 4.0f * dy)};
  point b = {rnd(cx - 4.0f * dx), rnd(cy - 4.0f * dy)};
  float ax = (float)a.x, ay = (float)a.y;
  float bx = (float)b.x, by = (float)b.y;

  // corners: q1, q2 beyond a, q3, q4 beyond b; q1, q3 toward angle + 256
  point q1 = {rnd(ax + dx - dy), rnd(ay + dy + dx)};
  point q2 = {rnd(ax + dx + dy), rnd(ay + dy - dx)};
  point q3 = {rnd(bx - dx - dy), rnd(by - dy + dx)};
  point q4 = {rnd(bx - dx + dy), rnd(by - dy - dx)};

  filltri(a, q1, q2, d);
  filltri(b, q3, q4, d + 1);
  filltri(a, b, q4, d + 2);
  filltri(a, q2, q4, d + 2);
  filltri(a, b, q3, d + 3);
  filltri(a, q1, q3, d + 3);

  uint32_t u = (uint32_t)k->angle;  // wraps, like any angle sum
  facenormals[d] = (float)(u & 1023);
  facenormals[d + 1] = (float)((u & 1023) ^ 512);
  facenormals[d + 2] = (float)((u + 768) & 1023);
  facenormals[d + 3] = (float)((u + 256) & 1023);
}

void makeblockmap() {
  if (blockmap == nullptr) initbitmap();
  memset(blockmap, 0, sizeof(uint16_t) * MAPW * MAPH);
  int32_t d = 1;
  // the face table holds ids for the pool's 64 blocks and no more
  for (const block* k = blocks; k != nullptr && d + 3 < NFACES; k = k->next) {
    mapblock(k, d);
    d += 4;
  }
}

}  // namespace spumex
