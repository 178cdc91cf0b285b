// Height field: a 1025 x 1025 byte terrain grown by the diamond-square method.
#include "background/background.h"
#include "app/state.h"

#include <cstdlib>
#include <cstring>

namespace spumex {

uint8_t* heightfield = nullptr;

static const int32_t LAST = FIELDSIZE - 1;   // last row and column index

// Height byte at column x, row y.
static inline uint8_t& at(int32_t x, int32_t y) {
  return heightfield[(size_t)y * FIELDSIZE + x];
}

// Random term in -amp/2 .. amp/2 - 1.
static inline int32_t randterm(int32_t amp) {
  return nextrand() % amp - amp / 2;
}

// Keep a computed height inside a byte.
static inline uint8_t clampheight(int32_t v) {
  if (v <= 0) return 0;
  if (v >= 255) return 255;
  return (uint8_t)v;
}

// A level's step must be a power of two from 2 to 1024, its amp positive.
static bool validlevel(int32_t step, int32_t amp) {
  return step >= 2 && step <= LAST && (step & (step - 1)) == 0 && amp >= 1 &&
         heightfield != nullptr;
}

void squarepass(int32_t step, int32_t amp) {
  if (!validlevel(step, amp)) return;
  int32_t half = step / 2;
  for (int32_t x = 0; x < LAST; x += step) {
    for (int32_t y = 0; y < LAST; y += step) {
      int32_t base = (at(x, y) + at(x + step, y) + at(x, y + step) + at(x + step, y + step)) / 4;
      at(x + half, y + half) = clampheight(base + randterm(amp));
    }
  }
}

void diamondpass(int32_t step, int32_t amp) {
  if (!validlevel(step, amp)) return;
  int32_t half = step / 2;
  for (int32_t x = 0; x < LAST; x += step) {
    for (int32_t y = 0; y < LAST; y += step) {
      diamondpoint(y + half, x - half, x + half, x, y, y + step, amp);   // left edge
      diamondpoint(y, x, x + step, x + half, y - half, y + half, amp);   // top edge
    }
  }
}

void diamondpoint(int32_t y, int32_t xleft, int32_t xright, int32_t x,
                  int32_t yup, int32_t ydown, int32_t amp) {
  if (heightfield == nullptr || amp < 1) return;
  if (x < 0 || x > LAST || y < 0 || y > LAST) return;
  uint32_t sum = 0, count = 0;
  if (xleft >= 0 && xleft <= LAST) { sum += at(xleft, y); count++; }
  if (xright >= 0 && xright <= LAST) { sum += at(xright, y); count++; }
  if (yup >= 0 && yup <= LAST) { sum += at(x, yup); count++; }
  if (ydown >= 0 && ydown <= LAST) { sum += at(x, ydown); count++; }
  if (count == 0) return;
  int32_t base = (int32_t)(sum / count);
  at(x, y) = clampheight(base + randterm(amp));
}

void fractal() {
  if (heightfield == nullptr) {
    heightfield = (uint8_t*)malloc((size_t)FIELDSIZE * FIELDSIZE);
    if (heightfield == nullptr) return;   // silent; the next call tries again
  }
  memset(heightfield, 128, (size_t)FIELDSIZE * FIELDSIZE);
  int32_t step = LAST, amp = 1024;
  for (;;) {
    squarepass(step, amp);
    diamondpass(step, amp);
    if (step <= 3) break;
    step /= 2;
    amp /= 2;
  }
  makebackground();
}

}  // namespace spumex
