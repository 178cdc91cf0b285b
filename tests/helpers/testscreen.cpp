// A plain memory screen for drawing tests.
#include "helpers/testscreen.h"
#include "gfx/gfx.h"

#include <cstring>

namespace spumex {

static std::vector<uint8_t> bytes;

void usetestscreen(int width, int height, int bitsperpixel, int rowstride) {
  int rowlen = width * (bitsperpixel == 16 ? 2 : 1);
  bytes.assign((size_t)(rowstride > 0 ? rowstride : rowlen) * height + 16, 0);
  usememoryscreen(bytes.data(), width, height, bitsperpixel, rowstride);
}

std::vector<uint8_t>& testscreenbytes() { return bytes; }

uint32_t testpixel(int x, int y) {
  if (depth == 16) {
    uint16_t v;
    memcpy(&v, videomem + (size_t)y * stride + 2 * x, 2);
    return v;
  }
  return videomem[(size_t)y * stride + x];
}

uint16_t rgb565(uint32_t r, uint32_t g, uint32_t b) {
  return (uint16_t)(((r & 255) >> 3) << 11 | ((g & 255) >> 2) << 5 | ((b & 255) >> 3));
}

}  // namespace spumex
