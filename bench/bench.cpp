// Spumex benchmarks: every hot path timed beside a baseline that writes the same bytes.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "background/background.h"
#include "demos/demos.h"
#include "gfx/gfx.h"
#include "harness.h"
#include "sim/sim.h"

namespace spumex {

// --- state shared by the cases ---

static ballsnap emitsnap;            // steady state after a drop, with 64 free balls
static ballsnap movesnap;            // the same after one emission: 4096 live balls
static int cursize = 0;              // width of the screen in use

// the screen of this width, 4:3
static void ensure(int width) {
  if (cursize == width) return;
  usescreen(width, width * 3 / 4);
  cursize = width;
}

// Runs the scene until the ball pool is full and stays full, then keeps the
// two snapshots every simulation and drawing case starts from.
static void warmup() {
  seedrand(2024);
  for (int i = 0; i < 1000; i++) simstep();
  // the free balls of a full pool after a drop, topped up to one per hose
  // from the oldest balls, so that every hose emits
  int live = countballs();
  while (MAXBALLS - live < MAXHOSES) {
    ball** link = &balls;
    while ((*link)->next != nullptr) link = &(*link)->next;
    ball* last = *link;
    *link = nullptr;
    freeball(last);
    live--;
  }
  takesnap(emitsnap);
  emitballs();
  takesnap(movesnap);
  fprintf(stderr, "scene: 64 hoses, 64 blocks; %d balls live before emission, %d after\n", live, countballs());
}

// what the frame loop draws into a locked screen
static void composeframe() {
  copybackground();
  drawballs();
  drawhoses();
  drawblocks();
  drawswatches();
  drawsprite(xsize * mousex / 640, ysize * mousey / 480, cursorsprite);
}

// Reports a replica that does not rebuild its drawing byte for byte.
static bool checkreplica(const char* what, const std::function<void()>& draw, const replica& r) {
  bool same = samescreen(draw, r);
  fprintf(stderr, "%s at %dx%d: baseline writes %zu pixels in %zu copies%s\n", what, xsize, ysize,
          replicapixels(r), r.runs.size(), same ? ", the same screen as the case" : ", BUT A DIFFERENT SCREEN");
  return same;
}

// --- frame composition ---

struct composejob {
  replica r;                         // background, balls, objects and cursor as copies
  bool ok = false;                   // the replica rebuilds the frame exactly
};

static std::map<int, std::unique_ptr<composejob>> composejobs;

static composejob& compose(int width) {
  auto& slot = composejobs[width];
  if (slot) return *slot;
  slot = std::make_unique<composejob>();
  replica& r = slot->r;
  putsnap(movesnap);
  mixing = 0;
  r.background = true;
  for (const ball* b = balls; b != nullptr; b = b->next) {
    int32_t sx = (int32_t)((float)xsize * (float)(b->x >> 8) / 640.0f);
    int32_t sy = (int32_t)((float)ysize * (float)(b->y >> 8) / 480.0f);
    addsprite(r, sx, sy, ballsprites[b->code]);
  }
  for (const hose* h = hoses; h != nullptr; h = h->next) addwrites(r, [h] { drawhose(h); });
  addwrites(r, [] { drawhose(&newhose); });
  for (const block* k = blocks; k != nullptr; k = k->next) addwrites(r, [k] { drawblock(k); });
  addwrites(r, [] { drawblock(&newblock); });
  addwrites(r, [] { drawswatches(); });
  addsprite(r, xsize * mousex / 640, ysize * mousey / 480, cursorsprite);
  slot->ok = checkreplica("frame", composeframe, r);
  return *slot;
}

static void bmcompose(benchmark::State& st, int width, int mix) {
  ensure(width);
  composejob& j = compose(width);
  if (!j.ok) {
    st.SkipWithError("the baseline does not rebuild the frame");
    return;
  }
  putsnap(movesnap);
  mixing = (uint8_t)mix;
  timepair(st, nullptr, composeframe, nullptr, [&j] { playreplica(j.r); });
  mixing = 0;
}

// --- single sprites ---

constexpr int NSPRITES = 4096;       // sprites per iteration

struct spritejob {
  std::vector<int32_t> x, y;         // centres
  std::vector<const uint16_t*> s;    // ball sprites
  replica r;                         // the same runs as copies
  bool ok = false;
};

static std::map<int, std::unique_ptr<spritejob>> spritejobs;

static void drawjob(const spritejob& j) {
  for (size_t i = 0; i < j.x.size(); i++) drawsprite(j.x[i], j.y[i], j.s[i]);
}

// Centres wholly on the screen (fast path), or across one of its edges.
static spritejob& sprites(bool clipped) {
  auto& slot = spritejobs[clipped];
  if (slot) return *slot;
  slot = std::make_unique<spritejob>();
  spritejob& j = *slot;
  uint32_t seed = clipped ? 7 : 3;
  auto next = [&seed](int32_t n) {
    seed = seed * 1664525u + 1013904223u;
    return (int32_t)((seed >> 8) % (uint32_t)n);
  };
  const uint16_t* probe = ballsprites[0];
  int32_t a = -(int16_t)probe[0];    // the sprite's pixel radius
  int32_t w = probe[2];
  for (int i = 0; i < NSPRITES; i++) {
    int32_t x, y;
    if (!clipped) {
      x = a + next(xsize - w + 1);
      y = a + next(ysize - w + 1);
    } else {
      // the bounding box pokes over one edge by 1 to 2a pixels
      int32_t over = 1 + next(2 * a);
      switch (i & 3) {
        case 0: x = a - over; y = a + next(ysize - w + 1); break;
        case 1: x = xsize - w + a + over; y = a + next(ysize - w + 1); break;
        case 2: x = a + next(xsize - w + 1); y = a - over; break;
        default: x = a + next(xsize - w + 1); y = ysize - w + a + over; break;
      }
    }
    j.x.push_back(x);
    j.y.push_back(y);
    j.s.push_back(ballsprites[(i * 37) % NCODES]);
    addsprite(j.r, x, y, j.s.back());
  }
  j.ok = checkreplica(clipped ? "clipped sprites" : "whole sprites", [&j] { drawjob(j); }, j.r);
  return j;
}

static void bmsprites(benchmark::State& st, bool clipped) {
  ensure(640);
  spritejob& j = sprites(clipped);
  if (!j.ok) {
    st.SkipWithError("the baseline does not rebuild the sprites");
    return;
  }
  timepair(st, nullptr, [&j] { drawjob(j); }, nullptr, [&j] { playreplica(j.r); });
}

// --- demo frames ---

struct spiraljob {
  std::vector<int32_t> path;         // the path block
  int32_t count = 0;                 // points on the path
  int32_t colors[NTRAILCOLORS];      // trail colour codes
  int sprites = 0;                   // trail balls per frame
  replica r;
  bool ok = false;
};

static std::map<int, std::unique_ptr<spiraljob>> spiraljobs;

static void spiralframe(const spiraljob& j) {
  copybackground();
  drawspiral(j.path.data(), j.count, j.colors);
}

static spiraljob& spiral(int width) {
  auto& slot = spiraljobs[width];
  if (slot) return *slot;
  slot = std::make_unique<spiraljob>();
  spiraljob& j = *slot;
  j.path.assign(PATHBYTES / 4, 0);
  makecolors(j.colors);
  j.count = makepath(j.path.data());
  // the head cycling at the end of the path: the longest trail
  int32_t p = j.count - HEADLOOP;
  j.r.background = true;
  int k = 0;
  for (int32_t i = p - 4; i >= 0; i -= 4, k++)
    addsprite(j.r, j.path[2 * i], j.path[2 * i + 1], ballsprites[j.colors[k & 255]]);
  j.sprites = k;
  const int32_t* path = j.path.data();
  addwrites(j.r, [path, p] { drawhead(path[2 * p], path[2 * p + 1], path[HEADINGSTART + p]); });
  spiralhead = p;
  fprintf(stderr, "spiral at %dx%d: %d points, %d trail balls\n", xsize, ysize, j.count, j.sprites);
  j.ok = checkreplica("spiral frame", [&j] { spiralframe(j); }, j.r);
  return j;
}

static void bmspiral(benchmark::State& st, int width, const std::string& name) {
  ensure(width);
  spiraljob& j = spiral(width);
  if (!j.ok) {
    st.SkipWithError("the baseline does not rebuild the spiral frame");
    return;
  }
  spiralhead = j.count - HEADLOOP;
  setper(name, j.sprites, "ball");
  timepair(st, nullptr, [&j] { spiralframe(j); }, nullptr, [&j] { playreplica(j.r); });
}

struct eyejob {
  replica r;
  bool ok = false;
};

static std::map<int, std::unique_ptr<eyejob>> eyejobs;

static void eyeframe() {
  copybackground();
  draweyes();
}

static void bmeyes(benchmark::State& st, int width) {
  ensure(width);
  mousex = 400;
  mousey = 300;
  auto& slot = eyejobs[width];
  if (!slot) {
    slot = std::make_unique<eyejob>();
    slot->r.background = true;
    addwrites(slot->r, [] { draweyes(); });
    slot->ok = checkreplica("eye frame", eyeframe, slot->r);
  }
  eyejob& j = *slot;
  if (j.ok) timepair(st, nullptr, eyeframe, nullptr, [&j] { playreplica(j.r); });
  else st.SkipWithError("the baseline does not rebuild the eye frame");
  mousex = 320;
  mousey = 240;
}

// --- simulation ---

// The list walk of moveballs with its stores, but no map look-up and no bounce.
static void plainmove() {
  const uint32_t g = (uint32_t)gravity;
  for (ball* b = balls; b != nullptr; b = b->next) {
    b->x = (int32_t)((uint32_t)b->x + (uint32_t)b->vx);
    b->y = (int32_t)((uint32_t)b->y + (uint32_t)b->vy);
    b->vy = (int32_t)((uint32_t)b->vy + g);
  }
}

// The list work and stores of emitballs, without the trigonometry and rand.
static void plainemit() {
  for (const hose* h = hoses; h != nullptr; h = h->next) {
    ball* b = allocball();
    if (b == nullptr) return;
    b->x = h->x;
    b->y = h->y;
    b->vx = 0;
    b->vy = -512;
    b->r = h->r;
    b->g = h->g;
    b->b = h->b;
    b->code = h->code;
    b->next = balls;
    balls = b;
  }
}

static void bmmove(benchmark::State& st) {
  auto set = [] { putsnap(movesnap); };
  timepair(st, set, [] { moveballs(); dropballs(); }, set, [] { plainmove(); dropballs(); });
}

static void bmemit(benchmark::State& st) {
  auto set = [] { putsnap(emitsnap); };
  timepair(st, set, [] { emitballs(); }, set, [] { plainemit(); });
}

static void bmstep(benchmark::State& st) {
  auto set = [] { putsnap(emitsnap); };
  timepair(st, set, [] { simstep(); }, set, [] {
    plainemit();
    plainmove();
    dropballs();
  });
}

// --- rebuilds and start-up ---

struct mapjob {
  std::vector<uint16_t> want;                       // the rebuilt map
  std::vector<std::pair<uint32_t, uint32_t>> runs;  // its marked runs: first cell, cells
  bool ok = false;
};

// the baseline: clear the map, then copy every marked run of the result
static void playmap(const mapjob& j) {
  memset(blockmap, 0, (size_t)MAPW * MAPH * sizeof(uint16_t));
  for (auto& r : j.runs) memcpy(blockmap + r.first, j.want.data() + r.first, r.second * sizeof(uint16_t));
}

static mapjob* mapreplica() {
  static std::unique_ptr<mapjob> j;
  if (j) return j.get();
  j = std::make_unique<mapjob>();
  const size_t cells = (size_t)MAPW * MAPH;
  makeblockmap();
  j->want.assign(blockmap, blockmap + cells);
  size_t marked = 0;
  for (size_t i = 0; i < cells;) {
    if (j->want[i] == 0) {
      i++;
      continue;
    }
    size_t start = i;
    while (i < cells && j->want[i] != 0 && i / MAPW == start / MAPW) i++;
    j->runs.push_back({(uint32_t)start, (uint32_t)(i - start)});
    marked += i - start;
  }
  memset(blockmap, 0x5A, cells * sizeof(uint16_t));
  playmap(*j);
  j->ok = memcmp(blockmap, j->want.data(), cells * sizeof(uint16_t)) == 0;
  fprintf(stderr, "block map: %zu marked cells in %zu runs%s\n", marked, j->runs.size(),
          j->ok ? ", the baseline rebuilds it" : ", BUT THE BASELINE DIFFERS");
  return j.get();
}

static void bmblockmap(benchmark::State& st) {
  mapjob* j = mapreplica();
  if (!j->ok) {
    st.SkipWithError("the baseline does not rebuild the block map");
    return;
  }
  timepair(st, nullptr, [] { makeblockmap(); }, nullptr, [j] { playmap(*j); });
}

static void bmbackground(benchmark::State& st) {
  ensure(640);
  makebackground();
  size_t size = (size_t)xsize * 2 * ysize;
  std::vector<uint8_t> want(background, background + size);
  timepair(st, nullptr, [] { makebackground(); }, nullptr, [&want, size] { memcpy(background, want.data(), size); });
}

static void bmfractal(benchmark::State& st) {
  ensure(640);
  size_t size = (size_t)xsize * 2 * ysize;
  std::vector<uint8_t> image(background, background + size);
  std::vector<uint8_t> field((size_t)FIELDSIZE * FIELDSIZE);
  // the baseline: the start value everywhere, one nextrand() per computed byte, then the image
  auto base = [&] {
    uint8_t* f = field.data();
    memset(f, 128, field.size());
    for (int y = 0; y < 1024; y++)
      for (int x = 0; x < 1024; x++)
        if (x != 0 || y != 0) f[(size_t)y * FIELDSIZE + x] = (uint8_t)nextrand();
    memcpy(background, image.data(), size);
    benchmark::DoNotOptimize(f);
  };
  timepair(st, nullptr, [] { fractal(); }, nullptr, base);
}

// the ball sprites and the cursor ball back to the heap
static void dropballsprites() {
  for (int i = 0; i < NCODES; i++) {
    free(ballsprites[i]);
    ballsprites[i] = nullptr;
  }
  free(cursorsprite);
  cursorsprite = nullptr;
}

// words of a sprite, terminator included
static size_t words(const uint16_t* s) {
  const uint16_t* rec = s + SPRITEHEADER;
  while (rec[0] != 0) rec += ROWHEADER + rec[0];
  return (size_t)(rec - s) + 1;
}

static void bmmakeballs(benchmark::State& st) {
  ensure(640);
  std::vector<std::vector<uint16_t>> want(NCODES + 1);
  for (int i = 0; i < NCODES; i++) want[i].assign(ballsprites[i], ballsprites[i] + words(ballsprites[i]));
  want[NCODES].assign(cursorsprite, cursorsprite + words(cursorsprite));
  // the baseline: the same allocations, filled with copies of the result
  auto base = [&want] {
    for (int i = 0; i <= NCODES; i++) {
      size_t bytes = want[i].size() * 2;
      uint16_t* s = (uint16_t*)malloc(bytes);
      if (s == nullptr) nomem("bench");
      memcpy(s, want[i].data(), bytes);
      if (i < NCODES) ballsprites[i] = s;
      else cursorsprite = s;
    }
  };
  timepair(st, dropballsprites, [] { makeballs(); }, dropballsprites, base);
  bool same = true;
  for (int i = 0; i <= NCODES; i++) {
    const uint16_t* s = i < NCODES ? ballsprites[i] : cursorsprite;
    if (words(s) != want[i].size() || memcmp(s, want[i].data(), want[i].size() * 2) != 0) same = false;
  }
  if (!same) st.SkipWithError("makeballs built different sprites from one run to the next");
}

// --- registration ---

typedef std::function<void(benchmark::State&)> benchfn;

static void add(const std::string& name, benchfn fn) {
  benchmark::RegisterBenchmark(name.c_str(), [fn](benchmark::State& st) { fn(st); })
      ->UseManualTime()
      ->Unit(benchmark::kMicrosecond);
}

static void registerall() {
  for (int width : {640, 2048}) {
    std::string size = width == 640 ? "640x480" : "2048x1536";
    for (int mix : {0, 1}) {
      std::string name = "compose/" + size + (mix ? "/mixing" : "/plain");
      add(name, [width, mix](benchmark::State& st) { bmcompose(st, width, mix); });
      if (width == 640) settarget(name, {2.0, 0, ""});
    }
    if (width == 640) {
      add("drawsprite/fast", [](benchmark::State& st) { bmsprites(st, false); });
      add("drawsprite/clipped", [](benchmark::State& st) { bmsprites(st, true); });
      settarget("drawsprite/fast", {1.5, 0, ""});
      setper("drawsprite/fast", NSPRITES, "sprite");
      setper("drawsprite/clipped", NSPRITES, "sprite");
    }
    std::string spiralname = "spiralframe/" + size;
    add(spiralname, [width, spiralname](benchmark::State& st) { bmspiral(st, width, spiralname); });
    add("eyeframe/" + size, [width](benchmark::State& st) { bmeyes(st, width); });
    if (width == 640) {
      add("sim/moveballs+dropballs", bmmove);
      add("sim/emitballs", bmemit);
      add("sim/step", bmstep);
      settarget("sim/step", {0, 200, "(2% of a tick)"});
      setper("sim/moveballs+dropballs", MAXBALLS, "ball");
      setper("sim/emitballs", MAXHOSES, "hose");
      add("makeblockmap", bmblockmap);
      settarget("makeblockmap", {0, 1000, ""});
      setper("makeblockmap", MAXBLOCKS, "block");
      add("makebackground/640x480", bmbackground);
      add("makeballs/640x480", bmmakeballs);
      add("fractal/640x480", bmfractal);
    }
  }
}

}  // namespace spumex

int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], "--scene") == 0) {
    fputs(spumex::scenetext().c_str(), stdout);
    return 0;
  }
  spumex::benchinit();
  spumex::cursize = 640;
  spumex::loadscene();
  spumex::warmup();
  spumex::registerall();
  return spumex::runbenchmarks(argc, argv);
}
