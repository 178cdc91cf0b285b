// Simulation clock in the browser: a 10 ms interval that only counts ticks;
// and the browser's side of the platform hooks.
#include "app/app.h"
#include "web/web.h"

#include <emscripten/eventloop.h>

#include <cerrno>

namespace spumex {

static long interval = 0;            // the interval's id while the clock runs

static void intervaltick(void*) {
  timertick(TICKMS);
}

// The clock starts once the scene is built: a scene brought by the page's
// link replaces slot 0's then, before the first frame.
void starttimer() {
  if (timeron) return;
  linkscene();
  timeron = 1;
  interval = emscripten_set_interval(intervaltick, TICKMS, nullptr);
  ticks.store(0);
}

void stoptimer() {
  if (!timeron) return;
  timeron = 0;
  emscripten_clear_interval(interval);
}

// The browser runs its timers, events and drawing only while the program
// waits; one wait a display frame lets the page run at the display's rate.
void yieldframe() {
  spumex_nextframe();
}

// The files live in memory: emscripten's fsync would write the whole kept
// folder back to the browser's storage, over what another tab stored since
// this one started. A stored file is written back alone, by keepfile.
int syncfile(int) {
  return 0;
}

// The files live in memory until written back to the browser's storage.
int keepfile(const char* name) {
  switch (spumex_keepfile(name)) {
    case 0: return 0;
    case 1: return ENOSPC;
    default: return EIO;
  }
}

}  // namespace spumex
