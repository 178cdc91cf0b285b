// The program's own random sequence: the one a never-seeded C library rand()
// gives on glibc, kept here so no library can draw from it or shift it.
#pragma once
#include <cstdint>

namespace spumex {

constexpr int32_t RANDMAX = 0x7fffffff;   // largest number nextrand returns

int32_t nextrand();                  // next number, 0 to RANDMAX
void seedrand(uint32_t seed);        // start the sequence that seed gives (0 counts as 1)
void resetrand();                    // back to the start of the unseeded sequence

}  // namespace spumex
