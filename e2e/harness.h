// End-to-end harness: a private Xvfb, the program as a child process, XTest input, pixel capture.
#pragma once
#include <string>
#include <vector>

struct _XDisplay;

namespace e2e {

// Kept free of Xlib's macros, which clash with the test framework.
typedef struct _XDisplay Display;
typedef unsigned long Window;

struct xserver {
  int number = -1;                   // display number, -1 when not running
  int pid = -1;                      // Xvfb process
  Display* display = nullptr;        // our connection to it
};

struct program {
  int pid = -1;                      // the running spumex
  int outfd = -1;                    // its standard output
  int errfd = -1;                    // its standard error
  std::string out;                   // standard output read so far
  std::string err;                   // standard error read so far
  Window window = 0;                 // its window, once found
  int width = 0, height = 0;         // window size
  int status = -1;                   // exit status once it ended
};

bool startxserver(xserver& x);       // start Xvfb on a free display and connect
void stopxserver(xserver& x);        // close the connection and end Xvfb

// Start the program with arguments and extra environment ("NAME=value",
// "-NAME" removes NAME), in directory dir (empty: the current one).
bool startprogram(program& p, const xserver* x, const std::vector<std::string>& args,
                  const std::vector<std::string>& env, const std::string& dir = "");
bool waitwindow(program& p, xserver& x, int timeoutms = 10000);  // find its mapped window
bool waitexit(program& p, int timeoutms = 10000);  // wait for the end, collect output
void killprogram(program& p);        // end it by force
void readoutput(program& p);         // collect what it has printed so far

void key(xserver& x, unsigned long keysym, bool shift = false);  // press and release a key
void moveto(xserver& x, program& p, int wx, int wy);  // pointer to a window position
void button(xserver& x, bool down);  // press or release button 1
void settle(xserver& x, int ms);     // flush the server and wait

// The window's pixels as 0xRRGGBB, row by row.
std::vector<unsigned> capture(xserver& x, program& p);

}  // namespace e2e
