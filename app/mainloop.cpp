// Frame loop and simulation clock.
#include "app/app.h"
#include "background/background.h"
#include "demos/demos.h"
#include "gfx/gfx.h"
#include "presets/presets.h"
#include "sim/sim.h"

namespace spumex {

uint8_t exitflag = 0;
int rotation = 0;
int mousex = 0;
int mousey = 0;
int dragmode = 0;
std::atomic<int32_t> ticks{0};
uint8_t timeron = 0;
int frames = 0;

// The clock's callback, on the timer's thread: it only counts.
uint32_t timertick(uint32_t interval) {
  ticks.fetch_add(1);
  return interval;
}

void initscene() {
  fractal();
  initballs();
  initswatches();
  inithoses();
  initblocks();
  initbitmap();
  addhose(255, 255, 255);
  loadpreset(0);
}

void drawframe() {
  lockscreen();
  copybackground();
  drawballs();
  if (!hidden) {
    drawhoses();
    drawblocks();
    drawswatches();
  }
  drawsprite(screenx(mousex), screeny(mousey), cursorsprite);
  updatescreen();
}

void simstep() {
  // The offset wraps by whole turns.
  rotation = rotating ? wrapadd(rotation, ROTATESTEP) : 0;
  emitballs();
  moveballs();
  dropballs();
}

void runticks() {
  while (ticks.load() > 0) {
    simstep();
    if (ticks.fetch_sub(1) <= 1) break;
  }
}

void pausewait() {
  while (paused && !exitflag) {
    pollinput();
    ticks.store(1);
  }
}

void mainloop() {
  initscene();
  starttimer();
  while (!exitflag) {
    pollinput();
    if (spiralmode) {
      spiraldemo();
      ticks.store(1);
    }
    if (eyemode) {
      eyedemo();
      ticks.store(1);
    }
    drawframe();
    pausewait();
    frames++;
    runticks();
  }
}

}  // namespace spumex
