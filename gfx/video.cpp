// Display window: SDL start-up, video mode, locking and presenting.
// The web build has its own version of this file (web/display.cpp); the
// screen the program draws into is in gfx/screen.cpp.
#include "gfx/gfx.h"
#include "gfx/video.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace spumex {

// Why the video driver SDL chose by itself cannot be used: where there is no
// display, SDL 2 falls back to its offscreen driver, which draws nowhere, and
// the program would run unseen. Null when the driver shows a window, or was
// asked for by name (as the tests ask for the dummy one): in SDL_VIDEODRIVER,
// or in SDL_VIDEO_DRIVER, SDL 3's name for it, which SDL 1.2 may run over.
const char* nodisplay() {
  static const char* const names[] = {"SDL_VIDEODRIVER", "SDL_VIDEO_DRIVER"};
  for (const char* var : names) {
    const char* asked = getenv(var);
    if (asked != nullptr && asked[0] != 0) return nullptr;
  }
  char name[32];
  if (SDL_VideoDriverName(name, sizeof name) == nullptr) return nullptr;
  if (strcmp(name, "offscreen") == 0 || strcmp(name, "dummy") == 0)
    return "no display to show the window on";
  return nullptr;
}

void initvideo() {
  fillpalette();
  if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) < 0) {
    fprintf(stderr, "Couldn't initialize SDL: %s\n", SDL_GetError());
    exit(1);
  }
  if (const char* why = nodisplay()) {
    fprintf(stderr, "Couldn't initialize SDL: %s\n", why);
    SDL_Quit();
    exit(1);
  }
  // SDL turns SIGINT and SIGTERM into a quit event, which the program
  // ignores; give them back their usual meaning so Ctrl-C and kill still work.
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  SDL_Surface* s = SDL_SetVideoMode(xsize, ysize, 16, 0);
  if (s == nullptr) {
    fprintf(stderr, "Couldn't set display mode: %s\n", SDL_GetError());
    SDL_Quit();
    exit(5);
  }
  usesurface(s);
  sdlactive = 1;
  setpalette();
  SDL_ShowCursor(0);
}

int lockscreen() {
  if (mustlock() && SDL_LockSurface(screen) < 0) {
    fprintf(stderr, "Couldn't lock display surface: %s\n", SDL_GetError());
    return -1;
  }
  return 0;
}

void updatescreen() {
  if (memoryscreen()) return;  // nothing to show
  if (mustlock()) SDL_UnlockSurface(screen);
  SDL_UpdateRect(screen, 0, 0, 0, 0);
}

void flipscreen() {
  updatescreen();
  if (mustlock() && SDL_LockSurface(screen) < 0)
    fprintf(stderr, "Couldn't lock display surface: %s\n", SDL_GetError());
}

}  // namespace spumex
