// Ball motion: move, bounce off block faces, fall, and leave at the bottom edge.
#include "sim/sim.h"

#include <cmath>
#include <cstdint>

namespace spumex {

int32_t gravity = 8;

// 32-bit sum that wraps instead of overflowing
static inline int32_t wrapadd(int32_t a, int32_t b) {
  return (int32_t)((uint32_t)a + (uint32_t)b);
}

void moveballs() {
  const int32_t g = gravity;
  const uint16_t* map = blockmap;
  for (ball* b = balls; b != nullptr; b = b->next) {
    int32_t vx = b->vx;
    int32_t vy = b->vy;
    b->x = wrapadd(b->x, vx);
    b->y = wrapadd(b->y, vy);

    int32_t px = b->x >> 8;
    int32_t py = b->y >> 8;
    if (map != nullptr && (uint32_t)px < (uint32_t)MAPW && (uint32_t)py < (uint32_t)MAPH) {
      uint16_t id = map[py * MAPW + px];
      if (id != 0) {
        // outward direction of the face the ball stands on
        float t = (float)(facenormals[id] * M_PI / 512.0);
        float s = (float)sin((double)t);
        float c = (float)cos((double)t);
        float dot = (float)vx * c + (float)vy * s;
        if (dot < 0) {
          // reverse the inward component, keeping 0.7 of it
          vx = (int32_t)((double)vx - (double)(c * dot) * 1.7);
          vy = (int32_t)((double)vy - (double)(s * dot) * 1.7);
          b->vx = vx;
        }
      }
    }
    b->vy = wrapadd(vy, g);
  }
}

void dropballs() {
  constexpr int32_t bottom = LOGH << FRACBITS;
  ball** link = &balls;
  while (ball* b = *link) {
    if (b->y >= bottom) {
      *link = b->next;
      freeball(b);
    } else {
      link = &b->next;
    }
  }
}

}  // namespace spumex
