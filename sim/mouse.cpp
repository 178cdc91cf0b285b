// Mouse editing: grabbing, moving, turning and recolouring hoses and blocks.
#include "sim/sim.h"
#include "app/state.h"
#include "gfx/gfx.h"

#include <cmath>
#include <cstdlib>

namespace spumex {

hose* selhose = nullptr;
int hosemode = 0;
block* selblock = nullptr;
int blockmode = 0;

constexpr int GRABREACH = 7;         // half side of the square a grab point answers to
constexpr int SWATCHREACH2 = 144;    // squared distance below which a swatch recolours
constexpr double UNITSPERRAD = (ANGLES / 2) / M_PI;  // angle units per radian, 512 / pi

// The point lies in the 15 x 15 square centred on the mouse.
static bool undermouse(point p) {
  return std::abs(p.x - mousex) <= GRABREACH && std::abs(p.y - mousey) <= GRABREACH;
}

int hosehit(const hose* h) {
  if (undermouse(hosebase(h))) return 1;
  if (undermouse(hosenozzle(h))) return 2;
  return 0;
}

int blockhit(const block* b) {
  if (undermouse(blockbase(b))) return 1;
  if (undermouse(blockhandle(b))) return 2;
  return 0;
}

int32_t vectorangle(int32_t dx, int32_t dy) {
  if (dx == 0 && dy == 0) return 0;  // no direction; callers never ask
  float fx = (float)dx;
  float fy = (float)dy;
  float len = std::sqrt(fx * fx + fy * fy);
  float ux = fx / len;
  float uy = fy / len;
  float t;
  if (std::fabs(ux) > std::fabs(uy)) {
    t = (float)std::acos((double)ux);
    if (uy < 0) t = -t;
  } else {
    t = (float)std::asin((double)uy);
    if (ux < 0) t = (float)(M_PI - (double)t);
  }
  return (int32_t)(float)((double)t * UNITSPERRAD);
}

// First swatch whose position lies within 12 units of the mouse, or -1.
static int nearswatch() {
  for (int i = 0; i < NSWATCHES; i++) {
    int dx = mousex - swatches[i].x;
    int dy = mousey - swatches[i].y;
    // Far in either axis is never near; this also keeps the squares small.
    if (std::abs(dx) >= 12 || std::abs(dy) >= 12) continue;
    if (dx * dx + dy * dy < SWATCHREACH2) return i;
  }
  return -1;
}

void hosemouse() {
  if (dragmode == 0) return;
  if (dragmode == 1) {
    for (selhose = hoses; selhose != nullptr; selhose = selhose->next) {
      hosemode = hosehit(selhose);
      if (hosemode != 0) break;
    }
    if (selhose == nullptr) {
      // Only the template's base creates a hose; its nozzle grabs nothing.
      if (!undermouse(hosebase(&newhose))) {
        hosemode = 0;
        return;
      }
      hosemode = 1;
      selhose = addhose(255, 255, 255);
      if (selhose == nullptr) {
        hosemode = 0;
        return;
      }
    }
  } else {
    if (hosemode == 0) return;
    if (selhose == nullptr) {
      hosemode = 0;
      return;
    }
  }
  hose* h = selhose;
  if (hosemode == 1) {
    h->x = fixed(mousex);
    h->y = fixed(mousey);
    int i = nearswatch();
    if (i >= 0) {
      h->r = swatchcolors[0][i];
      h->g = swatchcolors[1][i];
      h->b = swatchcolors[2][i];
      h->code = swatches[i].code;
    }
  } else {
    // Point the angle from the mouse to the base: the nozzle faces the mouse.
    point p = hosebase(h);
    if (p.x == mousex && p.y == mousey) return;
    h->angle = vectorangle(p.x - mousex, p.y - mousey);
  }
}

void blockmouse() {
  if (dragmode == 0) return;
  if (dragmode == 1) {
    for (selblock = blocks; selblock != nullptr; selblock = selblock->next) {
      blockmode = blockhit(selblock);
      if (blockmode != 0) break;
    }
    if (selblock == nullptr) {
      // Only the template's base creates a block; its handle grabs nothing.
      if (!undermouse(blockbase(&newblock))) {
        blockmode = 0;
        return;
      }
      blockmode = 1;
      selblock = addblock();
      if (selblock == nullptr) {
        blockmode = 0;
        return;
      }
    }
  } else {
    if (blockmode == 0) return;
    if (selblock == nullptr) {
      blockmode = 0;
      return;
    }
  }
  block* b = selblock;
  if (blockmode == 1) {
    b->x = fixed(mousex);
    b->y = fixed(mousey);
  } else {
    // Point the handle at the mouse.
    point p = blockbase(b);
    if (p.x == mousex && p.y == mousey) return;
    b->angle = vectorangle(mousex - p.x, mousey - p.y);
  }
  makeblockmap();
}

void releasegrabs() {
  selhose = nullptr;
  hosemode = 0;
  selblock = nullptr;
  blockmode = 0;
}

}  // namespace spumex
