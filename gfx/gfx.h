// Display and raster: screen memory, pixel colours, sprites, spans, triangles, ball sprites.
#pragma once
#include "app/state.h"

#include <cstdint>
#include <cstring>

namespace spumex {

// --- display (screen.cpp; the window, SDL start-up and presenting: video.cpp) ---
extern uint8_t sdlactive;            // the video mode was set
extern uint8_t* videomem;            // the surface's pixel memory
extern int stride;                   // bytes per screen row
extern int depth;                    // bits per pixel: 16, anything else means 8
extern int rowoffsets[ROWS];         // byte offset of each screen row
extern uint8_t* background;          // background image in screen format, null means black; made by background/

void initvideo();                    // SDL start-up and video mode; exits on failure
int lockscreen();                    // 0 locked or no lock needed, -1 failure
void updatescreen();                 // unlock if needed, show the whole surface
void flipscreen();                   // update, then lock again if needed
void copybackground();               // background image (or black) into the screen
uint32_t maprgb(uint32_t r, uint32_t g, uint32_t b);  // colour to pixel value
void setpalette();                   // hand the grey ramp to the surface
void setrowoffsets();                // fill rowoffsets from stride and ysize
void usememoryscreen(uint8_t* pixels, int width, int height, int bits, int rowstride);  // draw into the caller's memory, no window; rowstride 0 for rows without gaps
void initnullvideo();                // the display without a window: a 16-bit memory screen of xsize x ysize

// --- sprites (sprite.cpp) ---
// A sprite is a block of 16-bit words: dx, dy, width, height, then row
// records (count, x, y, count pixel values), ended by a count of 0.
constexpr int SPRITEHEADER = 4;      // words before the first row record
constexpr int ROWHEADER = 3;         // words before a row's pixels

void drawsprite(int32_t px, int32_t py, const uint16_t* sprite);  // blit, clipped; null draws the cursor

// --- spans and triangles (raster.cpp) ---
typedef void (*spanfn)(int32_t xa, int32_t y, int32_t xb, void* user);  // one row of a triangle

void hline(int32_t x1, int32_t y, int32_t x2, uint32_t color);  // clipped half-open span
void filltriangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                  spanfn span, void* user);                     // 16.16 scan conversion
void drawtriangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                  uint32_t r, uint32_t g, uint32_t b);           // filled triangle on screen
void drawruns(int32_t x, int32_t y, const int8_t* shape, uint32_t r, uint32_t g, uint32_t b);  // run-list shape

inline uint8_t* screenrow(int32_t y) {  // start of screen row y
  return videomem + rowoffsets[y];
}

inline void putpixel(uint8_t* row, int32_t x, uint32_t color) {  // one pixel value at column x of a screen row, no clipping
  if (depth == 16) {
    uint16_t w = (uint16_t)color;
    memcpy(row + 2 * x, &w, 2);
  } else {
    row[x] = (uint8_t)color;
  }
}

// --- shaded ball sprites (ballsprite.cpp) ---
constexpr int MAXBALLPIXELS = 12 * MAXWIDTH / LOGW;  // largest pixel radius: radius 12 at the widest screen, 38
constexpr int BALLGRID = 2 * MAXBALLPIXELS + 1;  // side of the intensity grid

int32_t ballpixels(int32_t radius);  // pixel radius of a logical radius at the current width, at most MAXBALLPIXELS
void shadeball(int32_t a, uint8_t grid[BALLGRID][BALLGRID]);  // intensities of a ball, grid[row][column]
uint16_t* makesprite(int32_t radius, uint32_t r, uint32_t g, uint32_t b);  // render and encode a ball

// --- sprite sets and colour codes (spriteset.cpp) ---
constexpr int NCODES = 512;          // 9-bit colour codes
constexpr int NSWATCHES = 14;        // colour swatches at the bottom

struct swatch {
  int32_t x, y;                      // logical position
  int32_t code;                      // colour code
  uint16_t* sprite;                  // radius-12 ball of the exact colour
};

extern uint16_t* ballsprites[NCODES];       // radius-7 ball for each colour code
extern uint16_t* cursorsprite;              // small white ball at the mouse
extern const uint8_t swatchcolors[3][NSWATCHES];  // red, green and blue of each swatch
extern swatch swatches[NSWATCHES];          // positions, codes and sprites

int32_t colorcode(uint32_t r, uint32_t g, uint32_t b);  // top three bits of each channel
void makeballs();                    // the 512 ball sprites and the cursor ball
void initswatches();                 // the 14 swatches

}  // namespace spumex
