// A plain memory screen for drawing tests.
#include "helpers/testscreen.h"
#include "app/app.h"
#include "gfx/gfx.h"
#include "gfx/video.h"

#include <SDL.h>
#include <cstring>

namespace spumex {

static std::vector<uint8_t> bytes;
static SDL_Surface* format565 = nullptr;

void usetestscreen(int width, int height, int bitsperpixel, int rowstride) {
  if (format565 == nullptr)
    format565 = SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 1, 16, 0xF800, 0x07E0, 0x001F, 0);
  screen = format565;
  xsize = width;
  ysize = height;
  depth = bitsperpixel;
  int rowlen = width * (bitsperpixel == 16 ? 2 : 1);
  stride = rowstride > 0 ? rowstride : rowlen;
  bytes.assign((size_t)stride * height + 16, 0);
  videomem = bytes.data();
  setrowoffsets();
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
