// Pictures of the running program for the README: a scene, the spiral, the eyes.
// Usage: spumexshots DIRECTORY  (writes scene.ppm, spiral.ppm and eyes.ppm there)
#include <X11/keysym.h>

#include <cstdio>
#include <string>

#include "harness.h"

using namespace e2e;

static const char* const scene =
    "hose:25600,76800,400,255,0,0\n"
    "hose:138240,76800,112,255,255,0\n"
    "hose:81920,84480,256,0,255,255\n"
    "hose:51200,40960,420,0,255,0\n"
    "hose:112640,40960,92,255,0,255\n"
    "block:81920,65280,0\n"
    "block:60160,94720,70\n"
    "block:103680,94720,-70\n"
    "block:81920,28160,0\n";

static bool shoot(xserver& x, program& p, const std::string& path) {
  std::vector<unsigned> pixels = capture(x, p);
  bool ok = writeppm(path, pixels, p.width, p.height);
  if (!ok) fprintf(stderr, "spumexshots: cannot write %s\n", path.c_str());
  return ok;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "Use: spumexshots DIRECTORY\n");
    return 2;
  }
  std::string dir = argv[1];
  std::string home = freshhome();
  writefile(home + "/.spumexpreset0", scene);
  writefile(dir + "/scene.preset", scene);  // for the web version's picture

  xserver x;
  if (!startxserver(x)) {
    fprintf(stderr, "spumexshots: cannot start Xvfb\n");
    return 1;
  }
  program p;
  bool ok = startprogram(p, &x, {}, {"HOME=" + home}) && waitwindow(p, x);
  if (!ok) fprintf(stderr, "spumexshots: the program did not open its window\n%s", p.err.c_str());

  if (ok) {
    // The fountains fill the scene within a few seconds.
    moveto(x, p, 620, 20);
    settle(x, 3000);
    ok = shoot(x, p, dir + "/scene.ppm");
  }
  if (ok) {
    key(x, XK_s);
    settle(x, 6000);
    ok = shoot(x, p, dir + "/spiral.ppm");
    key(x, XK_Escape);
  }
  if (ok) {
    moveto(x, p, 470, 150);
    key(x, XK_e);
    settle(x, 500);
    ok = shoot(x, p, dir + "/eyes.ppm");
    key(x, XK_Escape);
  }
  if (p.pid > 0) {
    key(x, XK_Escape);
    waitexit(p, 5000);
  }
  killprogram(p);
  stopxserver(x);
  return ok ? 0 : 1;
}
