// Present-only frame loop: the fastest that SDL and this X server show whole 16-bit frames.
// Use: spumex-ceiling [width [seconds]]; prints "fps = N" like spumex does.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  int width = argc > 1 ? atoi(argv[1]) : 640;
  int seconds = argc > 2 ? atoi(argv[2]) : 10;
  if (width < 100 || width > 2048) width = 640;
  if (seconds < 1) seconds = 1;
  int height = 480 * width / 640;
  if (SDL_Init(SDL_INIT_VIDEO) < 0) {
    fprintf(stderr, "Couldn't initialize SDL: %s\n", SDL_GetError());
    return 1;
  }
  // the same mode as the program: a 16-bit software surface, no flags
  SDL_Surface* s = SDL_SetVideoMode(width, height, 16, 0);
  if (s == nullptr) {
    fprintf(stderr, "Couldn't set display mode: %s\n", SDL_GetError());
    SDL_Quit();
    return 5;
  }
  uint32_t start = SDL_GetTicks();
  uint32_t end = start + (uint32_t)seconds * 1000;
  long frames = 0;
  SDL_Event e;
  while ((int32_t)(SDL_GetTicks() - end) < 0) {
    // the event queue is drained each frame, as the program's event pump does
    while (SDL_PollEvent(&e)) {
    }
    if (SDL_MUSTLOCK(s)) SDL_LockSurface(s);
    SDL_UpdateRect(s, 0, 0, 0, 0);
    if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
    frames++;
  }
  uint32_t elapsed = SDL_GetTicks() - start;
  SDL_Quit();
  if (elapsed == 0) elapsed = 1;
  printf("fps = %ld\n", frames * 1000 / (long)elapsed);
  return 0;
}
