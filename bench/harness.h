// Benchmark harness: memory screens, the benchmark scene, ball snapshots and same-byte baselines.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "sim/sim.h"

namespace spumex {

// --- screens and scene ---
void benchinit();                    // the program's start-up and scene on a 640 x 480 memory screen
void usescreen(int width, int height);  // memory screen of this size, background and sprites rebuilt for it
std::string scenetext();             // preset text: 64 hoses spraying into 64 blocks
void loadscene();                    // pools, block map and the benchmark scene
int countballs();                    // live balls

// --- ball snapshots ---
struct ballsnap {
  std::vector<ball> pool;            // copy of every record of the pool
  ball* live = nullptr;              // head of the live list
  ball* free = nullptr;              // head of the free list
};

void takesnap(ballsnap& s);          // remember the pool and both lists
void putsnap(const ballsnap& s);     // bring them back

// --- replicas: the bytes a drawing writes, as one copy per run ---
struct copyrun {
  uint32_t dst;                      // byte offset in the screen
  uint32_t src;                      // word offset in the replica's pixel store
  uint32_t bytes;                    // bytes to copy
};

struct replica {
  bool background = false;           // starts with a copy of the background image
  std::vector<copyrun> runs;         // then these copies, in drawing order
  std::vector<uint16_t> pixels;      // the pixel values the runs copy
  std::unordered_map<const uint16_t*, uint32_t> copies;  // where each sprite's copy starts in pixels
  std::unordered_map<uint16_t, uint32_t> flats;  // where a row of one value starts in pixels
};

void addsprite(replica& r, int32_t px, int32_t py, const uint16_t* sprite);  // the runs of one clipped sprite
void addwrites(replica& r, const std::function<void()>& draw);  // the pixels a drawing writes, found by drawing it twice
void playreplica(const replica& r);  // the baseline: background memcpy, then one memcpy per run
size_t replicapixels(const replica& r);  // pixels the runs write
bool samescreen(const std::function<void()>& draw, const replica& r);  // the drawing and its replica leave the same screen

// --- timing ---
double median(std::vector<double> v);  // middle value, 0 for none

// Runs the case and the baseline alternately, each after its own untimed
// set-up; the case's time is the benchmark's time; the medians of both and
// of the pair-by-pair ratio are counters.
void timepair(benchmark::State& st, const std::function<void()>& setcase, const std::function<void()>& runcase,
              const std::function<void()>& setbase, const std::function<void()>& runbase);

// --- summary ---
struct target {
  double maxratio = 0;               // case / baseline at most this, 0 for none
  double maxmicros = 0;              // case time at most this, 0 for none
  std::string note;                  // what the target stands for
};

void settarget(const std::string& name, const target& t);  // target of a case, by benchmark name
void setper(const std::string& name, double items, const char* unit);  // also show the time per item
int runbenchmarks(int argc, char** argv);  // run, then print the ratio table

}  // namespace spumex
