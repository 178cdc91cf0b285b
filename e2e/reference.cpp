// Reference pictures drawn in process through the program's own code.
#include "reference.h"

#include "app/app.h"
#include "background/background.h"
#include "demos/demos.h"
#include "gfx/gfx.h"
#include "gfx/video.h"
#include "presets/presets.h"
#include "sim/sim.h"
#include "support/support.h"

#include <SDL.h>
#include <cstdlib>
#include <cstring>

namespace e2e {

using namespace spumex;

static int32_t spiralcolors[NTRAILCOLORS];
static int32_t* spiralpath = nullptr;
static int32_t spiralcount = 0;

// The screen as 565 values, whatever the surface's own masks.
static picture readscreen() {
  picture pic((size_t)xsize * ysize);
  for (int y = 0; y < ysize; y++) {
    for (int x = 0; x < xsize; x++) {
      uint32_t v;
      if (depth == 16) {
        uint16_t w;
        memcpy(&w, videomem + rowoffsets[y] + 2 * x, 2);
        v = w;
      } else {
        v = videomem[rowoffsets[y] + x];
      }
      Uint8 r, g, b;
      SDL_GetRGB(v, screen->format, &r, &g, &b);
      pic[(size_t)y * xsize + x] = (unsigned short)((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
    }
  }
  return pic;
}

void referencestart(const std::string& home, const std::vector<std::string>& args) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  // Each start opens the display afresh, as a new process would: SDL 1.2 over
  // SDL 3 crashes presenting a mode set larger than the one before it, which
  // the program itself, setting its mode once, never does.
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_Quit();
  const char* oldhome = getenv("HOME");
  std::string keep = oldhome ? oldhome : "";
  resetrand();  // the sequence of a program that never seeds

  std::vector<char*> argv;
  argv.push_back((char*)"spumex");
  for (const std::string& a : args) argv.push_back((char*)a.c_str());
  argv.push_back(nullptr);
  setenv("HOME", home.c_str(), 1);  // the presets are read from there
  startscene((int)argv.size() - 1, argv.data(), true);
  if (oldhome) setenv("HOME", keep.c_str(), 1);
  else unsetenv("HOME");
}

picture referenceframe(int mx, int my) {
  mousex = mx;
  mousey = my;
  drawframe();
  return readscreen();
}

picture referencebackground() {
  lockscreen();
  copybackground();
  updatescreen();
  return readscreen();
}

picture referenceeyes(int mx, int my) {
  mousex = mx;
  mousey = my;
  lockscreen();
  copybackground();
  draweyes();
  updatescreen();
  return readscreen();
}

void referencespiral() {
  makecolors(spiralcolors);
  if (spiralpath == nullptr) spiralpath = (int32_t*)malloc(PATHBYTES);
  spiralcount = spiralpath ? makepath(spiralpath) : 0;
}

int referencespiralpoints() {
  return spiralcount;
}

void referencespiralpoint(int p, int& x, int& y, int& heading) {
  x = spiralpath[2 * p];
  y = spiralpath[2 * p + 1];
  heading = spiralpath[HEADINGSTART + p];
}

picture referencespiralframe(int p) {
  spiralhead = p;
  lockscreen();
  copybackground();
  drawspiral(spiralpath, spiralcount, spiralcolors);
  updatescreen();
  return readscreen();
}

void referencespiralend() {
  free(spiralpath);
  spiralpath = nullptr;
  spiralcount = 0;
}

}  // namespace e2e
