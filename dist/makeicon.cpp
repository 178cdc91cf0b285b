// Icon renderer: a pile of six shaded balls as a PPM image and a PGM opacity mask.
#include "app/app.h"
#include "gfx/gfx.h"
#include "gfx/video.h"

#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace spumex {

constexpr int MINICON = 16;          // smallest icon side in pixels
constexpr int MAXICON = 256;         // largest icon side: the pile at the largest ball
constexpr int NICONBALLS = 6;        // balls in the pile

static uint8_t iconmask[MAXICON * MAXICON];  // 255 where a ball covers the pixel

// Logical radius whose ball has pixel radius a at the current width, or 0.
static int32_t radiusfor(int32_t a) {
  for (int32_t radius = 1; radius <= 64 * MAXICON; radius++)
    if (ballpixels(radius) >= a) return radius;
  return 0;
}

// Marks the pixels that drawsprite(px, py, sprite) covers, clipped to the icon.
static void marksprite(int32_t px, int32_t py, const uint16_t* sprite) {
  int32_t ox = px + (int16_t)sprite[0];
  int32_t oy = py + (int16_t)sprite[1];
  const uint16_t* p = sprite + SPRITEHEADER;
  while (p[0] != 0) {
    int32_t count = p[0];
    int32_t row = oy + (int16_t)p[2];
    for (int32_t k = 0; k < count; k++) {
      int32_t col = ox + (int16_t)p[1] + k;
      if (row >= 0 && row < ysize && col >= 0 && col < xsize) iconmask[row * xsize + col] = 255;
    }
    p += ROWHEADER + count;
  }
}

// Writes the screen as a binary PPM and the mask as a binary PGM; 0 on success.
static int writeimages(const char* imagename, const char* maskname) {
  FILE* image = fopen(imagename, "wb");
  if (image == nullptr) return -1;
  fprintf(image, "P6\n%d %d\n255\n", xsize, ysize);
  for (int y = 0; y < ysize; y++)
    for (int x = 0; x < xsize; x++) {
      uint16_t v;
      memcpy(&v, videomem + rowoffsets[y] + 2 * x, 2);
      uint8_t rgb[3];
      SDL_GetRGB(v, screen->format, &rgb[0], &rgb[1], &rgb[2]);
      fwrite(rgb, 1, 3, image);
    }
  int failed = ferror(image);
  if (fclose(image) != 0) failed = 1;

  FILE* mask = fopen(maskname, "wb");
  if (mask == nullptr) return -1;
  fprintf(mask, "P5\n%d %d\n255\n", xsize, ysize);
  fwrite(iconmask, 1, (size_t)xsize * ysize, mask);
  if (ferror(mask)) failed = 1;
  if (fclose(mask) != 0) failed = 1;
  return failed ? -1 : 0;
}

// Renders the icon of the given side; 0 on success.
static int makeicon(int size, const char* imagename, const char* maskname) {
  // A plain memory screen of size x size pixels at depth 16, RGB 565.
  screen = SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 1, 16, 0xF800, 0x07E0, 0x001F, 0);
  scratch = (uint8_t*)malloc(SCRATCHSIZE);
  uint8_t* pixels = (uint8_t*)calloc((size_t)size * size, 2);
  if (screen == nullptr || scratch == nullptr || pixels == nullptr) {
    fprintf(stderr, "spumex-icon: out of memory\n");
    return -1;
  }
  xsize = size;
  ysize = size;
  depth = 16;
  stride = 2 * size;
  videomem = pixels;
  setrowoffsets();

  // Three balls at the bottom, two on them, one on top, touching.
  int32_t a = size * MAXBALLPIXELS / 256;
  if (a > MAXBALLPIXELS) a = MAXBALLPIXELS;
  int32_t radius = radiusfor(a);
  a = ballpixels(radius);
  int32_t rise = (int32_t)(2 * a * 0.8660254037844386 + 0.5);  // row height of the pile
  int32_t cx = size / 2;
  int32_t bottom = (size - (2 * rise + 2 * a)) / 2 + 2 * rise + a;
  // Back to front, so the lower balls cover the upper ones where they meet.
  const int32_t place[NICONBALLS][2] = {
      {cx, bottom - 2 * rise},
      {cx - a, bottom - rise}, {cx + a, bottom - rise},
      {cx - 2 * a, bottom}, {cx, bottom}, {cx + 2 * a, bottom},
  };
  const int colors[NICONBALLS] = {5, 3, 4, 0, 1, 2};  // swatch colours: magenta on top

  memset(iconmask, 0, sizeof iconmask);
  for (int k = 0; k < NICONBALLS; k++) {
    int i = colors[k];
    uint16_t* ball = makesprite(radius, swatchcolors[0][i], swatchcolors[1][i], swatchcolors[2][i]);
    if (ball == nullptr) {
      fprintf(stderr, "spumex-icon: out of memory\n");
      return -1;
    }
    drawsprite(place[k][0], place[k][1], ball);
    marksprite(place[k][0], place[k][1], ball);
    free(ball);
  }
  if (writeimages(imagename, maskname) != 0) {
    fprintf(stderr, "spumex-icon: cannot write %s and %s\n", imagename, maskname);
    return -1;
  }
  return 0;
}

}  // namespace spumex

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "Use: spumex-icon size image.ppm mask.pgm\n");
    return 2;
  }
  int size = atoi(argv[1]);
  if (size < spumex::MINICON || size > spumex::MAXICON) {
    fprintf(stderr, "spumex-icon: size must be %d to %d\n", spumex::MINICON, spumex::MAXICON);
    return 2;
  }
  return spumex::makeicon(size, argv[2], argv[3]) == 0 ? 0 : 1;
}
