// Reference frames for the browser tests, drawn in this process by the
// program's own start-up, input and drawing code (reference.h).
// Use: spumexwebref DIR         writes DIR/NAME.rgba and DIR/frames.json
//      spumexwebref DIR FILE    the steps after which the hose-drag scene shows
//                               the RGBA frame in FILE (exit 1 when none does)
// Each frame is written as the canvas shows it: R, G, B, A bytes with every
// 565 channel shifted up and A = 255. The session the browser test plays:
// x and two block drags stored in slot 0 with shift+1; every other case
// starts from that slot after a reload.
#include "reference.h"

#include "app/app.h"
#include "sim/sim.h"

#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace e2e;
using namespace spumex;

namespace {

const int parkx = 600, parky = 300;  // where the pointer rests, on nothing
// Block drags (logical, 640 wide): two new blocks, the second turned.
const int blockdrags[][4] = {{160, 30, 480, 160}, {160, 30, 200, 300}, {236, 300, 210, 290}};
const int hoseto[2] = {400, 200};    // where the new hose is dragged while paused
const int widths[] = {333, 640, 1024};
const int maxsteps = 6000;           // a minute of simulation for the hose search

std::string dir, json;

std::vector<unsigned char> rgba(const picture& pic) {
  std::vector<unsigned char> out(pic.size() * 4);
  for (size_t i = 0; i < pic.size(); i++) {
    unsigned v = pic[i];
    out[4 * i] = (unsigned char)((v >> 11) << 3);
    out[4 * i + 1] = (unsigned char)(((v >> 5) & 63) << 2);
    out[4 * i + 2] = (unsigned char)((v & 31) << 3);
    out[4 * i + 3] = 255;
  }
  return out;
}

// name.rgba and its manifest entry; px, py: the pointer's canvas pixel.
void frame(const char* name, const picture& pic, int px, int py) {
  std::vector<unsigned char> bytes = rgba(pic);
  std::string path = dir + "/" + name + ".rgba";
  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fclose(f) != 0) {
    fprintf(stderr, "spumexwebref: cannot write %s\n", path.c_str());
    exit(1);
  }
  char entry[200];
  snprintf(entry, sizeof entry, "%s\"%s\": {\"width\": %d, \"height\": %d, \"mouse\": [%d, %d]}",
           json.empty() ? "" : ",\n  ", name, xsize, ysize, px, py);
  json += entry;
}

void drag(int fx, int fy, int tx, int ty) {  // at 640 wide, screen = logical
  mousepress(fx, fy);
  mousemotion(tx, ty);
  mouserelease();
}

// The stored scene at 640 wide, then the hose template dragged out while paused.
void hosescene(const std::string& home) {
  referencestart(home);
  keycommand('p', 0);
  point from = hosebase(&newhose);
  drag(from.x, from.y, hoseto[0], hoseto[1]);
  keycommand('p', 0);
}

int search(const std::string& home, const std::string& file) {
  std::vector<unsigned char> got;
  if (FILE* f = fopen(file.c_str(), "rb")) {
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) got.insert(got.end(), buf, buf + n);
    fclose(f);
  }
  hosescene(home);
  int best = -1, beststeps = 0;
  for (int steps = 0; steps <= maxsteps; steps++) {
    std::vector<unsigned char> want = rgba(referenceframe(hoseto[0], hoseto[1]));
    if (want.size() != got.size()) {
      fprintf(stderr, "%zu bytes, a %dx%d frame has %zu\n", got.size(), xsize, ysize, want.size());
      return 1;
    }
    int diff = 0;
    for (size_t i = 0; i < want.size(); i += 4)
      diff += want[i] != got[i] || want[i + 1] != got[i + 1] || want[i + 2] != got[i + 2] || want[i + 3] != got[i + 3];
    if (diff == 0) {
      printf("%d\n", steps);
      return 0;
    }
    if (best < 0 || diff < best) best = diff, beststeps = steps;
    simstep();
  }
  fprintf(stderr, "no frame of the first %d steps; the closest, after %d steps, differs in %d pixels\n",
          maxsteps, beststeps, best);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "Use: spumexwebref DIR [FRAME.rgba]\n");
    return 2;
  }
  dir = argv[1];
  std::string home = dir + "/home";
  std::string mk = "mkdir -p '" + home + "' && rm -f '" + home + "'/.spumexpreset*";
  if (system(mk.c_str()) != 0) return 1;
  setenv("HOME", home.c_str(), 1);  // where shift+1 stores

  // The first session: a click for the keyboard, x, the block drags, shift+1.
  std::string fresh = dir + "/fresh";
  mk = "mkdir -p '" + fresh + "'";
  if (system(mk.c_str()) != 0) return 1;
  referencestart(fresh);
  mousepress(parkx, parky);
  mouserelease();
  keycommand('x', 0);
  frame("x", referenceframe(parkx, parky), parkx, parky);
  for (const auto& d : blockdrags) drag(d[0], d[1], d[2], d[3]);
  keycommand('1', KMOD_LSHIFT);
  if (argc > 2) return search(home, argv[2]);

  // After a reload at each width: the stored blocks, the pointer near the right.
  for (int w : widths) {
    referencestart(home, {std::to_string(w)});
    int px = xsize * 15 / 16, py = ysize * 5 / 8;
    std::string name = "start" + std::to_string(w);
    frame(name.c_str(), referenceframe(logicalx(px), logicaly(py)), px, py);
  }
  // Keys one after another from the stored start.
  referencestart(home);
  const char keys[] = "cfh";
  for (const char* k = keys; *k; k++) {
    keycommand((uint32_t)*k, 0);
    char name[] = "key?";
    name[3] = *k;
    frame(name, referenceframe(parkx, parky), parkx, parky);
  }
  // The eye demo from the stored start.
  referencestart(home);
  frame("eyes", referenceeyes(200, 120), 200, 120);

  // The cases' input, for the browser to play.
  hosescene(home);
  point from = hosebase(&newhose);
  std::string drags;
  for (const auto& d : blockdrags)
    drags += (drags.empty() ? "" : ", ") + ("[" + std::to_string(d[0]) + ", " + std::to_string(d[1]) + ", " +
                                           std::to_string(d[2]) + ", " + std::to_string(d[3]) + "]");
  std::string path = dir + "/frames.json";
  FILE* f = fopen(path.c_str(), "w");
  if (f == nullptr) return 1;
  fprintf(f, "{\"park\": [%d, %d],\n \"blockdrags\": [%s],\n \"hosedrag\": [%d, %d, %d, %d],\n \"frames\": {\n  %s\n }\n}\n",
          parkx, parky, drags.c_str(), from.x, from.y, hoseto[0], hoseto[1], json.c_str());
  return fclose(f) == 0 ? 0 : 1;
}
