// Ball drawing: screen positions, sprite choice and colour mixing.
#include <gtest/gtest.h>

#include "app/app.h"
#include "gfx/gfx.h"
#include "helpers/testscreen.h"
#include "sim/sim.h"

#include <cstring>

using namespace spumex;

namespace {

// Two-row marker sprites: row 0 holds index + 1, row 1 holds index + 0x1001.
uint16_t marks[NCODES][13];
uint16_t* saved[NCODES];

class DrawBalls : public ::testing::Test {
 protected:
  void SetUp() override {
    memcpy(saved, ballsprites, sizeof saved);
    for (int i = 0; i < NCODES; i++) {
      uint16_t words[] = {0, 0, 1, 2,                   // dx, dy, width, height
                          1, 0, 0, (uint16_t)(i + 1),   // row 0
                          1, 0, 1, (uint16_t)(i + 0x1001),  // row 1
                          0};
      memcpy(marks[i], words, sizeof words);
      ballsprites[i] = marks[i];
    }
    usetestscreen(640, 480);
    initballs();
    mixing = 0;
  }
  void TearDown() override {
    memcpy(ballsprites, saved, sizeof saved);
    mixing = 0;
  }
};

ball* putball(int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b, int32_t code) {
  ball* p = allocball();
  p->x = x;
  p->y = y;
  p->r = r;
  p->g = g;
  p->b = b;
  p->code = code;
  p->next = balls;
  balls = p;
  return p;
}

TEST_F(DrawBalls, PositionExactAt640x480) {
  struct {
    int32_t x, y;  // 1/256 units
  } cases[] = {{0, 0}, {639 * 256 + 255, 478 * 256 + 255}, {123 * 256 + 17, 45 * 256 + 200}, {320 * 256, 240 * 256}};
  for (const auto& c : cases) {
    usetestscreen(640, 480);
    initballs();
    putball(c.x, c.y, 0, 0, 0, 300);
    drawballs();
    EXPECT_EQ(testpixel(c.x >> 8, c.y >> 8), 301u) << c.x << "," << c.y;
    EXPECT_EQ(testpixel(c.x >> 8, (c.y >> 8) + 1), 300u + 0x1001) << c.x << "," << c.y;
  }
}

TEST_F(DrawBalls, PositionScalesAndTruncatesTowardZero) {
  // logical y = -1: row -1 on a 480-line screen, row 0 (from -0.5) on 240 lines
  putball(100 * 256, -256, 0, 0, 0, 5);
  drawballs();
  EXPECT_EQ(testpixel(100, 0), 5u + 0x1001);

  usetestscreen(320, 240);
  drawballs();
  EXPECT_EQ(testpixel(50, 0), 6u);
  EXPECT_EQ(testpixel(50, 1), 5u + 0x1001);

  // logical (101, 7) at half size: 50.5 and 3.5 truncate to 50 and 3
  usetestscreen(320, 240);
  initballs();
  putball(101 * 256 + 128, 7 * 256, 0, 0, 0, 9);
  drawballs();
  EXPECT_EQ(testpixel(50, 3), 10u);
}

TEST_F(DrawBalls, MixingOffUsesCode) {
  putball(10 * 256, 10 * 256, 255, 255, 255, 100);
  drawballs();
  EXPECT_EQ(testpixel(10, 10), 101u);
  EXPECT_EQ(balls->r, 255);
  for (int i = 0; i < MIXCELLS; i++) ASSERT_EQ(mixcount[i], 0);
}

TEST_F(DrawBalls, MixingOnUsesCurrentColour) {
  mixing = 1;
  putball(10 * 256, 10 * 256, 128, 64, 32, 100);
  drawballs();
  EXPECT_EQ(testpixel(10, 10), 274u);  // colorcode 273 of (128, 64, 32)
}

TEST_F(DrawBalls, RedAndBlueMixToMagenta) {
  mixing = 1;
  ball* red = putball(8 * 256, 8 * 256, 255, 0, 0, 448);
  ball* blue = putball(15 * 256 + 255, 15 * 256 + 255, 0, 0, 255, 7);
  drawballs();
  // this frame still shows the old colours
  EXPECT_EQ(testpixel(8, 8), 449u);
  EXPECT_EQ(testpixel(15, 15), 8u);
  EXPECT_EQ(mixcount[1 * MIXCOLS + 1], 2);
  for (ball* b : {red, blue}) {
    EXPECT_EQ(b->r, 255);
    EXPECT_EQ(b->g, 0);
    EXPECT_EQ(b->b, 255);
  }
  EXPECT_EQ(red->code, 448);
  EXPECT_EQ(blue->code, 7);
  drawballs();
  EXPECT_EQ(testpixel(8, 8), 456u);
  EXPECT_EQ(testpixel(15, 15), 456u);
  EXPECT_EQ(mixcount[1 * MIXCOLS + 1], 2);  // grid cleared between frames

  // switching off shows the codes again; the mixed colours stay in the ball
  mixing = 0;
  drawballs();
  EXPECT_EQ(testpixel(8, 8), 449u);
  EXPECT_EQ(testpixel(15, 15), 8u);
  EXPECT_EQ(red->b, 255);
}

TEST_F(DrawBalls, SingleBallIsBrightened) {
  struct {
    uint8_t r, g, b, er, eg, eb;
  } cases[] = {
      {7, 0, 0, 254, 0, 0},
      {128, 64, 0, 255, 127, 0},
      {0, 0, 14, 0, 0, 254},
      {0, 28, 0, 0, 254, 0},
      {252, 0, 0, 254, 0, 0},
      {1, 0, 0, 255, 0, 0},
      {255, 255, 255, 255, 255, 255},
  };
  mixing = 1;
  for (const auto& c : cases) {
    initballs();
    ball* b = putball(300 * 256, 200 * 256, c.r, c.g, c.b, 0);
    drawballs();
    EXPECT_EQ(b->r, c.er) << (int)c.r << "," << (int)c.g << "," << (int)c.b;
    EXPECT_EQ(b->g, c.eg) << (int)c.r << "," << (int)c.g << "," << (int)c.b;
    EXPECT_EQ(b->b, c.eb) << (int)c.r << "," << (int)c.g << "," << (int)c.b;
  }
}

TEST_F(DrawBalls, StrongestChannelFallsShortFor32Values) {
  mixing = 1;
  int shortfall = 0;
  for (int m = 1; m <= 255; m++) {
    initballs();
    ball* b = putball(50 * 256, 50 * 256, (uint8_t)m, 0, 0, 0);
    drawballs();
    ASSERT_TRUE(b->r == 255 || b->r == 254) << m;
    if (b->r == 254) shortfall++;
  }
  EXPECT_EQ(shortfall, 32);
}

TEST_F(DrawBalls, GridEdges) {
  struct {
    int32_t x, y;
    bool mixed;
  } cases[] = {
      {639 * 256 + 255, 479 * 256 + 255, true},
      {0, 0, true},
      {640 * 256, 100 * 256, false},
      {100 * 256, -1, false},   // one 256th above the top is row -1
      {-1, 100 * 256, false},
      {100 * 256, 480 * 256, false},
  };
  mixing = 1;
  for (const auto& c : cases) {
    initballs();
    ball* b = putball(c.x, c.y, 128, 64, 0, 0);
    drawballs();
    EXPECT_EQ(b->r, c.mixed ? 255 : 128) << c.x << "," << c.y;
    EXPECT_EQ(b->g, c.mixed ? 127 : 64) << c.x << "," << c.y;
    int total = 0;
    for (int i = 0; i < MIXCELLS; i++) total += mixcount[i];
    EXPECT_EQ(total, c.mixed ? 1 : 0) << c.x << "," << c.y;
  }
}

TEST_F(DrawBalls, DarkCellTurnsBlack) {
  mixing = 1;
  // sums (1, 2, 1) over three balls: every mean is 0
  ball* a = putball(20 * 256, 20 * 256, 1, 2, 0, 0);
  ball* b = putball(21 * 256, 20 * 256, 0, 0, 0, 0);
  ball* c = putball(22 * 256, 21 * 256, 0, 0, 1, 0);
  drawballs();
  for (ball* p : {a, b, c}) {
    EXPECT_EQ(p->r, 0);
    EXPECT_EQ(p->g, 0);
    EXPECT_EQ(p->b, 0);
  }
}

TEST_F(DrawBalls, DarkCellWithLargeSumsStaysInRange) {
  mixing = 1;
  // 300 of red 1 and 100 black: red sum 300, mean 0
  for (int i = 0; i < 400; i++) putball(30 * 256 + i, 30 * 256, i < 300 ? 1 : 0, 0, 0, 0);
  drawballs();
  for (ball* p = balls; p; p = p->next) ASSERT_EQ(p->r, 0);
}

}  // namespace
