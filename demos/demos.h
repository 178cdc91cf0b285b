// Demonstrations: the spiral demo and the eye demo.
#pragma once
#include <cstdint>

namespace spumex {

// --- spiral demo (spiral.cpp) ---
constexpr int PATHBYTES = 4000000;   // bytes in the path block
constexpr int HEADINGSTART = 500000; // int32 index of the first heading (byte 2,000,000)
constexpr int MAXPOINTS = 250000;    // points the block can hold
constexpr int NTRAILCOLORS = 256;    // entries in the trail colour list
constexpr int HEADLOOP = 28;         // points the head cycles through at the end

extern int32_t spiralhead;           // head position, kept between runs

void spiraldemo();                   // run until Escape
void drawhead(int32_t x, int32_t y, int32_t heading);  // black arrowhead
void makecolors(int32_t* colors);    // fill NTRAILCOLORS random colour codes from nextrand()
int32_t makepath(int32_t* path);     // spiral into a PATHBYTES block; returns the point count
void drawspiral(const int32_t* path, int32_t count, const int32_t* colors);  // trail and head at spiralhead
void stepspiral(int32_t count);      // head one point on, cycling in the last HEADLOOP points

// --- eye demo (eyes.cpp) ---
constexpr int EYEGRID = 7;           // eyes per row and per column

void eyedemo();                      // run until Escape
void draweye(int32_t radius, int32_t ex, int32_t ey, int32_t lx, int32_t ly, int32_t lz,
             uint8_t red, uint8_t green, uint8_t blue);  // one shaded eye
void draweyes();                     // one eye frame: the grid, then the cursor ball

}  // namespace spumex
