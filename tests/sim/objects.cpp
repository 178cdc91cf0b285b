// Hose and block pools, templates, clearing and grab points.
#include <gtest/gtest.h>

#include "app/app.h"
#include "gfx/gfx.h"
#include "sim/sim.h"

#include <climits>

using namespace spumex;

namespace {

void freshscene() {
  rotation = 0;
  inithoses();
  initblocks();
  initbitmap();
  makeblockmap();
}

TEST(Pools, HosesComeInAddressOrderZeroedUntilExhausted) {
  freshscene();
  for (int i = 0; i < MAXHOSES; i++) {
    hosepool[i].x = 77;
    hosepool[i].angle = 5;
    hosepool[i].r = 9;
    hosepool[i].code = 3;
  }
  for (int i = 0; i < MAXHOSES; i++) {
    hose* h = allochose();
    ASSERT_EQ(h, &hosepool[i]);
    EXPECT_EQ(h->next, nullptr);
    EXPECT_EQ(h->x, 0);
    EXPECT_EQ(h->angle, 0);
    EXPECT_EQ(h->r, 0);
    EXPECT_EQ(h->code, 0);
  }
  EXPECT_EQ(allochose(), nullptr);
  EXPECT_EQ(hoses, nullptr);
}

TEST(Pools, BlocksComeInAddressOrderZeroedUntilExhausted) {
  freshscene();
  for (int i = 0; i < MAXBLOCKS; i++) blockpool[i].y = 12;
  for (int i = 0; i < MAXBLOCKS; i++) {
    block* b = allocblock();
    ASSERT_EQ(b, &blockpool[i]);
    EXPECT_EQ(b->next, nullptr);
    EXPECT_EQ(b->y, 0);
  }
  EXPECT_EQ(allocblock(), nullptr);
  EXPECT_EQ(blocks, nullptr);
}

TEST(Pools, InitAgainRethreadsTheSamePool) {
  freshscene();
  hose* pool = hosepool;
  addhose(1, 2, 3);
  inithoses();
  EXPECT_EQ(hosepool, pool);
  EXPECT_EQ(hoses, nullptr);
  EXPECT_EQ(freehoses, &hosepool[0]);
}

TEST(Add, HoseAtCentreAtHead) {
  freshscene();
  hose* white = addhose(255, 255, 255);
  ASSERT_NE(white, nullptr);
  EXPECT_EQ(hoses, white);
  EXPECT_EQ(white->x, 81920);
  EXPECT_EQ(white->y, 61440);
  EXPECT_EQ(white->angle, 384);
  EXPECT_EQ(white->code, 511);
  EXPECT_EQ(hosebase(white).x, 320);
  EXPECT_EQ(hosebase(white).y, 240);

  // only the low byte of each channel counts: 300 is 44
  hose* h = addhose(300, 64, 32);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(hoses, h);
  EXPECT_EQ(h->next, white);
  EXPECT_EQ(h->r, 44);
  EXPECT_EQ(h->g, 64);
  EXPECT_EQ(h->b, 32);
  EXPECT_EQ(h->code, 1 << 6 | 2 << 3 | 1);
}

TEST(Add, BlockAtCentreAtHead) {
  freshscene();
  block* a = addblock();
  block* b = addblock();
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(blocks, b);
  EXPECT_EQ(b->next, a);
  EXPECT_EQ(a->next, nullptr);
  EXPECT_EQ(b->x, 81920);
  EXPECT_EQ(b->y, 61440);
  EXPECT_EQ(b->angle, 0);
  // the map is rebuilt by the caller, not here
  EXPECT_EQ(blockmap[240 * MAPW + 320], 0);
}

TEST(Add, FullPoolsChangeNothing) {
  freshscene();
  for (int i = 0; i < MAXHOSES; i++) ASSERT_NE(addhose(i, i, i), nullptr);
  for (int i = 0; i < MAXBLOCKS; i++) ASSERT_NE(addblock(), nullptr);
  hose* hhead = hoses;
  block* bhead = blocks;
  EXPECT_EQ(addhose(1, 2, 3), nullptr);
  EXPECT_EQ(addblock(), nullptr);
  EXPECT_EQ(hoses, hhead);
  EXPECT_EQ(blocks, bhead);
  EXPECT_EQ(freehoses, nullptr);
  EXPECT_EQ(freeblocks, nullptr);
  int n = 0;
  for (hose* h = hoses; h; h = h->next) {
    EXPECT_EQ(h->r, (uint8_t)(MAXHOSES - 1 - n));
    n++;
  }
  EXPECT_EQ(n, MAXHOSES);
}

TEST(Clear, FreeListTakesRecordsInListOrder) {
  freshscene();
  addhose(1, 1, 1);
  addhose(2, 2, 2);
  addhose(3, 3, 3);
  hose* h1 = hoses;
  hose* h2 = h1->next;
  hose* h3 = h2->next;
  addblock();
  addblock();
  block* b1 = blocks;
  block* b2 = b1->next;

  clearall();
  EXPECT_EQ(hoses, nullptr);
  EXPECT_EQ(blocks, nullptr);
  EXPECT_EQ(allochose(), h3);
  EXPECT_EQ(allochose(), h2);
  EXPECT_EQ(allochose(), h1);
  EXPECT_EQ(allochose(), &hosepool[3]);
  EXPECT_EQ(allocblock(), b2);
  EXPECT_EQ(allocblock(), b1);
  EXPECT_EQ(allocblock(), &blockpool[2]);
}

TEST(Clear, RebuildsMapAndEndsDrags) {
  freshscene();
  addhose(255, 0, 0);
  addblock();
  makeblockmap();
  ASSERT_NE(blockmap[240 * MAPW + 320], 0);
  selhose = hoses;
  hosemode = 1;
  selblock = blocks;
  blockmode = 2;

  clearall();
  EXPECT_EQ(blockmap[240 * MAPW + 320], 0);
  EXPECT_EQ(selhose, nullptr);
  EXPECT_EQ(selblock, nullptr);
  EXPECT_EQ(hosemode, 0);
  EXPECT_EQ(blockmode, 0);
}

// Nozzle and handle points truncate toward zero after the single-precision
// radian rounding, so straight angles can land one unit short.
TEST(Points, NozzleAndHandle) {
  freshscene();
  struct {
    int32_t angle, rot;
    int32_t nx, ny;   // hose at (320, 240)
    int32_t hx, hy;   // block at (160, 30)
  } cases[] = {
      {0, 0, 298, 240, 196, 30},
      {256, 0, 320, 218, 159, 65},
      {384, 0, 335, 224, 134, 55},
      {512, 0, 341, 240, 124, 29},
      {128, 256, 335, 224, 185, 55},  // rotation counts for hoses only
  };
  hose h{};
  h.x = 81920;
  h.y = 61440;
  block b{};
  b.x = 40960;
  b.y = 7680;
  for (const auto& c : cases) {
    h.angle = c.angle;
    b.angle = c.angle;
    rotation = c.rot;
    point n = hosenozzle(&h);
    point p = blockhandle(&b);
    EXPECT_EQ(n.x, c.nx) << c.angle;
    EXPECT_EQ(n.y, c.ny) << c.angle;
    EXPECT_EQ(p.x, c.hx) << c.angle;
    EXPECT_EQ(p.y, c.hy) << c.angle;
  }
  rotation = 0;
  EXPECT_EQ(hosenozzle(&newhose).x, 55);
  EXPECT_EQ(hosenozzle(&newhose).y, 14);
}

TEST(Points, DirectionSumWraps) {
  hose h{};
  h.angle = INT32_MAX;
  rotation = 1;
  EXPECT_EQ(hosedir(&h), INT32_MIN);
  h.angle = -5;
  rotation = 3;
  EXPECT_EQ(hosedir(&h), -2);
  rotation = 0;
}

}  // namespace
