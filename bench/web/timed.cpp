// The web version with its presenting timed, for bench/webfps.sh: every
// present goes through this updatescreen, which times the display's own
// (built as presentframe), so that each frame of the page splits into
// presenting and the program's own work, as fps.sh splits a native frame.
#include <emscripten.h>

namespace spumex {

void presentframe();                 // the display's updatescreen, renamed in this build
void updatescreen();

static double presentms = 0;         // time spent presenting, in milliseconds
static double presents = 0;          // frames presented

void updatescreen() {
  double start = emscripten_get_now();
  presentframe();
  presentms += emscripten_get_now() - start;
  presents++;
}

}  // namespace spumex

// Milliseconds spent presenting so far, and the frames presented.
extern "C" EMSCRIPTEN_KEEPALIVE double spumex_presentms() {
  return spumex::presentms;
}
extern "C" EMSCRIPTEN_KEEPALIVE double spumex_presents() {
  return spumex::presents;
}
