// The real display on SDL's dummy driver, and events pushed into its queue.
#pragma once
#include <SDL.h>

#include "helpers/temphome.h"  // temporary HOME directories, used beside the display

namespace spumex {

void ensuresprites();                // the ball sprites built at 640 x 480 (once), in place
void usevideo();                     // open the dummy display (again, if SDL was quit since) and draw into it
void drainevents();                  // empty SDL's event queue
void pushkey(SDLKey sym, SDLMod mod = KMOD_NONE);  // queue a key press
void restarttimerthread();           // end SDL's timer thread and start a new one: no tick is under way after it

}  // namespace spumex
