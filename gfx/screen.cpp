// Display surface: the screen the program draws into, background copy and pixel colours.
// The window and presenting are in gfx/video.cpp.
#include "gfx/gfx.h"
#include "gfx/video.h"

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

// the grey ramp: entry i is i, i, i
void fillpalette() {
  for (int i = 0; i < 256; i++) {
    palette[i].r = (Uint8)i;
    palette[i].g = (Uint8)i;
    palette[i].b = (Uint8)i;
  }
}

void usesurface(SDL_Surface* s) {
  screen = s;
  stride = s->pitch;
  videomem = (uint8_t*)s->pixels;
  depth = s->format->BitsPerPixel;
  setrowoffsets();
}

// A memory screen has no window: a surface record of its own that SDL never
// sees, so the pixel format is at hand for maprgb and for reading pixels back.
static SDL_Palette greys;           // the grey ramp as the format's palette
static SDL_PixelFormat memoryformat;
static SDL_Surface memorysurface;
static uint8_t* nullpixels = nullptr;  // the memory of initnullvideo's screen
static size_t nullbytes = 0;

void usememoryscreen(uint8_t* pixels, int width, int height, int bits, int rowstride) {
  fillpalette();
  SDL_PixelFormat& f = memoryformat;
  f = SDL_PixelFormat{};
  if (bits == 16) {
    // RGB 565, as the 16-bit surfaces of the X11 and dummy drivers have it
    f.BitsPerPixel = 16;
    f.BytesPerPixel = 2;
    f.Rloss = 3;
    f.Gloss = 2;
    f.Bloss = 3;
    f.Aloss = 8;
    f.Rshift = 11;
    f.Gshift = 5;
    f.Rmask = 0xF800;
    f.Gmask = 0x07E0;
    f.Bmask = 0x001F;
  } else {
    // one byte a pixel, shown through the grey palette
    greys.ncolors = 256;
    greys.colors = palette;
    f.palette = &greys;
    f.BitsPerPixel = 8;
    f.BytesPerPixel = 1;
    f.Rloss = f.Gloss = f.Bloss = f.Aloss = 8;
  }
  int rowlen = width * (bits == 16 ? 2 : 1);
  SDL_Surface& s = memorysurface;
  s = SDL_Surface{};
  s.flags = SDL_SWSURFACE;
  s.format = &f;
  s.w = width;
  s.h = height;
  s.pitch = (Uint16)(rowstride > 0 ? rowstride : rowlen);
  s.pixels = pixels;
  s.clip_rect.w = (Uint16)width;
  s.clip_rect.h = (Uint16)height;
  s.refcount = 1;
  xsize = width;
  ysize = height;
  screen = &s;
  stride = rowstride > 0 ? rowstride : rowlen;
  videomem = pixels;
  depth = bits;
  setrowoffsets();
}

bool memoryscreen() {
  return screen == &memorysurface;
}

void initnullvideo() {
  size_t need = (size_t)xsize * 2 * (size_t)ysize;
  if (need > nullbytes) {
    free(nullpixels);
    nullpixels = (uint8_t*)calloc(need, 1);
    if (nullpixels == nullptr) nomem("initnullvideo");
    nullbytes = need;
  }
  usememoryscreen(nullpixels, xsize, ysize, 16, 0);
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
  if (depth == 16) {
    // what SDL_MapRGB gives for a format without a palette, worked out here
    // because not every SDL fills the same fields
    const SDL_PixelFormat* f = screen->format;
    return ((r & 255) >> f->Rloss) << f->Rshift | ((g & 255) >> f->Gloss) << f->Gshift |
           ((b & 255) >> f->Bloss) << f->Bshift | f->Amask;
  }
  return ((r >> 5) & 7) | ((g >> 2) & 0x38) | (b & 0xC0);
}

}  // namespace spumex
