// Full pools: 64 hoses and 64 blocks running 10,000 simulation steps with the ball pool exhausted.
#include <gtest/gtest.h>

#include "app/app.h"
#include "gfx/gfx.h"
#include "helpers/testscreen.h"
#include "sim/sim.h"

#include <cstdlib>
#include <set>
#include <vector>

namespace spumex {
namespace {

constexpr int GUARD = 32;            // bytes behind every row of the screen

// Live balls; every record of the pool is on exactly one of the two lists.
int checkballs() {
  std::vector<bool> seen(MAXBALLS);
  int live = 0, total = 0;
  for (ball* list : {balls, freeballs})
    for (ball* b = list; b != nullptr; b = b->next) {
      EXPECT_TRUE(b >= ballpool && b < ballpool + MAXBALLS);
      if (b < ballpool || b >= ballpool + MAXBALLS) return -1;
      EXPECT_FALSE(seen[b - ballpool]) << "a ball on two lists";
      if (seen[b - ballpool]) return -1;
      seen[b - ballpool] = true;
      total++;
      if (list == balls) live++;
    }
  EXPECT_EQ(total, MAXBALLS);
  return live;
}

class Exhaustion : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    usetestscreen(640, 480, 16, 2 * 640 + GUARD);
    if (scratch == nullptr) scratch = (uint8_t*)malloc(SCRATCHSIZE);
    makeballs();
  }

  void SetUp() override {
    usetestscreen(640, 480, 16, 2 * 640 + GUARD);
    initballs();
    inithoses();
    initblocks();
    initbitmap();
    mixing = rotating = 0;
    rotation = 0;
    seedrand(12345);

    // 64 hoses over the whole scene, each with its own colour code, some of
    // them outside the scene and some with angles far beyond one turn.
    for (int i = 0; i < MAXHOSES; i++) {
      hose* h = addhose((uint32_t)(i & 7) << 5, (uint32_t)(i >> 3) << 5, 255);
      ASSERT_NE(h, nullptr) << i;
      h->x = ((i % 8) * 90 - 40) << 8;
      h->y = ((i / 8) * 70 - 60) << 8;
      h->angle = (int32_t)((uint32_t)i * 0x2345679u);
    }
    ASSERT_EQ(addhose(1, 2, 3), nullptr) << "the 65th hose";

    // 64 blocks, overlapping, across the edges, the last ones on top.
    for (int i = 0; i < MAXBLOCKS; i++) {
      block* b = addblock();
      ASSERT_NE(b, nullptr) << i;
      b->x = ((i % 8) * 85 + 10) << 8;
      b->y = ((i / 8) * 62 + 30) << 8;
      b->angle = i * 97 - 3000;
    }
    ASSERT_EQ(addblock(), nullptr) << "the 65th block";
    makeblockmap();
  }

  void expectguards() {
    const std::vector<uint8_t>& bytes = testscreenbytes();
    for (int y = 0; y < ysize; y++)
      for (int i = 0; i < GUARD; i++)
        ASSERT_EQ(bytes[(size_t)y * stride + 2 * xsize + i], 0) << "row " << y;
  }
};

TEST_F(Exhaustion, TenThousandStepsKeepThePoolWhole) {
  std::set<int32_t> codes;
  for (hose* h = hoses; h; h = h->next) codes.insert(h->code);
  ASSERT_EQ(codes.size(), 64u);

  int starved = 0;  // steps in which some hoses found no free ball
  for (int step = 1; step <= 10000; step++) {
    rotating = step > 5000 && step < 7000;
    int nfree = 0;
    for (ball* b = freeballs; b != nullptr && nfree < MAXHOSES; b = b->next) nfree++;
    if (nfree < MAXHOSES) starved++;
    simstep();
    if (step % 10 == 0) {
      int live = checkballs();
      ASSERT_GE(live, 0) << "step " << step;
      for (ball* b = balls; b; b = b->next) {
        ASSERT_LT(b->y, BOTTOMLIMIT) << "a ball below the bottom stayed";
        ASSERT_TRUE(codes.count(b->code)) << "a ball with no hose's colour";
      }
    }
    if (step % 1000 == 0) {
      mixing = (uint8_t)(step / 1000 % 2);
      drawballs();
      drawhoses();
      drawblocks();
      drawswatches();
      expectguards();
      if (HasFatalFailure()) return;
    }
  }
  EXPECT_GT(starved, 5000) << "the pool was hardly ever short";
}

// With the pool short, the hoses at the head of the list are served first,
// one ball each; the rest go without. (One spare ball and none, with two
// hoses and one, are the ball tests' cases; here the full list of 64.)
TEST_F(Exhaustion, ShortPoolServesTheHeadHosesFirst) {
  std::vector<const hose*> order;
  for (hose* h = hoses; h; h = h->next) order.push_back(h);
  // Every ball of the pool in flight.
  while (ball* b = allocball()) {
    b->next = balls;
    balls = b;
  }
  ASSERT_EQ(freeballs, nullptr);

  for (int spare : {17, 63, 64}) {
    SCOPED_TRACE(spare);
    // Free the oldest live balls (at the tail) until spare records are free.
    while (true) {
      int nfree = 0;
      for (ball* b = freeballs; b; b = b->next) nfree++;
      if (nfree >= spare) break;
      ball** link = &balls;
      while ((*link)->next) link = &(*link)->next;
      ball* last = *link;
      *link = nullptr;
      freeball(last);
    }
    ball* before = balls;
    emitballs();
    std::vector<int32_t> got;
    for (ball* b = balls; b != before; b = b->next) got.push_back(b->code);
    ASSERT_EQ((int)got.size(), spare);
    // Linked at the head: the newest ball, from the last hose served, comes first.
    for (int k = 0; k < spare; k++) EXPECT_EQ(got[spare - 1 - k], order[k]->code) << k;
    EXPECT_EQ(freeballs, nullptr);
    EXPECT_EQ(checkballs(), MAXBALLS);
  }
}

}  // namespace
}  // namespace spumex
