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

// --- helpers for scripted sessions ---
typedef std::vector<unsigned short> picture;  // a window's pixels reduced to RGB 565

xserver& sharedserver();             // one Xvfb for the whole test executable, started on first use
std::string freshhome();             // a new empty directory to serve as HOME, removed at exit
std::string readfile(const std::string& path);  // whole file, empty when missing
bool fileexists(const std::string& path);       // the path names a file
void writefile(const std::string& path, const std::string& text);  // replace a file's content
bool running(program& p);            // the program has not ended yet
bool waitnowindow(xserver& x, int timeoutms = 5000);  // until no window is mapped
void sleepfor(int ms);               // plain wait

unsigned short to565(unsigned rgb);  // 0xRRGGBB to 565, the precision of a 16-bit surface
picture capture565(xserver& x, program& p);  // the window at 565 precision
int windowx(const program& p, int lx);  // first window column that the program reads as logical x
int windowy(const program& p, int ly);  // first window row that the program reads as logical y
int pixelx(const program& p, int lx);   // window column where the program draws logical x
int pixely(const program& p, int ly);   // window row where the program draws logical y
void movelogical(xserver& x, program& p, int lx, int ly);  // pointer to a logical position
// Press at one logical point, move there in steps, release.
void drag(xserver& x, program& p, int fromx, int fromy, int tox, int toy, int steps = 6);

// Capture until the picture satisfies the test or the time is up; the last
// capture is left in last.
template <typename F>
bool waitpicture(xserver& x, program& p, F test, picture& last, int timeoutms = 5000);
// Wait for exactly the wanted picture; on failure the last capture is kept (keeppicture).
bool waitequal(xserver& x, program& p, const picture& want, picture& last, int timeoutms = 5000);
int differences(const picture& a, const picture& b);  // pixels that differ, -1 for other sizes
// Pixels that differ within columns x0..x1-1 and rows y0..y1-1 of pictures width wide.
int differencesin(const picture& a, const picture& b, int width, int x0, int y0, int x1, int y1);
// Pixels of one 565 colour within columns x0..x1-1 and rows y0..y1-1.
int countcolour(const picture& a, int width, int x0, int y0, int x1, int y1, unsigned short colour);
std::string firstdifference(const picture& a, const picture& b, int width);  // where and how a first differs from b
// Pixels of one colour in the square of half side r around logical (lx, ly).
int around(const picture& pic, const program& p, int lx, int ly, int r, unsigned short colour);
// Wait up to 3 s until the file holds want; got is what it last held.
bool waitfile(const std::string& path, const std::string& want, std::string& got);

// Write 0xRRGGBB pixels as a binary PPM image; false on failure.
bool writeppm(const std::string& path, const std::vector<unsigned>& pixels, int width, int height);

// With SPUMEX_E2E_PICTURES set to a directory, write the picture there as name.ppm.
void keeppicture(const std::string& name, const picture& pic, int width);

long clockms();                      // monotonic milliseconds

template <typename F>
bool waitpicture(xserver& x, program& p, F test, picture& last, int timeoutms) {
  long until = clockms() + timeoutms;
  for (;;) {
    last = capture565(x, p);
    if (test(last)) return true;
    if (clockms() >= until || !running(p)) return false;
    sleepfor(25);
  }
}

// Start the program in the shared server with a home directory and wait for
// its window and its first drawn frame; the pointer is then on logical
// (lx, ly) inside it.
bool launch(program& p, const std::string& home, const std::vector<std::string>& args = {},
            int lx = 600, int ly = 300);
// Escape, then expect status 0 and a last line "fps = N" with N > 0; the
// window is gone afterwards.
void finish(program& p);

}  // namespace e2e

// --- for tests that start the program many times ---
namespace e2e {

// Like waitwindow, without the pause after the window is found.
bool waitmapped(program& p, xserver& x, int timeoutms = 10000);
// Until the window shows a drawn frame (any pixel not black): a window is
// black until the program first presents, which can take a while where SDL
// presents through a software OpenGL that compiles its shaders on first use.
// SDL also discards the input that arrives before its image is set up.
bool waitframe(xserver& x, program& p, int timeoutms = 10000);
// Press and release a key and send it to the server at once, without waiting;
// the server spaces such key sequences a few milliseconds apart.
void sendkey(xserver& x, unsigned long keysym, bool shift = false);

}  // namespace e2e
