// Application shell: program state, start-up, frame loop, event pump, timer and key commands.
#pragma once
#include <atomic>
#include <cstdint>

namespace spumex {

// --- start-up and program state (startup.cpp) ---
constexpr int SCRATCHSIZE = 65536;   // bytes in the shared work buffer
constexpr int MINWIDTH = 100;        // smallest accepted screen width
constexpr int MAXWIDTH = 2048;       // largest accepted screen width
constexpr int MAXHEIGHT = 1536;      // height of the widest screen

extern int xsize;                    // screen width in pixels
extern int ysize;                    // screen height in pixels
extern uint8_t* scratch;             // 64 KB work buffer, allocated once
extern uint8_t eyered[256];          // red of each eye of the eye demo
extern uint8_t eyegreen[256];        // green of each eye
extern uint8_t eyeblue[256];         // blue of each eye

[[noreturn]] void nomem(const char* tag);   // out-of-memory exit, status 1
void quitsdl();                             // SDL_Quit if the video mode was set
void initeyecolors();                       // fill the eye tables from rand()
void printbanner();                         // banner and key summary on stdout
void applywidth(int argc, char** argv);     // take the optional width argument
int runprogram(int argc, char** argv);      // the whole program; main calls it
void startprogram(int argc, char** argv);   // start-up: banner, width, display, presets, sprites, start time
int endprogram();                           // shutdown: SDL_Quit, frame rate line; the exit status
void startscene(int argc, char** argv, bool window);  // start-up and scene in this process, no banner; window false: a memory screen

// --- frame loop and simulation clock (mainloop.cpp) ---
constexpr int TICKMS = 10;           // timer interval in milliseconds
constexpr int ROTATESTEP = 47;       // rotation added per tick while rotating
constexpr int32_t BOTTOMLIMIT = 480 * 256;  // balls at or below this y are dropped

extern uint8_t exitflag;             // set by Escape
extern int rotation;                 // angle offset added to every hose
extern int mousex;                   // mouse x in logical units
extern int mousey;                   // mouse y in logical units
extern int dragmode;                 // 0 released, 1 pressed, 2 moved while pressed
extern std::atomic<int32_t> ticks;   // simulation steps due, shared with the timer thread
extern uint8_t timeron;              // the timer is installed
extern int frames;                   // frames presented

void initscene();                    // the frame loop's set-up, before the timer
void mainloop();                     // set-up, then frames until Escape
void drawframe();                    // lock, background, balls, objects, cursor, update
void simstep();                      // one simulation step
void runticks();                     // every due simulation step
void pausewait();                    // spin on the event pump while paused

// --- event pump (input.cpp) ---
void pollinput();                    // handle every queued SDL event
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
extern uint8_t mixing;               // key m: ball colour mixing
extern uint8_t rotating;             // key r: all hoses turn together
extern uint8_t spiralmode;           // key s: run the spiral demo
extern uint8_t eyemode;              // key e: run the eye demo

void keycommand(uint32_t symbol, uint32_t modifiers);  // one key press

}  // namespace spumex
