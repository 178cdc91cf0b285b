// Soak driver for soak.sh: the program (a sanitizer build) in a private Xvfb,
// fed random keys, drags and demo visits for a given number of minutes.
// Prints what it sent, the program's peak resident size at the start and at
// the end, its restarts and exits, and every sanitizer report it left.
//
// Use: spumexsoak MINUTES LOGDIR [SEED]
#include <X11/keysym.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"

using namespace e2e;

namespace {

struct counts {
  long keys = 0;                     // key presses (with shift: one)
  long motions = 0;                  // pointer motions
  long buttons = 0;                  // button presses and releases
  long drags = 0;
  long demos = 0;
  long stores = 0;                   // shift+digit
  long loads = 0;                    // digit
  long storefailures = 0;            // "Couldn't store preset" lines
  int starts = 0;
  int cleanexits = 0;                // status 0 after an Escape of ours
  int badexits = 0;                  // anything else
};

counts sent;
std::mt19937 rng;
xserver x;
program p;
bool paused = false;                 // what the program's pause flag must be
std::vector<std::string> env;
std::vector<std::pair<int, int>> drops;  // where objects were put down, logical units
std::string othererr;                // lines on standard error other than store failures

volatile sig_atomic_t stopping = 0;  // SIGINT or SIGTERM: end the run early, with its report

void stop(int) {
  stopping = 1;
}

int pick(int n) {
  return (int)(rng() % (unsigned)n);
}

// One status field of the program, in kB; -1 when it cannot be read.
long status(int pid, const char* field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  size_t n = strlen(field);
  while (std::getline(in, line))
    if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':') return atol(line.c_str() + n + 1);
  return -1;
}

void press(unsigned long keysym, bool shift = false) {
  key(x, keysym, shift);
  sent.keys++;
}

void move(int lx, int ly) {
  movelogical(x, p, lx, ly);
  sent.motions++;
}

// Collects the program's output so that its pipes never fill.
void collect() {
  readoutput(p);
  p.out.clear();
  size_t start = 0, nl;
  while ((nl = p.err.find('\n', start)) != std::string::npos) {
    std::string line = p.err.substr(start, nl - start);
    if (line.rfind("Couldn't store preset ", 0) == 0)
      sent.storefailures++;
    else if (othererr.size() < 4000)
      othererr += line + "\n";
    start = nl + 1;
  }
  p.err.erase(0, start);
}

bool start() {
  if (!startprogram(p, &x, {}, env)) return false;
  if (!waitwindow(p, x, 30000)) {
    killprogram(p);
    return false;
  }
  sent.starts++;
  paused = false;
  move(320, 300);
  return true;
}

void ended() {
  collect();
  if (p.status == 0)
    sent.cleanexits++;
  else
    sent.badexits++;
  killprogram(p);
  waitnowindow(x);
}

const unsigned long letters[] = {XK_c, XK_f, XK_h, XK_m, XK_r, XK_x};

void randomkey(bool indemo) {
  int r = pick(indemo ? 3 : 4);
  if (r == 3) {
    press(XK_p);
    paused = !paused;
  } else if (r == 2) {
    press(letters[pick(6)]);
  } else {
    bool shift = r == 1;
    press(XK_1 + (unsigned long)pick(9), shift);
    (shift ? sent.stores : sent.loads)++;
  }
}

void unpause() {
  if (paused) {
    press(XK_p);
    paused = false;
  }
}

void randompoint(int& lx, int& ly) {
  lx = pick(640);
  ly = pick(480);
}

// A drag from a template, from a base where something was put, or from a
// nozzle or handle next to one, to anywhere (the swatch row included).
void randomdrag() {
  int fx, fy, tx, ty;
  int r = pick(8);
  if (r == 0 || drops.empty()) {
    fx = 40, fy = 30;                // template hose
  } else if (r == 1) {
    fx = 160, fy = 30;               // template block
  } else {
    auto d = drops[(size_t)pick((int)drops.size())];
    fx = d.first, fy = d.second;
    if (r == 6) fx += 15, fy -= 15;  // nozzle of a hose at angle 384
    if (r == 7) fx += 36;            // handle of a level block
  }
  if (pick(4) == 0) {
    tx = 20 + pick(600), ty = 440 + pick(40);  // towards the swatches
  } else {
    randompoint(tx, ty);
  }
  int steps = 2 + pick(9);
  drag(x, p, fx, fy, tx, ty, steps);
  sent.motions += steps + 1;
  sent.buttons += 2;
  sent.drags++;
  if (drops.size() < 48)
    drops.push_back({tx, ty});
  else
    drops[(size_t)pick(48)] = {tx, ty};
}

void demo() {
  unpause();
  press(pick(2) ? XK_s : XK_e);
  sent.demos++;
  int moves = 5 + pick(40);
  for (int i = 0; i < moves && running(p); i++) {
    int lx, ly;
    randompoint(lx, ly);
    move(lx, ly);
    if (pick(8) == 0) randomkey(true);
  }
  press(XK_Escape);
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "Use: spumexsoak MINUTES LOGDIR [SEED]\n");
    return 2;
  }
  double minutes = atof(argv[1]);
  std::string logs = argv[2];
  unsigned seed = argc > 3 ? (unsigned)strtoul(argv[3], nullptr, 10) : (unsigned)getpid();
  rng.seed(seed);
  printf("soak: %.1f minutes, seed %u, logs in %s\n", minutes, seed, logs.c_str());
  fflush(stdout);

  // A home with a linked slot (7) and a FIFO slot (8, whose stores fail).
  std::string home = logs + "/home";
  mkdir(home.c_str(), 0755);
  mkdir((home + "/dots").c_str(), 0755);
  if (symlink("dots/p7", (home + "/.spumexpreset7").c_str()) != 0 ||
      mkfifo((home + "/.spumexpreset8").c_str(), 0644) != 0) {
    fprintf(stderr, "soak: cannot prepare %s\n", home.c_str());
    return 2;
  }
  // A small quarantine of freed memory: with the default 256 MB every 4 MB
  // path buffer of a spiral demo would stay resident, hiding real growth.
  env = {"HOME=" + home,
         "ASAN_OPTIONS=log_path=" + logs + "/asan:halt_on_error=1:detect_leaks=1:quarantine_size_mb=16",
         "UBSAN_OPTIONS=log_path=" + logs + "/ubsan:print_stacktrace=1:halt_on_error=1"};

  if (!startxserver(x)) {
    fprintf(stderr, "soak: no Xvfb\n");
    return 2;
  }
  long begin = clockms();
  long deadline = begin + (long)(minutes * 60000);
  long nextreport = begin + 60000;
  long firsthwm = -1, firstrss = -1;
  int firstpid = -1;
  bool ok = start();
  long started = clockms();          // of the running instance
  long starthwm = -1;                // its VmHWM 10 s after its start
  signal(SIGINT, stop);
  signal(SIGTERM, stop);
  while (ok && !stopping && clockms() < deadline) {
    if (!running(p)) {
      ended();
      ok = start();
      started = clockms();
      starthwm = -1;
      continue;
    }
    collect();
    if (starthwm < 0 && clockms() - started > 10000) {
      starthwm = status(p.pid, "VmHWM");
      if (firstpid < 0) {
        firstpid = p.pid;
        firsthwm = starthwm;
        firstrss = status(p.pid, "VmRSS");
      }
    }
    int r = pick(3000);
    if (r == 0) {
      unpause();                     // Escape ends the program; it is started again
      printf("soak: pid %d ends after %.1f min, VmHWM %ld kB after 10 s, %ld kB at its end\n", p.pid,
             (clockms() - started) / 60000.0, starthwm, status(p.pid, "VmHWM"));
      press(XK_Escape);
      waitexit(p, 20000);
      continue;
    }
    r %= 1000;
    if (r < 450) {
      randomkey(false);
    } else if (r < 480) {
      demo();
    } else if (r < 800) {
      randomdrag();
    } else {
      int lx, ly;
      randompoint(lx, ly);
      move(lx, ly);
    }
    if (clockms() >= nextreport) {
      nextreport += 60000;
      printf("soak: %5.1f min: %ld keys, %ld motions, %ld drags, pid %d VmHWM %ld kB VmRSS %ld kB\n",
             (clockms() - begin) / 60000.0, sent.keys, sent.motions, sent.drags, p.pid,
             status(p.pid, "VmHWM"), status(p.pid, "VmRSS"));
      fflush(stdout);
    }
  }

  // The end: the last instance's figures, then a normal exit.
  long lasthwm = -1, lastrss = -1;
  if (ok && running(p)) {
    lasthwm = status(p.pid, "VmHWM");
    lastrss = status(p.pid, "VmRSS");
    printf("soak: pid %d ends after %.1f min, VmHWM %ld kB after 10 s, %ld kB at its end\n", p.pid,
           (clockms() - started) / 60000.0, starthwm, lasthwm);
    unpause();
    press(XK_Escape);
    waitexit(p, 20000);
    if (running(p)) killprogram(p);
    ended();
  }
  stopxserver(x);

  int reports = 0;
  if (DIR* d = opendir(logs.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name.rfind("asan", 0) != 0 && name.rfind("ubsan", 0) != 0) continue;
      std::string text = slurp(logs + "/" + name);
      if (text.find("ERROR") == std::string::npos && text.find("runtime error") == std::string::npos)
        continue;                    // no finding, only the sanitizer's notes
      reports++;
      printf("soak: sanitizer report %s:\n%s\n", name.c_str(), text.substr(0, 3000).c_str());
    }
    closedir(d);
  }

  printf("soak: events sent: %ld key presses (%ld stores, %ld loads), %ld pointer motions, %ld button "
         "presses and releases; %ld drags, %ld demo visits; %ld events in all\n",
         sent.keys, sent.stores, sent.loads, sent.motions, sent.buttons, sent.drags, sent.demos,
         sent.keys + sent.motions + sent.buttons);
  printf("soak: peak RSS (VmHWM) at start %ld kB (VmRSS %ld kB), at end %ld kB (VmRSS %ld kB)\n",
         firsthwm, firstrss, lasthwm, lastrss);
  printf("soak: %d starts, %d clean exits, %d other exits, %ld failed-store messages\n", sent.starts,
         sent.cleanexits, sent.badexits, sent.storefailures);
  printf("soak: %d sanitizer reports\n", reports);
  if (!othererr.empty()) printf("soak: other standard error lines:\n%s", othererr.c_str());
  printf("soak: %.1f minutes\n", (clockms() - begin) / 60000.0);
  return ok && reports == 0 && sent.badexits == 0 ? 0 : 1;
}
