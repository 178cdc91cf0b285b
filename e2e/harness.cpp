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

bool startxserver(xserver& x) {
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
    unsetenv("SDL_VIDEODRIVER");
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

bool waitwindow(program& p, xserver& x, int timeoutms) {
  long until = nowms() + timeoutms;
  while (nowms() < until) {
    readoutput(p);
    Window w;
    int width, height;
    if (findmapped(x.display, DefaultRootWindow(x.display), w, width, height)) {
      p.window = w;
      p.width = width;
      p.height = height;
      settle(x, 300);
      return true;
    }
    int status;
    if (waitpid(p.pid, &status, WNOHANG) == p.pid) {
      p.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      p.pid = -1;
      readoutput(p);
      return false;
    }
    sleepms(50);
  }
  return false;
}

bool waitexit(program& p, int timeoutms) {
  long until = nowms() + timeoutms;
  while (p.pid > 0 && nowms() < until) {
    readoutput(p);
    int status;
    if (waitpid(p.pid, &status, WNOHANG) == p.pid) {
      p.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      p.pid = -1;
      break;
    }
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
  Display* d = x.display;
  KeyCode shiftcode = XKeysymToKeycode(d, XK_Shift_L);
  KeyCode code = XKeysymToKeycode(d, keysym);
  if (shift) XTestFakeKeyEvent(d, shiftcode, True, 0);
  XTestFakeKeyEvent(d, code, True, 0);
  XTestFakeKeyEvent(d, code, False, 0);
  if (shift) XTestFakeKeyEvent(d, shiftcode, False, 0);
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

}  // namespace e2e
