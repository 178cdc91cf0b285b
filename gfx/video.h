// Display surface: the SDL side of the screen.
#pragma once
#include <SDL.h>

namespace spumex {

extern SDL_Surface* screen;          // the display surface
extern SDL_Color palette[256];       // grey ramp given to the surface

bool mustlock();                     // the surface must be locked before drawing
void usesurface(SDL_Surface* s);     // draw into this surface: its pixels, pitch and depth
void fillpalette();                  // the grey ramp into palette
bool memoryscreen();                 // the screen is a memory screen, not a window
const char* nodisplay();             // why SDL's video driver shows nothing and was not asked for, or null

}  // namespace spumex
