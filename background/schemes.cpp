// Background image: the height field coloured through one of eight schemes.
#include "background/background.h"
#include "app/state.h"
#include "gfx/gfx.h"

#include <cstdlib>

namespace spumex {

int32_t colorscheme = 0;

// Period of the mirrored field index: out to the last row or column and back.
static constexpr int32_t FOLD = 2 * (FIELDSIZE - 1);
static_assert((FOLD & (FOLD - 1)) == 0, "the fold masks with FOLD - 1");

// Colour of height i in scheme s.
static void schemecolor(int32_t s, int32_t i, uint32_t& r, uint32_t& g, uint32_t& b) {
  r = g = b = 0;
  switch (s) {
    case 0:
      if (i < 128) {
        b = 128;
      } else {
        r = g = b = (uint32_t)(2 * i - 256);
        if (b < 128) b = 128;
      }
      break;
    case 1:
      if (i >= 192) {
        r = g = 255;
        b = (uint32_t)(4 * (i - 192));
      } else if (i >= 128) {
        r = 255;
        g = (uint32_t)(4 * (i - 128));
      } else if (i >= 64) {
        r = (uint32_t)(4 * (i - 64));
      }
      break;
    case 2:
      if (i & 8) r = g = b = 255;
      break;
    case 3:
      if ((i & 15) != 8) r = g = b = 255;
      break;
    case 4:
    case 5:
      r = (i & 32) ? 255 : 0;
      g = (i & 64) ? 255 : 0;
      b = (i & 128) ? 255 : 0;
      if (s == 5) {
        uint32_t m = (uint32_t)(i & 31);
        if (m >= 16) m = 31 - m;
        r = r * m / 16;
        g = g * m / 16;
        b = b * m / 16;
      }
      break;
    case 6:
      if (i < 64) b = 64;
      else if (i < 128) r = (uint32_t)(16 * (i & 15));
      else if (i < 192) g = (uint32_t)(16 * (i & 15));
      else r = g = b = (uint32_t)(16 * (i & 15));
      break;
    case 7:
      if (i < 64) b = 64;
      else if (i < 128) r = (uint32_t)(4 * (i - 64));
      else if (i < 192) g = (uint32_t)(4 * (i - 128));
      else r = g = b = (uint32_t)(4 * (i - 192));
      break;
  }
}

// Field index for a screen coordinate: one to one up to 1024, mirrored beyond.
static inline int32_t fold(int32_t v) {
  int32_t m = v & (FOLD - 1);
  return m > FIELDSIZE - 1 ? FOLD - m : m;
}

void makebackground() {
  if (heightfield == nullptr) return;
  uint32_t table[256];
  if ((colorscheme & 15) >= 8) colorscheme = 0;
  int32_t s = colorscheme & 15;
  for (int32_t i = 0; i < 256; i++) {
    uint32_t r, g, b;
    schemecolor(s, i, r, g, b);
    table[i] = maprgb(r, g, b);
  }
  if (xsize <= 0 || ysize <= 0) return;
  int bpp = depth == 16 ? 2 : 1;
  size_t rowlen = (size_t)xsize * bpp;
  if (background == nullptr) {
    background = (uint8_t*)malloc((size_t)ysize * rowlen);
    if (background == nullptr) return;   // silent; the next call tries again
  }
  // Mirrored column index; the fold repeats every FOLD columns.
  uint16_t cols[FOLD];
  for (int32_t x = 0; x < FOLD; x++) cols[x] = (uint16_t)fold(x);
  for (int32_t y = 0; y < ysize; y++) {
    const uint8_t* row = heightfield + (size_t)fold(y) * FIELDSIZE;
    uint8_t* dst = background + (size_t)y * rowlen;
    if (bpp == 2) {
      uint16_t* out = (uint16_t*)dst;
      for (int32_t x0 = 0; x0 < xsize; x0 += FOLD) {
        int32_t n = xsize - x0 < FOLD ? xsize - x0 : FOLD;
        for (int32_t k = 0; k < n; k++) out[x0 + k] = (uint16_t)table[row[cols[k]]];
      }
    } else {
      for (int32_t x0 = 0; x0 < xsize; x0 += FOLD) {
        int32_t n = xsize - x0 < FOLD ? xsize - x0 : FOLD;
        for (int32_t k = 0; k < n; k++) dst[x0 + k] = (uint8_t)table[row[cols[k]]];
      }
    }
  }
}

}  // namespace spumex
