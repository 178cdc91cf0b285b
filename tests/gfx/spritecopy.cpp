// Sprite blitter tests: every run length, alignment and edge cut, pixel by pixel.
#include <gtest/gtest.h>

#include "app/app.h"
#include "gfx/gfx.h"
#include "helpers/testscreen.h"

#include <cstring>
#include <vector>

namespace spumex {
namespace {

// One sprite of three rows whose runs are n, n - 1 and n + 1 pixels long
// (the lengths a copy splits at differ by one), starting at column 1 of a
// box one wider than the longest. Pixel k of row r holds 0x1000 * (r + 1) + k.
std::vector<uint16_t> threeruns(int n) {
  std::vector<uint16_t> s = {(uint16_t)(int16_t)-1, (uint16_t)(int16_t)-2, (uint16_t)(n + 3), 3};
  const int lengths[3] = {n, n > 1 ? n - 1 : 1, n + 1};
  for (int r = 0; r < 3; r++) {
    s.push_back((uint16_t)lengths[r]);
    s.push_back(1);
    s.push_back((uint16_t)r);
    for (int k = 0; k < lengths[r]; k++) s.push_back((uint16_t)(0x1000 * (r + 1) + k));
  }
  s.push_back(0);
  return s;
}

// The screen bytes after drawing s at (px, py), one pixel at a time.
std::vector<uint8_t> expected(std::vector<uint8_t> bytes, int px, int py, const std::vector<uint16_t>& s) {
  int ox = px + (int16_t)s[0], oy = py + (int16_t)s[1];
  for (size_t i = 4; s[i] != 0; i += 3 + s[i]) {
    int row = oy + (int16_t)s[i + 2];
    for (int k = 0; k < s[i]; k++) {
      int col = ox + (int16_t)s[i + 1] + k;
      if (row < 0 || row >= ysize || col < 0 || col >= xsize) continue;
      uint16_t v = s[i + 3 + k];
      if (depth == 16) memcpy(&bytes[(size_t)row * stride + 2 * col], &v, 2);
      else bytes[(size_t)row * stride + col] = (uint8_t)v;
    }
  }
  return bytes;
}

TEST(DrawSprite, EveryRunLengthAndPlace) {
  // Fast path at four alignments, and cuts by each edge.
  struct place {
    const char* name;
    int px, py;  // px below -1000 means xsize + (px + 2000)
  } const places[] = {
      {"inside", 5, 10},     {"inside+1", 6, 10},   {"inside+2", 7, 11},   {"inside+3", 8, 12},
      {"left cut", -3, 10},  {"far left cut", -40, 10}, {"right cut", -2000 - 20, 10},
      {"top cut", 5, 0},     {"bottom cut", 5, 30},
  };
  for (int bpp : {16, 8}) {
    for (int n = 1; n <= 130; n++) {
      std::vector<uint16_t> s = threeruns(n);
      for (const place& p : places) {
        usetestscreen(200, 31, bpp);
        std::vector<uint8_t>& bytes = testscreenbytes();
        memset(bytes.data(), 0xA5, bytes.size());
        int px = p.px < -1000 ? xsize + (p.px + 2000) : p.px;
        std::vector<uint8_t> want = expected(bytes, px, p.py, s);
        drawsprite(px, p.py, s.data());
        ASSERT_EQ(bytes, want) << "depth " << bpp << ", runs of " << n << ", " << p.name;
      }
    }
  }
}

TEST(DrawSprite, RunsNextToEachOther) {
  // Runs that abut on one row, in both orders, overwrite nothing but their own pixels.
  usetestscreen(64, 8, 16);
  std::vector<uint16_t> s = {0, 0, 40, 2, 7, 0, 0, 1, 2, 3, 4, 5, 6, 7, 9, 7, 0, 11, 12, 13, 14, 15, 16, 17, 18, 19,
                             3, 16, 1, 21, 22, 23, 0};
  std::vector<uint8_t>& bytes = testscreenbytes();
  memset(bytes.data(), 0, bytes.size());
  std::vector<uint8_t> want = expected(bytes, 4, 3, s);
  drawsprite(4, 3, s.data());
  EXPECT_EQ(bytes, want);
}

}  // namespace
}  // namespace spumex
