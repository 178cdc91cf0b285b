// Display helper tests: pixel colours, background copy and row offsets.
#include <gtest/gtest.h>

#include "app/app.h"
#include "background/background.h"
#include "gfx/gfx.h"
#include "gfx/video.h"
#include "helpers/testscreen.h"
#include "helpers/testvideo.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace spumex {
namespace {

TEST(MapRgb, Depth8Packing) {
  usetestscreen(8, 8, 8);
  struct {
    uint32_t r, g, b, want;
  } cases[] = {
      {255, 255, 255, 255}, {255, 0, 0, 7},   {0, 255, 0, 56},  {0, 0, 255, 192}, {0, 0, 63, 0},
      {0, 0, 64, 64},       {0, 0, 128, 128}, {31, 31, 31, 0},  {32, 32, 0, 9},   {160, 96, 200, 5 | 24 | 192},
  };
  for (const auto& c : cases) EXPECT_EQ(maprgb(c.r, c.g, c.b), c.want) << c.r << "," << c.g << "," << c.b;
}

TEST(MapRgb, OnlyTheLowEightBitsCount) {
  for (int bpp : {8, 16}) {
    usetestscreen(8, 8, bpp);
    for (uint32_t v : {0u, 44u, 200u, 255u}) {
      for (uint32_t high : {256u, 512u, 0xFFFFFF00u}) {
        uint32_t w = v + high;
        EXPECT_EQ(maprgb(w, 0, 0), maprgb(v, 0, 0)) << "depth " << bpp << " red " << w;
        EXPECT_EQ(maprgb(0, w, 0), maprgb(0, v, 0)) << "depth " << bpp << " green " << w;
        EXPECT_EQ(maprgb(0, 0, w), maprgb(0, 0, v)) << "depth " << bpp << " blue " << w;
      }
    }
    EXPECT_EQ(maprgb(256, 256, 256), maprgb(0, 0, 0));
    EXPECT_EQ(maprgb(300, 300, 300), maprgb(44, 44, 44));
  }
}

TEST(MapRgb, Depth16UsesTheSurfaceFormat) {
  usetestscreen(8, 8, 16);
  const uint32_t colours[][3] = {{0, 0, 0}, {255, 255, 255}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {17, 130, 201}};
  for (const auto& c : colours) EXPECT_EQ(maprgb(c[0], c[1], c[2]), rgb565(c[0], c[1], c[2]));
}

TEST(MapRgb, Depth16GivesWhatSdlGivesForTheSurface) {
  // 565, 555 and blue-high 565: every format the program may draw in maps a
  // colour as SDL itself would.
  const uint32_t masks[][3] = {{0xF800, 0x07E0, 0x001F}, {0x7C00, 0x03E0, 0x001F}, {0x001F, 0x07E0, 0xF800}};
  const uint32_t colours[][3] = {{0, 0, 0}, {255, 255, 255}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {17, 130, 201}, {7, 3, 251}};
  // The formats are built by hand, as SDL fills them: sdl12-compat makes a
  // 555 surface one of 15 bits a pixel, which the program never draws in.
  for (const auto& m : masks) {
    SDL_PixelFormat f = {};
    f.BitsPerPixel = 16;
    f.BytesPerPixel = 2;
    uint32_t* fmask[3] = {&f.Rmask, &f.Gmask, &f.Bmask};
    uint8_t* loss[3] = {&f.Rloss, &f.Gloss, &f.Bloss};
    uint8_t* shift[3] = {&f.Rshift, &f.Gshift, &f.Bshift};
    for (int k = 0; k < 3; k++) {
      *fmask[k] = m[k];
      *shift[k] = (uint8_t)__builtin_ctz(m[k]);
      *loss[k] = (uint8_t)(8 - __builtin_popcount(m[k]));
    }
    f.Aloss = 8;
    SDL_Surface s = {};
    s.format = &f;
    screen = &s;
    depth = 16;
    for (const auto& c : colours)
      EXPECT_EQ(maprgb(c[0], c[1], c[2]), SDL_MapRGB(&f, (Uint8)c[0], (Uint8)c[1], (Uint8)c[2]))
          << std::hex << m[0] << " " << std::dec << c[0] << "," << c[1] << "," << c[2];
  }
  usetestscreen(8, 8, 16);  // no screen left pointing at the format above
}

// Writes a distinct marker into every byte of the screen buffer, padding included.
void markscreen() {
  std::vector<uint8_t>& b = testscreenbytes();
  for (size_t i = 0; i < b.size(); i++) b[i] = (uint8_t)(0x80 | (i % 101));
}

TEST(CopyBackground, RowsAndPadding) {
  struct {
    int w, h, bpp, rowstride;
  } cases[] = {{10, 4, 16, 0}, {10, 4, 8, 0}, {10, 4, 16, 28}, {7, 3, 8, 12}};
  uint8_t* saved = background;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " depth " << c.bpp << " stride " << c.rowstride);
    usetestscreen(c.w, c.h, c.bpp, c.rowstride);
    size_t rowlen = (size_t)c.w * (c.bpp == 16 ? 2 : 1);
    std::vector<uint8_t> image(rowlen * c.h);
    for (size_t i = 0; i < image.size(); i++) image[i] = (uint8_t)(i * 7 + 1);

    for (bool withimage : {true, false}) {
      background = withimage ? image.data() : nullptr;
      markscreen();
      std::vector<uint8_t> before = testscreenbytes();
      copybackground();
      const std::vector<uint8_t>& now = testscreenbytes();
      for (size_t i = 0; i < now.size(); i++) {
        size_t y = i / stride, col = i % stride;
        uint8_t want = before[i];
        if (y < (size_t)c.h && col < rowlen) want = withimage ? image[y * rowlen + col] : 0;
        ASSERT_EQ(now[i], want) << (withimage ? "image" : "black") << " byte " << i;
      }
    }
  }
  background = saved;
}

TEST(CopyBackground, NoRowsDoesNothing) {
  usetestscreen(10, 4);
  markscreen();
  std::vector<uint8_t> before = testscreenbytes();
  uint8_t* saved = background;
  background = nullptr;
  ysize = 0;
  copybackground();
  EXPECT_EQ(testscreenbytes(), before);
  background = saved;
}

TEST(RowOffsets, OneStrideApartBelowTheHeight) {
  for (int rowstride : {0, 1001}) {
    usetestscreen(300, 200, 16, rowstride);
    rowoffsets[ysize] = -7;
    setrowoffsets();
    for (int y = 0; y < ysize; y++) ASSERT_EQ(rowoffsets[y], y * stride) << y;
    EXPECT_EQ(rowoffsets[ysize], -7);
  }
  EXPECT_EQ(rowoffsets[1], 1001);
}

// The dummy driver shows nothing: the program runs on it only when it was asked
// for by name, under SDL 1.2's and SDL 2's name or under SDL 3's, either of
// which a user may set when SDL 1.2 runs over SDL 3.
TEST(NoDisplay, DummyDriverOnlyWhenAskedForByName) {
  usevideo();
  const char* const names[] = {"SDL_VIDEODRIVER", "SDL_VIDEO_DRIVER"};
  std::string saved[2];
  bool had[2];
  for (int i = 0; i < 2; i++) {
    const char* v = getenv(names[i]);
    had[i] = v != nullptr;
    if (had[i]) saved[i] = v;
  }
  struct {
    const char* var;
    const char* value;
    bool refused;
  } cases[] = {
      {"SDL_VIDEODRIVER", "dummy", false}, {"SDL_VIDEO_DRIVER", "dummy", false}, {"SDL_VIDEO_DRIVER", "x11", false},
      {"SDL_VIDEODRIVER", "", true},       {"SDL_VIDEO_DRIVER", "", true},       {nullptr, nullptr, true},
  };
  for (const auto& c : cases) {
    for (const char* n : names) unsetenv(n);
    if (c.var != nullptr) setenv(c.var, c.value, 1);
    const char* why = nodisplay();
    EXPECT_EQ(why != nullptr, c.refused) << (c.var ? c.var : "neither") << "=" << (c.value ? c.value : "");
  }
  for (int i = 0; i < 2; i++) {
    if (had[i]) setenv(names[i], saved[i].c_str(), 1);
    else unsetenv(names[i]);
  }
}

}  // namespace
}  // namespace spumex
