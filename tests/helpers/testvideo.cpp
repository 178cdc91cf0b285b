// The real display on SDL's dummy driver, and events pushed into its queue.
#include "helpers/testvideo.h"
#include "helpers/testscreen.h"
#include "app/app.h"
#include "gfx/gfx.h"
#include "gfx/video.h"

#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace spumex {

void ensuresprites() {
  static bool built = false;
  if (built) return;
  usetestscreen(640, 480);
  if (scratch == nullptr) scratch = (uint8_t*)malloc(SCRATCHSIZE);
  makeballs();
  ASSERT_NE(ballsprites[NCODES - 1], nullptr);
  ASSERT_NE(cursorsprite, nullptr);
  built = true;
}

void usevideo() {
  static bool opened = false;
  ensuresprites();
  if (!opened) {
    xsize = 640;
    ysize = 480;
    initvideo();
    opened = true;
  }
  screen = SDL_GetVideoSurface();
  xsize = screen->w;
  ysize = screen->h;
  stride = screen->pitch;
  videomem = (uint8_t*)screen->pixels;
  depth = screen->format->BitsPerPixel;
  setrowoffsets();
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

void entertemphome(temphome& t, const char* prefix) {
  const char* h = getenv("HOME");
  t.hadhome = h != nullptr;
  if (h) t.oldhome = h;
  std::string tmpl = std::string("/tmp/") + prefix + "XXXXXX";
  ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
  t.dir = tmpl;
  setenv("HOME", t.dir.c_str(), 1);
}

void leavetemphome(temphome& t) {
  std::error_code ec;
  std::filesystem::remove_all(t.dir, ec);
  if (t.hadhome)
    setenv("HOME", t.oldhome.c_str(), 1);
  else
    unsetenv("HOME");
}

}  // namespace spumex
