// The ball pool and the emission of one ball per hose per tick.
#include "sim/sim.h"
#include "app/state.h"

#include <cmath>
#include <cstdlib>

namespace spumex {

ball* ballpool = nullptr;
ball* freeballs = nullptr;
ball* balls = nullptr;

constexpr int32_t EMITSPEED = 2 * FRACUNIT;  // launch speed, two logical units per tick

void initballs() {
  if (ballpool == nullptr) {
    ballpool = (ball*)calloc(MAXBALLS, sizeof(ball));
    if (ballpool == nullptr) nomem("initballs");
  }
  for (int i = 0; i < MAXBALLS - 1; i++) ballpool[i].next = &ballpool[i + 1];
  ballpool[MAXBALLS - 1].next = nullptr;
  freeballs = ballpool;
  balls = nullptr;
}

ball* allocball() {
  ball* b = freeballs;
  if (b == nullptr) return nullptr;
  freeballs = b->next;
  *b = ball{};
  return b;
}

void freeball(ball* b) {
  b->next = freeballs;
  freeballs = b;
}

void emitballs() {
  for (const hose* h = hoses; h != nullptr; h = h->next) {
    ball* b = allocball();
    if (b == nullptr) return;  // pool empty: the rest of the hoses wait

    double t = (double)anglerad(hosedir(h));
    double c = cos(t);
    double s = sin(t);
    int32_t bx = (int32_t)(c * -FRACUNIT);
    int32_t by = (int32_t)(s * -FRACUNIT);

    // on the axis, 30 units out from the base
    b->x = wrapadd(h->x, 30 * bx);
    b->y = wrapadd(h->y, 30 * by);

    // sideways spread along (-by, bx)
    int32_t k = nextrand() & 255;
    int32_t e = 10 * k - 1270;
    b->x = wrapadd(b->x, -((e * by) >> 7));
    b->y = wrapadd(b->y, (e * bx) >> 7);

    b->vx = (int32_t)(c * -EMITSPEED);
    b->vy = (int32_t)(s * -EMITSPEED);
    b->r = h->r;
    b->g = h->g;
    b->b = h->b;
    b->code = h->code;

    b->next = balls;
    balls = b;
  }
}

}  // namespace spumex
