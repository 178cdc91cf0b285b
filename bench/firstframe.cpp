// Preloaded into spumex by fps.sh: reports the time to the first presented frame, the peak RSS
// and how each frame's time splits between presenting (SDL_UpdateRect) and everything else.
// SPUMEX_T0 holds the launch time (nanoseconds of the real-time clock, as `date +%s%N` prints it).
#include <SDL.h>
#include <dlfcn.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

int modeset = 0;                     // the program's video mode is set
int presented = 0;                   // its first frame was shown
long long firstend = 0;              // when the first present returned
long long lastend = 0;               // when the latest present returned
long long inside = 0;                // time spent presenting after the first frame
long long count = 0;                 // presents after the first frame

long long nowns() {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

template <typename F>
F real(const char* name) {
  return (F)dlsym(RTLD_NEXT, name);
}

__attribute__((destructor)) void atend() {
  if (count > 0) {
    double all = (double)(lastend - firstend) / (double)count / 1e6;
    double shown = (double)inside / (double)count / 1e6;
    fprintf(stderr, "frame split = %.3f ms presenting, %.3f ms the rest, over %lld frames\n", shown, all - shown,
            count);
  }
  rusage u;
  if (getrusage(RUSAGE_SELF, &u) == 0) fprintf(stderr, "peak rss = %ld kB\n", u.ru_maxrss);
}

}  // namespace

extern "C" SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags) {
  static auto next = real<SDL_Surface* (*)(int, int, int, Uint32)>("SDL_SetVideoMode");
  SDL_Surface* s = next(width, height, bpp, flags);
  modeset = 1;  // presents made while the mode was being set are not the program's
  return s;
}

extern "C" void SDL_UpdateRect(SDL_Surface* screen, Sint32 x, Sint32 y, Uint32 w, Uint32 h) {
  static auto next = real<void (*)(SDL_Surface*, Sint32, Sint32, Uint32, Uint32)>("SDL_UpdateRect");
  long long start = nowns();
  next(screen, x, y, w, h);
  long long end = nowns();
  if (!modeset) return;
  if (!presented) {
    presented = 1;
    firstend = end;
    const char* t0 = getenv("SPUMEX_T0");
    if (t0 != nullptr) fprintf(stderr, "first frame = %.1f ms\n", (double)(end - atoll(t0)) / 1e6);
  } else {
    inside += end - start;
    count++;
  }
  lastend = end;
}
