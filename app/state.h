// Shared state and units: the globals every part reads, the logical space and its scaling to the screen.
// A leaf: it includes no other header of the program, so any part may include it.
#pragma once
#include <cstdint>

namespace spumex {

// --- units ---
constexpr int FRACBITS = 8;          // positions are in 1/256 logical unit
constexpr int FRACUNIT = 1 << FRACBITS;  // one logical unit in position units
constexpr int LOGW = 640;            // logical scene width
constexpr int LOGH = 480;            // logical scene height
constexpr int ANGLES = 1024;         // angle units per full turn

// --- screen size range (app/startup.cpp takes the width argument) ---
constexpr int MINWIDTH = 100;        // smallest accepted screen width
constexpr int MAXWIDTH = 2048;       // largest accepted screen width
constexpr int MAXHEIGHT = MAXWIDTH * LOGH / LOGW;  // height of the widest screen
constexpr int ROWS = 2048;           // entries of the screen row table (gfx rowoffsets)
static_assert(MAXHEIGHT <= ROWS, "every screen row has a row table entry");

// --- shared state (app/startup.cpp) ---
constexpr int SCRATCHSIZE = 65536;   // bytes in the shared work buffer

extern int xsize;                    // screen width in pixels
extern int ysize;                    // screen height in pixels
extern uint8_t* scratch;             // 64 KB work buffer, allocated once
extern uint8_t eyered[256];          // red of each eye of the eye demo
extern uint8_t eyegreen[256];        // green of each eye
extern uint8_t eyeblue[256];         // blue of each eye

[[noreturn]] void nomem(const char* tag);   // out-of-memory exit, status 1

// --- shared state (app/mainloop.cpp, app/keys.cpp) ---
extern uint8_t exitflag;             // set by Escape
extern int rotation;                 // angle offset added to every hose
extern int mousex;                   // mouse x in logical units
extern int mousey;                   // mouse y in logical units
extern int dragmode;                 // 0 released, 1 pressed, 2 moved while pressed
extern int frames;                   // frames presented
extern uint8_t mixing;               // key m: ball colour mixing
extern uint8_t spiralmode;           // key s: run the spiral demo
extern uint8_t eyemode;              // key e: run the eye demo

// --- the program's random sequence (app/random.cpp) ---
// The sequence a never-seeded glibc rand() gives, kept in the program so no
// library can draw from it or shift it.
int32_t nextrand();                  // next number, 0 to 2^31 - 1
void seedrand(uint32_t seed);        // start the sequence that seed gives (0 counts as 1)
void resetrand();                    // back to the start of the unseeded sequence

void pollinput();                    // handle every queued SDL event (app/input.cpp); the demos' loops call it

// --- the platform's hooks (app/timer.cpp; the web build's web/clock.cpp) ---
void yieldframe();                   // give the platform its turn once per pass of a drawing or waiting loop; pollinput calls it
int syncfile(int fd);                // put a file's written bytes on the disk, as fsync: 0, or -1 with errno
int keepfile(const char* name);      // make the file just stored under name last: 0, or the errno of the failure

// --- scaling: each formula as the program computes it ---
// Whole logical units of a position (arithmetic shift).
constexpr int32_t logical(int32_t pos) { return pos >> FRACBITS; }
// Position of whole logical units.
constexpr int32_t fixed(int32_t v) { return v << FRACBITS; }
// Logical to screen pixel, integer: size * v / logical size.
inline int32_t screenx(int32_t v) { return xsize * v / LOGW; }
inline int32_t screeny(int32_t v) { return ysize * v / LOGH; }
// Screen pixel to logical, integer: v * logical size / size.
inline int32_t logicalx(int32_t x) { return x * LOGW / xsize; }
inline int32_t logicaly(int32_t y) { return y * LOGH / ysize; }
// Logical to screen, single precision: v * size / logical size.
inline float scalex(float v) { return v * (float)xsize / (float)LOGW; }
inline float scaley(float v) { return v * (float)ysize / (float)LOGH; }
// Screen centre of a record's position, still in 1/256 pixel, single precision.
inline float centrex(int32_t pos) { return scalex((float)pos); }
inline float centrey(int32_t pos) { return scaley((float)pos); }
// Screen pixel of a ball: whole logical units scaled in single precision, truncated.
inline int32_t ballx(int32_t pos) { return (int32_t)scalex((float)logical(pos)); }
inline int32_t bally(int32_t pos) { return (int32_t)scaley((float)logical(pos)); }

}  // namespace spumex
