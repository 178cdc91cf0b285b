// Eye demo: a grid of shaded eyeballs that follow the mouse.
#include "demos/demos.h"
#include "app/state.h"
#include "gfx/gfx.h"

#include <cmath>

namespace spumex {

void draweye(int32_t radius, int32_t ex, int32_t ey, int32_t lx, int32_t ly, int32_t lz,
             uint8_t red, uint8_t green, uint8_t blue) {
  // Shading index to colour: white of the eye, iris, pupil.
  uint8_t rampr[256], rampg[256], rampb[256];
  for (int i = 0; i < 256; i++) {
    if (i < 232) {
      rampr[i] = rampg[i] = rampb[i] = 224;
    } else if (i < 250) {
      rampr[i] = red;
      rampg[i] = green;
      rampb[i] = blue;
    } else {
      rampr[i] = rampg[i] = rampb[i] = 0;
    }
  }
  if (screenx(radius) < 0) return;

  // Look vector scaled to length 127.5.
  float fx = (float)lx, fy = (float)ly, fz0 = (float)lz;
  float sum = (fx * fx + fy * fy) + fz0 * fz0;
  float s = (float)(sqrt((double)sum) / 127.5);
  float lxs = fx / s, lys = fy / s, lzs = fz0 / s;

  int32_t r = screenx(radius);
  int32_t cx = xsize / 2 + screenx(ex);
  int32_t cy = ysize / 2 + screeny(ey);

  // Only the part of the eye on the screen is shaded.
  int32_t vlo = -r, vhi = r, hlo = -r, hhi = r;
  if (cy - vhi < 0) vhi = cy;
  if (cy - vlo > ysize - 1) vlo = cy - (ysize - 1);
  if (cx + hlo < 0) hlo = -cx;
  if (cx + hhi > xsize - 1) hhi = xsize - 1 - cx;

  float fr = (float)r;
  for (int32_t v = vlo; v <= vhi; v++) {
    uint8_t* row = screenrow(cy - v);
    for (int32_t h = hlo; h <= hhi; h++) {
      if (h * h + v * v >= r * r) continue;
      float fh = (float)h / fr;
      float fv = (float)v / fr;
      double q = 1.0 - (double)(fh * fh) - (double)(fv * fv);
      if (q < 0.0) q = 0.0;  // rounding at the rim
      float fz = (float)sqrt(q);

      double d = (((double)(lxs * fh) + 127.5) + (double)(lys * fv)) + (double)(lzs * fz);
      int idx = 0;
      if (d >= 255.0) idx = 255;
      else if (d >= 0.0) idx = (int)d;  // a zero look vector gives NaN: white

      uint32_t cr = rampr[idx], cg = rampg[idx], cb = rampb[idx];
      float light = ((0.7276069f * fz + (-0.48507127f * fh + 0.48507127f * fv)) + 1.0f) * 0.5f;
      float b = light * light * light;
      if ((double)b >= 0.98) {
        cr = (cr + 765) >> 2;
        cg = (cg + 765) >> 2;
        cb = (cb + 765) >> 2;
      }
      cr = (uint32_t)(int32_t)((float)cr * b);
      cg = (uint32_t)(int32_t)((float)cg * b);
      cb = (uint32_t)(int32_t)((float)cb * b);
      putpixel(row, cx + h, maprgb(cr, cg, cb));
    }
  }
}

void draweyes() {
  for (int r = 0; r < EYEGRID; r++) {
    for (int c = 0; c < EYEGRID; c++) {
      int k = EYEGRID * r + c;
      draweye(20, 40 * c - 120, 40 * r - 120, mousex - 200 - 40 * c, 120 + 40 * r - mousey,
              screenx(300), eyered[k], eyegreen[k], eyeblue[k]);
    }
  }
  drawsprite(screenx(mousex), screeny(mousey), cursorsprite);
}

void eyedemo() {
  while (!exitflag) {
    pollinput();
    lockscreen();
    copybackground();
    draweyes();
    updatescreen();
    frames++;
  }
  exitflag = 0;
  eyemode = 0;
}

}  // namespace spumex
