// Sprite set tests: colour codes, the ball sprite table, the cursor ball and the swatches.
#include <gtest/gtest.h>

#include "app/app.h"
#include "gfx/gfx.h"
#include "helpers/testscreen.h"

#include <cstdlib>
#include <cstring>

namespace spumex {
namespace {

const uint32_t levels[8] = {0, 36, 72, 109, 145, 182, 218, 254};

// Bytes in a sprite, terminator included.
size_t spritebytes(const uint16_t* s) {
  const uint16_t* rec = s + 4;
  while (rec[0] != 0) rec += 3 + rec[0];
  return (size_t)(rec + 1 - s) * 2;
}

// The two sprites hold the same words.
::testing::AssertionResult samesprite(const uint16_t* a, const uint16_t* b) {
  if (a == nullptr || b == nullptr) return ::testing::AssertionFailure() << "null sprite";
  size_t n = spritebytes(a);
  if (n != spritebytes(b)) return ::testing::AssertionFailure() << n << " vs " << spritebytes(b) << " bytes";
  if (memcmp(a, b, n) != 0) return ::testing::AssertionFailure() << "pixels differ";
  return ::testing::AssertionSuccess();
}

void setup() {
  if (scratch == nullptr) scratch = (uint8_t*)malloc(SCRATCHSIZE);
  usetestscreen(640, 480);
}

TEST(ColorCode, Examples) {
  struct {
    uint32_t r, g, b;
    int32_t code;
  } cases[] = {{255, 255, 255, 511}, {0, 0, 0, 0},     {128, 64, 32, 273}, {31, 31, 31, 0},
               {224, 0, 0, 448},     {255, 0, 0, 448}, {0, 0, 128, 4},     {256 + 255, 512, 0x1E0, 448 + 7}};
  for (const auto& c : cases) EXPECT_EQ(colorcode(c.r, c.g, c.b), c.code) << c.r << "," << c.g << "," << c.b;
}

TEST(ColorCode, LevelColoursRoundTrip) {
  for (int k = 0; k < 8; k++) {
    EXPECT_EQ((uint32_t)(k * 36.42), levels[k]);
    EXPECT_EQ(levels[k] >> 5, (uint32_t)k);
  }
  for (int32_t c = 0; c < NCODES; c++) EXPECT_EQ(colorcode(levels[c >> 6], levels[(c >> 3) & 7], levels[c & 7]), c);
}

TEST(MakeBalls, EveryEntryIsTheBallOfItsLevelColour) {
  setup();
  makeballs();
  for (int c = 0; c < NCODES; c++) {
    uint16_t* want = makesprite(7, levels[c >> 6], levels[(c >> 3) & 7], levels[c & 7]);
    EXPECT_TRUE(samesprite(ballsprites[c], want)) << "code " << c;
    free(want);
  }

  // entry 0 is an opaque black ball: full rows of zero pixels
  const uint16_t* s = ballsprites[0];
  int rows = 0;
  for (const uint16_t* rec = s + 4; rec[0] != 0; rec += 3 + rec[0], rows++) {
    for (int k = 0; k < rec[0]; k++) EXPECT_EQ(rec[3 + k], 0);
  }
  EXPECT_EQ(rows, 14);
  EXPECT_EQ(spritebytes(s), 406u);

  uint16_t* grey = makesprite(7, 254, 254, 254);
  EXPECT_TRUE(samesprite(ballsprites[511], grey));
  free(grey);
  uint16_t* white = makesprite(7, 255, 255, 255);
  EXPECT_FALSE(samesprite(ballsprites[511], white));
  free(white);

  uint16_t* cursor = makesprite(3, 255, 255, 255);
  EXPECT_TRUE(samesprite(cursorsprite, cursor));
  EXPECT_EQ((int16_t)cursorsprite[0], -3);
  free(cursor);
}

TEST(InitSwatches, PositionsCodesAndSprites) {
  const struct {
    uint8_t r, g, b;
    int32_t code, x;
  } table[NSWATCHES] = {
      {255, 0, 0, 448, 25},   {0, 255, 0, 56, 51},    {0, 0, 255, 7, 76},     {255, 255, 0, 504, 102},
      {0, 255, 255, 63, 128}, {255, 0, 255, 455, 153}, {255, 255, 255, 511, 179}, {0, 0, 128, 4, 204},
      {64, 0, 0, 128, 230},   {96, 0, 0, 192, 256},   {128, 0, 0, 256, 281},  {160, 0, 0, 320, 307},
      {192, 0, 0, 384, 332},  {224, 0, 0, 448, 358},
  };
  setup();
  initswatches();
  for (int i = 0; i < NSWATCHES; i++) {
    SCOPED_TRACE(i);
    EXPECT_EQ(swatchcolors[0][i], table[i].r);
    EXPECT_EQ(swatchcolors[1][i], table[i].g);
    EXPECT_EQ(swatchcolors[2][i], table[i].b);
    EXPECT_EQ(swatches[i].x, table[i].x);
    EXPECT_EQ(swatches[i].y, 450);
    EXPECT_EQ(swatches[i].code, table[i].code);
    uint16_t* want = makesprite(12, table[i].r, table[i].g, table[i].b);
    EXPECT_TRUE(samesprite(swatches[i].sprite, want));
    free(want);
  }
  // same code, exact colours: swatches 0 and 13 look different
  EXPECT_FALSE(samesprite(swatches[0].sprite, swatches[13].sprite));
}

TEST(InitSwatches, WidestScreenBuildsWholeSwatches) {
  if (scratch == nullptr) scratch = (uint8_t*)malloc(SCRATCHSIZE);
  usetestscreen(2048, 1536);
  for (swatch& s : swatches) free(s.sprite);
  initswatches();
  for (int i = 0; i < NSWATCHES; i++) {
    const uint16_t* s = swatches[i].sprite;
    ASSERT_NE(s, nullptr);
    EXPECT_EQ((int16_t)s[0], -38);
    EXPECT_EQ(s[2], 77);
    int rows = 0;
    for (const uint16_t* rec = s + 4; rec[0] != 0; rec += 3 + rec[0]) rows++;
    EXPECT_EQ(rows, 76);
  }
}

}  // namespace
}  // namespace spumex
