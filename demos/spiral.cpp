// Spiral demo: a trail of coloured balls led by a black arrowhead along a fixed spiral.
#include "demos/demos.h"
#include "app/state.h"
#include "gfx/gfx.h"

#include <cmath>
#include <cstdlib>

namespace spumex {

int32_t spiralhead = 0;

// One row of the arrowhead: black.
static void headspan(int32_t xa, int32_t y, int32_t xb, void*) {
  hline(xa, y, xb, 0);
}

void makecolors(int32_t* colors) {
  for (int i = 0; i < NTRAILCOLORS; i++) {
    int first = nextrand();
    int second = nextrand();
    int third = nextrand();
    colors[i] = colorcode((uint32_t)(first & 255), (uint32_t)(second & 255), (uint32_t)(third & 255));
  }
}

int32_t makepath(int32_t* path) {
  int32_t cx = xsize / 2;
  int32_t cy = ysize / 2;
  int32_t* headings = path + HEADINGSTART;
  float c = 5.0f;
  int32_t n = 0;
  do {
    float theta = c / 1.3f;
    path[2 * n] = (int32_t)((double)cx + (double)c * sin((double)theta));
    path[2 * n + 1] = (int32_t)((double)cy + (double)c * cos((double)theta));
    headings[n] = (int32_t)((double)(theta * 180.0f) / M_PI);
    n++;
    c = c + 3.0f / c;
  } while (c < 460.0 && n < MAXPOINTS);
  return n;
}

void drawhead(int32_t x, int32_t y, int32_t heading) {
  float a = (float)((double)(float)(heading * M_PI / 180.0) + M_PI / 2.0);
  float a1 = a - 2.3561945f;
  float a2 = a + 2.3561945f;
  int32_t tx = (int32_t)(x + 9.0 * sin((double)a));
  int32_t ty = (int32_t)(y + 9.0 * cos((double)a));
  int32_t b1x = (int32_t)(x + 9.0 * sin((double)a1));
  int32_t b1y = (int32_t)(y + 9.0 * cos((double)a1));
  int32_t b2x = (int32_t)(x + 9.0 * sin((double)a2));
  int32_t b2y = (int32_t)(y + 9.0 * cos((double)a2));
  filltriangle(tx, ty, b1x, b1y, x, y, headspan, nullptr);
  filltriangle(tx, ty, b2x, b2y, x, y, headspan, nullptr);
}

void drawspiral(const int32_t* path, int32_t count, const int32_t* colors) {
  int32_t p = spiralhead;
  if (p < 0 || p >= count) return;  // a head off the path draws nothing
  int32_t k = 0;
  for (int32_t i = p - 4; i >= 0; i -= 4, k++)
    drawsprite(path[2 * i], path[2 * i + 1], ballsprites[colors[k & 255]]);
  drawhead(path[2 * p], path[2 * p + 1], path[HEADINGSTART + p]);
}

void stepspiral(int32_t count) {
  if (spiralhead >= count - 1) spiralhead = count - HEADLOOP;
  else spiralhead++;
}

void spiraldemo() {
  int32_t colors[NTRAILCOLORS];
  makecolors(colors);
  int32_t* path = (int32_t*)malloc(PATHBYTES);
  if (path == nullptr) nomem("dots");
  int32_t count = makepath(path);
  while (!exitflag) {
    pollinput();
    lockscreen();
    copybackground();
    drawspiral(path, count, colors);
    stepspiral(count);
    updatescreen();
    frames++;
  }
  exitflag = 0;
  spiralmode = 0;
  free(path);
}

}  // namespace spumex
