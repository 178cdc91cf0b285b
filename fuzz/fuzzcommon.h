// Shared pieces of the fuzz targets: guarded plain screens, sprite sets, a private directory.
#pragma once
#include "app/app.h"
#include "gfx/gfx.h"
#include "gfx/video.h"
#include "sim/sim.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace spumex {

constexpr int GUARDBYTES = 32;       // zero bytes after every screen row

// Checking loops stay out of the coverage feedback: they only slow the search.
#define NOCOVER __attribute__((no_sanitize("coverage")))

// One plain screen with its own sprites, built once.
struct fuzzscreen {
  int width, height, bits;
  uint8_t* memory;                   // height rows of stride bytes, nothing more
  int rowstride;
  uint16_t* balls[NCODES];
  uint16_t* cursor;
  swatch sw[NSWATCHES];
};

// Points the screen globals at the screen.
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
  usescreen(f);
  makeballs();
  initswatches();
  memcpy(f.balls, ballsprites, sizeof ballsprites);
  f.cursor = cursorsprite;
  memcpy(f.sw, swatches, sizeof swatches);
}

// Aborts when anything was written into the bytes behind a row.
NOCOVER inline void checkguards(const fuzzscreen& f) {
  int rowlen = f.rowstride - GUARDBYTES;
  for (int y = 0; y < f.height; y++) {
    const uint8_t* g = f.memory + (size_t)y * f.rowstride + rowlen;
    for (int i = 0; i < GUARDBYTES; i++)
      if (g[i] != 0) {
        fprintf(stderr, "write past the right edge in row %d of a %dx%d screen\n", y, f.width, f.height);
        abort();
      }
  }
}

// A fresh directory of this process under /dev/shm (or /tmp); chdir into it.
inline const char* privatedir() {
  static char dir[64];
  if (dir[0]) return dir;
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  snprintf(dir, sizeof dir, "%s/spumexfuzzXXXXXX", base);
  if (mkdtemp(dir) == nullptr || chdir(dir) != 0) abort();
  return dir;
}

#define FUZZCHECK(cond)                                                     \
  do {                                                                      \
    if (!(cond)) {                                                          \
      fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #cond); \
      abort();                                                              \
    }                                                                       \
  } while (0)

// The work buffer, the three pools and the block map, as the program's set-up makes them.
inline void initsimulation() {
  scratch = (uint8_t*)malloc(SCRATCHSIZE);
  if (scratch == nullptr) abort();
  initballs();
  inithoses();
  initblocks();
  initbitmap();
}

}  // namespace spumex
