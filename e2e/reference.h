// Reference pictures: the program's own start-up and drawing code run in this
// process on SDL's dummy driver, read back at 565 precision.
#pragma once
#include <string>
#include <vector>

namespace e2e {

typedef std::vector<unsigned short> picture;  // pixels at RGB 565 (as in harness.h)

// Start-up as the program does it, from the unseeded nextrand() to the built scene:
// eye colours, width argument, display, presets read from home, sprites, scene.
void referencestart(const std::string& home, const std::vector<std::string>& args = {});
// One frame of the main loop with the mouse at logical (mx, my).
picture referenceframe(int mx, int my);
// The background image alone.
picture referencebackground();
// One frame of the eye demo with the mouse at logical (mx, my).
picture referenceeyes(int mx, int my);

// The spiral demo's run set-up (colours from nextrand(), the path), as at key s.
void referencespiral();
int referencespiralpoints();               // points of the path
void referencespiralpoint(int p, int& x, int& y, int& heading);  // path point p: screen position, degrees
// One spiral frame with the head at path point p.
picture referencespiralframe(int p);
void referencespiralend();                 // free the path

}  // namespace e2e
