// The real 10 ms timer counting ticks on its own thread while the main thread runs the due steps.
#include <gtest/gtest.h>

#include "app/app.h"
#include "gfx/gfx.h"
#include "sim/sim.h"
#include "helpers/testvideo.h"

#include <SDL.h>

namespace spumex {
namespace {

class Timer : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    initvideo();  // starts SDL's timer subsystem too
    initballs();
    inithoses();
    initblocks();
    initbitmap();
  }
  void SetUp() override {
    clearall();
    rotating = 1;  // rotation / 47 counts the steps run
    rotation = 0;
    ticks.store(0);
  }
  void TearDown() override {
    stoptimer();
    restarttimerthread();
    rotating = 0;
  }
};

// Every tick the timer delivers runs exactly one step: none lost, none twice.
// The run lasts until 30 steps have run (a machine under load only makes it
// longer), so every bound below holds however slow the machine is.
TEST_F(Timer, StepsFollowTheClockWhileTheTimerRuns) {
  const int32_t enough = 30;
  addhose(255, 255, 255);
  uint32_t start = SDL_GetTicks();
  starttimer();
  int32_t lowest = 0;
  while (rotation / ROTATESTEP < enough && SDL_GetTicks() - start < 60000) {
    int32_t due = ticks.load();
    if (due < lowest) lowest = due;
    runticks();
  }
  stoptimer();
  uint32_t elapsed = SDL_GetTicks() - start;
  restarttimerthread();  // a callback already under way has ended
  runticks();
  EXPECT_EQ(ticks.load(), 0);
  EXPECT_GE(lowest, 0) << "more steps ran than ticks came";

  int32_t steps = rotation / ROTATESTEP;
  EXPECT_EQ(rotation % ROTATESTEP, 0);
  EXPECT_LE(steps, (int32_t)(elapsed / TICKMS) + 2) << "steps without ticks";
  EXPECT_GE(steps, enough) << "the clock hardly ran in a minute";
}

// The pause loop's and the demos' reset to one due step races with the timer
// thread's increments; the count never falls below the reset value.
TEST_F(Timer, ResetsToOneWhileTheTimerCounts) {
  uint32_t start = SDL_GetTicks();
  starttimer();
  int32_t highest = 0, lowest = 1;
  while (SDL_GetTicks() - start < 300) {
    ticks.store(1);
    int32_t due = ticks.load();
    if (due > highest) highest = due;
    if (due < lowest) lowest = due;
  }
  stoptimer();
  uint32_t elapsed = SDL_GetTicks() - start;
  restarttimerthread();
  EXPECT_GE(lowest, 1);
  // no more than one plus every tick of the run, however long a stall between store and load
  EXPECT_LE(highest, (int32_t)(elapsed / TICKMS) + 3);
  runticks();
  EXPECT_EQ(ticks.load(), 0);
}

}  // namespace
}  // namespace spumex
