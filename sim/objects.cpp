// Hoses and blocks: their pools, free and live lists, templates and grab points.
#include "sim/sim.h"
#include "app/app.h"
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
  return (float)(angle * M_PI / 512.0);
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
  newhose.x = 10240;
  newhose.y = 7680;
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
  newblock.x = 40960;
  newblock.y = 7680;
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
  h->x = 81920;
  h->y = 61440;
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
  b->x = 81920;
  b->y = 61440;
  b->angle = 0;
  return b;
}

void clearall() {
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
  makeblockmap();
}

point hosebase(const hose* h) {
  return point{h->x >> 8, h->y >> 8};
}

point hosenozzle(const hose* h) {
  double t = (double)anglerad(hosedir(h));
  return point{(int32_t)((double)(h->x >> 8) + cos(t) * -22.0),
               (int32_t)((double)(h->y >> 8) + sin(t) * -22.0)};
}

point blockbase(const block* b) {
  return point{b->x >> 8, b->y >> 8};
}

point blockhandle(const block* b) {
  double t = (double)anglerad(b->angle);
  return point{(int32_t)((double)(b->x >> 8) + cos(t) * 36.0),
               (int32_t)((double)(b->y >> 8) + sin(t) * 36.0)};
}

}  // namespace spumex
