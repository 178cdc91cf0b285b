// Mouse editing driven through the event pump: grabbing, moving, turning, recolouring.
#include <gtest/gtest.h>

#include "app/app.h"
#include "gfx/gfx.h"
#include "helpers/testscreen.h"
#include "sim/sim.h"

#include <SDL.h>

using namespace spumex;

namespace {

class Mouse : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    ASSERT_NE(SDL_SetVideoMode(640, 480, 16, 0), nullptr);
    usetestscreen(640, 480);
    initswatches();
    inithoses();
    initblocks();
    initbitmap();
  }
  static void TearDownTestSuite() { SDL_Quit(); }
  void SetUp() override {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
    }
    usetestscreen(640, 480);
    inithoses();
    initblocks();
    makeblockmap();
    releasegrabs();
    dragmode = 0;
    rotation = 0;
  }

  static void push(SDL_Event& e) { ASSERT_EQ(SDL_PushEvent(&e), 0); }
  static void press(int x, int y) {
    SDL_Event e{};
    e.type = e.button.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.state = SDL_PRESSED;
    e.button.x = (Uint16)x;
    e.button.y = (Uint16)y;
    push(e);
    pollinput();
  }
  static void move(int x, int y) {
    SDL_Event e{};
    e.type = e.motion.type = SDL_MOUSEMOTION;
    e.motion.state = SDL_BUTTON(1);
    e.motion.x = (Uint16)x;
    e.motion.y = (Uint16)y;
    push(e);
    pollinput();
  }
  static void release() {
    SDL_Event e{};
    e.type = e.button.type = SDL_MOUSEBUTTONUP;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.state = SDL_RELEASED;
    push(e);
    pollinput();
  }
  static void key(SDLKey sym) {
    SDL_Event e{};
    e.type = e.key.type = SDL_KEYDOWN;
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = sym;
    push(e);
    pollinput();
  }
  static hose* placehose(int lx, int ly, int32_t angle) {
    hose* h = addhose(255, 255, 255);
    h->x = lx << 8;
    h->y = ly << 8;
    h->angle = angle;
    return h;
  }
  static block* placeblock(int lx, int ly, int32_t angle) {
    block* b = addblock();
    b->x = lx << 8;
    b->y = ly << 8;
    b->angle = angle;
    makeblockmap();
    return b;
  }
  static uint16_t mapat(int lx, int ly) { return blockmap[ly * MAPW + lx]; }
};

TEST_F(Mouse, GrabPointsAnswerWithinSevenUnits) {
  struct row {
    int dx, dy;
    int mode;                          // expected grab, 0 for a miss
  };
  const row rows[] = {
      {7, 7, 1}, {-7, -7, 1}, {7, -7, 1}, {0, 0, 1},
      {8, 0, 0}, {0, 8, 0}, {-8, 0, 0}, {0, -8, 0}, {8, 8, 0},
  };
  for (const row& t : rows) {
    SCOPED_TRACE(testing::Message() << t.dx << "," << t.dy);
    SetUp();
    hose* h = placehose(100, 100, 384);
    block* b = placeblock(300, 300, 0);
    press(100 + t.dx, 100 + t.dy);
    EXPECT_EQ(hosemode, t.mode);
    EXPECT_EQ(selhose, t.mode ? h : nullptr);
    EXPECT_EQ(h->x, t.mode ? (100 + t.dx) << 8 : 100 << 8);
    press(300 + t.dx, 300 + t.dy);
    EXPECT_EQ(blockmode, t.mode);
    EXPECT_EQ(selblock, t.mode ? b : nullptr);
    EXPECT_EQ(b->y, t.mode ? (300 + t.dy) << 8 : 300 << 8);
    release();
  }
}

TEST_F(Mouse, NozzleGrabIncludesRotationButTurningIgnoresIt) {
  rotation = 512;                      // half a turn: the nozzle lies to the right
  hose* h = placehose(100, 100, 0);
  press(78, 100);
  EXPECT_EQ(hosemode, 0);
  press(122 - 3, 100 + 4);
  EXPECT_EQ(selhose, h);
  EXPECT_EQ(hosemode, 2);
  move(130, 100);
  EXPECT_EQ(h->angle, 512);
  rotation = 0;
}

TEST_F(Mouse, ListOrderComesBeforeBaseOverNozzle) {
  // H2's nozzle lies on H1's base.
  for (int h2first = 0; h2first < 2; h2first++) {
    SCOPED_TRACE(h2first);
    SetUp();
    hose* h1;
    hose* h2;
    if (h2first) {
      h1 = placehose(178, 200, 384);
      h2 = placehose(200, 200, 0);
    } else {
      h2 = placehose(200, 200, 0);
      h1 = placehose(178, 200, 384);
    }
    ASSERT_EQ(hosenozzle(h2).x, 178);
    press(178, 200);
    EXPECT_EQ(selhose, h2first ? h2 : h1);
    EXPECT_EQ(hosemode, h2first ? 2 : 1);
  }
}

TEST_F(Mouse, TemplateBasesCreateObjectsAndTheirGripsGrabNothing) {
  hose* old = placehose(320, 240, 384);
  press(40 + 3, 30 - 5);
  ASSERT_NE(hoses, old);
  hose* h = hoses;
  EXPECT_EQ(h->next, old);
  EXPECT_EQ(selhose, h);
  EXPECT_EQ(hosemode, 1);
  EXPECT_EQ(h->x, 43 << 8);
  EXPECT_EQ(h->y, 25 << 8);
  EXPECT_EQ(h->angle, 384);
  EXPECT_EQ(h->code, 511);
  EXPECT_EQ(h->r + h->g + h->b, 3 * 255);
  move(100, 200);
  EXPECT_EQ(h->x, 100 << 8);
  EXPECT_EQ(h->y, 200 << 8);
  release();

  press(160, 30);
  block* b = blocks;
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(selblock, b);
  EXPECT_EQ(blockmode, 1);
  EXPECT_EQ(b->x, 160 << 8);
  EXPECT_EQ(b->angle, 0);
  EXPECT_NE(mapat(160, 30), 0);       // the map knows it at once
  release();

  SetUp();
  point nozzle = hosenozzle(&newhose);
  point handle = blockhandle(&newblock);
  press(nozzle.x, nozzle.y);
  press(handle.x, handle.y);
  EXPECT_EQ(hoses, nullptr);
  EXPECT_EQ(blocks, nullptr);
  EXPECT_EQ(hosemode, 0);
  EXPECT_EQ(blockmode, 0);
  move(300, 300);
  EXPECT_EQ(hoses, nullptr);
}

TEST_F(Mouse, TurningPointsNozzleAndHandleAtTheMouse) {
  struct row {
    int dx, dy;                        // mouse relative to base or centre
    int32_t angle;
  };
  const row hoserows[] = {{10, 0, 512}, {0, -10, 256}, {0, 10, -256}, {-10, 0, 0}};
  const row blockrows[] = {{10, 10, 127}, {10, -10, -127}, {10, 0, 0}, {0, 10, 256}};
  hose* h = placehose(320, 240, 0);
  press(298, 240);
  ASSERT_EQ(hosemode, 2);
  for (const row& t : hoserows) {
    move(320 + t.dx, 240 + t.dy);
    EXPECT_EQ(h->angle, t.angle) << t.dx << "," << t.dy;
  }
  release();

  SetUp();
  block* b = placeblock(320, 240, 0);
  press(356, 240);
  ASSERT_EQ(blockmode, 2);
  for (const row& t : blockrows) {
    move(320 + t.dx, 240 + t.dy);
    EXPECT_EQ(b->angle, t.angle) << t.dx << "," << t.dy;
  }
}

TEST_F(Mouse, VectorAngleOfUnitDirections) {
  struct row {
    int32_t dx, dy, angle;
  };
  const row rows[] = {
      {-10, 0, 512}, {0, 10, 256}, {0, -10, -256}, {10, 0, 0}, {10, 10, 127}, {10, -10, -127},
      {0, 0, 0},                       // no direction at all
  };
  for (const row& t : rows) EXPECT_EQ(vectorangle(t.dx, t.dy), t.angle) << t.dx << "," << t.dy;
}

TEST_F(Mouse, TurningWithTheMouseOnTheBaseChangesNothing) {
  hose* h = placehose(320, 240, 100);
  block* b = placeblock(400, 300, 100);
  point nz = hosenozzle(h);
  press(nz.x, nz.y);
  ASSERT_EQ(hosemode, 2);
  int32_t a = h->angle;
  move(320, 240);
  EXPECT_EQ(h->angle, a);
  release();

  point hd = blockhandle(b);
  press(hd.x, hd.y);
  ASSERT_EQ(blockmode, 2);
  a = b->angle;
  mapspan(5, 0, 6, (void*)77);         // a stale mark shows whether the map was rebuilt
  move(400, 300);
  EXPECT_EQ(b->angle, a);
  EXPECT_EQ(blockmap[5], 77);
  move(450, 300);
  EXPECT_EQ(b->angle, 0);
  EXPECT_EQ(blockmap[5], 0);
  mapspan(5, 0, 6, (void*)77);
  release();
  press(400, 300);                     // moving rebuilds on the press and every motion
  EXPECT_EQ(blockmap[5], 0);
  mapspan(5, 0, 6, (void*)77);
  move(420, 300);
  EXPECT_EQ(blockmap[5], 0);
  EXPECT_NE(mapat(420 + 50, 300), 0);
}

TEST_F(Mouse, SwatchesRecolourWithinTwelveUnits) {
  struct row {
    int swatch, dx, dy;
    bool takes;
  };
  const row rows[] = {
      {0, 11, 0, true}, {0, 8, 8, true}, {0, 12, 0, false}, {0, 0, -12, false},
      {0, -11, 0, true}, {13, 0, 0, true}, {6, 5, 5, true}, {2, 9, 8, false},
  };
  for (const row& t : rows) {
    SCOPED_TRACE(testing::Message() << t.swatch << " " << t.dx << "," << t.dy);
    SetUp();
    hose* h = addhose(1, 2, 3);
    press(320, 240);
    ASSERT_EQ(hosemode, 1);
    const swatch& s = swatches[t.swatch];
    move(s.x + t.dx, s.y + t.dy);
    EXPECT_EQ(h->x, (s.x + t.dx) << 8);
    if (t.takes) {
      EXPECT_EQ(h->r, swatchcolors[0][t.swatch]);
      EXPECT_EQ(h->g, swatchcolors[1][t.swatch]);
      EXPECT_EQ(h->b, swatchcolors[2][t.swatch]);
      EXPECT_EQ(h->code, s.code);
    } else {
      EXPECT_EQ(h->r, 1);
      EXPECT_EQ(h->b, 3);
      EXPECT_EQ(h->code, colorcode(1, 2, 3));
    }
    move(320, 240);                    // leaving keeps the colour
    EXPECT_EQ(h->r, t.takes ? swatchcolors[0][t.swatch] : 1);
  }
  // Swatch 13 shares swatch 0's code but has its own red.
  EXPECT_EQ(swatches[13].code, 448);
  EXPECT_EQ(swatchcolors[0][13], 224);
}

TEST_F(Mouse, HoseAndBlockOnOneSpotMoveTogether) {
  hose* h = placehose(300, 300, 0);
  block* b = placeblock(300, 300, 90);
  press(302, 298);
  EXPECT_EQ(selhose, h);
  EXPECT_EQ(selblock, b);
  move(350, 320);
  move(360, 330);
  EXPECT_EQ(h->x, 360 << 8);
  EXPECT_EQ(b->x, 360 << 8);
  EXPECT_EQ(b->y, 330 << 8);
  release();
  move(400, 400);                      // released: nothing follows
  EXPECT_EQ(h->x, 360 << 8);
  EXPECT_EQ(b->x, 360 << 8);
}

TEST_F(Mouse, FullPoolsMakeTemplatePressesMisses) {
  for (int i = 0; i < MAXHOSES; i++) ASSERT_NE(addhose(255, 255, 255), nullptr);
  for (int i = 0; i < MAXBLOCKS; i++) ASSERT_NE(addblock(), nullptr);
  hose* head = hoses;
  block* bhead = blocks;
  press(40, 30);
  EXPECT_EQ(selhose, nullptr);
  EXPECT_EQ(hosemode, 0);
  EXPECT_EQ(hoses, head);
  press(160, 30);
  EXPECT_EQ(selblock, nullptr);
  EXPECT_EQ(blockmode, 0);
  EXPECT_EQ(blocks, bhead);
  move(200, 200);
  for (hose* h = hoses; h != nullptr; h = h->next) EXPECT_EQ(h->x, 320 << 8);
  for (block* b = blocks; b != nullptr; b = b->next) EXPECT_EQ(b->x, 320 << 8);
}

TEST_F(Mouse, ClearingDuringADragEndsIt) {
  hose* h = placehose(100, 100, 0);
  block* b = placeblock(100, 100, 0);
  press(100, 100);
  ASSERT_EQ(selhose, h);
  ASSERT_EQ(selblock, b);
  move(120, 120);
  key(SDLK_x);
  EXPECT_EQ(selhose, nullptr);
  EXPECT_EQ(selblock, nullptr);
  EXPECT_EQ(hosemode, 0);
  EXPECT_EQ(blockmode, 0);
  // The freed records come back as new objects; the drag must not move them.
  hose* again = addhose(255, 255, 255);
  block* bagain = addblock();
  ASSERT_EQ(again, h);
  ASSERT_EQ(bagain, b);
  move(150, 150);
  EXPECT_EQ(again->x, 320 << 8);
  EXPECT_EQ(bagain->x, 320 << 8);
  EXPECT_EQ(mapat(150, 150), 0);
}

}  // namespace
