// Fuzz target: arbitrary bytes as a preset slot's text, loaded, run, edited and drawn.
// One input in eight also goes the whole way through the files: written as
// slot 0's file and read back with the other slots, stored into slot 1's file,
// compared with the store in memory and loaded from there again. The others
// reach the loader from memory. The input's size picks the files or not and
// the mixing, a hash of its bytes the screen.
#include "fuzzcommon.h"

#include "presets/presets.h"
#include "sim/sim.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

using namespace spumex;

namespace {

screenset screens;

struct scene {
  int nhoses, nblocks;
  hose h[MAXHOSES];
  block b[MAXBLOCKS];
};
scene first, second;

// Per row, the columns the next map check reads: those marked at the last
// check and those marked by every build since, so that a check also reads
// the cells a build had to clear. Every other cell was 0 at the last check
// and nothing marked it since. A row with none has left MAPW and right 0, as
// the map's marks have after a clear.
int16_t watchleft[MAPH], watchright[MAPH];

void setup() {
  setenv("HOME", privatedir(), 1);
  initsimulation();
  makescreens(screens);
  std::fill_n(watchleft, MAPH, (int16_t)MAPW);
}

// Every record of a pool is on exactly one of its two lists, each list ends.
template <typename T>
int checkpool(T* pool, int size, T* live, T* free) {
  bool seen[64] = {};
  int nlive = 0, total = 0;
  for (int pass = 0; pass < 2; pass++)
    for (T* p = pass == 0 ? live : free; p != nullptr; p = p->next) {
      FUZZCHECK(p >= pool && p < pool + size);
      FUZZCHECK(!seen[p - pool]);
      seen[p - pool] = true;
      total++;
      if (pass == 0) nlive++;
    }
  FUZZCHECK(total == size);
  return nlive;
}

void takescene(scene& s) {
  s.nhoses = checkpool(hosepool, MAXHOSES, hoses, freehoses);
  s.nblocks = checkpool(blockpool, MAXBLOCKS, blocks, freeblocks);
  int i = 0;
  for (const hose* h = hoses; h != nullptr; h = h->next) {
    FUZZCHECK(h->code == colorcode(h->r, h->g, h->b));
    s.h[i++] = *h;
  }
  i = 0;
  for (const block* b = blocks; b != nullptr; b = b->next) s.b[i++] = *b;
}

bool sameblocks(const scene& a, const scene& b) {
  if (a.nblocks != b.nblocks) return false;
  for (int i = 0; i < a.nblocks; i++) {
    const block &p = a.b[i], &q = b.b[i];
    if (p.x != q.x || p.y != q.y || p.angle != q.angle) return false;
  }
  return true;
}

bool samescene(const scene& a, const scene& b) {
  if (a.nhoses != b.nhoses || !sameblocks(a, b)) return false;
  for (int i = 0; i < a.nhoses; i++) {
    const hose &p = a.h[i], &q = b.h[i];
    if (p.x != q.x || p.y != q.y || p.angle != q.angle || p.r != q.r || p.g != q.g || p.b != q.b ||
        p.code != q.code)
      return false;
  }
  return true;
}

// After a call that may have made the map: its marked columns are watched.
// (No std::min here: with its sanitizers it would not be inlined.)
CHECKER void watchmarks() {
  for (int y = 0; y < MAPH; y++) {
    if (mapleft[y] < watchleft[y]) watchleft[y] = mapleft[y];
    if (mapright[y] > watchright[y]) watchright[y] = mapright[y];
  }
}

// The OR of the ids from cell x to end of a row.
CHECKER uint64_t orcells(const uint16_t* row, int x, int end) {
  uint64_t any = 0;
  for (; x + 4 <= end; x += 4) {
    uint64_t four;
    memcpy(&four, row + x, sizeof four);
    any |= four;
  }
  for (; x < end; x++) any |= row[x];
  return any;
}

// Lanes with their top bit set for the ids from cell x to end of a row that
// are above top or 0x8000 or more, four at a time: (id | 0x8000) - (top + 1)
// has the top bit for an id above top, id itself for one of 0x8000 or more.
CHECKER uint64_t highids(const uint16_t* row, int x, int end, int top) {
  const uint64_t high = 0x8000800080008000u;
  const uint64_t limit = 0x0001000100010001u * (uint64_t)(top + 1);
  uint64_t seen = 0;
  for (; x + 4 <= end; x += 4) {
    uint64_t four;
    memcpy(&four, row + x, sizeof four);
    seen |= ((four | high) - limit) | four;
  }
  for (; x < end; x++) seen |= row[x] > top ? high : 0;
  return seen & high;
}

// The map holds only ids of live blocks' faces, and only in the columns its
// row's marks cover; every live face has a whole direction 0..1023. Reads
// the watched columns, or the whole map when whole.
CHECKER void checkmap(int nblocks, bool whole) {
  int top = 4 * nblocks;
  uint64_t high = 0, outside = 0;
  for (int y = 0; y < MAPH; y++) {
    int left = mapleft[y], right = mapright[y];
    int from = whole ? 0 : left < watchleft[y] ? left : watchleft[y];
    int to = whole ? MAPW : right > watchright[y] ? right : watchright[y];
    FUZZCHECK(left >= 0 && right <= MAPW && from >= 0 && to <= MAPW);
    watchleft[y] = mapleft[y];
    watchright[y] = mapright[y];
    if (to <= from) continue;
    const uint16_t* row = blockmap + y * MAPW;
    if (right > left) {
      outside |= orcells(row, from, left) | orcells(row, right, to);
      high |= highids(row, left, right, top);
    } else {
      outside |= orcells(row, from, to);
    }
  }
  FUZZCHECK(high == 0);
  FUZZCHECK(outside == 0);
  for (int id = 1; id <= top; id++) {
    float n = facenormals[id];
    FUZZCHECK(n >= 0.0f && n <= 1023.0f && n == (float)(int)n);
  }
}

std::string readfile(const char* name) {
  std::string text;
  int fd = open(name, O_RDONLY);
  if (fd < 0) return "<missing>";
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) text.append(buf, (size_t)n);
  close(fd);
  return text;
}

void writefile(const char* name, const uint8_t* data, size_t size) {
  int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) abort();
  if (size > 0 && write(fd, data, size) != (ssize_t)size) abort();
  close(fd);
}

// The frame as the program draws it. The swatches are the same on every
// frame of a screen: they are drawn the first time only.
void drawall(fuzzscreen& f) {
  usescreen(f);
  drawballs();
  drawhoses();
  drawblocks();
  if (!f.swatched) drawswatches();
  f.swatched = true;
  drawsprite(xsize * mousex / 640, ysize * mousey / 480, cursorsprite);
  checkguards(f);
}

// The screen's choice, from a hash of all the input's bytes. The fuzzer runs
// a few sizes far more often than others, and a choice by the size alone drew
// on the two largest screens for 7 to 10% of the inputs instead of 2 in 64.
CHECKER unsigned screenchoice(const uint8_t* data, size_t size) {
  uint64_t h = size;
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t eight;
    memcpy(&eight, data + i, sizeof eight);
    h = (h ^ eight) * 0x100000001b3u;
  }
  for (; i < size; i++) h = (h ^ data[i]) * 0x100000001b3u;
  return (unsigned)((h * 0x9e3779b97f4a7c15u) >> 58);
}

// Slot 0's text as reading its file makes it: up to the first zero byte, at most 65,535 bytes.
void setslot0(const uint8_t* data, size_t size) {
  size_t n = size > 0 ? strnlen((const char*)data, size < 65535 ? size : 65535) : 0;
  free(presets[0]);
  presets[0] = (char*)malloc(n + 1);
  FUZZCHECK(presets[0] != nullptr);
  if (n > 0) memcpy(presets[0], data, n);
  presets[0][n] = 0;
}

}  // namespace

// The address sanitizer keeps freed memory out of use until 256 MB have been
// freed, so in a run of seconds nearly every allocation lands on a fresh page
// and costs a page fault: a sixth of the run's time went to the kernel. 16 MB
// still hold what the last few thousand inputs freed. ASAN_OPTIONS overrides it.
extern "C" const char* __asan_default_options() {
  return "quarantine_size_mb=16";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    setup();
    ready = true;
  }
  bool files = (size >> 1) % 8 == 0;
  char slot0[NAMESIZE], slot1[NAMESIZE];
  if (files) {
    // The bytes as slot 0's file; the slot keeps them up to the first zero byte.
    presetname(slot0, NAMESIZE, 0);
    presetname(slot1, NAMESIZE, 1);
    writefile(slot0, data, size);
    readpresets();
    FUZZCHECK(presets[0] != nullptr);
    size_t expect = size > 0 ? strnlen((const char*)data, size < 65535 ? size : 65535) : 0;
    FUZZCHECK(strlen(presets[0]) == expect && (expect == 0 || memcmp(presets[0], data, expect) == 0));
  } else {
    setslot0(data, size);
  }

  // The frame loop's scene: the pools fresh, one white hose, then slot 0.
  freeliveballs();
  inithoses();
  initblocks();
  mixing = rotating = 0;
  rotation = 0;
  addhose(255, 255, 255);
  loadpreset(0);
  watchmarks();
  FUZZCHECK(selhose == nullptr && selblock == nullptr);
  takescene(first);
  checkmap(first.nblocks, files);  // the whole map with the files, else the cells marked lately

  // Each line the loader looks at gives a hose, a block or a skipped line.
  const char* text = presets[0];
  int looked = *text != 0;
  for (const char* p = text; *p != 0; p++) looked += p[0] == '\n' && p[1] != 0;
  FUZZCHECK(skippedlines(text) + first.nhoses + first.nblocks == looked);

  if (files) {
    // Stored back: memory and file agree, and loading the store gives the same scene.
    savepreset(1);
    FUZZCHECK(presets[1] != nullptr);
    FUZZCHECK(readfile(slot1) == presets[1]);
    loadpreset(1);
    watchmarks();
    takescene(second);
    FUZZCHECK(samescene(first, second));
  }

  // A few steps, the last ones with the rotation offset wrapping.
  for (int i = 0; i < 3; i++) simstep();
  rotating = 1;
  rotation = INT32_MAX - 60;
  for (int i = 0; i < 3; i++) simstep();

  // Grab whatever sits under the mouse at the first object, then drag.
  int mx = first.nhoses > 0 ? first.h[0].x >> 8 : first.nblocks > 0 ? first.b[0].x >> 8 : 320;
  int my = first.nhoses > 0 ? first.h[0].y >> 8 : first.nblocks > 0 ? first.b[0].y >> 8 : 240;
  mousex = mx < 0 ? 0 : mx > 639 ? 639 : mx;
  mousey = my < 0 ? 0 : my > 479 ? 479 : my;
  dragmode = 1;
  hosemouse();
  blockmouse();
  watchmarks();
  dragmode = 2;
  mousex = (mousex + 17) % 640;
  mousey = (mousey + 11) % 480;
  hosemouse();
  blockmouse();
  watchmarks();
  dragmode = 0;
  takescene(second);
  if (!sameblocks(first, second)) checkmap(second.nblocks, false);  // the map was made again

  mixing = (uint8_t)(size & 1);
  drawall(pickscreen(screens, screenchoice(data, size)));
  return 0;
}
