// Present-only page: the web version's frame loop without drawing. Each pass
// drains the events (Escape ends it) and waits for the display's next frame
// as the program's event pump does, then presents the whole memory screen to
// the canvas as the program does. Prints "fps = N" like the program.
#include "app/app.h"
#include "gfx/gfx.h"
#include "web/web.h"

#include <SDL.h>

#include <cstdint>
#include <cstdio>

int main(int argc, char** argv) {
  using namespace spumex;
  applywidth(argc, argv);
  initvideo();
  uint32_t start = SDL_GetTicks();
  long count = 0;
  while (!exitflag) {
    pollinput();
    lockscreen();
    updatescreen();
    count++;
  }
  uint32_t elapsed = SDL_GetTicks() - start;
  if (elapsed == 0) elapsed = 1;
  printf("fps = %ld\n", count * 1000 / (long)elapsed);
  fflush(stdout);
  spumex_ended(0);
  return 0;
}
