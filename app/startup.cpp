// Start-up, shutdown and the program state owned by the shell.
#include "app/app.h"
#include "background/background.h"
#include "gfx/gfx.h"
#include "presets/presets.h"
#include "sim/sim.h"
#include "support/support.h"

#include <SDL.h>
#include <cstdio>
#include <cstdlib>

namespace spumex {

int xsize = LOGW;
int ysize = LOGH;
uint8_t* scratch = nullptr;
uint8_t eyered[256];
uint8_t eyegreen[256];
uint8_t eyeblue[256];

static const char* const bannerlines[] = {
    "Spumex, by the Spumex developers",
    "Fountains of shaded balls, bouncing off bars: a small desktop toy",
    "Keys and mouse are listed below; Escape ends the program",
    "Use: spumex [screenwidth]",
    "screenwidth is optional argument 100-2048 (default 640)",
    "c          Change background colors",
    "e          Eye demo",
    "f          New fractal background",
    "h          Hide/unhide the non-ball objects",
    "m          Turn on/off mixing",
    "p          Pause movement",
    "r          Rotate hoses",
    "s          Spiral pattern (escape to exit)",
    "x          Delete everything",
    "1-9        Load preset",
    "shift 1-9  Store preset",
    "Drag the fountains over the colors to change their color",
};

void quitsdl() {
  if (sdlactive) SDL_Quit();
}

void nomem(const char* tag) {
  printf("No memory!!![%s]\n", tag);
  fflush(stdout);
  quitsdl();
  exit(1);
}

void initeyecolors() {
  for (int i = 0; i < 256; i++) {
    eyered[i] = (uint8_t)nextrand();
    eyegreen[i] = (uint8_t)nextrand();
    eyeblue[i] = (uint8_t)nextrand();
  }
}

void printbanner() {
  for (const char* line : bannerlines) puts(line);
  fflush(stdout);  // shown at once, even when standard output is a pipe
}

void applywidth(int argc, char** argv) {
  if (argc < 2) return;
  int value = atoi(argv[1]);
  if ((uint32_t)value - (uint32_t)MINWIDTH <= (uint32_t)(MAXWIDTH - MINWIDTH)) {
    ysize = ysize * value / xsize;
    xsize = value;
  }
}

static uint32_t starttime = 0;       // SDL_GetTicks at the end of start-up

// Start-up from the eye colours to the cleared mode flags. The program prints
// the banner and opens the window; an in-process start may do neither.
static void startup(int argc, char** argv, bool banner, bool window) {
  initeyecolors();
  if (banner) printbanner();
  applywidth(argc, argv);
  seedbytes();
  if (window)
    initvideo();
  else
    initnullvideo();
  if (scratch == nullptr) {
    scratch = (uint8_t*)malloc(SCRATCHSIZE);
    if (scratch == nullptr) nomem("block64");
  }
  readpresets();
  makeballs();
  mixing = 0;
  spiralmode = 0;
  eyemode = 0;
  hidden = 0;
  rotating = 0;
  exitflag = 0;
}

void startprogram(int argc, char** argv) {
  startup(argc, argv, true, true);
  starttime = SDL_GetTicks();
  frames = 0;
}

int endprogram() {
  uint32_t end = SDL_GetTicks();
  quitsdl();
  uint32_t elapsed = end - starttime;
  if (elapsed == 0) elapsed = 1;
  // 64-bit product, so very long runs still report a sensible rate.
  printf("fps = %d\n", (int)((int64_t)frames * 1000 / (int64_t)elapsed));
  return 0;
}

int runprogram(int argc, char** argv) {
  startprogram(argc, argv);
  mainloop();
  return endprogram();
}

void startscene(int argc, char** argv, bool window) {
  // What an earlier start in this process changed goes back to how a fresh
  // process finds it, so the start gives the same scene and pictures.
  xsize = 640;
  ysize = 480;
  free(background);  // sized for the earlier screen
  background = nullptr;
  paused = 0;
  rotation = 0;
  colorscheme = 0;
  mousex = mousey = dragmode = 0;
  releasegrabs();
  startup(argc, argv, false, window);
  initscene();
}

}  // namespace spumex
