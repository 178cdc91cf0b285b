// Key commands: toggles, digits with and without shift, clearing, background keys.
#include <gtest/gtest.h>

#include "app/app.h"
#include "background/background.h"
#include "gfx/gfx.h"
#include "helpers/testscreen.h"
#include "helpers/testvideo.h"
#include "presets/presets.h"
#include "sim/sim.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace spumex;

namespace {

std::string hoseline(int32_t x, int32_t y, int32_t angle, int r, int g, int b) {
  return "hose:" + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(angle) + "," +
         std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b) + "\n";
}

// Slot n holds one hose whose x tells the slot.
std::string slotmark(int n) { return hoseline(256 * (n + 1), 2560, 0, 1, 2, 3); }

std::string slottext(int n) { return presets[n] ? std::string(presets[n]) : std::string("<empty>"); }

std::vector<int32_t> hosexs() {
  std::vector<int32_t> v;
  for (const hose* h = hoses; h != nullptr; h = h->next) v.push_back(h->x);
  return v;
}

int count(const hose* h) {
  int n = 0;
  for (; h != nullptr; h = h->next) n++;
  return n;
}

int count(const block* b) {
  int n = 0;
  for (; b != nullptr; b = b->next) n++;
  return n;
}

class Keys : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    ASSERT_NE(SDL_SetVideoMode(640, 480, 16, 0), nullptr);
    usetestscreen(640, 480);
    if (scratch == nullptr) scratch = (uint8_t*)malloc(SCRATCHSIZE);
    initballs();
    inithoses();
    initblocks();
    initbitmap();
  }
  static void TearDownTestSuite() { SDL_Quit(); }
  void SetUp() override {
    drainevents();
    entertemphome(home, "spumexkeys");
    usetestscreen(640, 480);
    clearall();
    paused = hidden = mixing = rotating = spiralmode = eyemode = exitflag = 0;
    rotation = 0;
  }
  void TearDown() override {
    leavetemphome(home);
    for (int i = 0; i < NPRESETS; i++) {
      free(presets[i]);
      presets[i] = nullptr;
    }
    clearall();
  }
  static void setslot(int n, const std::string& text) {
    free(presets[n]);
    presets[n] = strdup(text.c_str());
  }
  temphome home;
};

TEST_F(Keys, LetterTogglesNegateTheirFlagWithOrWithoutShift) {
  struct row {
    uint32_t symbol;
    uint8_t* flag;
  };
  const row rows[] = {{'e', &eyemode}, {'h', &hidden}, {'m', &mixing},
                      {'p', &paused},  {'r', &rotating}, {'s', &spiralmode}};
  uint8_t* flags[] = {&eyemode, &hidden, &mixing, &paused, &rotating, &spiralmode};
  const uint32_t mods[] = {KMOD_NONE, KMOD_LSHIFT, KMOD_RSHIFT | KMOD_CAPS, KMOD_LCTRL};
  for (const row& t : rows) {
    for (uint32_t mod : mods) {
      SCOPED_TRACE(testing::Message() << (char)t.symbol << " mod " << mod);
      for (uint8_t* f : flags) *f = 0;
      keycommand(t.symbol, mod);
      EXPECT_EQ(*t.flag, 1);
      int others = 0;
      for (uint8_t* f : flags) others += f != t.flag && *f != 0;
      EXPECT_EQ(others, 0);
      keycommand(t.symbol, mod);
      EXPECT_EQ(*t.flag, 0);
      *t.flag = 2;                     // anything but 0 counts as set
      keycommand(t.symbol, mod);
      EXPECT_EQ(*t.flag, 0);
    }
  }
}

TEST_F(Keys, DigitsSaveWithAShiftBitAndLoadOtherwise) {
  enum { NOTHING, SAVE, LOAD };
  struct row {
    uint32_t symbol, mod;
    int what, slot;
  };
  const row rows[] = {
      {'1', KMOD_LSHIFT, SAVE, 0},
      {'1', KMOD_NONE, LOAD, 0},
      {'9', KMOD_RSHIFT, SAVE, 8},
      {'9', KMOD_NONE, LOAD, 8},
      {'5', KMOD_LSHIFT | KMOD_RSHIFT | KMOD_CTRL, SAVE, 4},
      {'3', KMOD_CAPS, LOAD, 2},       // Caps Lock is no shift
      {'3', KMOD_LCTRL | KMOD_LALT | KMOD_NUM | KMOD_LMETA, LOAD, 2},
      {'0', KMOD_NONE, NOTHING, 0},
      {'0', KMOD_LSHIFT, NOTHING, 0},
      {':', KMOD_NONE, NOTHING, 0},
      {SDLK_KP1, KMOD_NONE, NOTHING, 0},
      {SDLK_KP9, KMOD_LSHIFT, NOTHING, 0},
      {'a', KMOD_NONE, NOTHING, 0},
      {SDLK_F1, KMOD_NONE, NOTHING, 0},
  };
  const std::string scene = hoseline(81920, 61440, 384, 9, 8, 7);
  for (const row& t : rows) {
    SCOPED_TRACE(testing::Message() << t.symbol << " mod " << t.mod);
    clearall();
    addhose(9, 8, 7);
    for (int n = 0; n < NPRESETS; n++) setslot(n, slotmark(n));
    keycommand(t.symbol, t.mod);
    for (int n = 0; n < NPRESETS; n++) {
      bool saved = t.what == SAVE && n == t.slot;
      EXPECT_EQ(slottext(n), saved ? scene : slotmark(n)) << "slot " << n;
    }
    std::vector<int32_t> expect = {81920};
    if (t.what == LOAD) expect = {256 * (t.slot + 1)};
    EXPECT_EQ(hosexs(), expect);
  }
  // A saved slot loads back.
  clearall();
  addhose(1, 1, 1)->x = 12345;
  keycommand('7', KMOD_LSHIFT);
  clearall();
  keycommand('7', KMOD_NONE);
  EXPECT_EQ(hosexs(), std::vector<int32_t>{12345});
}

TEST_F(Keys, XClearsEverythingAndRebuildsTheMap) {
  // With nothing live only the map is rebuilt.
  mapspan(360, 1, 361, (void*)9);  // cell 1000
  keycommand('x', KMOD_NONE);
  EXPECT_EQ(hoses, nullptr);
  EXPECT_EQ(blocks, nullptr);
  EXPECT_EQ(count(freehoses), MAXHOSES);
  EXPECT_EQ(count(freeblocks), MAXBLOCKS);
  EXPECT_EQ(blockmap[1000], 0);

  for (int i = 0; i < 3; i++) addhose(255, 0, 0);
  for (int i = 0; i < 2; i++) addblock();
  makeblockmap();
  ASSERT_NE(blockmap[240 * MAPW + 320], 0);
  keycommand('x', KMOD_LSHIFT);
  EXPECT_EQ(hoses, nullptr);
  EXPECT_EQ(blocks, nullptr);
  EXPECT_EQ(count(freehoses), MAXHOSES);
  EXPECT_EQ(count(freeblocks), MAXBLOCKS);
  EXPECT_EQ(blockmap[240 * MAPW + 320], 0);
}

TEST_F(Keys, RotationFollowsTheRotatingFlag) {
  keycommand('r', KMOD_NONE);
  simstep();
  EXPECT_EQ(rotation, 47);
  simstep();
  EXPECT_EQ(rotation, 94);
  keycommand('r', KMOD_NONE);
  simstep();
  EXPECT_EQ(rotation, 0);
}

TEST_F(Keys, BackgroundKeys) {
  fractal();
  ASSERT_NE(background, nullptr);
  size_t size = (size_t)xsize * ysize * 2;
  std::vector<uint8_t> before(background, background + size);
  int32_t scheme = colorscheme;
  keycommand('c', KMOD_NONE);
  EXPECT_EQ(colorscheme, scheme + 1);
  std::vector<uint8_t> recoloured(background, background + size);
  EXPECT_NE(recoloured, before);
  std::vector<uint8_t> field(heightfield, heightfield + FIELDSIZE * FIELDSIZE);
  keycommand('f', KMOD_NONE);
  EXPECT_EQ(colorscheme, scheme + 1);
  EXPECT_NE(std::vector<uint8_t>(heightfield, heightfield + FIELDSIZE * FIELDSIZE), field);
  EXPECT_NE(std::vector<uint8_t>(background, background + size), recoloured);
}

TEST_F(Keys, DemoKeysPressedTwiceInOneBatchCancel) {
  struct row {
    SDLKey sym;
    int presses;
    uint8_t eye, spiral;
  };
  const row rows[] = {{SDLK_e, 1, 1, 0}, {SDLK_e, 2, 0, 0}, {SDLK_s, 1, 0, 1},
                      {SDLK_s, 2, 0, 0}, {SDLK_s, 3, 0, 1}};
  for (const row& t : rows) {
    SCOPED_TRACE(testing::Message() << (char)t.sym << " x" << t.presses);
    eyemode = spiralmode = 0;
    for (int i = 0; i < t.presses; i++) pushkey(t.sym);
    pollinput();
    EXPECT_EQ(eyemode, t.eye);
    EXPECT_EQ(spiralmode, t.spiral);
    EXPECT_EQ(exitflag, 0);
  }
}

}  // namespace
