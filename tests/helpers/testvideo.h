// The real display on SDL's dummy driver, and events pushed into its queue.
#pragma once
#include <SDL.h>
#include <string>

namespace spumex {

void ensuresprites();                // build the ball sprites once, at 640 x 480
void usevideo();                     // open the dummy display once and draw into it
void drainevents();                  // empty SDL's event queue
void pushkey(SDLKey sym, SDLMod mod = KMOD_NONE);  // queue a key press

struct temphome {
  std::string dir;                   // the fresh directory HOME points at
  std::string oldhome;               // HOME before
  bool hadhome = false;              // HOME was set before
};

void entertemphome(temphome& t, const char* prefix);  // HOME to a fresh directory under /tmp
void leavetemphome(temphome& t);     // remove it and restore HOME

}  // namespace spumex
