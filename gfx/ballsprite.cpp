// Shaded ball sprites: a ball lit from the upper left and the front, encoded as runs.
#include "gfx/gfx.h"
#include "app/state.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace spumex {

int32_t ballpixels(int32_t radius) {
  // 64-bit product: no overflow for any radius; the result is capped to the grid
  int64_t a = (int64_t)radius * xsize / LOGW;
  if (a < 3) a = 2;
  if (a > MAXBALLPIXELS) a = MAXBALLPIXELS;
  return (int32_t)a;
}

void shadeball(int32_t a, uint8_t grid[BALLGRID][BALLGRID]) {
  memset(grid, 0, (size_t)BALLGRID * BALLGRID);
  if (a < 0 || a > MAXBALLPIXELS) return;
  float l = (float)(a * 2.0615528128088303);  // a times the length of (-1, -1, 1.5)
  float kxy = (float)(-1.0 / l);
  float kz = (float)(1.5 / l);
  float r2 = (float)(a * a);
  for (int j = 0; j < 2 * a; j++) {
    float y = (float)((j - a) + 0.5);
    for (int i = 0; i < 2 * a; i++) {
      float x = (float)((i - a) + 0.5);
      float d2 = x * x + y * y;
      if (d2 > r2) continue;
      float z = sqrtf(r2 - d2);
      float s = z * kz + (x * kxy + kxy * y);  // cosine to the light
      float t = (float)((s + 1.0) * 0.5);
      grid[j][i] = (uint8_t)(int)(t * t * 255.0f);
    }
  }
}

// A channel at shading intensity `in` (0..255): in * c / 256.
static inline uint32_t shade(uint32_t in, uint32_t c) {
  return (in * c) >> 8;
}

uint16_t* makesprite(int32_t radius, uint32_t r, uint32_t g, uint32_t b) {
  static uint8_t grid[BALLGRID][BALLGRID];
  if (scratch == nullptr) return nullptr;
  r &= 255;
  g &= 255;
  b &= 255;
  int32_t a = ballpixels(radius);
  uint16_t* out = (uint16_t*)scratch;
  int w = 0;
  out[w++] = (uint16_t)(int16_t)-a;
  out[w++] = (uint16_t)(int16_t)-a;
  out[w++] = (uint16_t)(2 * a + 1);
  out[w++] = (uint16_t)(2 * a + 1);
  shadeball(a, grid);

  for (int j = 0; j <= 2 * a; j++) {
    const uint8_t* cells = grid[j];
    int x0 = 0;
    while (x0 <= 2 * a && cells[x0] == 0) x0++;
    if (x0 > 2 * a) continue;  // no lit cell in this row
    int n = 0;
    while (x0 + n <= 2 * a && cells[x0 + n] != 0) n++;
    out[w++] = (uint16_t)n;
    out[w++] = (uint16_t)x0;
    out[w++] = (uint16_t)j;
    for (int k = 0; k < n; k++) {
      uint32_t in = cells[x0 + k];
      out[w++] = (uint16_t)maprgb(shade(in, r), shade(in, g), shade(in, b));
    }
  }
  out[w++] = 0;

  size_t bytes = (size_t)w * 2;
  uint16_t* sprite = (uint16_t*)malloc(bytes);
  if (sprite == nullptr) return nullptr;
  memcpy(sprite, scratch, bytes);
  return sprite;
}

}  // namespace spumex
