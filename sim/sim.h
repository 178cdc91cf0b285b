// Ball simulation and scene objects: balls, hoses, blocks, block map, mouse editing, object drawing.
#pragma once
#include "app/state.h"

#include <cstdint>

namespace spumex {

// Units (FRACBITS, LOGW, LOGH, ANGLES) and the scaling helpers: app/state.h
float anglerad(int32_t angle);       // angle (ANGLES per turn) to single-precision radians

inline int32_t wrapadd(int32_t a, int32_t b) {  // 32-bit sum that wraps instead of overflowing
  return (int32_t)((uint32_t)a + (uint32_t)b);
}

// --- balls (balls.cpp) ---
constexpr int MAXBALLS = 4096;       // size of the ball pool

struct ball {
  ball* next;                        // next ball of its list
  int32_t x, y;                      // position, 1/256 logical unit
  int32_t vx, vy;                    // velocity per tick
  uint8_t r, g, b;                   // colour, changed only by mixing
  int32_t code;                      // colour code at emission; picks the sprite
};

extern ball* ballpool;               // the one allocation of all ball records
extern ball* freeballs;              // free list
extern ball* balls;                  // live list, newest first

void initballs();                    // allocate and thread the pool
ball* allocball();                   // take a zeroed ball, or null
void freeball(ball* b);              // push an unlinked ball on the free list
void emitballs();                    // one ball from every hose

// --- motion (motion.cpp) ---
constexpr int32_t BOTTOMLIMIT = fixed(LOGH);  // balls at or below this y are dropped

extern int32_t gravity;              // added to vy every tick

void moveballs();                    // move, bounce, fall
void dropballs();                    // free the balls below the bottom edge

// --- ball drawing and mixing (drawballs.cpp) ---
constexpr int MIXBITS = 3;           // mixing cells are 8 x 8 logical units
constexpr int MIXCOLS = LOGW >> MIXBITS;  // mixing grid columns, 80
constexpr int MIXROWS = LOGH >> MIXBITS;  // mixing grid rows, 60
constexpr int MIXCELLS = MIXCOLS * MIXROWS;

extern int32_t mixcount[MIXCELLS];   // balls per cell
extern int32_t mixred[MIXCELLS];     // red sum, then the cell's colour
extern int32_t mixgreen[MIXCELLS];   // green sum, then the cell's colour
extern int32_t mixblue[MIXCELLS];    // blue sum, then the cell's colour

void drawballs();                    // draw every ball, mix colours when mixing

// --- hoses and blocks (objects.cpp) ---
constexpr int MAXHOSES = 64;         // size of the hose pool
constexpr int MAXBLOCKS = 64;        // size of the block pool

struct hose {
  hose* next;                        // next hose of its list
  int32_t x, y;                      // base, 1/256 logical unit
  int32_t angle;                     // 1024 per turn, not reduced
  uint8_t r, g, b;                   // colour of its balls
  int32_t code;                      // colour code of r, g, b
};

struct block {
  block* next;                       // next block of its list
  int32_t x, y;                      // centre, 1/256 logical unit
  int32_t angle;                     // long axis, 1024 per turn, not reduced
};

struct point {
  int32_t x, y;                      // whole logical units (pixels in a drawn block shape)
};

extern hose* hosepool;               // the one allocation of all hose records
extern hose* freehoses;              // free list
extern hose* hoses;                  // live list
extern hose newhose;                 // template hose at the top left
extern block* blockpool;             // the one allocation of all block records
extern block* freeblocks;            // free list
extern block* blocks;                // live list
extern block newblock;               // template block at the top

void inithoses();                    // allocate the hose pool, set the template
void initblocks();                   // allocate the block pool, set the template
hose* allochose();                   // take a zeroed hose, or null
block* allocblock();                 // take a zeroed block, or null
void freehose(hose* h);              // push an unlinked hose on the free list
void freeblock(block* b);            // push an unlinked block on the free list
hose* addhose(uint32_t r, uint32_t g, uint32_t b);  // new hose at the centre, or null
block* addblock();                   // new block at the centre, or null
void clearobjects();                 // every hose and block back to the pools, grabs released
void clearall();                     // clearobjects, then the block map made again

point hosebase(const hose* h);       // logical base of a hose
point hosenozzle(const hose* h);     // logical nozzle, rotation included
point blockbase(const block* b);     // logical centre of a block
point blockhandle(const block* b);   // logical handle, 36 units along the axis
int32_t hosedir(const hose* h);      // angle + rotation, a wrapping 32-bit sum

// The block's shape, in logical units for the block map and in pixels for the
// drawing: with (u, v) 12 units along the bar, the inner segment's ends a and
// b lie 4 (u, v) either side of the centre, the corners q1, q2 one (u, v)
// beyond a and q3, q4 one beyond b, each one step of (-v, u) to either side
// (q1, q3 toward angle + a quarter turn). Every point is rounded to a whole
// number before the next is built on it. Six triangles cover the bar, each on
// the side of one face.
constexpr int BLOCKPOINTS = 6;       // a, b, q1, q2, q3, q4
constexpr int BLOCKTRIS = 6;         // triangles that cover a block

struct blocktri {
  uint8_t p, q, r;                   // indices into the points, in walking order
  uint8_t face;                      // 0 the a end, 1 the b end, 2 and 3 the long sides
};

extern const blocktri blocktris[BLOCKTRIS];  // the six triangles, in drawing order
void blockshape(float cx, float cy, float u, float v, point pts[BLOCKPOINTS]);  // the points around centre (cx, cy)

// --- block collision map (blockmap.cpp) ---
constexpr int MAPW = LOGW;           // map columns, one per logical unit
constexpr int MAPH = LOGH;           // map rows
constexpr int NFACES = 257;          // face ids 0..256 (64 blocks, four faces each)

extern uint16_t* blockmap;           // face id of each logical cell, 0 for none
extern float facenormals[NFACES];    // outward direction of each face, 1024 per turn
// Cells marked since the last clear lie in columns mapleft[y] to mapright[y] - 1
// of their row y (none when mapright[y] <= mapleft[y]); every other cell is 0.
extern int16_t mapleft[MAPH];        // first marked column of each row
extern int16_t mapright[MAPH];       // one past the last marked column of each row

void initbitmap();                   // allocate the map, or clear all of it
void makeblockmap();                 // clear the marked cells, map the live blocks
void mapspan(int32_t x1, int32_t y, int32_t x2, void* id);  // mark one row segment (the map's only writer)

// --- mouse editing (mouse.cpp) ---
extern hose* selhose;                // grabbed hose
extern int hosemode;                 // 0 none, 1 moving, 2 turning
extern block* selblock;              // grabbed block
extern int blockmode;                // 0 none, 1 moving, 2 turning

int hosehit(const hose* h);          // 1 on the base, 2 on the nozzle, else 0
int blockhit(const block* b);        // 1 on the base, 2 on the handle, else 0
void hosemouse();                    // press and drag handling for hoses
void blockmouse();                   // press and drag handling for blocks
int32_t vectorangle(int32_t dx, int32_t dy);  // direction of a vector, 1024 per turn
void releasegrabs();                 // forget both grabs

// --- object drawing (drawobjects.cpp) ---
void drawhose(const hose* h);        // triangle and its two grab balls
void drawblock(const block* b);      // grey bar and its two grab balls
void drawhoses();                    // every hose, then the template
void drawblocks();                   // every block, then the template
void drawswatches();                 // the 14 swatches

}  // namespace spumex
