// Benchmark harness: memory screens, the benchmark scene, ball snapshots and same-byte baselines.
#include "harness.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "app/app.h"
#include "background/background.h"
#include "gfx/gfx.h"
#include "presets/presets.h"

namespace spumex {

// --- screens and scene ---

// every sprite that makeballs and initswatches allocated, back to the heap
static void freesprites() {
  for (int i = 0; i < NCODES; i++) {
    free(ballsprites[i]);
    ballsprites[i] = nullptr;
  }
  free(cursorsprite);
  cursorsprite = nullptr;
  for (int i = 0; i < NSWATCHES; i++) {
    free(swatches[i].sprite);
    swatches[i].sprite = nullptr;
  }
}

void usescreen(int width, int height) {
  xsize = width;
  ysize = height;
  initnullvideo();
  if (heightfield != nullptr) {
    free(background);
    background = nullptr;
    makebackground();
  }
  freesprites();
  makeballs();
  initswatches();
}

void benchinit() {
  // The program's own start-up and scene, into a 640 x 480 memory screen.
  char name[] = "spumex";
  char* argv[] = {name, nullptr};
  startscene(1, argv, false);
}

std::string scenetext() {
  std::string text;
  char line[80];
  // Four rows of sixteen hoses along the top, spraying down-right, down and down-left.
  for (int j = 0; j < 4; j++) {
    for (int i = 0; i < 16; i++) {
      int angle = 640 + 128 * ((i + j) % 3);
      snprintf(line, sizeof line, "hose:%d,%d,%d,%d,%d,%d\n", (20 + 40 * i) << 8, (50 + 24 * j) << 8, angle,
               255 - 16 * i, 63 + 64 * j, 16 * i);
      text += line;
    }
  }
  // Eight staggered rows of eight bars below them, tilted one way and the other.
  for (int j = 0; j < 8; j++) {
    for (int i = 0; i < 8; i++) {
      int angle = (i + j) % 2 ? 40 : -40;
      snprintf(line, sizeof line, "block:%d,%d,%d\n", (40 + 80 * i + 40 * (j % 2)) << 8, (170 + 38 * j) << 8, angle);
      text += line;
    }
  }
  return text;
}

void loadscene() {
  initballs();
  inithoses();
  initblocks();
  initbitmap();
  free(presets[0]);
  std::string text = scenetext();
  presets[0] = (char*)malloc(text.size() + 1);
  if (presets[0] == nullptr) nomem("scene");
  memcpy(presets[0], text.c_str(), text.size() + 1);
  loadpreset(0);
  mousex = 320;
  mousey = 240;
}

int countballs() {
  int n = 0;
  for (const ball* b = balls; b != nullptr; b = b->next) n++;
  return n;
}

// --- ball snapshots ---

void takesnap(ballsnap& s) {
  s.pool.assign(ballpool, ballpool + MAXBALLS);
  s.live = balls;
  s.free = freeballs;
}

void putsnap(const ballsnap& s) {
  memcpy((void*)ballpool, s.pool.data(), sizeof(ball) * MAXBALLS);
  balls = s.live;
  freeballs = s.free;
}

// --- replicas ---

// words of a sprite, header and terminator included
static size_t spritewords(const uint16_t* s) {
  const uint16_t* rec = s + SPRITEHEADER;
  while (rec[0] != 0) rec += ROWHEADER + rec[0];
  return (size_t)(rec - s) + 1;
}

void addsprite(replica& r, int32_t px, int32_t py, const uint16_t* s) {
  if (s == nullptr) s = cursorsprite;
  if (s == nullptr) return;
  auto& known = r.copies;
  auto found = known.find(s);
  uint32_t base;
  if (found == known.end()) {
    base = (uint32_t)r.pixels.size();
    r.pixels.insert(r.pixels.end(), s, s + spritewords(s));
    known[s] = base;
  } else {
    base = found->second;
  }
  // The clipping rule of the blitter: rows off the screen are dropped, a run
  // cut by the left edge loses its first pixels, one cut by the right its last.
  int64_t ox = (int64_t)px + (int16_t)s[0];
  int64_t oy = (int64_t)py + (int16_t)s[1];
  for (const uint16_t* rec = s + SPRITEHEADER; rec[0] != 0; rec += ROWHEADER + rec[0]) {
    int64_t count = rec[0];
    int64_t row = oy + (int16_t)rec[2];
    if (row < 0 || row >= ysize) continue;
    int64_t sx = ox + (int16_t)rec[1];
    if (sx >= xsize) continue;
    int64_t n = count, skip = 0;
    if (sx >= 0) {
      if (sx + count > xsize) n = xsize - sx;
    } else {
      skip = -sx;
      n = count + sx;
      if (n > xsize) n = xsize;
      sx = 0;
    }
    if (n <= 0) continue;
    uint32_t src = base + (uint32_t)(rec + ROWHEADER + skip - s);
    r.runs.push_back({(uint32_t)(rowoffsets[row] + 2 * sx), src, (uint32_t)(2 * n)});
  }
}

// Where a written run's values start in the pixel store. A run of one value
// (a span of a filled shape) is copied from a row of that value kept once.
static uint32_t flatrun(replica& r, uint16_t value, int n, bool flat, const uint16_t* values) {
  if (!flat) {
    uint32_t src = (uint32_t)r.pixels.size();
    r.pixels.insert(r.pixels.end(), values, values + n);
    return src;
  }
  auto found = r.flats.find(value);
  if (found != r.flats.end()) return found->second;
  uint32_t src = (uint32_t)r.pixels.size();
  r.pixels.insert(r.pixels.end(), 2048, value);  // as wide as the widest screen
  r.flats[value] = src;
  return src;
}

void addwrites(replica& r, const std::function<void()>& draw) {
  size_t size = (size_t)stride * ysize;
  static std::vector<uint8_t> first;
  static std::vector<uint8_t> zeros, ones;
  first.resize(size);
  zeros.assign((size_t)stride, 0x00);
  ones.assign((size_t)stride, 0xFF);
  // A pixel the drawing writes holds the same value over either fill; one it
  // leaves alone holds 0x0000 after the first and 0xFFFF after the second.
  memset(videomem, 0x00, size);
  draw();
  memcpy(first.data(), videomem, size);
  memset(videomem, 0xFF, size);
  draw();
  for (int y = 0; y < ysize; y++) {
    const uint8_t* a8 = first.data() + (size_t)y * stride;
    const uint8_t* b8 = videomem + (size_t)y * stride;
    if (memcmp(a8, zeros.data(), (size_t)xsize * 2) == 0 && memcmp(b8, ones.data(), (size_t)xsize * 2) == 0)
      continue;  // untouched row
    const uint16_t* a = (const uint16_t*)a8;
    const uint16_t* b = (const uint16_t*)b8;
    int x = 0;
    while (x < xsize) {
      if (a[x] != b[x]) {
        x++;
        continue;
      }
      int start = x;
      bool flat = true;
      while (x < xsize && a[x] == b[x]) {
        flat = flat && b[x] == b[start];
        x++;
      }
      r.runs.push_back({(uint32_t)((size_t)y * stride + 2 * (size_t)start), flatrun(r, b[start], x - start, flat, b + start),
                        (uint32_t)(2 * (x - start))});
    }
  }
}

void playreplica(const replica& r) {
  if (r.background) {
    size_t size = (size_t)xsize * 2 * ysize;
    if (background != nullptr) memcpy(videomem, background, size);
    else memset(videomem, 0, size);
  }
  uint8_t* dst = videomem;
  const uint16_t* src = r.pixels.data();
  for (const copyrun& c : r.runs) memcpy(dst + c.dst, src + c.src, c.bytes);
}

size_t replicapixels(const replica& r) {
  size_t n = 0;
  for (const copyrun& c : r.runs) n += c.bytes / 2;
  return n;
}

bool samescreen(const std::function<void()>& draw, const replica& r) {
  size_t size = (size_t)stride * ysize;
  std::vector<uint8_t> drawn(size);
  memset(videomem, 0x5A, size);
  draw();
  memcpy(drawn.data(), videomem, size);
  memset(videomem, 0x5A, size);
  playreplica(r);
  return memcmp(drawn.data(), videomem, size) == 0;
}

// --- timing ---

// seconds taken by run, after an untimed set
static double timed(const std::function<void()>& set, const std::function<void()>& run) {
  if (set) set();
  auto t0 = std::chrono::steady_clock::now();
  run();
  auto t1 = std::chrono::steady_clock::now();
  return std::chrono::duration<double>(t1 - t0).count();
}

void timepair(benchmark::State& st, const std::function<void()>& setcase, const std::function<void()>& runcase,
              const std::function<void()>& setbase, const std::function<void()>& runbase) {
  std::vector<double> cs, bs, qs;
  int64_t i = 0;
  for (auto _ : st) {
    double c, b;
    // alternate the order, so neither side always finds the other's caches
    if (i++ & 1) {
      b = timed(setbase, runbase);
      c = timed(setcase, runcase);
    } else {
      c = timed(setcase, runcase);
      b = timed(setbase, runbase);
    }
    st.SetIterationTime(c);
    cs.push_back(c);
    bs.push_back(b);
    qs.push_back(b > 0 ? c / b : 0.0);
  }
  // Medians over the iterations: a pair measured back to back shares the
  // machine's load, and the median drops the pairs that other processes hit.
  st.counters["case_us"] = benchmark::Counter(median(cs) * 1e6);
  st.counters["base_us"] = benchmark::Counter(median(bs) * 1e6);
  st.counters["ratio"] = benchmark::Counter(median(qs));
}

// --- summary ---

struct perinfo {
  double items = 0;                  // items per iteration
  std::string unit;                  // what an item is
};

static std::map<std::string, target> targets;
static std::map<std::string, perinfo> pers;

void settarget(const std::string& name, const target& t) { targets[name] = t; }

void setper(const std::string& name, double items, const char* unit) { pers[name] = {items, unit}; }

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Whether a run ended in an error or a skip: Google Benchmark 1.8 replaced
// Run::error_occurred with Run::skipped.
template <class R>
bool failedrun(const R& r) {
  if constexpr (requires { r.error_occurred; }) {
    return r.error_occurred;
  } else {
    return bool(r.skipped);
  }
}

// Console output as usual, then one table of every case beside its baseline.
class summaryreporter : public benchmark::ConsoleReporter {
 public:
  summaryreporter() : benchmark::ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (failedrun(r)) continue;
      std::string name = r.run_name.function_name;
      if (rows.find(name) == rows.end()) order.push_back(name);
      row& e = rows[name];
      auto kase = r.counters.find("case_us");
      auto base = r.counters.find("base_us");
      auto ratio = r.counters.find("ratio");
      if (kase == r.counters.end() || base == r.counters.end() || ratio == r.counters.end()) continue;
      double us = kase->second.value;
      if (r.run_type == Run::RT_Iteration) {
        e.cases.push_back(us);
        e.bases.push_back(base->second.value);
        e.ratios.push_back(ratio->second.value);
      } else if (r.aggregate_name == "median") {
        e.hasmedian = true;
        e.mcase = us;
        e.mbase = base->second.value;
        e.mratio = ratio->second.value;
      }
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::ostream& out = GetOutputStream();
    char line[400];
    out << "\nSpumex hot paths beside their baselines (medians; ratio = case / baseline, pair by pair)\n";
    snprintf(line, sizeof line, "%-40s %12s %12s %8s %14s  %-22s %s\n", "case", "case us", "baseline us", "ratio",
             "per item", "target", "verdict");
    out << line;
    int missed = 0;
    for (const std::string& name : order) {
      const row& e = rows[name];
      double c = e.hasmedian ? e.mcase : median(e.cases);
      double b = e.hasmedian ? e.mbase : median(e.bases);
      double q = e.hasmedian ? e.mratio : median(e.ratios);
      char per[40] = "";
      auto p = pers.find(name);
      if (p != pers.end() && p->second.items > 0)
        snprintf(per, sizeof per, "%.1f ns/%s", c * 1000.0 / p->second.items, p->second.unit.c_str());
      char goal[64] = "";
      const char* verdict = "";
      auto t = targets.find(name);
      if (t != targets.end()) {
        bool ok = true;
        if (t->second.maxratio > 0) {
          snprintf(goal, sizeof goal, "ratio <= %.1f", t->second.maxratio);
          ok = q <= t->second.maxratio;
        } else if (t->second.maxmicros > 0) {
          snprintf(goal, sizeof goal, "<= %.0f us%s%s", t->second.maxmicros, t->second.note.empty() ? "" : " ",
                   t->second.note.c_str());
          ok = c <= t->second.maxmicros;
        }
        verdict = ok ? "met" : "MISSED";
        if (!ok) missed++;
      }
      snprintf(line, sizeof line, "%-40s %12.1f %12.1f %8.2f %14s  %-22s %s\n", name.c_str(), c, b, q, per, goal,
               verdict);
      out << line;
    }
    if (missed > 0) out << missed << " target(s) missed\n";
    else out << "every target met\n";
    out.flush();
  }

 private:
  struct row {
    std::vector<double> cases, bases, ratios;  // per repetition
    bool hasmedian = false;                    // a median aggregate was reported
    double mcase = 0, mbase = 0, mratio = 0;   // that median
  };

  std::map<std::string, row> rows;
  std::vector<std::string> order;
};

// true when some argument starts with this flag
static bool hasflag(int argc, char** argv, const char* flag) {
  size_t n = strlen(flag);
  for (int i = 1; i < argc; i++)
    if (strncmp(argv[i], flag, n) == 0) return true;
  return false;
}

int runbenchmarks(int argc, char** argv) {
  // Short runs by default, so the whole suite takes about a minute.
  std::vector<std::string> extra;
  if (!hasflag(argc, argv, "--benchmark_min_time")) extra.push_back("--benchmark_min_time=" MINTIME);
  if (!hasflag(argc, argv, "--benchmark_repetitions")) extra.push_back("--benchmark_repetitions=5");
  if (!hasflag(argc, argv, "--benchmark_display_aggregates_only"))
    extra.push_back("--benchmark_display_aggregates_only=true");
  std::vector<char*> args(argv, argv + argc);
  for (std::string& e : extra) args.push_back(e.data());
  int n = (int)args.size();
  args.push_back(nullptr);
  benchmark::Initialize(&n, args.data());
  if (benchmark::ReportUnrecognizedArguments(n, args.data())) return 1;
  summaryreporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace spumex
