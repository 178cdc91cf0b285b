// R250 byte generator with its fixed seeding, and big-endian readers.
#include "support/support.h"

namespace spumex {

uint8_t bytetable[250];
int32_t bytepos = 0;

// One step: x[n] = x[n - 250] ^ x[n - 103].
static int stepbyte() {
  int b = bytetable[bytepos] ^ bytetable[(bytepos + 147) % 250];
  bytetable[bytepos] = (uint8_t)b;
  bytepos++;
  if (bytepos == 250) bytepos = 0;
  return b;
}

void seedbytes() {
  uint32_t s = 12345;
  for (int k = 0; k < 250; k++) {
    s = s * 1277 % 65536;
    bytetable[k] = (uint8_t)(s >> 8);
  }
  // a set bit on the diagonal keeps the eight bit streams independent
  for (int j = 0; j < 8; j++) {
    int k = 14 + 11 * j;
    bytetable[k] = (uint8_t)((bytetable[k] & (255 >> j)) | (128 >> j));
  }
  bytepos = 0;
  for (int i = 0; i < 1000; i++) stepbyte();
}

int nextbyte() {
  return stepbyte();
}

int nextword() {
  int hi = stepbyte();
  int lo = stepbyte();
  return hi << 8 | lo;
}

int32_t getbe32(const uint8_t* p) {
  return (int32_t)((uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | (uint32_t)p[3]);
}

uint16_t getbe16(const uint8_t* p) {
  return (uint16_t)(p[0] << 8 | p[1]);
}

}  // namespace spumex
