// Drawing the balls, with colour mixing over a coarse grid of 8 x 8 unit cells.
#include "sim/sim.h"
#include "app/state.h"
#include "gfx/gfx.h"

#include <cstring>

namespace spumex {

int32_t mixcount[MIXCELLS];
int32_t mixred[MIXCELLS];
int32_t mixgreen[MIXCELLS];
int32_t mixblue[MIXCELLS];

// grid cell of a ball, or -1 outside the grid
static inline int32_t mixcell(const ball* b) {
  int32_t col = b->x >> (FRACBITS + MIXBITS);
  int32_t row = b->y >> (FRACBITS + MIXBITS);
  if (col < 0 || col >= MIXCOLS || row < 0 || row >= MIXROWS) return -1;
  return row * MIXCOLS + col;
}

// each occupied cell's mean colour, brightened to a full strongest channel
static void mixcells() {
  for (int i = 0; i < MIXCELLS; i++) {
    int32_t n = mixcount[i];
    if (n <= 0) continue;
    int32_t mr = mixred[i] / n;
    int32_t mg = mixgreen[i] / n;
    int32_t mb = mixblue[i] / n;
    float m = (float)(mr > mg ? mr : mg);
    if ((float)mb > m) m = (float)mb;
    if (m == 0.0f) {
      // nothing to brighten: the balls take the means, black
      mixred[i] = mr;
      mixgreen[i] = mg;
      mixblue[i] = mb;
      continue;
    }
    float f = 255.0f / m;
    mixred[i] = (int32_t)((float)mr * f);
    mixgreen[i] = (int32_t)((float)mg * f);
    mixblue[i] = (int32_t)(f * (float)mb);
  }
}

void drawballs() {
  memset(mixcount, 0, sizeof mixcount);
  memset(mixred, 0, sizeof mixred);
  memset(mixgreen, 0, sizeof mixgreen);
  memset(mixblue, 0, sizeof mixblue);

  for (const ball* b = balls; b != nullptr; b = b->next) {
    int32_t sx = ballx(b->x);
    int32_t sy = bally(b->y);
    int32_t index;
    if (mixing) {
      int32_t cell = mixcell(b);
      if (cell >= 0) {
        mixcount[cell] += 1;
        mixred[cell] += b->r;
        mixgreen[cell] += b->g;
        mixblue[cell] += b->b;
      }
      index = colorcode(b->r, b->g, b->b);
    } else {
      index = b->code;
    }
    drawsprite(sx, sy, ballsprites[index]);
  }

  if (!mixing) return;
  mixcells();

  for (ball* b = balls; b != nullptr; b = b->next) {
    int32_t cell = mixcell(b);
    if (cell < 0) continue;
    b->r = (uint8_t)mixred[cell];
    b->g = (uint8_t)mixgreen[cell];
    b->b = (uint8_t)mixblue[cell];
  }
}

}  // namespace spumex
