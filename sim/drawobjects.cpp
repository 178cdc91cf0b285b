// Object drawing: hose triangles, block bars, their grab balls and the colour swatches.
#include "sim/sim.h"
#include "app/app.h"
#include "gfx/gfx.h"

#include <cmath>

namespace spumex {

// Centres farther than this many pixels off the screen are not drawn: nothing
// of such an object can be visible, and its coordinates would overflow the
// triangle walk and the sprite positions.
constexpr int32_t FARPIXELS = 8192;

// Nearest pixel of a single-precision coordinate, halves upwards.
static int32_t pix(float v) {
  return (int32_t)((double)v + 0.5);
}

// Screen centre of a record: (pos * size / logical) >> 8 in single precision.
// False when the centre lies far off the screen.
static bool screencentre(int32_t x, int32_t y, int32_t* cx, int32_t* cy) {
  float fx = (float)x * (float)xsize / 640.0f;
  float fy = (float)y * (float)ysize / 480.0f;
  const float limit = (float)(FARPIXELS << 8);
  if (!(std::fabs(fx) <= limit) || !(std::fabs(fy) <= limit)) return false;
  *cx = (int32_t)fx >> 8;
  *cy = (int32_t)fy >> 8;
  return true;
}

// Cursor ball on a logical point.
static void grabball(point p) {
  drawsprite((p.x * xsize) / 640, (p.y * ysize) / 480, cursorsprite);
}

void drawhose(const hose* h) {
  double t1 = (double)anglerad(hosedir(h));
  double t2 = (double)(float)(t1 + 2.6179938779914944);
  double t3 = (double)(float)(t2 + 1.0471975511965976);
  int32_t cx, cy;
  if (!screencentre(h->x, h->y, &cx, &cy)) return;
  // One radius for both axes, scaled by the width.
  double r = (double)((float)xsize * 30.0f / 640.0f);
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
  // Along the bar (u, v), across it (-v, u); 12 logical units each.
  float u = (float)(12.0 * c) * (float)xsize / 640.0f;
  float v = (float)(12.0 * s) * (float)ysize / 480.0f;
  int32_t p0x = pix((float)cx + 4.0f * u);
  int32_t p0y = pix((float)cy + 4.0f * v);
  int32_t p1x = pix((float)cx - 4.0f * u);
  int32_t p1y = pix((float)cy - 4.0f * v);
  int32_t q1x = pix(((float)p0x + u) - v);
  int32_t q1y = pix(((float)p0y + v) + u);
  int32_t q2x = pix(((float)p0x + u) + v);
  int32_t q2y = pix(((float)p0y + v) - u);
  int32_t q3x = pix(((float)p1x - u) - v);
  int32_t q3y = pix(((float)p1y - v) + u);
  int32_t q4x = pix(((float)p1x - u) + v);
  int32_t q4y = pix(((float)p1y - v) - u);
  // End caps, the half towards -n, the half towards +n.
  drawtriangle(p0x, p0y, q1x, q1y, q2x, q2y, 96, 96, 96);
  drawtriangle(p1x, p1y, q3x, q3y, q4x, q4y, 96, 96, 96);
  drawtriangle(p0x, p0y, p1x, p1y, q4x, q4y, 96, 96, 96);
  drawtriangle(p0x, p0y, q2x, q2y, q4x, q4y, 96, 96, 96);
  drawtriangle(p0x, p0y, p1x, p1y, q3x, q3y, 96, 96, 96);
  drawtriangle(p0x, p0y, q1x, q1y, q3x, q3y, 96, 96, 96);
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
    int32_t px = (xsize * swatches[i].x) / 640 + (6 * xsize) / -640;
    int32_t py = (ysize * swatches[i].y) / 480 + ysize / -80;
    drawsprite(px, py, swatches[i].sprite);
  }
}

}  // namespace spumex
