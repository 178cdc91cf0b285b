// End-to-end harness: a private Xvfb, the program as a child process, XTest input, pixel capture.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "harness.h"

namespace e2e {

static long nowms() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000L + ts.tv_nsec / 1000000L;
}

static void sleepms(int ms) {
  usleep((useconds_t)ms * 1000);
}

static bool displayfree(int n) {
  char path[64];
  snprintf(path, sizeof path, "/tmp/.X%d-lock", n);
  if (access(path, F_OK) == 0) return false;
  snprintf(path, sizeof path, "/tmp/.X11-unix/X%d", n);
  return access(path, F_OK) != 0;
}

// A window can vanish between listing it and asking about it: the request
// then fails with an error that must not end the test.
static int ignoreerror(Display*, XErrorEvent*) {
  return 0;
}

bool startxserver(xserver& x) {
  XSetErrorHandler(ignoreerror);
  for (int n = 90 + (getpid() % 50); n < 400; n++) {
    if (!displayfree(n)) continue;
    char name[16];
    snprintf(name, sizeof name, ":%d", n);
    int pid = fork();
    if (pid == 0) {
      int null = open("/dev/null", O_RDWR);
      dup2(null, 1);
      dup2(null, 2);
      execl(XVFB_PROGRAM, XVFB_PROGRAM, name, "-screen", "0", "2100x1600x24", "-nolisten", "tcp",
            "-noreset", (char*)nullptr);
      _exit(127);
    }
    long until = nowms() + 10000;
    while (nowms() < until) {
      Display* d = XOpenDisplay(name);
      if (d != nullptr) {
        x.number = n;
        x.pid = pid;
        x.display = d;
        return true;
      }
      int status;
      if (waitpid(pid, &status, WNOHANG) == pid) break;  // lost the race for this display
      sleepms(50);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  return false;
}

void stopxserver(xserver& x) {
  if (x.display != nullptr) XCloseDisplay(x.display);
  x.display = nullptr;
  if (x.pid > 0) {
    kill(x.pid, SIGTERM);
    waitpid(x.pid, nullptr, 0);
  }
  x.pid = -1;
}

bool startprogram(program& p, const xserver* x, const std::vector<std::string>& args,
                  const std::vector<std::string>& env, const std::string& dir) {
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) return false;
  int pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    close(out[0]);
    close(err[0]);
    close(out[1]);
    close(err[1]);
    // The tests' own process runs on the dummy driver, and SDL 1.2 over SDL 3
    // copies its name into SDL 3's SDL_VIDEO_DRIVER there: neither is passed on.
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("SDL_VIDEO_DRIVER");
    if (x != nullptr) {
      char name[16];
      snprintf(name, sizeof name, ":%d", x->number);
      setenv("DISPLAY", name, 1);
    }
    for (const std::string& e : env) {
      if (!e.empty() && e[0] == '-') {
        unsetenv(e.c_str() + 1);
      } else {
        size_t eq = e.find('=');
        if (eq != std::string::npos) setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
      }
    }
    if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    argv.push_back((char*)SPUMEX_BINARY);
    for (const std::string& a : args) argv.push_back((char*)a.c_str());
    argv.push_back(nullptr);
    execv(SPUMEX_BINARY, argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  fcntl(out[0], F_SETFL, O_NONBLOCK);
  fcntl(err[0], F_SETFL, O_NONBLOCK);
  p = program();
  p.pid = pid;
  p.outfd = out[0];
  p.errfd = err[0];
  return true;
}

static void drain(int fd, std::string& into) {
  char buf[4096];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    into.append(buf, (size_t)n);
  }
}

void readoutput(program& p) {
  if (p.outfd >= 0) drain(p.outfd, p.out);
  if (p.errfd >= 0) drain(p.errfd, p.err);
}

static bool findmapped(Display* d, Window w, Window& found, int& width, int& height) {
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  if (!XQueryTree(d, w, &root, &parent, &children, &n)) return false;
  bool ok = false;
  for (unsigned i = 0; i < n && !ok; i++) {
    XWindowAttributes a;
    if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable && a.width > 1) {
      found = children[i];
      width = a.width;
      height = a.height;
      ok = true;
    }
  }
  if (children != nullptr) XFree(children);
  return ok;
}

// Some SDL builds map a short-lived window first and the real one a little
// later, so a window counts only when it is still the one mapped after the
// program has had time to settle; one that vanishes meanwhile is forgotten.
bool waitwindow(program& p, xserver& x, int timeoutms) {
  long until = nowms() + timeoutms;
  Window seen = 0;
  while (nowms() < until) {
    readoutput(p);
    Window w;
    int width, height;
    if (findmapped(x.display, DefaultRootWindow(x.display), w, width, height)) {
      if (w == seen) {
        p.window = w;
        p.width = width;
        p.height = height;
        return true;
      }
      seen = w;
      settle(x, 300);
      continue;
    }
    seen = 0;
    if (!running(p)) return false;
    sleepms(50);
  }
  return false;
}

bool waitexit(program& p, int timeoutms) {
  long until = nowms() + timeoutms;
  while (p.pid > 0 && nowms() < until) {
    readoutput(p);
    if (!running(p)) break;
    sleepms(20);
  }
  readoutput(p);
  return p.pid < 0;
}

void killprogram(program& p) {
  if (p.pid > 0) {
    kill(p.pid, SIGKILL);
    waitpid(p.pid, nullptr, 0);
    p.pid = -1;
  }
  readoutput(p);
  if (p.outfd >= 0) close(p.outfd);
  if (p.errfd >= 0) close(p.errfd);
  p.outfd = p.errfd = -1;
}

void settle(xserver& x, int ms) {
  XSync(x.display, False);
  sleepms(ms);
}

void key(xserver& x, unsigned long keysym, bool shift) {
  sendkey(x, keysym, shift);
  settle(x, 60);
}

void moveto(xserver& x, program& p, int wx, int wy) {
  int rx, ry;
  Window child;
  XTranslateCoordinates(x.display, p.window, DefaultRootWindow(x.display), wx, wy, &rx, &ry, &child);
  XTestFakeMotionEvent(x.display, DefaultScreen(x.display), rx, ry, 0);
  settle(x, 40);
}

void button(xserver& x, bool down) {
  XTestFakeButtonEvent(x.display, 1, down ? True : False, 0);
  settle(x, 40);
}

std::vector<unsigned> capture(xserver& x, program& p) {
  std::vector<unsigned> pixels;
  XSync(x.display, False);
  XImage* img = XGetImage(x.display, p.window, 0, 0, (unsigned)p.width, (unsigned)p.height, AllPlanes, ZPixmap);
  if (img == nullptr) return pixels;
  pixels.resize((size_t)p.width * p.height);
  for (int y = 0; y < p.height; y++)
    for (int xx = 0; xx < p.width; xx++) pixels[(size_t)y * p.width + xx] = (unsigned)XGetPixel(img, xx, y) & 0xFFFFFF;
  XDestroyImage(img);
  return pixels;
}

// --- helpers for scripted sessions ---

long clockms() {
  return nowms();
}

void sleepfor(int ms) {
  sleepms(ms);
}

namespace {

// The shared server lives until the test executable ends.
struct sharedholder {
  xserver x;
  bool tried = false;
  ~sharedholder() { stopxserver(x); }
};

sharedholder& holder() {
  static sharedholder h;
  return h;
}

}  // namespace

xserver& sharedserver() {
  sharedholder& h = holder();
  if (!h.tried) {
    h.tried = true;
    startxserver(h.x);
  }
  return h.x;
}

namespace {

// Home directories made for this executable, removed with their files at exit.
struct homelist {
  std::vector<std::string> dirs;
  ~homelist() {
    for (const std::string& d : dirs) {
      std::error_code ec;  // what the program's libraries left there goes too (a shader cache)
      std::filesystem::remove_all(d, ec);
    }
  }
};

homelist& homes() {
  static homelist h;
  return h;
}

}  // namespace

std::string freshhome() {
  char dir[] = "/tmp/spumex-e2e-XXXXXX";
  const char* d = mkdtemp(dir);
  if (d == nullptr) return "/tmp";
  homes().dirs.push_back(d);
  return d;
}

std::string readfile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool fileexists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void writefile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

bool running(program& p) {
  if (p.pid <= 0) return false;
  int status;
  if (waitpid(p.pid, &status, WNOHANG) == p.pid) {
    p.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    p.pid = -1;
    readoutput(p);
    return false;
  }
  return true;
}

bool waitnowindow(xserver& x, int timeoutms) {
  long until = nowms() + timeoutms;
  for (;;) {
    Window w;
    int width, height;
    if (!findmapped(x.display, DefaultRootWindow(x.display), w, width, height)) return true;
    if (nowms() >= until) return false;
    sleepms(20);
  }
}

unsigned short to565(unsigned rgb) {
  unsigned r = (rgb >> 16) & 255, g = (rgb >> 8) & 255, b = rgb & 255;
  return (unsigned short)((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}

picture capture565(xserver& x, program& p) {
  std::vector<unsigned> full = capture(x, p);
  picture pic(full.size());
  for (size_t i = 0; i < full.size(); i++) pic[i] = to565(full[i]);
  return pic;
}

int windowx(const program& p, int lx) {
  return (lx * p.width + 639) / 640;
}

int windowy(const program& p, int ly) {
  return (ly * p.height + 479) / 480;
}

int pixelx(const program& p, int lx) {
  return lx * p.width / 640;
}

int pixely(const program& p, int ly) {
  return ly * p.height / 480;
}

void movelogical(xserver& x, program& p, int lx, int ly) {
  moveto(x, p, windowx(p, lx), windowy(p, ly));
}

void drag(xserver& x, program& p, int fromx, int fromy, int tox, int toy, int steps) {
  movelogical(x, p, fromx, fromy);
  button(x, true);
  for (int i = 1; i <= steps; i++)
    movelogical(x, p, fromx + (tox - fromx) * i / steps, fromy + (toy - fromy) * i / steps);
  button(x, false);
}

bool waitequal(xserver& x, program& p, const picture& want, picture& last, int timeoutms) {
  if (waitpicture(x, p, [&](const picture& got) { return got == want; }, last, timeoutms)) return true;
  keeppicture("mismatch-" + std::to_string(clockms()), last, p.width);
  keeppicture("wanted-" + std::to_string(clockms()), want, p.width);
  return false;
}

int differences(const picture& a, const picture& b) {
  if (a.size() != b.size()) return -1;
  int n = 0;
  for (size_t i = 0; i < a.size(); i++) n += a[i] != b[i];
  return n;
}

bool writeppm(const std::string& path, const std::vector<unsigned>& pixels, int width, int height) {
  if (width <= 0 || height <= 0 || pixels.size() != (size_t)width * height) return false;
  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  fprintf(f, "P6\n%d %d\n255\n", width, height);
  for (unsigned v : pixels) {
    unsigned char rgb[3] = {(unsigned char)(v >> 16), (unsigned char)(v >> 8), (unsigned char)v};
    fwrite(rgb, 1, 3, f);
  }
  return fclose(f) == 0;
}

void keeppicture(const std::string& name, const picture& pic, int width) {
  const char* dir = getenv("SPUMEX_E2E_PICTURES");
  if (dir == nullptr || *dir == 0 || width <= 0) return;
  std::vector<unsigned> rgb(pic.size());
  for (size_t i = 0; i < pic.size(); i++) {
    unsigned v = pic[i];
    rgb[i] = ((v >> 11) & 31) << 19 | ((v >> 5) & 63) << 10 | (v & 31) << 3;
  }
  writeppm(std::string(dir) + "/" + name + ".ppm", rgb, width, (int)(pic.size() / width));
}

int differencesin(const picture& a, const picture& b, int width, int x0, int y0, int x1, int y1) {
  if (a.size() != b.size() || width <= 0) return -1;
  int height = (int)(a.size() / width);
  int n = 0;
  for (int y = y0 < 0 ? 0 : y0; y < y1 && y < height; y++)
    for (int x = x0 < 0 ? 0 : x0; x < x1 && x < width; x++)
      n += a[(size_t)y * width + x] != b[(size_t)y * width + x];
  return n;
}

int countcolour(const picture& a, int width, int x0, int y0, int x1, int y1, unsigned short colour) {
  if (width <= 0) return 0;
  int height = (int)(a.size() / width);
  int n = 0;
  for (int y = y0 < 0 ? 0 : y0; y < y1 && y < height; y++)
    for (int x = x0 < 0 ? 0 : x0; x < x1 && x < width; x++) n += a[(size_t)y * width + x] == colour;
  return n;
}

int around(const picture& pic, const program& p, int lx, int ly, int r, unsigned short colour) {
  int x = pixelx(p, lx), y = pixely(p, ly);
  return countcolour(pic, p.width, x - r, y - r, x + r + 1, y + r + 1, colour);
}

bool waitfile(const std::string& path, const std::string& want, std::string& got) {
  long until = clockms() + 3000;
  for (;;) {
    got = fileexists(path) ? readfile(path) : "(no file)";
    if (got == want || clockms() >= until) return got == want;
    sleepfor(25);
  }
}

std::string firstdifference(const picture& a, const picture& b, int width) {
  if (a.size() != b.size())
    return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
  for (size_t i = 0; i < a.size(); i++) {
    if (a[i] != b[i]) {
      char text[96];
      snprintf(text, sizeof text, "first at (%d, %d): 0x%04x, wanted 0x%04x", (int)(i % width),
               (int)(i / width), a[i], b[i]);
      return text;
    }
  }
  return "none";
}

}  // namespace e2e

// --- for tests that start the program many times ---
namespace e2e {

bool waitmapped(program& p, xserver& x, int timeoutms) {
  long until = nowms() + timeoutms;
  for (;;) {
    readoutput(p);
    Window w;
    int width, height;
    if (findmapped(x.display, DefaultRootWindow(x.display), w, width, height)) {
      p.window = w;
      p.width = width;
      p.height = height;
      return true;
    }
    if (!running(p) || nowms() >= until) return false;
    sleepms(5);
  }
}

bool waitframe(xserver& x, program& p, int timeoutms) {
  long until = nowms() + timeoutms;
  for (;;) {
    std::vector<unsigned> pixels = capture(x, p);
    // No pixels: the window vanished (some SDL builds map a short-lived one
    // first); take the one mapped now.
    if (pixels.empty()) waitmapped(p, x, 50);
    for (unsigned v : pixels)
      if (v != 0) return true;
    if (nowms() >= until || !running(p)) return false;
    sleepms(5);
  }
}

// SDL's X11 backend reads a key's release that has a press of the same key
// queued behind it, less than 2 ms later by the server's clock, as
// auto-repeat and drops the release (SDL 2 looks through the whole queue): a
// shift sent right after another shift would still be held for the keys
// after it. The server starts each key sequence at least this long after the
// last one, however fast they are sent.
constexpr unsigned long KEYGAPMS = 3;

void sendkey(xserver& x, unsigned long keysym, bool shift) {
  Display* d = x.display;
  KeyCode code = XKeysymToKeycode(d, keysym);
  KeyCode shiftcode = XKeysymToKeycode(d, XK_Shift_L);
  if (shift) XTestFakeKeyEvent(d, shiftcode, True, KEYGAPMS);
  XTestFakeKeyEvent(d, code, True, shift ? 0 : KEYGAPMS);
  XTestFakeKeyEvent(d, code, False, 0);
  if (shift) XTestFakeKeyEvent(d, shiftcode, False, 0);
  XFlush(d);
}

}  // namespace e2e
