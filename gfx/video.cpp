// Display surface: video mode, locking, presenting, background copy and pixel colours.
#include "gfx/gfx.h"
#include "gfx/video.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace spumex {

SDL_Surface* screen = nullptr;
uint8_t sdlactive = 0;
uint8_t* videomem = nullptr;
int stride = 0;
int depth = 0;
int rowoffsets[ROWS];
uint8_t* background = nullptr;
SDL_Color palette[256];

bool mustlock() {
  return screen != nullptr && SDL_MUSTLOCK(screen);
}

void setpalette() {
  SDL_SetColors(screen, palette, 0, 256);
}

void setrowoffsets() {
  for (int y = 0; y < ysize && y < ROWS; y++) rowoffsets[y] = y * stride;
}

void initvideo() {
  for (int i = 0; i < 256; i++) {
    palette[i].r = (Uint8)i;
    palette[i].g = (Uint8)i;
    palette[i].b = (Uint8)i;
  }
  if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) < 0) {
    fprintf(stderr, "Couldn't initialize SDL: %s\n", SDL_GetError());
    exit(1);
  }
  // SDL turns SIGINT and SIGTERM into a quit event, which the program
  // ignores; give them back their usual meaning so Ctrl-C and kill still work.
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  SDL_Surface* s = SDL_SetVideoMode(xsize, ysize, 16, 0);
  if (s == nullptr) {
    fprintf(stderr, "Couldn't set display mode: %s\n", SDL_GetError());
    SDL_Quit();
    exit(5);
  }
  screen = s;
  sdlactive = 1;
  stride = s->pitch;
  videomem = (uint8_t*)s->pixels;
  depth = s->format->BitsPerPixel;
  setrowoffsets();
  setpalette();
  SDL_ShowCursor(0);
}

int lockscreen() {
  if (mustlock() && SDL_LockSurface(screen) < 0) {
    fprintf(stderr, "Couldn't lock display surface: %s\n", SDL_GetError());
    return -1;
  }
  return 0;
}

void updatescreen() {
  if (mustlock()) SDL_UnlockSurface(screen);
  SDL_UpdateRect(screen, 0, 0, 0, 0);
}

void flipscreen() {
  updatescreen();
  if (mustlock() && SDL_LockSurface(screen) < 0)
    fprintf(stderr, "Couldn't lock display surface: %s\n", SDL_GetError());
}

void copybackground() {
  if (ysize <= 0) return;
  size_t rowlen = (size_t)xsize * (depth == 16 ? 2 : 1);
  const uint8_t* src = background;
  uint8_t* dst = videomem;
  if (src != nullptr && (size_t)stride == rowlen) {
    // rows without gaps on both sides: the row copies are one copy
    memmove(dst, src, rowlen * (size_t)ysize);
    return;
  }
  for (int y = 0; y < ysize; y++) {
    if (src != nullptr) {
      memmove(dst, src, rowlen);
      src += rowlen;
    } else {
      memset(dst, 0, rowlen);
    }
    dst += stride;
  }
}

uint32_t maprgb(uint32_t r, uint32_t g, uint32_t b) {
  if (depth == 16) return SDL_MapRGB(screen->format, (Uint8)(r & 255), (Uint8)(g & 255), (Uint8)(b & 255));
  return ((r >> 5) & 7) | ((g >> 2) & 0x38) | (b & 0xC0);
}

}  // namespace spumex
