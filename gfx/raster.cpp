// Spans and triangles: clipped row fills, the 16.16 triangle walk and run-list shapes.
#include "gfx/gfx.h"
#include "app/state.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace spumex {

// Vertex x range for which 16.16 positions and their differences fit in 32 bits.
static constexpr int32_t XMIN = -16384;
static constexpr int32_t XMAX = 16383;

// n pixels of row y from column x, no clipping
static inline void fillrow(int32_t x, int32_t y, int32_t n, uint32_t color) {
  uint8_t* p = videomem + (ptrdiff_t)y * stride;
  if (depth == 16) {
    uint16_t* w = (uint16_t*)p + x;
    std::fill_n(w, n, (uint16_t)color);
  } else {
    memset(p + x, (int)(color & 255), (size_t)n);
  }
}

void hline(int32_t x1, int32_t y, int32_t x2, uint32_t color) {
  int32_t lo = std::min(x1, x2);
  int32_t hi = std::max(x1, x2);
  if (y < 0 || y >= ysize || lo >= xsize || hi < 0) return;
  lo = std::max(lo, 0);
  hi = std::min(hi, xsize - 1);  // the last column is never covered
  int32_t n = hi - lo;
  if (n <= 0) return;
  fillrow(lo, y, n, color);
}

// divisor of an edge of height h: one step fewer than its rows, at least 2
static inline int64_t edgediv(int64_t h) {
  return h - 1 >= 3 ? h - 1 : 2;
}

// 16.16 step from a to b over an edge of height h
static inline int32_t edgestep(int32_t a, int32_t b, int64_t h) {
  return (int32_t)((int64_t)((b << 16) - (a << 16)) / edgediv(h));
}

void filltriangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                  spanfn span, void* user) {
  // edges that would not fit in 16.16 are not walked at all
  if (x1 < XMIN || x1 > XMAX || x2 < XMIN || x2 > XMAX || x3 < XMIN || x3 > XMAX) return;

  // sort by y into top (a), middle (b) and bottom (c), ties as they fall
  int32_t lx, ly, hx, hy;
  if (y1 <= y2) {
    lx = x1; ly = y1; hx = x2; hy = y2;
  } else {
    lx = x2; ly = y2; hx = x1; hy = y1;
  }
  int32_t ax, ay, kx, ky;
  if (ly > y3) {
    ax = x3; ay = y3; kx = lx; ky = ly;
  } else {
    ax = lx; ay = ly; kx = x3; ky = y3;
  }
  int32_t bx, by, cx, cy;
  if (hy > ky) {
    bx = kx; by = ky; cx = hx; cy = hy;
  } else {
    bx = hx; by = hy; cx = kx; cy = ky;
  }

  // long edge a to c, carrying the half for rounding
  int32_t xl = (ax << 16) + 0x8000;
  int32_t sl = edgestep(ax, cx, (int64_t)cy - ay);

  // short edge: a to b, or b to c for a flat top
  int32_t xs, ss;
  if (by == ay) {
    xs = bx << 16;
    ss = edgestep(bx, cx, (int64_t)cy - ay);
  } else {
    xs = ax << 16;
    ss = edgestep(ax, bx, (int64_t)by - ay);
  }

  for (int32_t y = ay; y < cy; y++) {
    span(xl >> 16, y, (xs + 0x8000) >> 16, user);
    if (y + 1 == by) {
      // restart exactly at the middle vertex
      xs = bx << 16;
      ss = edgestep(bx, cx, (int64_t)cy - by);
    } else {
      xs += ss;
    }
    xl += sl;
  }
}

// span routine of drawtriangle: the pixel value rides in the user datum
static void screenspan(int32_t xa, int32_t y, int32_t xb, void* user) {
  hline(xa, y, xb, (uint32_t)(uintptr_t)user);
}

void drawtriangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                  uint32_t r, uint32_t g, uint32_t b) {
  uint32_t color = maprgb(r, g, b);
  filltriangle(x1, y1, x2, y2, x3, y3, screenspan, (void*)(uintptr_t)color);
}

void drawruns(int32_t x, int32_t y, const int8_t* shape, uint32_t r, uint32_t g, uint32_t b) {
  uint32_t color = maprgb(r, g, b);
  for (const int8_t* e = shape; e[0] != -128; e += 3) {
    int32_t row = y + e[1];
    if (row < 0 || row >= ysize) continue;
    int32_t s = x + e[0];
    int32_t end = s + e[2];
    if (end < 0 || s >= xsize) continue;
    int32_t n = end > xsize ? xsize - s : e[2];
    n += std::min(s, 0);
    if (n <= 0) continue;
    fillrow(std::max(s, 0), row, n, color);  // exact right cut
  }
}

}  // namespace spumex
