// Fractal background: diamond-square height field and its coloured image.
#pragma once
#include <cstdint>

namespace spumex {

// --- height field (heightfield.cpp) ---
constexpr int FIELDSIZE = 1025;      // the field is FIELDSIZE x FIELDSIZE bytes

extern uint8_t* heightfield;         // the field, null until the first build

void fractal();                      // grow a new field, then colour it
void squarepass(int32_t step, int32_t amp);   // square centres of one level
void diamondpass(int32_t step, int32_t amp);  // edge midpoints of one level
void diamondpoint(int32_t y, int32_t xleft, int32_t xright, int32_t x,
                  int32_t yup, int32_t ydown, int32_t amp);  // one edge midpoint

// --- colour schemes (schemes.cpp) ---
extern int32_t colorscheme;          // scheme counter, key c

void makebackground();               // colour the field into the background image (gfx/gfx.h)

}  // namespace spumex
