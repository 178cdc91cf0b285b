// Sprite blitter: copies run-length sprites into screen memory, clipped to the screen.
#include "gfx/gfx.h"
#include "app/state.h"

#include <cstddef>
#include <cstring>

namespace spumex {

// Copies `bytes` bytes (a whole number of 16-bit pixels, at least one) of a
// run into the screen. Runs are short, so the copy is done in place with
// fixed-size moves, the last one overlapping the one before, rather than by
// a library call per run. Sprite and screen memory never overlap.
static inline void copyrun16(uint8_t* dst, const uint16_t* pixels, size_t bytes) {
  const uint8_t* src = (const uint8_t*)pixels;
  if (__builtin_expect(bytes - 16 <= 16, 1)) {
    // 16 to 32 bytes, the common ball row: two 16-byte moves, both read
    // before either is stored
    unsigned __int128 a, b;
    memcpy(&a, src, 16);
    memcpy(&b, src + bytes - 16, 16);
    memcpy(dst, &a, 16);
    memcpy(dst + bytes - 16, &b, 16);
  } else if (bytes > 32) {
    size_t i = 0;
    for (; i + 16 < bytes; i += 16) memcpy(dst + i, src + i, 16);
    memcpy(dst + bytes - 16, src + bytes - 16, 16);
  } else if (bytes >= 8) {
    uint64_t a, b;
    memcpy(&a, src, 8);
    memcpy(&b, src + bytes - 8, 8);
    memcpy(dst, &a, 8);
    memcpy(dst + bytes - 8, &b, 8);
  } else if (bytes >= 4) {
    uint32_t a, b;
    memcpy(&a, src, 4);
    memcpy(&b, src + bytes - 4, 4);
    memcpy(dst, &a, 4);
    memcpy(dst + bytes - 4, &b, 4);
  } else {
    memcpy(dst, src, 2);
  }
}

// Copies n pixel values to screen row `row` from column `col`.
static inline void putrun(uint8_t* mem, bool wide, int row, int col, const uint16_t* pixels, int n) {
  uint8_t* dst = mem + rowoffsets[row];
  if (wide) {
    copyrun16(dst + 2 * (ptrdiff_t)col, pixels, (size_t)n * 2);
  } else {
    dst += col;
    for (int k = 0; k < n; k++) dst[k] = (uint8_t)pixels[k];
  }
}

// The clipping path: every record is tested against the screen edges.
[[gnu::noinline]] static void drawclipped(int64_t ox, int64_t oy, const uint16_t* rec) {
  uint8_t* const mem = videomem;
  const bool wide = depth == 16;
  const int32_t w = xsize, h = ysize;
  for (; rec[0] != 0; rec += ROWHEADER + rec[0]) {
    int32_t count = rec[0];
    int64_t row = oy + (int16_t)rec[2];
    if (row < 0 || row >= h) continue;
    int64_t sx = ox + (int16_t)rec[1];
    if (sx >= w) continue;
    int64_t n, skip = 0;
    if (sx >= 0) {
      n = sx + count > w ? w - sx : count;
    } else {
      // cut by the left edge: drop the first -sx pixels
      skip = -sx;
      n = count + sx;
      if (n > w) n = w;  // a run wider than the screen stops at its edge
      sx = 0;
    }
    if (n > 0) putrun(mem, wide, (int)row, (int)sx, rec + ROWHEADER + skip, (int)n);
  }
}

// The fast path on an 8-bit screen: a narrowing copy per run.
[[gnu::noinline]] static void drawnarrow(int64_t ox, int64_t oy, const uint16_t* rec) {
  uint8_t* const mem = videomem;
  for (; rec[0] != 0; rec += ROWHEADER + rec[0])
    putrun(mem, false, (int)oy + (int16_t)rec[2], (int)ox + (int16_t)rec[1], rec + ROWHEADER, rec[0]);
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

  if (!(ox >= 0 && oy >= 0 && ox <= xsize - width && oy <= ysize - height)) {
    // every run lies inside the bounding box, so a box wholly off the
    // screen has nothing to draw: only the box is tested
    if (ox >= xsize || oy >= ysize || ox + width <= 0 || oy + height <= 0) return;
    drawclipped(ox, oy, rec);
    return;
  }
  if (depth != 16) {
    drawnarrow(ox, oy, rec);
    return;
  }
  // wholly on a 16-bit screen: one copy per run; each record's fields, and
  // the next record's count, are read before its pixels are stored, so the
  // stores hold up no loads
  uint8_t* const origin = videomem + 2 * (ptrdiff_t)ox;
  const int* const rows = rowoffsets + oy;
  for (uint32_t count = rec[0]; count != 0;) {
    uint16_t xy[2];
    memcpy(xy, rec + 1, 4);  // x and y in one read
    int32_t x = (int16_t)xy[0];
    int32_t y = (int16_t)xy[1];
    const uint16_t* next = rec + ROWHEADER + count;
    uint32_t nextcount = next[0];
    copyrun16(origin + rows[y] + 2 * (ptrdiff_t)x, rec + ROWHEADER, (size_t)count * 2);
    rec = next;
    count = nextcount;
  }
}

}  // namespace spumex
