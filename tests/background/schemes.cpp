// Tests of the background colour schemes and the background image.
#include <gtest/gtest.h>

#include "app/app.h"
#include "background/background.h"
#include "gfx/gfx.h"
#include "gfx/video.h"
#include "helpers/testscreen.h"

#include <SDL.h>
#include <cstdlib>
#include <vector>

using namespace spumex;

namespace {

const int N = FIELDSIZE;
std::vector<uint8_t> field((size_t)N * N);   // exactly the field's size

// Drop the image so the next call sizes it for the current screen.
void dropbackground() {
  free(background);
  background = nullptr;
}

// A fresh test screen with the test field in place.
void setup(int w, int ht, int bits = 16, int rowstride = 0) {
  dropbackground();
  usetestscreen(w, ht, bits, rowstride);
  heightfield = field.data();
}

uint16_t bgpixel(int x, int y) { return ((uint16_t*)background)[y * xsize + x]; }

// 16-bit formats that keep red and green, and blue, at full precision. Built
// by hand: SDL maps through any format's masks, shifts and losses, but not
// every SDL creates surfaces in formats this unusual. Each mask is 0xFF00,
// 0x00FF or 0.
SDL_Surface* fakesurface(SDL_PixelFormat& f, SDL_Surface& s, uint32_t rmask, uint32_t gmask, uint32_t bmask) {
  f = SDL_PixelFormat{};
  f.BitsPerPixel = 16;
  f.BytesPerPixel = 2;
  uint32_t masks[3] = {rmask, gmask, bmask};
  uint32_t* fmask[3] = {&f.Rmask, &f.Gmask, &f.Bmask};
  uint8_t* loss[3] = {&f.Rloss, &f.Gloss, &f.Bloss};
  uint8_t* shift[3] = {&f.Rshift, &f.Gshift, &f.Bshift};
  for (int c = 0; c < 3; c++) {
    *fmask[c] = masks[c];
    *loss[c] = masks[c] ? 0 : 8;
    *shift[c] = masks[c] == 0xFF00 ? 8 : 0;
  }
  s = SDL_Surface{};
  s.format = &f;
  return &s;
}
SDL_Surface* redgreen() {
  static SDL_PixelFormat f;
  static SDL_Surface s;
  return fakesurface(f, s, 0xFF00, 0x00FF, 0);
}
SDL_Surface* blueonly() {
  static SDL_PixelFormat f;
  static SDL_Surface s;
  return fakesurface(f, s, 0, 0, 0x00FF);
}

// Scheme 4's pixel for height i: eight flat bands from the top three bits.
uint32_t bands(int i) { return maprgb(i & 32 ? 255 : 0, i & 64 ? 255 : 0, i & 128 ? 255 : 0); }

}  // namespace

TEST(Schemes, TablesAtBoundaryHeights) {
  struct Case { int scheme, height, r, g, b; } cases[] = {
      {0, 0, 0, 0, 128},     {0, 127, 0, 0, 128},     {0, 128, 0, 0, 128},
      {0, 191, 126, 126, 128}, {0, 192, 128, 128, 128}, {0, 255, 254, 254, 254},
      {1, 63, 0, 0, 0},      {1, 64, 0, 0, 0},        {1, 127, 252, 0, 0},
      {1, 128, 255, 0, 0},   {1, 191, 255, 252, 0},   {1, 192, 255, 255, 0},
      {1, 255, 255, 255, 252},
      {2, 7, 0, 0, 0},       {2, 8, 255, 255, 255},   {2, 15, 255, 255, 255},
      {2, 16, 0, 0, 0},      {2, 255, 255, 255, 255},
      {3, 0, 255, 255, 255}, {3, 7, 255, 255, 255},   {3, 8, 0, 0, 0},
      {3, 9, 255, 255, 255}, {3, 24, 0, 0, 0},        {3, 248, 0, 0, 0},
      {4, 31, 0, 0, 0},      {4, 32, 255, 0, 0},      {4, 64, 0, 255, 0},
      {4, 128, 0, 0, 255},   {4, 224, 255, 255, 255}, {4, 160, 255, 0, 255},
      {5, 0, 0, 0, 0},       {5, 31, 0, 0, 0},        {5, 32, 0, 0, 0},
      {5, 63, 0, 0, 0},      {5, 224, 0, 0, 0},       {5, 255, 0, 0, 0},
      {5, 33, 15, 0, 0},     {5, 47, 239, 0, 0},      {5, 48, 239, 0, 0},
      {5, 239, 239, 239, 239}, {5, 15, 0, 0, 0},
      {6, 0, 0, 0, 64},      {6, 63, 0, 0, 64},       {6, 64, 0, 0, 0},
      {6, 79, 240, 0, 0},    {6, 80, 0, 0, 0},        {6, 143, 0, 240, 0},
      {6, 192, 0, 0, 0},     {6, 207, 240, 240, 240},
      {7, 63, 0, 0, 64},     {7, 64, 0, 0, 0},        {7, 127, 252, 0, 0},
      {7, 128, 0, 0, 0},     {7, 191, 0, 252, 0},     {7, 192, 0, 0, 0},
      {7, 255, 252, 252, 252},
  };
  setup(256, 1);
  for (int i = 0; i < 256; i++) field[i] = (uint8_t)i;   // row 0: pixel x has height x
  for (const Case& c : cases) {
    colorscheme = c.scheme;
    screen = redgreen();
    makebackground();
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(bgpixel(c.height, 0), c.r << 8 | c.g) << "scheme " << c.scheme << " height " << c.height;
    screen = blueonly();
    makebackground();
    EXPECT_EQ(bgpixel(c.height, 0), c.b) << "scheme " << c.scheme << " height " << c.height;
    EXPECT_EQ(colorscheme, c.scheme);
  }
}

// Key c's counter: 1..7, then back to 0; the image is allocated once.
TEST(Schemes, CounterWrapsAfterSeven) {
  setup(4, 1);
  field[0] = 0;
  colorscheme = 0;
  makebackground();
  uint8_t* image = background;
  for (int press = 1; press <= 8; press++) {
    colorscheme++;
    makebackground();
    EXPECT_EQ(colorscheme, press % 8);
  }
  EXPECT_EQ(background, image);
  EXPECT_EQ(bgpixel(0, 0), rgb565(0, 0, 128));   // scheme 0 again
  for (auto [start, after] : {std::pair{15, 0}, {16, 16}, {17, 17}, {-1, 0}, {24, 0}}) {
    colorscheme = start;
    makebackground();
    EXPECT_EQ(colorscheme, after) << start;
  }
}

TEST(Schemes, NoFieldChangesNothing) {
  setup(8, 6);
  heightfield = nullptr;
  colorscheme = 8;
  makebackground();
  EXPECT_EQ(colorscheme, 8);
  EXPECT_EQ(background, nullptr);
}

// Image rows are xsize pixels long whatever the stride: the copy shows the field unsheared.
TEST(Schemes, RowsIgnoreStride) {
  for (int bits : {16, 8}) {
    setup(37, 23, bits, 128);
    for (int y = 0; y < 23; y++)
      for (int x = 0; x < 37; x++) field[y * N + x] = (uint8_t)(x * 32 + y * 64);
    colorscheme = 4;
    makebackground();
    copybackground();
    for (int y = 0; y < 23; y++) {
      for (int x = 0; x < 37; x++) {
        ASSERT_EQ(testpixel(x, y), bands(field[y * N + x])) << bits << " bits (" << x << "," << y << ")";
      }
    }
  }
}

// Beyond column and row 1024 the picture mirrors the field back (x' = 2048 - x).
TEST(Schemes, WideScreenMirrors) {
  setup(MAXWIDTH, MAXHEIGHT);
  seedrand(21);
  for (uint8_t& v : field) v = (uint8_t)nextrand();
  colorscheme = 4;
  makebackground();
  copybackground();
  for (int y : {0, 700, 1024})
    for (int x = 0; x < N; x++) ASSERT_EQ(testpixel(x, y), bands(field[y * N + x])) << x << "," << y;
  for (int y = 0; y < MAXHEIGHT; y++) {
    for (int x = N; x < MAXWIDTH; x++)
      ASSERT_EQ(testpixel(x, y), testpixel(2048 - x, y)) << "(" << x << "," << y << ")";
    if (y < N) continue;
    for (int x = 0; x < MAXWIDTH; x++)
      ASSERT_EQ(testpixel(x, y), testpixel(x, 2048 - y)) << "(" << x << "," << y << ")";
  }
  EXPECT_EQ(testpixel(1025, 0), bands(field[1023]));   // column 1025 shows field column 1023
  EXPECT_EQ(testpixel(2047, 1535), bands(field[513 * N + 1]));
  dropbackground();
  heightfield = nullptr;
}
