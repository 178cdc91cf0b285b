// Shared pieces of the fuzz targets: guarded memory screens, a private directory, fast checks.
#pragma once
#include "app/app.h"
#include "gfx/gfx.h"
#include "sim/sim.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace spumex {

constexpr int GUARDBYTES = 32;       // zero bytes after every screen row

// Checking code: no coverage feedback (it would only slow the search). The
// checking loops read only memory the target owns, so they go without
// sanitizer checks too. Both kept out of line, so they are not inlined into
// instrumented code.
#define NOCOVER __attribute__((no_sanitize("coverage"), noinline))
#define CHECKER __attribute__((no_sanitize("coverage", "address", "undefined"), noinline))

#define FUZZCHECK(cond)                                                     \
  do {                                                                      \
    if (!(cond)) {                                                          \
      fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #cond); \
      abort();                                                              \
    }                                                                       \
  } while (0)

// One memory screen with its own sprites, built once.
struct fuzzscreen {
  int width, height, bits;
  uint8_t* memory;                   // height rows of rowstride bytes, nothing more
  int rowstride;                     // the row's pixels, then GUARDBYTES zero bytes
  uint16_t* balls[NCODES];
  uint16_t* cursor;
  swatch sw[NSWATCHES];
  bool swatched;                     // the swatches are drawn on it
};

// Points the program's screen and sprites at the screen.
inline void usescreen(fuzzscreen& f) {
  usememoryscreen(f.memory, f.width, f.height, f.bits, f.rowstride);
  memcpy(ballsprites, f.balls, sizeof ballsprites);
  cursorsprite = f.cursor;
  memcpy(swatches, f.sw, sizeof swatches);
}

// Allocates the screen and builds its sprites; needs scratch.
inline void makescreen(fuzzscreen& f, int width, int height, int bits) {
  f.width = width;
  f.height = height;
  f.bits = bits;
  f.rowstride = width * (bits == 16 ? 2 : 1) + GUARDBYTES;
  f.memory = (uint8_t*)calloc((size_t)f.rowstride * height, 1);
  if (f.memory == nullptr) abort();
  f.cursor = nullptr;
  f.swatched = false;
  usescreen(f);
  makeballs();
  initswatches();
  memcpy(f.balls, ballsprites, sizeof ballsprites);
  f.cursor = cursorsprite;
  memcpy(f.sw, swatches, sizeof swatches);
}

// Aborts when anything was written into the bytes behind a row.
CHECKER inline void checkguards(const fuzzscreen& f) {
  int rowlen = f.rowstride - GUARDBYTES;
  for (int y = 0; y < f.height; y++) {
    const uint8_t* g = f.memory + (size_t)y * f.rowstride + rowlen;
    uint64_t any = 0;
    for (int i = 0; i < GUARDBYTES; i += 8) {
      uint64_t w;
      memcpy(&w, g + i, 8);
      any |= w;
    }
    if (any != 0) {
      fprintf(stderr, "write past the right edge in row %d of a %dx%d screen\n", y, f.width, f.height);
      abort();
    }
  }
}

// The screens an input may draw on: the smallest at both depths most often
// (most paths for the least work), the program's default and the largest
// seldom, since they cost up to 400 times as many pixels for the same paths.
struct screenset {
  fuzzscreen small16, small8, normal16, large8, large16;
};

inline void makescreens(screenset& s) {
  makescreen(s.small16, 100, 75, 16);
  makescreen(s.small8, 100, 75, 8);
  makescreen(s.normal16, 640, 480, 16);
  makescreen(s.large8, 2048, 1536, 8);
  makescreen(s.large16, 2048, 1536, 16);
}

// The screen for a choice the input made: of 64 choices, 32 the small
// 16-bit screen, 26 the small 8-bit one, 4 the default and one each the two
// largest.
inline fuzzscreen& pickscreen(screenset& s, unsigned choice) {
  choice %= 64;
  if (choice < 32) return s.small16;
  if (choice < 58) return s.small8;
  if (choice < 62) return s.normal16;
  return choice == 62 ? s.large8 : s.large16;
}

// A fresh directory of this process under /dev/shm (or /tmp), removed at
// exit; chdir into it.
inline char privatedirname[64];

inline void removeprivatedir() {
  std::error_code ec;
  std::filesystem::remove_all(privatedirname, ec);
}

inline const char* privatedir() {
  if (privatedirname[0]) return privatedirname;
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  snprintf(privatedirname, sizeof privatedirname, "%s/spumexfuzzXXXXXX", base);
  if (mkdtemp(privatedirname) == nullptr || chdir(privatedirname) != 0) abort();
  atexit(removeprivatedir);
  return privatedirname;
}

// The work buffer, the three pools and the block map, as the program's set-up makes them.
inline void initsimulation() {
  scratch = (uint8_t*)malloc(SCRATCHSIZE);
  if (scratch == nullptr) abort();
  initballs();
  inithoses();
  initblocks();
  initbitmap();
}

// Every live ball back to the free list: the pool as before the input.
inline void freeliveballs() {
  while (ball* b = balls) {
    balls = b->next;
    freeball(b);
  }
}

}  // namespace spumex
