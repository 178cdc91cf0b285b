// Test entry: every test runs with SDL's dummy video driver, and starts from
// the background and block map a fresh process has.
#include <gtest/gtest.h>
#include <cstdlib>

#include "gfx/gfx.h"
#include "sim/sim.h"

namespace {

// ctest runs each test in a process of its own; a run of the whole executable
// (in any order, shuffled too) runs them one after another in one process.
// What one test leaves behind that the program takes as given is put back
// after each test:
// - The background image is sized for the screen it was made on, and the next
//   test may use a screen of another size: the image goes, and the next
//   makebackground sizes it for the screen then in use. A failed test may have
//   left a pointer of its own there: that one is dropped, not freed.
// - The block map is rebuilt by clearing only the cells marked since the last
//   build; tests that write cells straight into it would leave them standing.
class freshstate : public testing::EmptyTestEventListener {
  void OnTestEnd(const testing::TestInfo& t) override {
    if (!t.result()->Failed()) free(spumex::background);
    spumex::background = nullptr;
    if (spumex::blockmap != nullptr) spumex::initbitmap();
  }
};

}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  ::testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new freshstate);
  return RUN_ALL_TESTS();
}
