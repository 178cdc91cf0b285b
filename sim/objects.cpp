// Hoses and blocks: their pools, free and live lists, templates and grab points.
#include "sim/sim.h"
#include "app/state.h"
#include "gfx/gfx.h"

#include <cmath>
#include <cstdlib>

namespace spumex {

hose* hosepool = nullptr;
hose* freehoses = nullptr;
hose* hoses = nullptr;
hose newhose;
block* blockpool = nullptr;
block* freeblocks = nullptr;
block* blocks = nullptr;
block newblock;

float anglerad(int32_t angle) {
  return (float)(angle * M_PI / (ANGLES / 2));
}

int32_t hosedir(const hose* h) {
  // 32-bit sum that wraps like the rotation counter itself
  return wrapadd(h->angle, rotation);
}

void inithoses() {
  if (hosepool == nullptr) {
    hosepool = (hose*)calloc(MAXHOSES, sizeof(hose));
    if (hosepool == nullptr) nomem("inithoses");
  }
  for (int i = 0; i < MAXHOSES - 1; i++) hosepool[i].next = &hosepool[i + 1];
  hosepool[MAXHOSES - 1].next = nullptr;
  freehoses = hosepool;
  hoses = nullptr;

  newhose = hose{};
  newhose.x = fixed(40);
  newhose.y = fixed(30);
  newhose.angle = 384;
  newhose.r = newhose.g = newhose.b = 255;
  newhose.code = 511;
}

void initblocks() {
  if (blockpool == nullptr) {
    blockpool = (block*)calloc(MAXBLOCKS, sizeof(block));
    if (blockpool == nullptr) nomem("initblocks");
  }
  for (int i = 0; i < MAXBLOCKS - 1; i++) blockpool[i].next = &blockpool[i + 1];
  blockpool[MAXBLOCKS - 1].next = nullptr;
  freeblocks = blockpool;
  blocks = nullptr;

  newblock = block{};
  newblock.x = fixed(160);
  newblock.y = fixed(30);
  newblock.angle = 0;
}

hose* allochose() {
  hose* h = freehoses;
  if (h == nullptr) return nullptr;
  freehoses = h->next;
  *h = hose{};
  return h;
}

block* allocblock() {
  block* b = freeblocks;
  if (b == nullptr) return nullptr;
  freeblocks = b->next;
  *b = block{};
  return b;
}

void freehose(hose* h) {
  h->next = freehoses;
  freehoses = h;
}

void freeblock(block* b) {
  b->next = freeblocks;
  freeblocks = b;
}

hose* addhose(uint32_t r, uint32_t g, uint32_t b) {
  hose* h = allochose();
  if (h == nullptr) return nullptr;
  h->next = hoses;
  hoses = h;
  h->x = fixed(LOGW / 2);
  h->y = fixed(LOGH / 2);
  h->angle = 384;
  h->r = (uint8_t)r;
  h->g = (uint8_t)g;
  h->b = (uint8_t)b;
  h->code = colorcode(r, g, b);
  return h;
}

block* addblock() {
  block* b = allocblock();
  if (b == nullptr) return nullptr;
  b->next = blocks;
  blocks = b;
  b->x = fixed(LOGW / 2);
  b->y = fixed(LOGH / 2);
  b->angle = 0;
  return b;
}

void clearobjects() {
  hose* h = hoses;
  hoses = nullptr;
  while (h != nullptr) {
    hose* n = h->next;
    freehose(h);
    h = n;
  }
  block* b = blocks;
  blocks = nullptr;
  while (b != nullptr) {
    block* n = b->next;
    freeblock(b);
    b = n;
  }
  releasegrabs();
}

void clearall() {
  clearobjects();
  makeblockmap();
}

point hosebase(const hose* h) {
  return point{logical(h->x), logical(h->y)};
}

point hosenozzle(const hose* h) {
  double t = (double)anglerad(hosedir(h));
  return point{(int32_t)((double)logical(h->x) + cos(t) * -22.0),
               (int32_t)((double)logical(h->y) + sin(t) * -22.0)};
}

point blockbase(const block* b) {
  return point{logical(b->x), logical(b->y)};
}

point blockhandle(const block* b) {
  double t = (double)anglerad(b->angle);
  return point{(int32_t)((double)logical(b->x) + cos(t) * 36.0),
               (int32_t)((double)logical(b->y) + sin(t) * 36.0)};
}

const blocktri blocktris[BLOCKTRIS] = {
    {0, 2, 3, 0},  // a, q1, q2: the a end
    {1, 4, 5, 1},  // b, q3, q4: the b end
    {0, 1, 5, 2},  // a, b, q4
    {0, 3, 5, 2},  // a, q2, q4: the side away from angle + a quarter turn
    {0, 1, 4, 3},  // a, b, q3
    {0, 2, 4, 3},  // a, q1, q3: the side toward angle + a quarter turn
};

// Nearest whole number of a single-precision coordinate: the half added in
// double, then truncated toward zero.
static inline int32_t rnd(float v) {
  return (int32_t)((double)v + 0.5);
}

void blockshape(float cx, float cy, float u, float v, point pts[BLOCKPOINTS]) {
  point a = {rnd(cx + 4.0f * u), rnd(cy + 4.0f * v)};
  point b = {rnd(cx - 4.0f * u), rnd(cy - 4.0f * v)};
  float ax = (float)a.x, ay = (float)a.y;
  float bx = (float)b.x, by = (float)b.y;
  pts[0] = a;
  pts[1] = b;
  pts[2] = point{rnd((ax + u) - v), rnd((ay + v) + u)};  // q1
  pts[3] = point{rnd((ax + u) + v), rnd((ay + v) - u)};  // q2
  pts[4] = point{rnd((bx - u) - v), rnd((by - v) + u)};  // q3
  pts[5] = point{rnd((bx - u) + v), rnd((by - v) - u)};  // q4
}

}  // namespace spumex
