// Drawing of hoses, blocks, their grab balls and the swatches.
#include <gtest/gtest.h>

#include "app/app.h"
#include "gfx/gfx.h"
#include "helpers/testscreen.h"
#include "sim/sim.h"

#include <climits>
#include <vector>

using namespace spumex;

namespace {

// A sprite of no rows, and one-pixel markers whose pixel is the value given.
uint16_t emptysprite[] = {0, 0, 0, 0, 0};
uint16_t marker[NSWATCHES + 1][SPRITEHEADER + ROWHEADER + 2];

uint16_t* makemarker(int i, uint16_t value) {
  uint16_t* m = marker[i];
  const uint16_t words[] = {0, 0, 1, 1, 1, 0, 0, value, 0};
  for (int k = 0; k < 9; k++) m[k] = words[k];
  return m;
}

constexpr uint16_t BALL = 0xFFFF;    // the grab ball marker

struct pixel {
  int x, y;
  uint32_t v;
};

// Every non-zero pixel of the test screen.
std::vector<pixel> litpixels() {
  std::vector<pixel> out;
  for (int y = 0; y < ysize; y++)
    for (int x = 0; x < xsize; x++)
      if (uint32_t v = testpixel(x, y)) out.push_back({x, y, v});
  return out;
}

std::vector<uint8_t> snapshot() { return testscreenbytes(); }

hose makehose(int lx, int ly, int32_t angle, uint8_t r, uint8_t g, uint8_t b) {
  hose h{};
  h.x = lx << 8;
  h.y = ly << 8;
  h.angle = angle;
  h.r = r;
  h.g = g;
  h.b = b;
  h.code = colorcode(r, g, b);
  return h;
}

block makeblock(int lx, int ly, int32_t angle) {
  block k{};
  k.x = lx << 8;
  k.y = ly << 8;
  k.angle = angle;
  return k;
}

// The screen holds exactly the triangle tip, v2, v3 for some v2, v3 within
// one pixel of the guesses.
bool istriangle(const std::vector<uint8_t>& drawn, int w, int h, point tip, point g2, point g3,
                uint32_t r, uint32_t g, uint32_t b) {
  for (int a = 0; a < 81; a++) {
    int d[4] = {a % 3 - 1, a / 3 % 3 - 1, a / 9 % 3 - 1, a / 27 % 3 - 1};
    usetestscreen(w, h);
    drawtriangle(tip.x, tip.y, g2.x + d[0], g2.y + d[1], g3.x + d[2], g3.y + d[3], r, g, b);
    if (testscreenbytes() == drawn) return true;
  }
  return false;
}

class DrawObjects : public testing::Test {
 protected:
  void SetUp() override {
    rotation = 0;
    cursor = cursorsprite;
    cursorsprite = emptysprite;
    hoses = nullptr;
    blocks = nullptr;
  }
  void TearDown() override {
    hoses = nullptr;
    blocks = nullptr;
    cursorsprite = cursor;  // the cursor ball other tests draw
  }
  uint16_t* cursor = nullptr;
};

TEST_F(DrawObjects, HoseAtAngleZeroIsItsTriangle) {
  usetestscreen(640, 480);
  hose h = makehose(320, 240, 0, 255, 0, 0);
  drawhose(&h);
  std::vector<uint8_t> drawn = snapshot();
  usetestscreen(640, 480);
  drawtriangle(350, 240, 294, 255, 294, 225, 255, 0, 0);
  EXPECT_TRUE(testscreenbytes() == drawn);
  EXPECT_FALSE(litpixels().empty());
}

TEST_F(DrawObjects, TriangleTipsFollowTheSinglePrecisionAngle) {
  struct row {
    int w, h, angle;
    point tip, g2, g3;                 // tip exact, the others within a pixel
  };
  const row rows[] = {
      {640, 480, 256, {319, 270}, {305, 214}, {335, 214}},   // not (320, 270)
      {1024, 768, 0, {560, 384}, {470, 408}, {470, 360}},    // R = 48 on both axes
      {100, 75, 0, {54, 37}, {45, 39}, {45, 34}},            // R = 4.6875
  };
  for (const row& t : rows) {
    SCOPED_TRACE(t.w);
    usetestscreen(t.w, t.h);
    hose h = makehose(320, 240, t.angle, 0, 255, 0);
    drawhose(&h);
    std::vector<uint8_t> drawn = snapshot();
    EXPECT_TRUE(istriangle(drawn, t.w, t.h, t.tip, t.g2, t.g3, 0, 255, 0));
    point off = {t.tip.x + (t.angle == 256 ? 1 : 0), t.tip.y};
    if (t.angle == 256) {
      EXPECT_FALSE(istriangle(drawn, t.w, t.h, off, t.g2, t.g3, 0, 255, 0));
    }
  }
}

TEST_F(DrawObjects, GrabBallsSitOnBaseAndNozzleOrCentreAndHandle) {
  struct row {
    int w, h;
    bool isblock;
    int angle;
    point base, grip;                  // screen positions of the two balls
  };
  const row rows[] = {
      {640, 480, false, 0, {320, 240}, {298, 240}},
      {640, 480, false, 256, {320, 240}, {320, 218}},
      {640, 480, true, 0, {320, 240}, {356, 240}},
      {1024, 768, false, 0, {512, 384}, {476, 384}},   // nozzle (298, 240) scaled
      {1024, 768, true, 0, {512, 384}, {569, 384}},    // handle (356, 240) scaled
  };
  for (const row& t : rows) {
    SCOPED_TRACE(testing::Message() << t.w << (t.isblock ? " block " : " hose ") << t.angle);
    usetestscreen(t.w, t.h);
    cursorsprite = makemarker(0, BALL);
    if (t.isblock) {
      block k = makeblock(320, 240, t.angle);
      drawblock(&k);
    } else {
      hose h = makehose(320, 240, t.angle, 0, 0, 255);
      drawhose(&h);
    }
    int balls = 0;
    for (const pixel& p : litpixels()) balls += p.v == BALL;
    EXPECT_EQ(balls, 2);
    EXPECT_EQ(testpixel(t.base.x, t.base.y), BALL);
    EXPECT_EQ(testpixel(t.grip.x, t.grip.y), BALL);
  }
}

TEST_F(DrawObjects, BlocksFillTheirBarExactly) {
  struct row {
    int w, h, bpp, angle;
    int x0, x1, y0, y1;                // columns and rows covered, inclusive
    uint32_t grey;
  };
  const row rows[] = {
      {640, 480, 16, 0, 260, 379, 228, 251, rgb565(96, 96, 96)},
      {640, 480, 16, 256, 308, 331, 180, 299, rgb565(96, 96, 96)},
      {640, 480, 16, 1024, 260, 379, 228, 251, rgb565(96, 96, 96)},
      {640, 480, 8, 0, 260, 379, 228, 251, 91},          // palette grey
      {1024, 768, 16, 0, 416, 607, 365, 402, rgb565(96, 96, 96)},
  };
  for (const row& t : rows) {
    SCOPED_TRACE(testing::Message() << t.w << " depth " << t.bpp << " angle " << t.angle);
    usetestscreen(t.w, t.h, t.bpp);
    block k = makeblock(320, 240, t.angle);
    drawblock(&k);
    std::vector<pixel> lit = litpixels();
    EXPECT_EQ((int)lit.size(), (t.x1 - t.x0 + 1) * (t.y1 - t.y0 + 1));
    int outside = 0, wrong = 0;
    for (const pixel& p : lit) {
      outside += p.x < t.x0 || p.x > t.x1 || p.y < t.y0 || p.y > t.y1;
      wrong += p.v != t.grey;
    }
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(wrong, 0);
  }
}

// At 640 x 480 a pixel is a logical unit, so the drawn bar covers exactly the
// cells the block map gives it: both come from the one block shape.
TEST_F(DrawObjects, AtScaleOneTheBarIsItsBlockMapCells) {
  const block rows[] = {
      makeblock(320, 240, 0),   makeblock(320, 240, 100), makeblock(200, 150, 256),
      makeblock(401, 333, 333), makeblock(77, 420, 700),  makeblock(600, 40, -45),
      makeblock(10, 240, 1023), makeblock(320, 470, 5000),
  };
  for (block k : rows) {
    SCOPED_TRACE(testing::Message() << "block at " << (k.x >> 8) << ", " << (k.y >> 8) << " angle " << k.angle);
    k.next = nullptr;
    blocks = &k;
    makeblockmap();
    usetestscreen(640, 480);
    drawblock(&k);
    blocks = nullptr;
    int cells = 0, mismatched = 0;
    for (int y = 0; y < MAPH; y++)
      for (int x = 0; x < MAPW; x++) {
        bool mapped = blockmap[y * MAPW + x] != 0;
        cells += mapped;
        mismatched += mapped != (testpixel(x, y) != 0);
      }
    EXPECT_GT(cells, 0);
    EXPECT_EQ(mismatched, 0);
  }
}

TEST_F(DrawObjects, RotationTurnsHosesButNotBlocks) {
  usetestscreen(640, 480);
  hose turned = makehose(200, 200, 256, 9, 99, 199);
  drawhose(&turned);
  block k = makeblock(400, 300, 100);
  drawblock(&k);
  std::vector<uint8_t> expected = snapshot();

  usetestscreen(640, 480);
  rotation = 256 + 1024 * 3;
  hose h = makehose(200, 200, -1024 * 3, 9, 99, 199);
  drawhose(&h);
  drawblock(&k);
  EXPECT_TRUE(testscreenbytes() == expected);
}

TEST_F(DrawObjects, ListsDrawFromTheHeadThenTheTemplate) {
  hose savedhose = newhose;
  block savedblock = newblock;
  usetestscreen(640, 480);
  // Two hoses and the template on one spot: the template is drawn last.
  hose second = makehose(100, 100, 0, 0, 255, 0);
  hose first = makehose(100, 100, 0, 255, 0, 0);
  first.next = &second;
  hoses = &first;
  newhose = makehose(100, 100, 0, 0, 0, 255);
  newblock = makeblock(400, 400, 0);
  drawhoses();
  EXPECT_EQ(testpixel(110, 100), rgb565(0, 0, 255));
  newhose = makehose(40, 30, 384, 255, 255, 255);
  usetestscreen(640, 480);
  drawhoses();
  EXPECT_EQ(testpixel(110, 100), rgb565(0, 255, 0));

  // Blocks: the list first, then the template; each once.
  block b1 = makeblock(300, 300, 0);
  blocks = &b1;
  usetestscreen(640, 480);
  drawblocks();
  EXPECT_EQ((int)litpixels().size(), 2 * 2880);
  EXPECT_EQ(testpixel(300, 300), rgb565(96, 96, 96));
  EXPECT_EQ(testpixel(400, 400), rgb565(96, 96, 96));
  newhose = savedhose;
  newblock = savedblock;
}

TEST_F(DrawObjects, ObjectsFarOutsideTheSceneDrawNothing) {
  const int32_t far[] = {INT32_MAX, INT32_MIN, 1 << 30, -(1 << 30)};
  usetestscreen(640, 480);
  cursorsprite = makemarker(0, BALL);
  for (int32_t v : far) {
    hose h = makehose(0, 0, INT32_MAX, 255, 255, 255);
    h.x = v;
    drawhose(&h);
    h.x = 100 << 8;
    h.y = v;
    drawhose(&h);
    block k = makeblock(0, 0, INT32_MIN);
    k.x = v;
    drawblock(&k);
    k.x = 100 << 8;
    k.y = v;
    drawblock(&k);
  }
  EXPECT_TRUE(litpixels().empty());
}

class DrawSwatches : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    usetestscreen(640, 480);
    initswatches();
    for (int i = 0; i < NSWATCHES; i++) built[i] = swatches[i].sprite;
  }
  void TearDown() override {
    for (int i = 0; i < NSWATCHES; i++) swatches[i].sprite = built[i];
  }
  static uint16_t* built[NSWATCHES];
};
uint16_t* DrawSwatches::built[NSWATCHES];

TEST_F(DrawSwatches, EachSwatchIsCentredSixUnitsUpAndLeft) {
  struct row {
    int w, h;
    point first;                       // where swatch 0's centre lands
  };
  const row rows[] = {{640, 480, {19, 444}}, {100, 75, {3, 70}}, {1024, 768, {31, 711}}};
  for (const row& t : rows) {
    SCOPED_TRACE(t.w);
    usetestscreen(t.w, t.h);
    for (int i = 0; i < NSWATCHES; i++) swatches[i].sprite = makemarker(i + 1, (uint16_t)(i + 1));
    drawswatches();
    EXPECT_EQ(testpixel(t.first.x, t.first.y), 1u);
    std::vector<pixel> lit = litpixels();
    ASSERT_EQ((int)lit.size(), NSWATCHES);
    for (const pixel& p : lit) EXPECT_EQ(p.y, t.first.y) << p.v;
  }
  // At 640 x 480 every swatch ball is six units left of its position.
  usetestscreen(640, 480);
  for (int i = 0; i < NSWATCHES; i++) swatches[i].sprite = makemarker(i + 1, (uint16_t)(i + 1));
  drawswatches();
  const int xs[NSWATCHES] = {25, 51, 76, 102, 128, 153, 179, 204, 230, 256, 281, 307, 332, 358};
  for (int i = 0; i < NSWATCHES; i++) EXPECT_EQ(testpixel(xs[i] - 6, 444), (uint32_t)(i + 1)) << i;
}

}  // namespace
