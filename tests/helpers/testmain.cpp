// Test entry: every test runs with SDL's dummy video driver, and starts from
// the background a fresh process has.
#include <gtest/gtest.h>
#include <cstdlib>

#include "gfx/gfx.h"

namespace {

// ctest runs each test in a process of its own; a run of the whole executable
// (in any order, shuffled too) runs them one after another in one process.
// The background image is sized for the screen it was made on, and the next
// test may use a screen of another size: so after each test the image goes,
// and the next makebackground sizes it for the screen then in use. A failed
// test may have left a pointer of its own there: that one is dropped, not freed.
class freshbackground : public testing::EmptyTestEventListener {
  void OnTestEnd(const testing::TestInfo& t) override {
    if (!t.result()->Failed()) free(spumex::background);
    spumex::background = nullptr;
  }
};

}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  ::testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new freshbackground);
  return RUN_ALL_TESTS();
}
