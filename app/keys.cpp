// Key commands: mode toggles, background changes, clearing and presets.
#include "app/app.h"
#include "background/background.h"
#include "presets/presets.h"
#include "sim/sim.h"

namespace spumex {

uint8_t paused = 0;
uint8_t hidden = 0;
uint8_t mixing = 0;
uint8_t rotating = 0;
uint8_t spiralmode = 0;
uint8_t eyemode = 0;

constexpr uint32_t SHIFTBITS = 3;    // left and right shift in the modifier state

static void toggle(uint8_t& flag) {
  flag = !flag;
}

void keycommand(uint32_t symbol, uint32_t modifiers) {
  if (symbol - '1' <= 8) {
    int slot = (int)(symbol - '1');
    if (modifiers & SHIFTBITS)
      savepreset(slot);
    else
      loadpreset(slot);
    return;
  }
  switch (symbol) {
    case 'c':
      colorscheme++;
      makebackground();
      break;
    case 'e': toggle(eyemode); break;
    case 'f': fractal(); break;
    case 'h': toggle(hidden); break;
    case 'm': toggle(mixing); break;
    case 'p': toggle(paused); break;
    case 'r': toggle(rotating); break;
    case 's': toggle(spiralmode); break;
    case 'x': clearall(); break;
    default: break;
  }
}

}  // namespace spumex
