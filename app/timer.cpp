// Simulation clock: a 10 ms SDL timer that only counts ticks; and the
// desktop's side of the platform hooks.
#include "app/app.h"

#include <SDL.h>
#include <unistd.h>

namespace spumex {

static Uint32 timercallback(Uint32 interval) {
  return timertick(interval);
}

void starttimer() {
  if (timeron) return;
  timeron = 1;
  SDL_SetTimer(TICKMS, timercallback);
  ticks.store(0);
}

void stoptimer() {
  if (!timeron) return;
  timeron = 0;
  SDL_SetTimer(0, nullptr);
}

// The loops run free: SDL's window needs no turn.
void yieldframe() {}

int syncfile(int fd) {
  return fsync(fd);
}

// A stored file is on the disk already.
int keepfile(const char*) {
  return 0;
}

}  // namespace spumex
