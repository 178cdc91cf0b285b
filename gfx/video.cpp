// Display window: SDL start-up, video mode, locking and presenting.
// The web build has its own version of this file (web/display.cpp); the
// screen the program draws into is in gfx/screen.cpp.
#include "gfx/gfx.h"
#include "gfx/video.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace spumex {

void initvideo() {
  fillpalette();
  if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) < 0) {
    fprintf(stderr, "Couldn't initialize SDL: %s\n", SDL_GetError());
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
