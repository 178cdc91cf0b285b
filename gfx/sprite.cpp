// Sprite blitter: copies run-length sprites into screen memory, clipped to the screen.
#include "gfx/gfx.h"
#include "app/app.h"

#include <cstring>

namespace spumex {

// Copies n pixel values to screen row `row` from column `col`.
static inline void putrun(int row, int col, const uint16_t* pixels, int n) {
  uint8_t* dst = videomem + rowoffsets[row];
  if (depth == 16) {
    memcpy(dst + 2 * col, pixels, (size_t)n * 2);
  } else {
    dst += col;
    for (int k = 0; k < n; k++) dst[k] = (uint8_t)pixels[k];
  }
}

void drawsprite(int32_t px, int32_t py, const uint16_t* sprite) {
  if (sprite == nullptr) sprite = cursorsprite;
  if (sprite == nullptr) return;  // no cursor ball either: nothing to draw
  // 64-bit origin so that no screen position can overflow
  int64_t ox = (int64_t)px + (int16_t)sprite[0];
  int64_t oy = (int64_t)py + (int16_t)sprite[1];
  int32_t width = sprite[2];
  int32_t height = sprite[3];
  const uint16_t* rec = sprite + SPRITEHEADER;

  if (ox >= 0 && oy >= 0 && ox <= xsize - width && oy <= ysize - height) {
    // wholly on screen: one copy per run
    for (; rec[0] != 0; rec += ROWHEADER + rec[0])
      putrun((int)oy + (int16_t)rec[2], (int)ox + (int16_t)rec[1], rec + ROWHEADER, rec[0]);
    return;
  }

  for (; rec[0] != 0; rec += ROWHEADER + rec[0]) {
    int32_t count = rec[0];
    int64_t row = oy + (int16_t)rec[2];
    if (row < 0 || row >= ysize) continue;
    int64_t sx = ox + (int16_t)rec[1];
    if (sx >= xsize) continue;
    int64_t n, skip = 0;
    if (sx >= 0) {
      n = sx + count > xsize ? xsize - sx : count;
    } else {
      // cut by the left edge: drop the first -sx pixels
      skip = -sx;
      n = count + sx;
      if (n > xsize) n = xsize;  // a run wider than the screen stops at its edge
      sx = 0;
    }
    if (n > 0) putrun((int)row, (int)sx, rec + ROWHEADER + skip, (int)n);
  }
}

}  // namespace spumex
