// Sprite sets: colour codes, the 512 ball sprites, the cursor ball and the colour swatches.
#include "gfx/gfx.h"
#include "app/state.h"

namespace spumex {

uint16_t* ballsprites[NCODES];
uint16_t* cursorsprite = nullptr;
const uint8_t swatchcolors[3][NSWATCHES] = {
    {255, 0, 0, 255, 0, 255, 255, 0, 64, 96, 128, 160, 192, 224},  // red
    {0, 255, 0, 255, 255, 0, 255, 0, 0, 0, 0, 0, 0, 0},            // green
    {0, 0, 255, 0, 255, 255, 255, 128, 0, 0, 0, 0, 0, 0},          // blue
};
swatch swatches[NSWATCHES];

// The eight channel levels the ball sprites use for blue.
static const uint8_t levels[8] = {0, 36, 72, 109, 145, 182, 218, 254};

int32_t colorcode(uint32_t r, uint32_t g, uint32_t b) {
  return (int32_t)(((r & 255) >> 5) << 6 | ((g & 255) >> 5) << 3 | ((b & 255) >> 5));
}

void makeballs() {
  for (int ri = 0; ri < 8; ri++)
    for (int gi = 0; gi < 8; gi++)
      for (int bi = 0; bi < 8; bi++) {
        uint32_t r = (uint8_t)(int)(ri * 36.42);
        uint32_t g = (uint8_t)(int)(gi * 36.42);
        ballsprites[ri * 64 + gi * 8 + bi] = makesprite(7, r, g, levels[bi]);
      }
  cursorsprite = makesprite(3, 255, 255, 255);
}

void initswatches() {
  for (int i = 0; i < NSWATCHES; i++) {
    swatch& s = swatches[i];
    s.x = (LOGW * (i + 1)) / 25;
    s.y = 450;
    s.code = colorcode(swatchcolors[0][i], swatchcolors[1][i], swatchcolors[2][i]);
    s.sprite = makesprite(12, swatchcolors[0][i], swatchcolors[1][i], swatchcolors[2][i]);
  }
}

}  // namespace spumex
