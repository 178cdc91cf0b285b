// Block collision map: every logical cell a block covers holds the id of its nearest face.
#include "sim/sim.h"
#include "app/state.h"
#include "gfx/gfx.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace spumex {

uint16_t* blockmap = nullptr;
float facenormals[NFACES];
int16_t mapleft[MAPH];
int16_t mapright[MAPH];

// every row clean: nothing marked since the map was cleared
static void forgetmarks() {
  std::fill_n(mapleft, MAPH, (int16_t)MAPW);
  std::fill_n(mapright, MAPH, (int16_t)0);
}

void initbitmap() {
  if (blockmap != nullptr) {
    memset(blockmap, 0, sizeof(uint16_t) * MAPW * MAPH);
  } else {
    blockmap = (uint16_t*)calloc((size_t)MAPW * MAPH, sizeof(uint16_t));
    if (blockmap == nullptr) nomem("initbitmap");
  }
  forgetmarks();
}

// Clears only what was marked since the last clear: a rebuild costs the
// rows its blocks cover, not the whole map.
static void clearmarks() {
  for (int y = 0; y < MAPH; y++) {
    int n = mapright[y] - mapleft[y];
    if (n > 0) memset(blockmap + (size_t)y * MAPW + mapleft[y], 0, sizeof(uint16_t) * (size_t)n);
  }
  forgetmarks();
}

void mapspan(int32_t x1, int32_t y, int32_t x2, void* id) {
  int32_t lo = std::min(x1, x2);
  int32_t hi = std::max(x1, x2);
  if (hi < 0 || y < 0 || y > MAPH - 1 || lo > MAPW - 1) return;
  lo = std::max(lo, 0);
  hi = std::min(hi, MAPW - 1);  // column 639 is never marked
  if (hi <= lo) return;
  if (lo < mapleft[y]) mapleft[y] = (int16_t)lo;
  if (hi > mapright[y]) mapright[y] = (int16_t)hi;
  uint16_t* p = blockmap + (size_t)y * MAPW + lo;
  int32_t n = hi - lo;
  uint16_t v = (uint16_t)(uintptr_t)id;
  if (n > 16) {
    std::fill_n(p, n, v);
    return;
  }
  // Most runs are short: two or four overlapping stores of four cells, or
  // three single ones, instead of a loop of unpredictable length.
  uint64_t four = 0x0001000100010001u * v;
  if (n >= 8) {
    memcpy(p, &four, sizeof four);
    memcpy(p + 4, &four, sizeof four);
    memcpy(p + n - 8, &four, sizeof four);
    memcpy(p + n - 4, &four, sizeof four);
  } else if (n >= 4) {
    memcpy(p, &four, sizeof four);
    memcpy(p + n - 4, &four, sizeof four);
  } else {
    p[0] = v;
    p[n / 2] = v;
    p[n - 1] = v;
  }
}

// the four regions of one block, faces d to d + 3, in logical units
static void mapblock(const block* k, int32_t d) {
  float t = anglerad(k->angle);
  float dx = (float)(cos((double)t) * 12.0);
  float dy = (float)(sin((double)t) * 12.0);
  point pts[BLOCKPOINTS];
  blockshape((float)logical(k->x), (float)logical(k->y), dx, dy, pts);
  for (const blocktri& f : blocktris) {
    point p = pts[f.p], q = pts[f.q], r = pts[f.r];
    filltriangle(p.x, p.y, q.x, q.y, r.x, r.y, mapspan, (void*)(uintptr_t)(d + f.face));
  }

  constexpr uint32_t TURN = ANGLES - 1;  // mask of one turn
  uint32_t u = (uint32_t)k->angle;  // wraps, like any angle sum
  facenormals[d] = (float)(u & TURN);
  facenormals[d + 1] = (float)((u & TURN) ^ (ANGLES / 2));
  facenormals[d + 2] = (float)((u + 3 * ANGLES / 4) & TURN);
  facenormals[d + 3] = (float)((u + ANGLES / 4) & TURN);
}

void makeblockmap() {
  if (blockmap == nullptr) initbitmap();
  clearmarks();
  int32_t d = 1;
  // the face table holds ids for the pool's 64 blocks and no more
  for (const block* k = blocks; k != nullptr && d + 3 < NFACES; k = k->next) {
    mapblock(k, d);
    d += 4;
  }
}

}  // namespace spumex
