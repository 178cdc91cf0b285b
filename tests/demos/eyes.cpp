// Eye demo tests: eye placement and size, pupil, highlight, screen bounds and the demo loop.
#include <gtest/gtest.h>

#include "app/app.h"
#include "demos/demos.h"
#include "gfx/gfx.h"
#include "gfx/video.h"
#include "helpers/testscreen.h"
#include "helpers/testvideo.h"

#include <SDL.h>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace spumex {
namespace {

constexpr uint16_t MARK = 0xF81F;  // magenta: no eye shade of the blue irises below

// Blue irises for every eye.
void blueirises() {
  for (int k = 0; k < 49; k++) {
    eyered[k] = 0;
    eyegreen[k] = 0;
    eyeblue[k] = 200;
  }
}

// A 16-bit test screen of w x h, every byte (row slack too) holding the marker.
void markedscreen(int w, int h, int bitsperpixel = 16, int rowstride = 0) {
  usetestscreen(w, h, bitsperpixel, rowstride);
  std::vector<uint8_t>& b = testscreenbytes();
  if (bitsperpixel == 16) {
    for (size_t i = 0; i + 1 < b.size(); i += 2) memcpy(&b[i], &MARK, 2);
  } else {
    memset(b.data(), 0xA5, b.size());
  }
}

bool painted(int x, int y) { return testpixel(x, y) != MARK; }

TEST(Eyes, CentresAndPixelRadius) {
  ensuresprites();
  blueirises();
  struct { int w, h, row, col, cx, cy, r; } cases[] = {
      {640, 480, 0, 0, 200, 120, 20},
      {640, 480, 6, 6, 440, 360, 20},
      {1280, 960, 0, 0, 400, 240, 40},
      {1280, 960, 6, 6, 880, 720, 40},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << " eye " << c.row << "," << c.col);
    markedscreen(c.w, c.h);
    mousex = 0;
    mousey = 0;
    draweyes();
    int r = c.r;
    // Inside: one pixel short of R along both axes.
    EXPECT_TRUE(painted(c.cx, c.cy));
    EXPECT_TRUE(painted(c.cx - (r - 1), c.cy));
    EXPECT_TRUE(painted(c.cx + (r - 1), c.cy));
    EXPECT_TRUE(painted(c.cx, c.cy - (r - 1)));
    EXPECT_TRUE(painted(c.cx, c.cy + (r - 1)));
    // At distance exactly R: untouched, on the axes and at (3R/5, 4R/5).
    EXPECT_FALSE(painted(c.cx + r, c.cy));
    EXPECT_FALSE(painted(c.cx - r, c.cy));
    EXPECT_FALSE(painted(c.cx, c.cy + r));
    EXPECT_FALSE(painted(c.cx, c.cy - r));
    int a = 3 * r / 5, b = 4 * r / 5;
    EXPECT_FALSE(painted(c.cx + a, c.cy - b));
    EXPECT_FALSE(painted(c.cx - a, c.cy + b));
    EXPECT_TRUE(painted(c.cx + a, c.cy - (b - 1)));
    EXPECT_TRUE(painted(c.cx - a, c.cy + (b - 1)));
  }
}

TEST(Eyes, LookDepthScalesWithTheWidth) {
  ensuresprites();
  blueirises();
  struct { int w, h, depthwanted, depthother; } cases[] = {{640, 480, 300, 600}, {1280, 960, 600, 300}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.w);
    mousex = 430;
    mousey = 330;
    markedscreen(c.w, c.h);
    draweyes();
    std::vector<uint8_t> frame = testscreenbytes();
    // Eye 0 alone with the wanted and with the other depth.
    int32_t lx = mousex - 200, ly = 120 - mousey;
    markedscreen(c.w, c.h);
    draweye(20, -120, -120, lx, ly, c.depthwanted, 0, 0, 200);
    std::vector<uint8_t> wanted = testscreenbytes();
    markedscreen(c.w, c.h);
    draweye(20, -120, -120, lx, ly, c.depthother, 0, 0, 200);
    std::vector<uint8_t> other = testscreenbytes();
    int x0 = c.w * 200 / 640, y0 = c.h * 120 / 480, r = c.w * 20 / 640;
    int samewanted = 0, sameother = 0, n = 0;
    for (int y = y0 - r; y <= y0 + r; y++)
      for (int x = x0 - r; x <= x0 + r; x++) {
        size_t i = (size_t)y * stride + 2 * x;
        n++;
        samewanted += memcmp(&frame[i], &wanted[i], 2) == 0;
        sameother += memcmp(&frame[i], &other[i], 2) == 0;
      }
    EXPECT_EQ(samewanted, n);
    EXPECT_LT(sameother, n);
  }
}

TEST(Eyes, MouseOverTheCentreGivesACentredPupil) {
  ensuresprites();
  blueirises();
  // Pupil: within about 16 degrees of the look direction, h^2 + v^2 <= 30 at R = 20.
  struct { int mx, my, cx, cy; } cases[] = {{200, 120, 200, 120}, {440, 360, 440, 360}, {320, 240, 320, 240}};
  for (auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.mx << "," << c.my);
    markedscreen(640, 480);
    mousex = c.mx;
    mousey = c.my;
    for (int r = 0; r < EYEGRID; r++)
      for (int k = 0; k < EYEGRID; k++)
        draweye(20, 40 * k - 120, 40 * r - 120, mousex - 200 - 40 * k, 120 + 40 * r - mousey,
                300, eyered[7 * r + k], eyegreen[7 * r + k], eyeblue[7 * r + k]);
    for (int v = -8; v <= 8; v++)
      for (int h = -8; h <= 8; h++) {
        bool black = testpixel(c.cx + h, c.cy - v) == 0;
        EXPECT_EQ(black, h * h + v * v <= 30) << "h " << h << " v " << v;
      }
  }
}

TEST(Eyes, HighlightLiftsEveryRampColour) {
  // The light's own normal is at (h, v) = (-10, 10) of an R = 20 eye, where the
  // brightness is just below 1; the look vector puts that pixel in the pupil,
  // the iris or the white of the eye.
  struct { const char* part; int32_t lx, ly, lz; uint32_t r, g, b; } cases[] = {
      {"pupil", -485, 485, 728, 191, 191, 191},
      {"iris", -300, 300, 1000, 191, 191, 241},
      {"white", 0, 0, 1000, 247, 247, 247},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.part);
    markedscreen(640, 480);
    draweye(20, 0, 0, c.lx, c.ly, c.lz, 0, 0, 200);
    EXPECT_EQ(testpixel(320 - 10, 240 - 10), rgb565(c.r, c.g, c.b));
  }
}

TEST(Eyes, ZeroLookVectorShadesAllWhite) {
  // No direction at all: like looking straight back, no iris or pupil.
  markedscreen(640, 480);
  draweye(20, 0, 0, 0, 0, 0, 0, 0, 200);
  std::vector<uint8_t> zero = testscreenbytes();
  markedscreen(640, 480);
  draweye(20, 0, 0, 0, 0, -1000, 0, 0, 200);
  EXPECT_EQ(zero, testscreenbytes());
}

// Bytes outside the visible rows (row slack and the tail) still hold the marker.
int slackchanged(int bitsperpixel) {
  const std::vector<uint8_t>& b = testscreenbytes();
  uint8_t m0 = bitsperpixel == 16 ? (uint8_t)(MARK & 255) : 0xA5;
  uint8_t m1 = bitsperpixel == 16 ? (uint8_t)(MARK >> 8) : 0xA5;
  size_t rowlen = (size_t)xsize * (bitsperpixel == 16 ? 2 : 1);
  int changed = 0;
  for (size_t i = 0; i < b.size(); i++) {
    size_t y = i / stride, x = i % stride;
    if (y < (size_t)ysize && x < rowlen) continue;
    changed += b[i] != ((i & 1) ? m1 : m0);
  }
  return changed;
}

TEST(Eyes, SmallestAndLargestScreensWriteOnlyInside) {
  ensuresprites();
  blueirises();
  struct { int w, h, bpp; } screens[] = {{100, 75, 16}, {2048, 1536, 16}, {100, 75, 8}, {2048, 1536, 8}};
  struct { int mx, my; } mice[] = {{0, 0}, {639, 479}, {320, 240}};
  for (auto& s : screens)
    for (auto& m : mice) {
      SCOPED_TRACE(testing::Message() << s.w << "x" << s.h << "@" << s.bpp << " mouse " << m.mx << "," << m.my);
      int rowlen = s.w * (s.bpp == 16 ? 2 : 1);
      markedscreen(s.w, s.h, s.bpp, rowlen + 6);
      mousex = m.mx;
      mousey = m.my;
      draweyes();
      EXPECT_EQ(slackchanged(s.bpp), 0);
      // The eyes did draw: the centre of eye 24 is on the screen's centre.
      if (s.bpp == 16) {
        EXPECT_NE(testpixel(s.w / 2, s.h / 2 - 1), MARK);
      }
    }
}

TEST(Eyes, EyesPastTheEdgeAreCutAtTheEdge) {
  struct { int32_t ex, ey; int x, y; } cases[] = {
      {-320, -240, 0, 0}, {319, 239, 639, 479}, {-330, 0, 0, 240}, {0, 250, 320, 479}, {400, 400, -1, -1}};
  for (auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.ex << "," << c.ey);
    markedscreen(640, 480, 16, 640 * 2 + 8);
    draweye(20, c.ex, c.ey, 0, 0, 300, 0, 0, 200);
    EXPECT_EQ(slackchanged(16), 0);
    if (c.x >= 0) {
      EXPECT_TRUE(painted(c.x, c.y));
    }
  }
}

TEST(Eyes, CursorBallOnTop) {
  ensuresprites();
  blueirises();
  markedscreen(640, 480);
  mousex = 200;
  mousey = 120;
  draweyes();
  std::vector<uint8_t> frame = testscreenbytes();
  markedscreen(640, 480);
  drawsprite(200, 120, cursorsprite);
  int covered = 0;
  for (int y = 110; y <= 130; y++)
    for (int x = 190; x <= 210; x++)
      if (painted(x, y)) {
        covered++;
        uint16_t w;
        memcpy(&w, &frame[(size_t)y * stride + 2 * x], 2);
        EXPECT_EQ(w, testpixel(x, y)) << x << "," << y;
      }
  EXPECT_GT(covered, 0);
}

// --- the demo loop on the dummy video driver ---

class EyeDemo : public ::testing::Test {
 protected:
  void SetUp() override {
    usevideo();
    exitflag = 0;
    spiralmode = 0;
    eyemode = 1;
  }
};

TEST_F(EyeDemo, EscapeWithTheKeyEndsBeforeTheFirstFrame) {
  exitflag = 1;
  int f = frames;
  eyedemo();
  EXPECT_EQ(frames, f);
  EXPECT_EQ(exitflag, 0);
  EXPECT_EQ(eyemode, 0);
}

TEST_F(EyeDemo, EscapeEndsOnlyTheDemo) {
  int f = frames;
  pushkey(SDLK_ESCAPE);
  eyedemo();
  EXPECT_EQ(frames, f + 1);
  EXPECT_EQ(exitflag, 0);
  EXPECT_EQ(eyemode, 0);
}

}  // namespace
}  // namespace spumex
