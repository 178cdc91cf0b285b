// Application shell: program state, start-up, frame loop, event pump, timer and key commands.
#pragma once
#include "app/state.h"

#include <atomic>
#include <cstdint>

namespace spumex {

// --- start-up and program state (startup.cpp) ---
// xsize, ysize, scratch, the eye colours and nomem: app/state.h
void quitsdl();                             // SDL_Quit if the video mode was set
void initeyecolors();                       // fill the eye tables from nextrand()
void printbanner();                         // banner and key summary on stdout
void applywidth(int argc, char** argv);     // take the optional width argument
int runprogram(int argc, char** argv);      // the whole program; main calls it
void startprogram(int argc, char** argv);   // start-up: banner, width, display, presets, sprites, start time
int endprogram();                           // shutdown: SDL_Quit, frame rate line; the exit status
void startscene(int argc, char** argv, bool window);  // start-up and scene in this process, no banner; window false: a memory screen

// --- frame loop and simulation clock (mainloop.cpp) ---
constexpr int TICKMS = 10;           // timer interval in milliseconds
constexpr int ROTATESTEP = 47;       // rotation added per tick while rotating

// exitflag, rotation, mousex, mousey, dragmode and frames: app/state.h
extern std::atomic<int32_t> ticks;   // simulation steps due, shared with the timer thread
extern uint8_t timeron;              // the timer is installed

void initscene();                    // the frame loop's set-up, before the timer
void mainloop();                     // set-up, then frames until Escape
void drawframe();                    // lock, background, balls, objects, cursor, update
void simstep();                      // one simulation step
void runticks();                     // every due simulation step
void pausewait();                    // spin on the event pump while paused

// --- event pump (input.cpp) ---
// pollinput: app/state.h
void mousepress(int x, int y);       // a button press at screen (x, y)
void mousemotion(int x, int y);      // motion to screen (x, y)
void mouserelease();                 // a button release

// --- timer (timer.cpp) ---
uint32_t timertick(uint32_t interval);  // timer callback: one more tick
void starttimer();                   // install the 10 ms timer once
void stoptimer();                    // remove the timer

// --- key commands (keys.cpp) ---
extern uint8_t paused;               // key p: freeze drawing and simulation
extern uint8_t hidden;               // key h: draw only balls and cursor
extern uint8_t rotating;             // key r: all hoses turn together
// mixing, spiralmode and eyemode: app/state.h

void keycommand(uint32_t symbol, uint32_t modifiers);  // one key press

}  // namespace spumex
