// Tests for the R250 byte generator and the big-endian readers.
#include "support/support.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace spumex;

TEST(Bytes, FirstBytesAfterSeeding) {
  seedbytes();
  EXPECT_EQ(bytepos, 0);
  const int want[4] = {51, 76, 95, 63};
  for (int i = 0; i < 4; i++) EXPECT_EQ(nextbyte(), want[i]) << "byte " << i;
  EXPECT_EQ(bytepos, 4);
}

TEST(Bytes, FirstWordsAfterSeeding) {
  seedbytes();
  EXPECT_EQ(nextword(), 13132);
  EXPECT_EQ(nextword(), 24383);
  EXPECT_EQ(bytepos, 4);
}

// Runs the recurrence backwards over the 1000 warm-up steps to recover the
// table as it stood before the warm-up.
TEST(Bytes, SeedTableBeforeWarmUp) {
  seedbytes();
  uint8_t t[250];
  memcpy(t, bytetable, sizeof t);
  int pos = bytepos;
  for (int i = 0; i < 1000; i++) {
    pos = (pos + 249) % 250;
    t[pos] ^= t[(pos + 147) % 250];
  }
  EXPECT_EQ(pos, 0);
  const int first[6] = {140, 4, 248, 6, 26, 40};
  for (int k = 0; k < 6; k++) EXPECT_EQ(t[k], first[k]) << "index " << k;
  EXPECT_EQ(t[91], 1);
  for (int j = 0; j < 8; j++) {
    int k = 14 + 11 * j;
    EXPECT_EQ(t[k] >> (7 - j), 1) << "diagonal byte at " << k;
  }
}

TEST(Bytes, WordAcrossTheWrap) {
  seedbytes();
  bytepos = 249;
  int hi = bytetable[249] ^ bytetable[146];
  int lo = bytetable[0] ^ bytetable[147];
  EXPECT_EQ(nextword(), hi << 8 | lo);
  EXPECT_EQ(bytepos, 1);
  EXPECT_EQ(bytetable[249], hi);
  EXPECT_EQ(bytetable[0], lo);
}

TEST(Bytes, BigEndianReaders) {
  const struct {
    uint8_t b[4];
    int32_t be32;
    uint16_t be16;
  } cases[] = {
      {{0x80, 0, 0, 1}, -2147483647, 0x8000},
      {{0x12, 0x34, 0x56, 0x78}, 0x12345678, 0x1234},
      {{0xff, 0xff, 0xff, 0xff}, -1, 0xffff},
      {{0x7f, 0xff, 0xff, 0xfe}, 2147483646, 0x7fff},
      {{0, 0xc8, 0, 0}, 0xc80000, 0x00c8},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(getbe32(c.b), c.be32);
    EXPECT_EQ(getbe16(c.b), c.be16);
  }
}
