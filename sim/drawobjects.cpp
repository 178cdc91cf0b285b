// Object drawing: hose triangles, block bars, their grab balls and the colour swatches.
#include "sim/sim.h"
#include "app/state.h"
#include "gfx/gfx.h"

#include <cmath>

namespace spumex {

// Centres farther than this many pixels off the screen are not drawn: nothing
// of such an object can be visible, and its coordinates would overflow the
// triangle walk and the sprite positions.
constexpr int32_t FARPIXELS = 8192;

// Screen centre of a record: (pos * size / logical) >> FRACBITS in single
// precision. False when the centre lies far off the screen.
static bool screencentre(int32_t x, int32_t y, int32_t* cx, int32_t* cy) {
  float fx = centrex(x);
  float fy = centrey(y);
  const float limit = (float)(FARPIXELS << FRACBITS);
  if (!(std::fabs(fx) <= limit) || !(std::fabs(fy) <= limit)) return false;
  *cx = (int32_t)fx >> FRACBITS;
  *cy = (int32_t)fy >> FRACBITS;
  return true;
}

// Cursor ball on a logical point.
static void grabball(point p) {
  drawsprite(screenx(p.x), screeny(p.y), cursorsprite);
}

void drawhose(const hose* h) {
  double t1 = (double)anglerad(hosedir(h));
  double t2 = (double)(float)(t1 + 2.6179938779914944);
  double t3 = (double)(float)(t2 + 1.0471975511965976);
  int32_t cx, cy;
  if (!screencentre(h->x, h->y, &cx, &cy)) return;
  // One radius for both axes, scaled by the width.
  double r = (double)scalex(30.0f);
  int32_t x1 = (int32_t)(std::cos(t1) * r + (double)cx);
  int32_t y1 = (int32_t)(std::sin(t1) * r + (double)cy);
  int32_t x2 = (int32_t)(std::cos(t2) * r + (double)cx);
  int32_t y2 = (int32_t)(std::sin(t2) * r + (double)cy);
  int32_t x3 = (int32_t)(std::cos(t3) * r + (double)cx);
  int32_t y3 = (int32_t)(std::sin(t3) * r + (double)cy);
  drawtriangle(x1, y1, x2, y2, x3, y3, h->r, h->g, h->b);
  drawsprite(cx, cy, cursorsprite);
  grabball(hosenozzle(h));
}

void drawblock(const block* b) {
  double t = (double)anglerad(b->angle);
  double c = std::cos(t);
  double s = std::sin(t);
  int32_t cx, cy;
  if (!screencentre(b->x, b->y, &cx, &cy)) return;
  // Along the bar (u, v), across it (-v, u); 12 logical units each, each
  // axis scaled to the screen on its own.
  float u = scalex((float)(12.0 * c));
  float v = scaley((float)(12.0 * s));
  point pts[BLOCKPOINTS];
  blockshape((float)cx, (float)cy, u, v, pts);
  for (const blocktri& f : blocktris) {
    point p = pts[f.p], q = pts[f.q], r = pts[f.r];
    drawtriangle(p.x, p.y, q.x, q.y, r.x, r.y, 96, 96, 96);
  }
  drawsprite(cx, cy, cursorsprite);
  grabball(blockhandle(b));
}

void drawhoses() {
  for (hose* h = hoses; h != nullptr; h = h->next) drawhose(h);
  drawhose(&newhose);
}

void drawblocks() {
  for (block* b = blocks; b != nullptr; b = b->next) drawblock(b);
  drawblock(&newblock);
}

void drawswatches() {
  // Each ball is drawn 6 logical units left of and above its position.
  for (int i = 0; i < NSWATCHES; i++) {
    int32_t px = screenx(swatches[i].x) + (6 * xsize) / -LOGW;
    int32_t py = screeny(swatches[i].y) + ysize / -(LOGH / 6);
    drawsprite(px, py, swatches[i].sprite);
  }
}

}  // namespace spumex
