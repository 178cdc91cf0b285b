// Preset slots whose files are empty, huge, binary, unreadable or no files at
// all (FIFO, socket, device): read, load, store and read again.
#include <gtest/gtest.h>

#include "app/app.h"
#include "helpers/stderrof.h"
#include "helpers/temphome.h"
#include "gfx/gfx.h"
#include "presets/presets.h"
#include "sim/sim.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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

// Ends the test run when reading the slots waits for what never comes.
void waited(int) {
  const char m[] = "reading the preset files waited on a slot file\n";
  ssize_t done = write(2, m, sizeof m - 1);
  _exit(done > 0 ? 1 : 2);
}

// Reads the slots; a read that waits ends the test run after 20 s with a message.
void readwithin20s() {
  signal(SIGALRM, waited);
  alarm(20);
  readpresets();
  alarm(0);
}

// The file type of a path itself, 0 when there is nothing.
mode_t entrytype(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

enum kind { file, directory, dangling, fifo, socketfile, devicelink };

struct slotcase {
  const char* name;
  kind what;
  std::string bytes;
  bool readable;
  size_t textlength;                 // of the slot's text after reading
  int hoses, blocks;                 // after loading
  int storeerror = 0;                // errno a store reports, 0 when it succeeds
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
    case fifo:
      ASSERT_EQ(mkfifo(path(slot).c_str(), 0644), 0);
      break;
    case socketfile: {
      int fd = socket(AF_UNIX, SOCK_STREAM, 0);
      sockaddr_un a = {};
      a.sun_family = AF_UNIX;
      ASSERT_LT(path(slot).size(), sizeof a.sun_path);
      strcpy(a.sun_path, path(slot).c_str());
      ASSERT_EQ(bind(fd, (sockaddr*)&a, sizeof a), 0);
      close(fd);
      break;
    }
    case devicelink:
      ASSERT_EQ(symlink("/dev/zero", path(slot).c_str()), 0);
      break;
  }
  const mode_t type = entrytype(path(slot));
  readwithin20s();
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

    // A store never replaces what is not a file; a link to nothing yet
    // makes its target. Only a failure speaks, in one line.
    std::string said = stderrof([&] { savepreset(slot); });
    std::string text = "hose:81920,61440,384,9,9,9\nblock:81920,61440,0\n";
    ASSERT_NE(presets[slot], nullptr);
    EXPECT_EQ(std::string(presets[slot]), text) << "the slot keeps the scene";
    EXPECT_EQ(entrytype(path(slot)), type) << "the slot's entry was replaced";
    if (c.storeerror == 0) {
      EXPECT_EQ(said, "");
      EXPECT_EQ(filetext(home.dir + "/nowhere"), text);
    } else {
      EXPECT_EQ(said, "Couldn't store preset 4 in " + path(slot) + ": " + strerror(c.storeerror) + "\n");
    }
    EXPECT_EQ(entrytype(path(slot) + ".tmp"), 0u) << "temporary file left";
    EXPECT_EQ(entrytype("/dev/zero"), (mode_t)S_IFCHR);
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

  // Stored back into the slot and its file, silently, read at the next start, loaded again.
  EXPECT_EQ(stderrof([&] { savepreset(slot); }), "");
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
        slotcase{"UnreadableDirectory", directory, "", false, 0, 0, 0, EISDIR},
        slotcase{"UnreadableDanglingLink", dangling, "", false, 0, 0, 0, 0},
        slotcase{"Fifo", fifo, "", false, 0, 0, 0, ENOTSUP},
        slotcase{"Socket", socketfile, "", false, 0, 0, 0, ENOTSUP},
        slotcase{"DeviceThroughLink", devicelink, "", false, 0, 0, 0, ENOTSUP}),
    [](const testing::TestParamInfo<slotcase>& i) { return std::string(i.param.name); });

// Start-up with a FIFO in every slot: no slot waits for a writer, all stay empty.
TEST(PresetFifos, NeverBlockStartUp) {
  temphome home;
  entertemphome(home, "spumexfifos");
  if (scratch == nullptr) scratch = (uint8_t*)malloc(SCRATCHSIZE);
  for (int n = 0; n < NPRESETS; n++) {
    ASSERT_EQ(mkfifo((home.dir + "/.spumexpreset" + std::to_string(n)).c_str(), 0644), 0);
    free(presets[n]);
    presets[n] = strdup("stale");
  }
  readwithin20s();
  for (int n = 0; n < NPRESETS; n++) EXPECT_EQ(presets[n], nullptr) << "slot " << n;
  leavetemphome(home);
}

}  // namespace
}  // namespace spumex
