// Demonstrations: the spiral demo and the eye demo.
#pragma once
#include <cstdint>

namespace spumex {

// --- spiral demo (spiral.cpp) ---
extern int32_t spiralhead;           // head position, kept between runs

void spiraldemo();                   // run until Escape
void drawhead(int32_t x, int32_t y, int32_t heading);  // black arrowhead

// --- eye demo (eyes.cpp) ---
void eyedemo();                      // run until Escape
void draweye(int32_t radius, int32_t ex, int32_t ey, int32_t lx, int32_t ly, int32_t lz,
             uint8_t red, uint8_t green, uint8_t blue);  // one shaded eye

}  // namespace spumex
