// Preset slots whose files are empty, huge, binary or unreadable: read, load, store and read again.
#include <gtest/gtest.h>

#include "app/app.h"
#include "helpers/temphome.h"
#include "gfx/gfx.h"
#include "presets/presets.h"
#include "sim/sim.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace spumex {
namespace {

struct object {
  bool ishose;
  int32_t x, y, angle;
  int r, g, b;
  bool operator==(const object&) const = default;
};

// The scene as a list: hoses from the head, then blocks, checking every invariant.
std::vector<object> scene() {
  std::vector<object> v;
  int nh = 0, nb = 0, nfree = 0;
  for (const hose* h = hoses; h; h = h->next, nh++) {
    EXPECT_EQ(h->code, colorcode(h->r, h->g, h->b));
    v.push_back({true, h->x, h->y, h->angle, h->r, h->g, h->b});
  }
  for (const block* b = blocks; b; b = b->next, nb++) v.push_back({false, b->x, b->y, b->angle, 0, 0, 0});
  for (const hose* h = freehoses; h; h = h->next) nfree++;
  EXPECT_EQ(nh + nfree, MAXHOSES);
  nfree = 0;
  for (const block* b = freeblocks; b; b = b->next) nfree++;
  EXPECT_EQ(nb + nfree, MAXBLOCKS);
  for (int i = 0; i < MAPW * MAPH; i++)
    if (blockmap[i] > 4 * nb) {
      ADD_FAILURE() << "map cell " << i << " holds id " << blockmap[i] << " with " << nb << " blocks";
      break;
    }
  return v;
}

std::string filetext(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string hoselines(size_t bytes) {
  std::string s;
  for (int i = 0; s.size() < bytes; i++)
    s += "hose:" + std::to_string(i * 256) + "," + std::to_string(i) + ",384,1,2,3\n";
  return s;
}

std::string blocklines(int n) {
  std::string s;
  for (int i = 0; i < n; i++) s += "block:" + std::to_string(i * 1000) + ",61440," + std::to_string(i) + "\n";
  return s;
}

std::string randombytes(size_t n, bool zeros) {
  std::mt19937 gen(99);
  std::string s;
  while (s.size() < n) {
    char c = (char)(gen() & 255);
    if (zeros || c != 0) s += c;
  }
  return s;
}

enum kind { file, directory, dangling };

struct slotcase {
  const char* name;
  kind what;
  std::string bytes;
  bool readable;
  size_t textlength;                 // of the slot's text after reading
  int hoses, blocks;                 // after loading
};

// Test names in listings carry the case's name, not its bytes.
void PrintTo(const slotcase& c, std::ostream* os) { *os << c.name; }

class PresetFiles : public testing::TestWithParam<slotcase> {
 protected:
  temphome home;

  void SetUp() override {
    entertemphome(home, "spumexslots");
    if (scratch == nullptr) scratch = (uint8_t*)malloc(SCRATCHSIZE);
    inithoses();
    initblocks();
    initbitmap();
    for (char*& p : presets) {
      free(p);
      p = nullptr;
    }
  }

  void TearDown() override { leavetemphome(home); }

  std::string path(int slot) { return home.dir + "/.spumexpreset" + std::to_string(slot); }
};

TEST_P(PresetFiles, ReadLoadStoreAndReadAgain) {
  const slotcase& c = GetParam();
  const int slot = 4;
  switch (c.what) {
    case file:
      std::ofstream(path(slot), std::ios::binary) << c.bytes;
      break;
    case directory:
      ASSERT_EQ(mkdir(path(slot).c_str(), 0755), 0);
      break;
    case dangling:
      ASSERT_EQ(symlink((home.dir + "/nowhere").c_str(), path(slot).c_str()), 0);
      break;
  }
  readpresets();
  for (int n = 0; n < NPRESETS; n++) {
    if (n == slot) continue;
    EXPECT_EQ(presets[n], nullptr) << "slot " << n;
  }

  // A scene to be replaced, or kept when the slot stays empty.
  clearall();
  addhose(9, 9, 9);
  addblock();
  makeblockmap();
  std::vector<object> before = scene();

  if (!c.readable) {
    EXPECT_EQ(presets[slot], nullptr);
    loadpreset(slot);
    EXPECT_EQ(scene(), before) << "an empty slot changes nothing";
    return;
  }
  ASSERT_NE(presets[slot], nullptr);
  EXPECT_EQ(strlen(presets[slot]), c.textlength);
  EXPECT_EQ(memcmp(presets[slot], c.bytes.data(), c.textlength), 0);

  loadpreset(slot);
  std::vector<object> loaded = scene();
  int nh = 0;
  for (const object& o : loaded) nh += o.ishose;
  EXPECT_EQ(nh, c.hoses);
  EXPECT_EQ((int)loaded.size() - nh, c.blocks);

  // Stored back into the slot and its file, read at the next start, loaded again.
  savepreset(slot);
  ASSERT_NE(presets[slot], nullptr);
  EXPECT_EQ(filetext(path(slot)), std::string(presets[slot]));
  readpresets();
  clearall();
  loadpreset(slot);
  EXPECT_EQ(scene(), loaded);
}

const std::string bigblocks = blocklines(20);
const std::string big = bigblocks + hoselines(100000) + "block:1,2,3\n";
const std::string longzeros = "hose:" + std::string(60000, '0') + "42,2,3,4,5,6\n";
const std::string cutnumber = "hose:1,2,3,4,5," + std::string(70000, '0') + "7\n";
const std::string noise = randombytes(5000, false);
const std::string mixed = "\xff\xfe\x01 junk\r\nhose:1,2,3,4,5,6\n\x01\x02" "block:7,8,9\nblock:10,11,12\x80\x90\n";
const std::string zeroed = std::string("hose:1,2,3,4,5,6\n\0hose:7,8,9,10,11,12\n", 38) + randombytes(3000, true);

INSTANTIATE_TEST_SUITE_P(
    Slots, PresetFiles,
    testing::Values(
        slotcase{"Empty", file, "", true, 0, 0, 0},
        // Only the first 65,535 bytes count: the 20 blocks, then 64 of the hoses.
        slotcase{"HugeManyLines", file, big, true, 65535, 64, 20},
        slotcase{"HugeLeadingZeros", file, longzeros, true, longzeros.size(), 1, 0},
        // The sixth number is cut by the end of the read, leaving its zeros.
        slotcase{"HugeNumberCutByTheRead", file, cutnumber, true, 65535, 1, 0},
        slotcase{"BinaryNoise", file, noise, true, noise.size(), 0, 0},
        slotcase{"BinaryAroundLines", file, mixed, true, mixed.size(), 1, 1},
        slotcase{"BinaryWithZeroByte", file, zeroed, true, 17, 1, 0},
        slotcase{"UnreadableDirectory", directory, "", false, 0, 0, 0},
        slotcase{"UnreadableDanglingLink", dangling, "", false, 0, 0, 0}),
    [](const testing::TestParamInfo<slotcase>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace spumex
