// Event pump: SDL events to mouse state, drags and key commands.
#include "app/app.h"
#include "app/state.h"
#include "sim/sim.h"

#include <SDL.h>

namespace spumex {

static void setmouse(int x, int y) {
  mousex = logicalx(x);
  mousey = logicaly(y);
}

void mousepress(int x, int y) {
  setmouse(x, y);
  dragmode = 1;
  hosemouse();
  blockmouse();
}

void mousemotion(int x, int y) {
  setmouse(x, y);
  if (dragmode == 1) dragmode = 2;
  hosemouse();
  blockmouse();
}

void mouserelease() {
  dragmode = 0;
}

void pollinput() {
  yieldframe();
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    switch (event.type) {
      case SDL_KEYDOWN:
        if (event.key.keysym.sym == SDLK_ESCAPE)
          exitflag = 1;
        else
          keycommand((uint32_t)event.key.keysym.sym, (uint32_t)event.key.keysym.mod);
        break;
      case SDL_MOUSEMOTION:
        mousemotion(event.motion.x, event.motion.y);
        break;
      case SDL_MOUSEBUTTONDOWN:
        mousepress(event.button.x, event.button.y);
        break;
      case SDL_MOUSEBUTTONUP:
        mouserelease();
        break;
      default:
        break;
    }
  }
}

}  // namespace spumex
