// Display in the browser: the program draws into a 16-bit memory screen and
// presenting turns it into the page's 32-bit canvas the way SDL shows a
// 16-bit screen on a 24-bit X display: each channel shifted up, low bits zero.
#include "gfx/gfx.h"
#include "gfx/video.h"
#include "web/web.h"

#include <cstdio>
#include <cstdlib>

namespace spumex {

static SDL_Surface* canvas = nullptr;  // the canvas: R, G, B, A from the low byte up
static uint8_t* memoryscreen16 = nullptr;
static bool shown = false;           // the page has been told of the first frame

void initvideo() {
  if (SDL_Init(SDL_INIT_VIDEO) < 0) {
    fprintf(stderr, "Couldn't initialize SDL: %s\n", SDL_GetError());
    exit(1);
  }
  spumex_setupcanvas();
  canvas = SDL_SetVideoMode(xsize, ysize, 32, SDL_SWSURFACE);
  if (canvas == nullptr) {
    fprintf(stderr, "Couldn't set display mode: %s\n", SDL_GetError());
    exit(5);
  }
  memoryscreen16 = (uint8_t*)calloc((size_t)xsize * (size_t)ysize, 2);
  if (memoryscreen16 == nullptr) nomem("initvideo");
  usememoryscreen(memoryscreen16, xsize, ysize, 16, 0);
  // sdlactive stays 0: the browser's SDL has nothing to shut down, its
  // SDL_Quit only prints a line.
}

int lockscreen() {
  return 0;  // the memory screen is always there to draw in
}

// Each 16-bit value becomes R, G, B, A from the low
// byte up, with R = r5 << 3, G = g6 << 2, B = b5 << 3 and A = 255.
static void expandrows(const uint16_t* src, uint8_t* dst, int width, int height, int pitch) {
  for (int y = 0; y < height; y++) {
    uint32_t* out = (uint32_t*)dst;
    for (int x = 0; x < width; x++) {
      uint32_t p = src[x];
      out[x] = (p & 0xF800) >> 8 | (p & 0x07E0) << 5 | (p & 0x001F) << 19 | 0xFF000000u;
    }
    src += width;
    dst += pitch;
  }
}

void updatescreen() {
  if (canvas == nullptr || SDL_LockSurface(canvas) < 0) return;
  expandrows((const uint16_t*)memoryscreen16, (uint8_t*)canvas->pixels, xsize, ysize, canvas->pitch);
  SDL_UnlockSurface(canvas);
  if (!shown) {
    shown = true;
    spumex_shown();
  }
}

void flipscreen() {
  updatescreen();
}

}  // namespace spumex
