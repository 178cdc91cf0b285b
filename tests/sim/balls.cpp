// Ball pool and emission from the hoses.
#include <gtest/gtest.h>

#include "app/app.h"
#include "sim/sim.h"

#include <cstdlib>

using namespace spumex;

namespace {

void freshscene() {
  rotation = 0;
  initballs();
  inithoses();
}

// A seed whose first nextrand() has the given low byte.
unsigned seedfor(int lowbyte) {
  for (unsigned s = 1; s < 1000000; s++) {
    seedrand(s);
    if ((nextrand() & 255) == lowbyte) return s;
  }
  return 0;
}

int count(const ball* b) {
  int n = 0;
  for (; b; b = b->next) n++;
  return n;
}

TEST(BallPool, AddressOrderZeroedUntilExhausted) {
  freshscene();
  EXPECT_EQ(balls, nullptr);
  for (int i = 0; i < MAXBALLS; i++) {
    ballpool[i].vx = 3;
    ballpool[i].g = 4;
  }
  for (int i = 0; i < MAXBALLS; i++) {
    ball* b = allocball();
    ASSERT_EQ(b, &ballpool[i]);
    EXPECT_EQ(b->next, nullptr);
    EXPECT_EQ(b->vx, 0);
    EXPECT_EQ(b->g, 0);
  }
  EXPECT_EQ(allocball(), nullptr);
  freeball(&ballpool[7]);
  EXPECT_EQ(freeballs, &ballpool[7]);
  EXPECT_EQ(allocball(), &ballpool[7]);
}

// Nozzle vector, start offset and velocity of the emission table, checked
// for a random sideways spread as well.
TEST(Emission, AngleTable) {
  struct {
    int32_t angle;
    int32_t bx, by, offx, offy, vx, vy;
  } cases[] = {
      {0, -256, 0, -7680, 0, -512, 0},
      {256, 0, -255, 0, -7650, 0, -511},
      {384, 181, -181, 5430, -5430, 362, -362},
      {512, 255, 0, 7650, 0, 511, 0},
      {768, 0, 255, 0, 7650, 0, 511},
  };
  for (const auto& c : cases) {
    for (unsigned seed : {1u, 17u, 4242u}) {
      freshscene();
      hose* h = addhose(10, 200, 90);
      h->angle = c.angle;
      h->x = 50000;
      h->y = 60000;
      seedrand(seed);
      int32_t e = 10 * (nextrand() & 255) - 1270;
      seedrand(seed);
      emitballs();
      ball* b = balls;
      ASSERT_NE(b, nullptr);
      EXPECT_EQ(b->next, nullptr);
      EXPECT_EQ(b->x, 50000 + c.offx - ((e * c.by) >> 7)) << c.angle;
      EXPECT_EQ(b->y, 60000 + c.offy + ((e * c.bx) >> 7)) << c.angle;
      EXPECT_EQ(b->vx, c.vx) << c.angle;
      EXPECT_EQ(b->vy, c.vy) << c.angle;
      EXPECT_EQ(b->r, 10);
      EXPECT_EQ(b->g, 200);
      EXPECT_EQ(b->b, 90);
      EXPECT_EQ(b->code, h->code);
    }
  }
}

TEST(Emission, RotationAddsToTheAngle) {
  freshscene();
  hose* h = addhose(255, 255, 255);
  h->angle = 128;
  rotation = 256;
  emitballs();
  EXPECT_EQ(balls->vx, 362);
  EXPECT_EQ(balls->vy, -362);
  rotation = 0;
}

TEST(Emission, SpreadExtremes) {
  struct {
    int32_t angle, lowbyte, dx, dy;
  } cases[] = {
      {0, 0, -7680, 2540},
      {0, 255, -7680, -2560},
      // arithmetic shifts round toward minus infinity: 229870 >> 7 = 1795, -229870 >> 7 = -1796
      {384, 0, 5430 - 1795, -5430 - 1796},
  };
  for (const auto& c : cases) {
    unsigned seed = seedfor(c.lowbyte);
    ASSERT_NE(seed, 0u);
    freshscene();
    hose* h = addhose(255, 255, 255);
    h->angle = c.angle;
    seedrand(seed);
    emitballs();
    EXPECT_EQ(balls->x, 81920 + c.dx) << c.angle << " " << c.lowbyte;
    EXPECT_EQ(balls->y, 61440 + c.dy) << c.angle << " " << c.lowbyte;
  }
}

TEST(Emission, TwoHosesHeadHoseBallSecond) {
  freshscene();
  hose* older = addhose(255, 0, 0);
  hose* newer = addhose(0, 0, 255);
  ASSERT_EQ(hoses, newer);
  emitballs();
  ASSERT_EQ(count(balls), 2);
  EXPECT_EQ(balls->code, older->code);
  EXPECT_EQ(balls->next->code, newer->code);
  EXPECT_EQ(freeballs, &ballpool[2]);
}

TEST(Emission, FullPoolEmitsNothing) {
  freshscene();
  addhose(255, 255, 255);
  for (int i = 0; i < MAXBALLS; i++) {
    ball* b = allocball();
    b->next = balls;
    balls = b;
  }
  ball* head = balls;
  seedrand(99);
  emitballs();
  int next = nextrand();
  EXPECT_EQ(balls, head);
  EXPECT_EQ(freeballs, nullptr);
  EXPECT_EQ(count(balls), MAXBALLS);
  seedrand(99);
  EXPECT_EQ(next, nextrand());  // rand was not drawn from
}

TEST(Emission, ShortPoolServesTheHeadHoseFirst) {
  freshscene();
  addhose(255, 0, 0);
  hose* head = addhose(0, 255, 0);
  for (int i = 0; i < MAXBALLS - 1; i++) allocball();
  emitballs();
  ASSERT_NE(balls, nullptr);
  EXPECT_EQ(balls->next, nullptr);
  EXPECT_EQ(balls->code, head->code);
  EXPECT_EQ(freeballs, nullptr);
}

TEST(Emission, NoHosesNoRand) {
  freshscene();
  seedrand(1234);
  emitballs();
  int next = nextrand();
  seedrand(1234);
  EXPECT_EQ(next, nextrand());
  EXPECT_EQ(balls, nullptr);
  EXPECT_EQ(freeballs, &ballpool[0]);
}

TEST(Emission, FarPositionsWrapWithoutFault) {
  freshscene();
  hose* h = addhose(255, 255, 255);
  h->x = INT32_MAX;
  h->y = INT32_MIN;
  h->angle = 384;  // pushes x up and y down past the limits
  emitballs();
  EXPECT_LT(balls->x, 0);
  EXPECT_GT(balls->y, 0);
}

}  // namespace
