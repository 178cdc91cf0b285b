// Ball motion: move, bounce off block faces, fall, and leave at the bottom edge.
#include "sim/sim.h"
#include "app/state.h"

#include <cmath>
#include <cstdint>

namespace spumex {

int32_t gravity = 8;

// Outward unit direction of a face direction d (ANGLES per turn), rounded to
// single precision.
static inline void facedirection(float d, float* s, float* c) {
  float t = (float)(d * M_PI / (ANGLES / 2));
  *s = (float)sin((double)t);
  *c = (float)cos((double)t);
}

// The same for every whole direction 0..ANGLES - 1, the values the block map
// stores, worked out once so that a bounce costs no trigonometry.
struct unitdir {
  float s, c;
};
static unitdir directions[ANGLES];
static bool directionsready = false;

static void filldirections() {
  for (int k = 0; k < ANGLES; k++) facedirection((float)k, &directions[k].s, &directions[k].c);
  directionsready = true;
}

void moveballs() {
  if (!directionsready) filldirections();
  const int32_t g = gravity;
  const uint16_t* map = blockmap;
  for (ball* b = balls; b != nullptr; b = b->next) {
    int32_t vx = b->vx;
    int32_t vy = b->vy;
    b->x = wrapadd(b->x, vx);
    b->y = wrapadd(b->y, vy);

    int32_t px = logical(b->x);
    int32_t py = logical(b->y);
    if (map != nullptr && (uint32_t)px < (uint32_t)MAPW && (uint32_t)py < (uint32_t)MAPH) {
      uint16_t id = map[py * MAPW + px];
      if (id != 0) {
        // outward direction of the face the ball stands on
        float d = facenormals[id];
        float s, c;
        if (!std::signbit(d) && d <= (float)(ANGLES - 1) && (float)(int32_t)d == d) {
          s = directions[(int32_t)d].s;
          c = directions[(int32_t)d].c;
        } else {
          facedirection(d, &s, &c);  // not a whole direction: worked out here
        }
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
  ball** link = &balls;
  while (ball* b = *link) {
    if (b->y >= BOTTOMLIMIT) {
      *link = b->next;
      freeball(b);
    } else {
      link = &b->next;
    }
  }
}

}  // namespace spumex
