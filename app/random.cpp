// An additive feedback generator, x[n] = x[n-31] + x[n-3] (mod 2^32), with
// the low bit dropped from every result. Seeding fills the 31 words with the
// minimal standard generator (16807 x mod 2^31-1) and throws the first 310
// results away; seed 1 gives the sequence of a program that never seeds.
#include "app/state.h"

namespace spumex {

static constexpr int RANDWORDS = 31;  // words of generator state
static constexpr int RANDSEP = 3;     // distance of the second tap

struct randomstate {
  uint32_t words[RANDWORDS];
  int front;                          // word that takes the sum
  int rear;                           // word that is added to it
};

static constexpr uint32_t step(randomstate& s) {
  uint32_t value = s.words[s.front] += s.words[s.rear];
  if (++s.front == RANDWORDS) s.front = 0;
  if (++s.rear == RANDWORDS) s.rear = 0;
  return value >> 1;
}

static constexpr randomstate seeded(uint32_t seed) {
  randomstate s{};
  if (seed == 0) seed = 1;
  int32_t word = (int32_t)seed;
  s.words[0] = seed;
  for (int i = 1; i < RANDWORDS; i++) {
    // 16807 * word mod (2^31 - 1) without overflow (Schrage's method)
    int64_t hi = word / 127773;
    int64_t lo = word % 127773;
    word = (int32_t)(16807 * lo - 2836 * hi);
    if (word < 0) word += 2147483647;
    s.words[i] = (uint32_t)word;
  }
  s.front = RANDSEP;
  s.rear = 0;
  for (int i = 0; i < 10 * RANDWORDS; i++) step(s);
  return s;
}

static randomstate randstate = seeded(1);  // the program's one sequence

int32_t nextrand() { return (int32_t)step(randstate); }

void seedrand(uint32_t seed) { randstate = seeded(seed); }

void resetrand() { randstate = seeded(1); }

}  // namespace spumex
