// The page's ways into and out of the program's scene, both as preset text:
// the scene a shared link brings, and the scene the page shares.
#include "app/state.h"
#include "presets/presets.h"
#include "web/web.h"

#include <emscripten/emscripten.h>

#include <cstdlib>

namespace spumex {

// Replaces the scene just built from slot 0 by the link's, when the page has
// one and every line of it reads; no slot changes. The page learns how many
// lines did not read (-1: no link).
void linkscene() {
  int skipped = -1;
  char* text = (char*)malloc(SCRATCHSIZE);
  if (text != nullptr) {
    int n = spumex_linkbytes(text, SCRATCHSIZE - 1);
    if (n >= 0) {
      text[n] = 0;
      skipped = skippedlines(text);
      if (skipped == 0) loadtext(text);
    }
    free(text);
  }
  spumex_linkread(skipped);
}

}  // namespace spumex

// The scene as a store would write it, for the page's share link; valid
// until the program runs on.
extern "C" EMSCRIPTEN_KEEPALIVE const char* spumex_scenetext() {
  spumex::composescene();
  return (const char*)spumex::scratch;
}
