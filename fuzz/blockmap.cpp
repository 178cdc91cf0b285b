// Fuzz target: the triangle walk and the block map with arbitrary vertices, block positions and angles.
// Input: a triangle (six 16-bit numbers), then one block per 12 bytes (x, y,
// angle); the last of the bytes after the last whole record, if any, picks
// the screen drawn on.
#include "fuzzcommon.h"

#include "sim/sim.h"

#include <algorithm>

using namespace spumex;

namespace {

screenset screens;

void setup() {
  initsimulation();
  makescreens(screens);
}

int32_t get32(const uint8_t* p) {
  return (int32_t)((uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24);
}

int16_t get16(const uint8_t* p) {
  return (int16_t)(uint16_t)(p[0] | p[1] << 8);
}

// What the walk must produce: consecutive rows, ends between the vertices.
// Each row also goes into the map and onto the screen, clipped there.
struct walkcheck {
  int32_t nexty, minx, maxx, rows;
  uint32_t color;
};

NOCOVER void checkspan(int32_t xa, int32_t y, int32_t xb, void* user) {
  walkcheck* w = (walkcheck*)user;
  FUZZCHECK(y == w->nexty);
  FUZZCHECK(xa >= w->minx && xa <= w->maxx && xb >= w->minx && xb <= w->maxx);
  w->nexty++;
  w->rows++;
  mapspan(xa, y, xb, (void*)(uintptr_t)255);
  hline(xa, y, xb, w->color);
}

// Vertex rows reach a little past the largest screen on either side: every
// row costs a span, and rows farther out are clipped no differently.
void walk(const uint8_t* p) {
  int32_t v[6];
  for (int i = 0; i < 6; i++) v[i] = i % 2 ? get16(p + 2 * i) / 16 : get16(p + 2 * i);
  walkcheck w;
  int32_t miny = std::min({v[1], v[3], v[5]});
  int32_t maxy = std::max({v[1], v[3], v[5]});
  w.minx = std::min({v[0], v[2], v[4]});
  w.maxx = std::max({v[0], v[2], v[4]});
  w.nexty = miny;
  w.rows = 0;
  w.color = maprgb(255, 255, 255);
  filltriangle(v[0], v[1], v[2], v[3], v[4], v[5], checkspan, &w);
  bool fits = w.minx >= -16384 && w.maxx <= 16383;
  FUZZCHECK(w.rows == (fits ? maxy - miny : 0));
  hline(v[0], v[1], v[2], 0xFFFFFFFFu);
}

// Every marked cell lies on the block that owns its id: no farther from its
// centre than the half diagonal of 120 x 24 (61.2) and a little rounding.
// A disc holds every point between two of its points, so a run of one id
// along a row is checked at its two ends. Rows are read four cells at a time.
CHECKER void checkmap(int n, const int64_t* cx, const int64_t* cy) {
  for (int y = 0; y < MAPH; y++) {
    const uint16_t* row = blockmap + y * MAPW;
    uint64_t any = 0;
    for (int x = 0; x < MAPW; x += 4) {
      uint64_t four;
      memcpy(&four, row + x, sizeof four);
      any |= four;
    }
    if (any == 0) continue;
    for (int x = 0; x < MAPW;) {
      uint64_t four;
      if (x + 4 <= MAPW) {
        memcpy(&four, row + x, sizeof four);
        if (four == 0) {
          x += 4;
          continue;
        }
      }
      int id = row[x];
      if (id == 0) {
        x++;
        continue;
      }
      int start = x++;
      const uint64_t same = 0x0001000100010001u * (uint64_t)id;
      while (x + 4 <= MAPW && (memcpy(&four, row + x, sizeof four), four == same)) x += 4;
      while (x < MAPW && row[x] == id) x++;
      FUZZCHECK(id <= 4 * n);
      int k = (id - 1) / 4;
      for (int end : {start, x - 1}) {
        int64_t dx = end - cx[k], dy = y - cy[k];
        FUZZCHECK(dx * dx + dy * dy <= 64 * 64);
      }
      float d = facenormals[id];
      FUZZCHECK(d >= 0.0f && d <= 1023.0f && d == (float)(int)d);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    setup();
    ready = true;
  }
  fuzzscreen& screen = pickscreen(screens, size % 12 != 0 ? data[size - 1] : 0);
  usescreen(screen);
  if (size >= 12) {
    walk(data);
    data += 12;
    size -= 12;
  }

  // One block per 12 bytes: x, y and angle, appended like the preset loader does.
  freeliveballs();
  initblocks();
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

  drawblocks();
  drawballs();
  checkguards(screen);
  mousex = 320;
  mousey = 240;
  for (const block* b = blocks; b != nullptr; b = b->next) blockhit(b);
  return 0;
}
