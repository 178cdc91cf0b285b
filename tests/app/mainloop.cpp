// Frame loop pieces: the event pump, the tick arithmetic, the pause loop and the timer.
#include "app/app.h"
#include "gfx/gfx.h"
#include "sim/sim.h"
#include "helpers/testvideo.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace spumex;

namespace {

class MainLoop : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    xsize = 800;
    ysize = 600;
    initvideo();
    if (scratch == nullptr) scratch = (uint8_t*)malloc(SCRATCHSIZE);
    makeballs();
    initballs();
    initswatches();
    inithoses();
    initblocks();
    initbitmap();
  }
  void SetUp() override {
    drainevents();
    clearall();
    exitflag = paused = hidden = mixing = rotating = spiralmode = eyemode = 0;
    dragmode = 0;
    rotation = 0;
    ticks.store(0);
  }
  static void pushbutton(Uint8 type, Uint8 which, int x, int y) {
    SDL_Event e{};
    e.type = type;
    e.button.type = type;
    e.button.button = which;
    e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.button.x = (Uint16)x;
    e.button.y = (Uint16)y;
    ASSERT_EQ(SDL_PushEvent(&e), 0);
  }
  static void pushmotion(int x, int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.type = SDL_MOUSEMOTION;
    e.motion.x = (Uint16)x;
    e.motion.y = (Uint16)y;
    ASSERT_EQ(SDL_PushEvent(&e), 0);
  }
};

TEST_F(MainLoop, MouseIsScaledToLogicalUnitsAndDragModeFollowsTheButton) {
  struct step {
    char kind;  // p press, m motion, r release
    int x, y;
    int mx, my, drag;
  };
  // 800 x 600 screen: logical = screen * 640 / 800, screen * 480 / 600.
  const step steps[] = {
      {'m', 400, 300, 320, 240, 0}, {'p', 799, 599, 639, 479, 1}, {'m', 1, 1, 0, 0, 2},
      {'m', 5, 7, 4, 5, 2},        {'r', 700, 500, 4, 5, 0},     {'m', 13, 599, 10, 479, 0},
  };
  for (const step& s : steps) {
    if (s.kind == 'p') pushbutton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, s.x, s.y);
    if (s.kind == 'm') pushmotion(s.x, s.y);
    if (s.kind == 'r') pushbutton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, s.x, s.y);
    pollinput();
    EXPECT_EQ(mousex, s.mx) << s.kind << " " << s.x;
    EXPECT_EQ(mousey, s.my) << s.kind << " " << s.y;
    EXPECT_EQ(dragmode, s.drag) << s.kind << " " << s.x;
  }
}

TEST_F(MainLoop, WheelActsLikeAClickAtThePointer) {
  for (Uint8 which : {SDL_BUTTON_WHEELUP, SDL_BUTTON_WHEELDOWN}) {
    pushbutton(SDL_MOUSEBUTTONDOWN, which, 200, 100);
    pollinput();
    EXPECT_EQ(dragmode, 1);
    EXPECT_EQ(mousex, 160);
    EXPECT_EQ(mousey, 80);
    pushbutton(SDL_MOUSEBUTTONUP, which, 200, 100);
    pollinput();
    EXPECT_EQ(dragmode, 0);
  }
}

TEST_F(MainLoop, EscapeSetsExitButTheRestOfTheBatchIsHandled) {
  pushkey(SDLK_h);
  pushkey(SDLK_ESCAPE);
  pushkey(SDLK_m);
  pushmotion(80, 60);
  pollinput();
  EXPECT_EQ(exitflag, 1);
  EXPECT_EQ(hidden, 1);
  EXPECT_EQ(mixing, 1);
  EXPECT_EQ(mousex, 64);
  SDL_Event e;
  EXPECT_EQ(SDL_PollEvent(&e), 0) << "the queue is drained";
}

TEST_F(MainLoop, ClosingTheWindowDoesNothing) {
  SDL_Event e{};
  e.type = SDL_QUIT;
  ASSERT_EQ(SDL_PushEvent(&e), 0);
  pollinput();
  EXPECT_EQ(exitflag, 0);
}

TEST_F(MainLoop, EveryDueTickRunsOneStep) {
  rotating = 1;
  for (int due : {0, 1, 3, 17}) {
    rotation = 0;
    ticks.store(due);
    runticks();
    EXPECT_EQ(rotation, 47 * due) << due;
    EXPECT_EQ(ticks.load(), 0) << due;
  }
}

TEST_F(MainLoop, RotationFallsBackToZeroWhenRotatingIsOff) {
  rotation = 470;
  ticks.store(1);
  runticks();
  EXPECT_EQ(rotation, 0);
}

TEST_F(MainLoop, EachStepEmitsFromEveryHose) {
  ASSERT_NE(addhose(255, 255, 255), nullptr);
  ASSERT_NE(addhose(255, 0, 0), nullptr);
  int before = 0;
  for (ball* b = balls; b; b = b->next) before++;
  ticks.store(4);
  runticks();
  int after = 0;
  for (ball* b = balls; b; b = b->next) after++;
  EXPECT_EQ(after - before, 8);
}

TEST_F(MainLoop, ThePauseLoopLeavesExactlyOneStepDue) {
  paused = 1;
  rotating = 1;
  pushkey(SDLK_x);
  pushkey(SDLK_p);
  pausewait();
  EXPECT_EQ(paused, 0);
  EXPECT_EQ(ticks.load(), 1);
  runticks();
  EXPECT_EQ(rotation, 47);
}

TEST_F(MainLoop, EscapeEndsThePauseLoop) {
  paused = 1;
  pushkey(SDLK_ESCAPE);
  pausewait();
  EXPECT_EQ(paused, 1);
  EXPECT_EQ(exitflag, 1);
}

// The callback driven by hand: one tick a call, the same interval asked for
// again. Installing starts the count from 0, once; removing clears the flag.
TEST_F(MainLoop, TheTimerCountsTicks) {
  EXPECT_EQ(timertick(10), 10u);
  EXPECT_EQ(ticks.load(), 1);
  for (uint32_t interval : {10u, 1u, 0xFFFFFFFFu}) EXPECT_EQ(timertick(interval), interval);
  EXPECT_EQ(ticks.load(), 4);

  // A count the real timer could not reach in hours tells a reset from ticks.
  const int32_t far = 1000000;
  ticks.store(far);
  starttimer();
  EXPECT_EQ(timeron, 1);
  EXPECT_LT(ticks.load(), far) << "installing starts the count again";
  ticks.store(far);
  starttimer();
  EXPECT_GE(ticks.load(), far) << "a second start installed the timer again";
  stoptimer();
  EXPECT_EQ(timeron, 0);
  // At most the one callback already under way still counts: ending the
  // timer thread waits for it, with no clock involved.
  int32_t stopped = ticks.load();
  restarttimerthread();
  EXPECT_LE(ticks.load(), stopped + 1);
}

}  // namespace
