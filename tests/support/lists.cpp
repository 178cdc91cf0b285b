// Tests for the intrusive list helpers and their free list.
#include "support/support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

using namespace spumex;

namespace {

struct node {
  node* next;
  int32_t value;
  uint8_t rest[20];
};
static_assert(sizeof(node) == 32);

struct Lists : ::testing::Test {
  node pool[4];
  node* freelist = nullptr;
  node* list = nullptr;

  void SetUp() override {
    memset(pool, 0xab, sizeof pool);
    nodelist = (void**)&freelist;
    nodesize = sizeof(node);
  }
  void TearDown() override {
    nodelist = nullptr;
    nodesize = 0;
  }
  // Builds the list from pool indices, in order.
  void make(node** head, std::initializer_list<int> ids) {
    *head = nullptr;
    node** at = head;
    for (int i : ids) {
      *at = &pool[i];
      at = &pool[i].next;
    }
    *at = nullptr;
  }
  // Pool indices of the list, in order (stops after 8 to survive a cycle).
  std::vector<int> ids(node* head) {
    std::vector<int> out;
    for (node* n = head; n && out.size() < 8; n = n->next) out.push_back((int)(n - pool));
    return out;
  }
};

using V = std::vector<int>;

TEST_F(Lists, ChainThreeNodesOf32Bytes) {
  uint8_t buf[3 * 32 + 8];
  memset(buf, 0x5a, sizeof buf);
  chainnodes(buf, 32, 3);
  void* links[3];
  for (int i = 0; i < 3; i++) memcpy(&links[i], buf + 32 * i, sizeof(void*));
  EXPECT_EQ(links[0], buf + 32);
  EXPECT_EQ(links[1], buf + 64);
  EXPECT_EQ(links[2], nullptr);
  for (int i = 0; i < 3; i++)
    for (size_t b = sizeof(void*); b < 32; b++) ASSERT_EQ(buf[32 * i + b], 0) << "node " << i << " byte " << b;
  for (int b = 96; b < 104; b++) EXPECT_EQ(buf[b], 0x5a) << "byte " << b << " behind the array";
}

TEST_F(Lists, ChainEdgeCounts) {
  uint8_t buf[40];
  for (int count : {0, -1, -100}) {
    memset(buf, 0x5a, sizeof buf);
    chainnodes(buf, 32, count);
    for (uint8_t b : buf) ASSERT_EQ(b, 0x5a) << "count " << count;
  }
  memset(buf, 0x5a, sizeof buf);
  chainnodes(buf, 32, 1);
  for (int b = 0; b < 32; b++) EXPECT_EQ(buf[b], 0) << "byte " << b;
  for (int b = 32; b < 40; b++) EXPECT_EQ(buf[b], 0x5a) << "byte " << b;
}

TEST_F(Lists, AllocAndFree) {
  chainnodes(pool, sizeof(node), 3);
  freelist = &pool[0];
  pool[1].value = 77;
  memset(pool[1].rest, 0xee, sizeof pool[1].rest);
  EXPECT_EQ(allocnode(), &pool[0]);
  node* b = (node*)allocnode();
  ASSERT_EQ(b, &pool[1]);
  EXPECT_EQ(b->next, nullptr);
  EXPECT_EQ(b->value, 0);
  EXPECT_EQ(std::vector<uint8_t>(b->rest, b->rest + 20), std::vector<uint8_t>(20, 0));
  EXPECT_EQ(allocnode(), &pool[2]);
  EXPECT_EQ(allocnode(), nullptr);
  EXPECT_EQ(pool[3].value, (int32_t)0xabababab);  // never on the free list
  freenode(&pool[2]);
  freenode(&pool[0]);
  EXPECT_EQ(ids(freelist), (V{0, 2}));
}

TEST_F(Lists, Append) {
  appendnode((void**)&list, &pool[1]);
  EXPECT_EQ(ids(list), (V{1}));
  appendnode((void**)&list, &pool[3]);
  appendnode((void**)&list, &pool[0]);
  EXPECT_EQ(ids(list), (V{1, 3, 0}));
  // a node's link works as a cell too
  make(&list, {2});
  appendnode((void**)&pool[2].next, &pool[0]);
  EXPECT_EQ(ids(list), (V{2, 0}));
  clearnode((void**)&pool[2].next);
  EXPECT_EQ(ids(list), (V{2}));
  clearnode((void**)&list);
  EXPECT_EQ(list, nullptr);
}

TEST_F(Lists, Unlink) {
  const struct {
    std::initializer_list<int> before;
    int node;
    V after;
    V freed;
  } cases[] = {
      {{0, 1, 2}, 0, {1, 2}, {0}},
      {{0, 1, 2}, 1, {0, 2}, {1}},
      {{0, 1, 2}, 2, {0, 1}, {2}},
      {{3}, 3, {}, {3}},
      {{0, 1, 2}, 3, {0, 1, 2}, {}},  // not on the list
      {{}, 1, {}, {}},                // empty list
  };
  for (const auto& c : cases) {
    memset(pool, 0xab, sizeof pool);
    make(&list, c.before);
    freelist = nullptr;
    unlinknode((void**)&list, &pool[c.node]);
    EXPECT_EQ(ids(list), c.after) << "unlinking " << c.node;
    EXPECT_EQ(ids(freelist), c.freed) << "unlinking " << c.node;
    if (!c.freed.empty()) {
      EXPECT_EQ(pool[c.node].next, nullptr);  // alone on the free list
    }
  }
}

}  // namespace
