// The real display on SDL's dummy driver, and events pushed into its queue.
#include "helpers/testvideo.h"
#include "helpers/testscreen.h"
#include "app/app.h"
#include "gfx/gfx.h"
#include "gfx/video.h"

#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>

namespace spumex {

void ensuresprites() {
  // Other tests build sprites at other widths or put markers in their place:
  // the set built here is put back each time.
  static uint16_t* built[NCODES];
  static uint16_t* cursor = nullptr;
  if (cursor == nullptr) {
    usetestscreen(640, 480);
    if (scratch == nullptr) scratch = (uint8_t*)malloc(SCRATCHSIZE);
    makeballs();
    ASSERT_NE(ballsprites[NCODES - 1], nullptr);
    ASSERT_NE(cursorsprite, nullptr);
    memcpy(built, ballsprites, sizeof built);
    cursor = cursorsprite;
  }
  memcpy(ballsprites, built, sizeof built);
  cursorsprite = cursor;
}

void usevideo() {
  ensuresprites();
  // Other suites open and quit SDL on their own: the display is opened again
  // whenever it is not open now, not only the first time.
  SDL_Surface* s = SDL_GetVideoSurface();
  if (s == nullptr) {
    xsize = 640;
    ysize = 480;
    initvideo();
    s = SDL_GetVideoSurface();
    ASSERT_NE(s, nullptr);
  }
  xsize = s->w;
  ysize = s->h;
  usesurface(s);
  drainevents();
}

void drainevents() {
  SDL_Event ev;
  while (SDL_PollEvent(&ev)) {
  }
}

void pushkey(SDLKey sym, SDLMod mod) {
  SDL_Event ev;
  memset(&ev, 0, sizeof ev);
  ev.type = SDL_KEYDOWN;
  ev.key.type = SDL_KEYDOWN;
  ev.key.state = SDL_PRESSED;
  ev.key.keysym.sym = sym;
  ev.key.keysym.mod = mod;
  ASSERT_EQ(SDL_PushEvent(&ev), 0);
}

void restarttimerthread() {
  // Quitting the timer subsystem waits for its thread to end, so a callback
  // that was under way has counted its tick when this returns.
  SDL_QuitSubSystem(SDL_INIT_TIMER);
  SDL_InitSubSystem(SDL_INIT_TIMER);
}

}  // namespace spumex
