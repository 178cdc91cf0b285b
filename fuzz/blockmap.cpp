// Fuzz target: the triangle walk and the block map with arbitrary vertices, block positions and angles.
#include "fuzzcommon.h"

#include "sim/sim.h"

#include <algorithm>

using namespace spumex;

namespace {

fuzzscreen small, large;

void setup() {
  initsimulation();
  makescreen(small, 100, 75, 16);
  makescreen(large, 2048, 1536, 8);
}

int32_t get32(const uint8_t* p) {
  return (int32_t)((uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24);
}

int16_t get16(const uint8_t* p) {
  return (int16_t)(uint16_t)(p[0] | p[1] << 8);
}

// What the walk must produce: consecutive rows, ends between the vertices.
struct walkcheck {
  int32_t nexty, minx, maxx, rows;
};

void checkspan(int32_t xa, int32_t y, int32_t xb, void* user) {
  walkcheck* w = (walkcheck*)user;
  FUZZCHECK(y == w->nexty);
  FUZZCHECK(xa >= w->minx && xa <= w->maxx && xb >= w->minx && xb <= w->maxx);
  w->nexty++;
  w->rows++;
}

void walk(const uint8_t* p) {
  int32_t v[6];
  for (int i = 0; i < 6; i++) v[i] = get16(p + 2 * i);
  walkcheck w;
  int32_t miny = std::min({v[1], v[3], v[5]});
  int32_t maxy = std::max({v[1], v[3], v[5]});
  w.minx = std::min({v[0], v[2], v[4]});
  w.maxx = std::max({v[0], v[2], v[4]});
  w.nexty = miny;
  w.rows = 0;
  filltriangle(v[0], v[1], v[2], v[3], v[4], v[5], checkspan, &w);
  bool fits = w.minx >= -16384 && w.maxx <= 16383;
  FUZZCHECK(w.rows == (fits ? maxy - miny : 0));

  // The same walk into the map and onto both screens, clipped there.
  filltriangle(v[0], v[1], v[2], v[3], v[4], v[5], mapspan, (void*)(uintptr_t)255);
  for (fuzzscreen* f : {&small, &large}) {
    usescreen(*f);
    drawtriangle(v[0], v[1], v[2], v[3], v[4], v[5], 255, 255, 255);
    hline(v[0], v[1], v[2], 0xFFFFFFFFu);
    checkguards(*f);
  }
}

// Every marked cell lies on the block that owns its id: no farther from its
// centre than the half diagonal of 120 x 24 (61.2) and a little rounding.
NOCOVER void checkmap(int n, const int64_t* cx, const int64_t* cy) {
  for (int y = 0; y < MAPH; y++)
    for (int x = 0; x < MAPW; x++) {
      uint64_t four;
      if (x % 4 == 0) {
        memcpy(&four, blockmap + y * MAPW + x, sizeof four);
        if (four == 0) {
          x += 3;
          continue;
        }
      }
      int id = blockmap[y * MAPW + x];
      if (id == 0) continue;
      FUZZCHECK(id <= 4 * n);
      int k = (id - 1) / 4;
      int64_t dx = x - cx[k], dy = y - cy[k];
      FUZZCHECK(dx * dx + dy * dy <= 64 * 64);
      float d = facenormals[id];
      FUZZCHECK(d >= 0.0f && d <= 1023.0f && d == (float)(int)d);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    setup();
    ready = true;
  }
  if (size >= 12) {
    walk(data);
    data += 12;
    size -= 12;
  }

  // One block per 12 bytes: x, y and angle, appended like the preset loader does.
  clearall();
  initballs();
  block** tail = &blocks;
  int n = 0;
  int64_t cx[MAXBLOCKS], cy[MAXBLOCKS];
  for (; size >= 12 && n < MAXBLOCKS; data += 12, size -= 12) {
    block* b = allocblock();
    FUZZCHECK(b != nullptr);
    b->x = get32(data);
    b->y = get32(data + 4);
    b->angle = get32(data + 8);
    cx[n] = b->x >> 8;
    cy[n] = b->y >> 8;
    *tail = b;
    tail = &b->next;
    n++;
  }
  makeblockmap();

  checkmap(n, cx, cy);

  // Balls dropped on every block centre bounce off whatever face is there.
  for (const block* b = blocks; b != nullptr; b = b->next) {
    ball* p = allocball();
    FUZZCHECK(p != nullptr);
    p->x = b->x;
    p->y = b->y;
    p->vx = (int32_t)((b->angle & 2047) - 1024);
    p->vy = (int32_t)(((b->angle >> 11) & 2047) - 1024);
    p->next = balls;
    balls = p;
  }
  moveballs();
  dropballs();

  for (fuzzscreen* f : {&small, &large}) {
    usescreen(*f);
    drawblocks();
    drawballs();
    checkguards(*f);
  }
  mousex = 320;
  mousey = 240;
  for (const block* b = blocks; b != nullptr; b = b->next) blockhit(b);
  return 0;
}
