// Preset slots: text format, loading rules, file names and safe stores.
#include "presets/presets.h"

#include "app/app.h"
#include "gfx/gfx.h"
#include "sim/sim.h"
#include "helpers/stderrof.h"
#include "helpers/testvideo.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace spumex;

namespace {

struct hoseval {
  int32_t x, y, angle;
  int r, g, b;
  int32_t code;
  bool operator==(const hoseval&) const = default;
};

struct blockval {
  int32_t x, y, angle;
  bool operator==(const blockval&) const = default;
};

std::vector<hoseval> livehoses() {
  std::vector<hoseval> v;
  for (const hose* h = hoses; h; h = h->next) v.push_back({h->x, h->y, h->angle, h->r, h->g, h->b, h->code});
  return v;
}

std::vector<blockval> liveblocks() {
  std::vector<blockval> v;
  for (const block* b = blocks; b; b = b->next) v.push_back({b->x, b->y, b->angle});
  return v;
}

void setslot(int slot, const char* text) {
  free(presets[slot]);
  presets[slot] = text ? strdup(text) : nullptr;
}

std::string slottext(int slot) { return presets[slot] ? std::string(presets[slot]) : std::string("<null>"); }

std::string filetext(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writefile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::string failure(int slot, const std::string& path, int err) {
  return "Couldn't store preset " + std::to_string(slot) + " in " + path + ": " + strerror(err) + "\n";
}

// Every leftover temporary file under a directory.
std::vector<std::string> temps(const std::string& d) {
  std::vector<std::string> v;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(d, ec); !ec && it != end(it); it.increment(ec))
    if (it->path().extension() == TEMPSUFFIX) v.push_back(it->path());
  return v;
}

// Whether a new file can be made in the directory with the current rights.
bool probewrite(const std::string& d) {
  std::string probe = d + "/probe";
  int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0) return false;
  close(fd);
  unlink(probe.c_str());
  return true;
}

class Presets : public ::testing::Test {
 protected:
  temphome home;
  std::string& dir = home.dir;

  static void SetUpTestSuite() {
    if (scratch == nullptr) scratch = (uint8_t*)malloc(SCRATCHSIZE);
    inithoses();
    initblocks();
    initbitmap();
  }

  void SetUp() override {
    entertemphome(home, "spumexpresets");
    clearall();
    for (int i = 0; i < NPRESETS; i++) setslot(i, nullptr);
  }

  void TearDown() override {
    chmod(dir.c_str(), 0700);
    leavetemphome(home);
    clearall();
  }

  void loadtext(const char* text) {
    setslot(6, text);
    loadpreset(6);
  }
};

TEST_F(Presets, InitialSceneText) {
  addhose(255, 255, 255);
  savepreset(0);
  const std::string expect = "hose:81920,61440,384,255,255,255\n";
  EXPECT_EQ(slottext(0), expect);
  EXPECT_EQ(filetext(dir + "/.spumexpreset0"), expect);  // no terminating zero in the file
}

TEST_F(Presets, RoundTripKeepsOrderAndFaceIds) {
  const uint32_t cols[][3] = {{255, 0, 0}, {0, 200, 31}, {17, 99, 240}, {255, 255, 255}};
  const int32_t pos[][3] = {{81920, 61440, 384}, {-2560, 30000, -512}, {163839, 122879, 768}, {5000, 7, 2000000}};
  for (int i = 0; i < 4; i++) {
    hose* h = addhose(cols[i][0], cols[i][1], cols[i][2]);
    h->x = pos[i][0];
    h->y = pos[i][1];
    h->angle = pos[i][2];
  }
  const int32_t bpos[][3] = {{81920, 61440, 0}, {90000, 64000, 100}, {40000, 100000, -300}};
  for (const auto& p : bpos) {
    block* b = addblock();
    b->x = p[0];
    b->y = p[1];
    b->angle = p[2];
  }
  makeblockmap();
  std::vector<uint16_t> map(blockmap, blockmap + MAPW * MAPH);
  const auto hv = livehoses();
  const auto bv = liveblocks();

  savepreset(4);
  const std::string text = slottext(4);
  EXPECT_EQ(filetext(dir + "/.spumexpreset4"), text);

  clearall();
  addhose(1, 2, 3);
  addblock();
  makeblockmap();
  loadpreset(4);
  EXPECT_EQ(livehoses(), hv);
  EXPECT_EQ(liveblocks(), bv);
  EXPECT_TRUE(std::equal(map.begin(), map.end(), blockmap)) << "face ids changed";
  EXPECT_EQ(slottext(4), text) << "loading never changes the slot";

  // The file read back at start-up gives the same text and scene.
  setslot(4, nullptr);
  readpresets();
  EXPECT_EQ(slottext(4), text);
  clearall();
  loadpreset(4);
  EXPECT_EQ(livehoses(), hv);
  EXPECT_EQ(liveblocks(), bv);
}

TEST_F(Presets, EmptySceneGivesEmptyFileAndClears) {
  savepreset(2);
  ASSERT_NE(presets[2], nullptr);
  EXPECT_EQ(slottext(2), "");
  const std::string path = dir + "/.spumexpreset2";
  ASSERT_TRUE(exists(path));
  EXPECT_EQ(filetext(path), "");

  setslot(2, nullptr);
  readpresets();
  ASSERT_NE(presets[2], nullptr) << "an empty file is an empty, non-null text";
  EXPECT_EQ(slottext(2), "");

  addhose(1, 2, 3);
  addblock();
  makeblockmap();
  loadpreset(2);
  EXPECT_EQ(hoses, nullptr);
  EXPECT_EQ(blocks, nullptr);
  for (int i = 0; i < MAPW * MAPH; i++) ASSERT_EQ(blockmap[i], 0) << "block map not rebuilt at " << i;
}

TEST_F(Presets, EmptySlotAndBadSlotsChangeNothing) {
  addhose(10, 20, 30);
  addblock();
  const auto hv = livehoses();
  const auto bv = liveblocks();
  for (int slot : {5, -1, 10, 1000, INT32_MIN}) {
    loadpreset(slot);
    EXPECT_EQ(livehoses(), hv) << slot;
    EXPECT_EQ(liveblocks(), bv) << slot;
  }
  savepreset(-1);
  savepreset(10);
  EXPECT_FALSE(exists(dir + "/.spumexpreset10"));
  EXPECT_FALSE(exists(dir + "/.spumexpreset-1"));
  for (int i = 0; i < NPRESETS; i++) EXPECT_EQ(presets[i], nullptr) << i;
}

struct textcase {
  const char* name;
  const char* text;
  std::vector<hoseval> hoses;
  std::vector<blockval> blocks;
  int skipped;  // lines that hold neither a hose nor a block
};

// colour codes: (r >> 5) << 6 | (g >> 5) << 3 | b >> 5
const textcase textcases[] = {
    {"five numbers", "hose:1,2,3,4,5\n", {}, {}, 1},
    {"red 300 is 44", "hose:100,200,5,300,0,0\n", {{100, 200, 5, 44, 0, 0, 64}}, {}, 0},
    {"sixth number on next line", "hose:1,2,3,4,5,\n6\nblock:7,8,9\n", {{1, 2, 3, 4, 5, 6, 0}}, {{7, 8, 9}}, 1},
    {"crlf", "hose:1,2,3,160,64,255\r\nblock:7,8,9\r\n", {{1, 2, 3, 160, 64, 255, 5 << 6 | 2 << 3 | 7}}, {{7, 8, 9}}, 0},
    {"junk between good lines",
     "garbage\nhose:1,2,3,4,5,6\n  hose:9,9,9,9,9,9\nhose :1,2,3,4,5,6\nblock:1,2\n"
     "block:4,5,6 trailing\nHOSE:1,2,3,4,5,6\n\n\nblock:-7,+8, 9",
     {{1, 2, 3, 4, 5, 6, 0}},
     {{4, 5, 6}, {-7, 8, 9}},
     7},
    {"white space before numbers", "hose: 1,\t2,\n\r\v\f 3,-4,+5,6\n", {{1, 2, 3, 252, 5, 6, 7 << 6}}, {}, 1},
    {"white space before a comma", "hose:1 ,2,3,4,5,6\nblock:1,2 ,3\n", {}, {}, 2},
    {"sign without digits", "hose:-,1,2,3,4,5\nblock:+,1,2\nblock:1,2,-\n", {}, {}, 3},
    {"leading zeros and trailing text", "block:007,-0,0012x,99\n", {}, {{7, 0, 12}}, 0},
    {"no final line feed", "block:1,2,3", {}, {{1, 2, 3}}, 0},
    {"numbers beyond int saturate",
     "hose:99999999999,-99999999999,4294967297,-1,256,511\nblock:2147483647,-2147483648,2147483648\n",
     {{INT32_MAX, INT32_MIN, INT32_MAX, 255, 0, 255, 7 << 6 | 7}},
     {{INT32_MAX, INT32_MIN, INT32_MAX}},
     0},
    {"lines keep their order", "block:1,1,1\nhose:5,5,5,0,0,0\nblock:2,2,2\nhose:6,6,6,0,0,0\n",
     {{5, 5, 5, 0, 0, 0, 0}, {6, 6, 6, 0, 0, 0, 0}},
     {{1, 1, 1}, {2, 2, 2}},
     0},
    {"only line feeds", "\n\n\n", {}, {}, 3},
    {"number runs into the end", "hose:1,2,3,4,5,", {}, {}, 1},
    {"empty", "", {}, {}, 0},
};

TEST_F(Presets, TextCases) {
  for (const auto& c : textcases) {
    clearall();
    addhose(9, 9, 9);
    addblock();
    loadtext(c.text);
    EXPECT_EQ(livehoses(), c.hoses) << c.name;
    EXPECT_EQ(liveblocks(), c.blocks) << c.name;
    EXPECT_EQ(skippedlines(c.text), c.skipped) << c.name;
  }
}

TEST_F(Presets, LoadRebuildsBlockMap) {
  addblock();
  makeblockmap();
  loadtext("hose:1,2,3,4,5,6\n");
  for (int i = 0; i < MAPW * MAPH; i++) ASSERT_EQ(blockmap[i], 0) << "old block still in the map at " << i;

  loadtext("block:81920,61440,0\n");
  EXPECT_NE(blockmap[240 * MAPW + 320], 0) << "loaded block missing from the map";
}

TEST_F(Presets, ExtraLinesBeyondPoolsDropped) {
  std::string text;
  for (int i = 0; i < 70; i++) text += "hose:" + std::to_string(i) + ",0,0,0,0,0\n";
  for (int i = 0; i < 70; i++) text += "block:" + std::to_string(i) + ",0,0\n";
  EXPECT_EQ(skippedlines(text.c_str()), 12);
  loadtext(text.c_str());
  const auto hv = livehoses();
  const auto bv = liveblocks();
  ASSERT_EQ(hv.size(), 64u);
  ASSERT_EQ(bv.size(), 64u);
  for (int i = 0; i < 64; i++) {
    EXPECT_EQ(hv[i].x, i);
    EXPECT_EQ(bv[i].x, i);
  }
  EXPECT_EQ(freehoses, nullptr);
  EXPECT_EQ(freeblocks, nullptr);

  // A full scene stores and loads back whole.
  savepreset(3);
  loadpreset(3);
  EXPECT_EQ(livehoses(), hv);
  EXPECT_EQ(liveblocks(), bv);
}

TEST_F(Presets, FileNames) {
  char buf[NAMESIZE];
  setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(presetname(buf, sizeof buf, 7), (int)strlen("/home/someone/.spumexpreset7"));
  EXPECT_STREQ(buf, "/home/someone/.spumexpreset7");

  setenv("HOME", "", 1);
  EXPECT_EQ(presetname(buf, sizeof buf, 4), 15);
  EXPECT_STREQ(buf, "/.spumexpreset4");

  unsetenv("HOME");
  EXPECT_EQ(presetname(buf, sizeof buf, 3), 7);
  EXPECT_STREQ(buf, "spumex3");

  // Too long for the buffer: the full length comes back, nothing is
  // written past the buffer and no cut-off name is left in it.
  std::string home(300, 'h');
  setenv("HOME", home.c_str(), 1);
  char big[NAMESIZE + 64];
  memset(big, 'Z', sizeof big);
  EXPECT_EQ(presetname(big, NAMESIZE, 1), 300 + 15);
  EXPECT_EQ(big[0], 0);
  for (size_t i = NAMESIZE; i < sizeof big; i++) ASSERT_EQ(big[i], 'Z') << i;
}

TEST_F(Presets, HomeUnsetUsesCurrentDirectory) {
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  unsetenv("HOME");
  addblock();
  savepreset(3);
  readpresets();
  EXPECT_EQ(chdir(cwd), 0);
  EXPECT_EQ(filetext(dir + "/spumex3"), "block:81920,61440,0\n");
  EXPECT_EQ(slottext(3), "block:81920,61440,0\n");
}

TEST_F(Presets, VeryLongHome) {
  std::string home = dir;
  for (int i = 0; i < 4; i++) home += "/" + std::string(100, (char)('a' + i));
  ASSERT_TRUE(std::filesystem::create_directories(home));
  ASSERT_GT(home.size(), 400u);
  setenv("HOME", home.c_str(), 1);

  const std::string path = home + "/.spumexpreset8";
  char big[1024];
  EXPECT_EQ(presetname(big, sizeof big, 8), (int)path.size());
  EXPECT_EQ(big, path);

  addhose(1, 2, 3);
  savepreset(8);
  EXPECT_EQ(filetext(path), "hose:81920,61440,384,1,2,3\n");
  EXPECT_FALSE(exists(path + TEMPSUFFIX));

  setslot(8, nullptr);
  readpresets();
  EXPECT_EQ(slottext(8), "hose:81920,61440,384,1,2,3\n");
}

TEST_F(Presets, ReadTakesOneReadUpToZeroByte) {
  writefile(dir + "/.spumexpreset0", std::string(70000, 'a'));
  writefile(dir + "/.spumexpreset1", std::string("block:1,2,3\n\0block:4,5,6\n", 25));
  mkdir((dir + "/.spumexpreset2").c_str(), 0755);  // opens, but cannot be read
  setslot(5, "stale");
  readpresets();
  EXPECT_EQ(slottext(0), std::string(65535, 'a'));
  EXPECT_EQ(slottext(1), "block:1,2,3\n");
  EXPECT_EQ(presets[2], nullptr);
  EXPECT_EQ(presets[5], nullptr) << "a missing file empties the slot";
}

// A store replaces a longer old file; a leftover temporary file with
// other rights gives way to a fresh one with the old file's mode 0644.
TEST_F(Presets, StoreReplacesFile) {
  const std::string path = dir + "/.spumexpreset1";
  writefile(path, std::string(5000, 'o'));
  chmod(path.c_str(), 0644);
  writefile(path + TEMPSUFFIX, "leftover that is much longer than the new text\n");
  chmod((path + TEMPSUFFIX).c_str(), 0600);
  mode_t old = umask(0);
  addblock();
  savepreset(1);
  umask(old);
  EXPECT_EQ(filetext(path), "block:81920,61440,0\n");
  EXPECT_FALSE(exists(path + TEMPSUFFIX));
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

// The store replaces the slot's file, or the file at the end of its chain
// of symbolic links, which stay as they were. A replaced file keeps its
// rights whatever the umask; a new one is 0644 less the umask. A file the
// user may not write is kept as it is (root may write any): the cases for
// a user whom permissions bind run as nobody when the test runs as root.
TEST_F(Presets, StoreThroughLinks) {
  enum runner { anyone, user, root };
  struct linkcase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> links;  // link (under HOME), its target; "@" is HOME
    const char* target;              // file at the end, under HOME
    int oldmode;                     // its mode before, -1 when missing
    mode_t mask;                     // umask during the store
    int err;                         // errno reported, 0 for a store
    runner as = anyone;              // who stores
  };
  const linkcase cases[] = {
      {"plain file", {}, ".spumexpreset5", 0666, 022, 0},
      {"plain file, strict umask", {}, ".spumexpreset5", 0755, 077, 0},
      {"new plain file", {}, ".spumexpreset5", -1, 0, 0},
      {"new plain file, strict umask", {}, ".spumexpreset5", -1, 077, 0},
      {"relative", {{".spumexpreset5", "dots/p5"}}, "dots/p5", 0600, 022, 0},
      {"absolute", {{".spumexpreset5", "@/dots/p5"}}, "dots/p5", 0640, 0, 0},
      {"chain", {{".spumexpreset5", "a/l2"}, {"a/l2", "../dots/l3"}, {"dots/l3", "@/dots/p5"}}, "dots/p5", 0604, 022, 0},
      {"into a linked directory", {{".spumexpreset5", "b/p5"}, {"b", "dots"}}, "dots/p5", 0600, 022, 0},
      {"dangling", {{".spumexpreset5", "dots/new5"}}, "dots/new5", -1, 022, 0},
      {"dangling chain", {{".spumexpreset5", "a/l2"}, {"a/l2", "../dots/new5"}}, "dots/new5", -1, 022, 0},
      {"dangling into no directory", {{".spumexpreset5", "none/p5"}}, "none/p5", -1, 022, ENOENT},
      {"loop", {{".spumexpreset5", "a/l2"}, {"a/l2", "../.spumexpreset5"}}, "", -1, 022, ELOOP},
      {"itself", {{".spumexpreset5", ".spumexpreset5"}}, "", -1, 022, ELOOP},
      {"to a directory", {{".spumexpreset5", "dots"}}, "", -1, 022, EISDIR},
      {"read-only file", {}, ".spumexpreset5", 0444, 022, EACCES, user},
      {"read-only file through a link", {{".spumexpreset5", "dots/p5"}}, "dots/p5", 0444, 022, EACCES, user},
      {"file anyone may write", {}, ".spumexpreset5", 0666, 022, 0, user},
      {"read-only file, root", {}, ".spumexpreset5", 0444, 022, 0, root},
  };
  const bool isroot = geteuid() == 0;
  bool canuser = !isroot || (seteuid(65534) == 0 && seteuid(0) == 0);
  const std::string slot = dir + "/.spumexpreset5";
  addblock();
  const std::string text = "block:81920,61440,0\n";
  for (const auto& c : cases) {
    if ((c.as == user && !canuser) || (c.as == root && !isroot)) continue;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "/dots");
    std::filesystem::create_directories(dir + "/a");
    for (const auto& [link, to] : c.links) {
      std::string t = to[0] == '@' ? dir + to.substr(1) : to;
      ASSERT_EQ(symlink(t.c_str(), (dir + "/" + link).c_str()), 0) << c.name;
    }
    const std::string target = dir + "/" + c.target;
    if (c.oldmode >= 0) {
      writefile(target, "old text");
      chmod(target.c_str(), (mode_t)c.oldmode);
    }
    bool drop = c.as == user && isroot;
    if (drop)
      for (const char* d : {"", "/dots", "/a"}) chmod((dir + d).c_str(), 0777);
    mode_t before = umask(c.mask);
    if (drop) {
      ASSERT_EQ(seteuid(65534), 0);
    }
    std::string said = stderrof([] { savepreset(5); });
    if (drop) {
      ASSERT_EQ(seteuid(0), 0);
    }
    umask(before);
    EXPECT_EQ(slottext(5), text) << c.name;
    for (const auto& [link, to] : c.links) {
      char got[4096];
      ssize_t n = readlink((dir + "/" + link).c_str(), got, sizeof got);
      std::string t = to[0] == '@' ? dir + to.substr(1) : to;
      EXPECT_EQ(std::string(got, n > 0 ? (size_t)n : 0), t) << c.name << ": link " << link << " changed";
    }
    EXPECT_EQ(temps(dir), std::vector<std::string>()) << c.name;
    if (c.err != 0) {
      EXPECT_EQ(said, failure(5, slot, c.err)) << c.name;
      struct stat st;
      if (c.oldmode >= 0 && stat(target.c_str(), &st) == 0) {
        EXPECT_EQ(filetext(target), "old text") << c.name << ": old file replaced";
        EXPECT_EQ(st.st_mode & 07777, (mode_t)c.oldmode) << c.name;
      }
      continue;
    }
    EXPECT_EQ(said, "") << c.name;
    EXPECT_EQ(filetext(target), text) << c.name;
    EXPECT_EQ(filetext(slot), text) << c.name;
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0) << c.name;
    EXPECT_EQ(st.st_mode & 07777, c.oldmode >= 0 ? (mode_t)c.oldmode : 0644 & ~c.mask) << c.name;
  }
  if (!canuser) GTEST_SKIP() << "runs as root and cannot drop to nobody: the cases as a user were not run";
}

// The store of scene B after scene A fails; the old file must survive.
class FailedStore : public Presets {
 protected:
  std::string path;
  const std::string olda = "hose:81920,61440,384,255,255,255\n";

  void SetUp() override {
    Presets::SetUp();
    path = dir + "/.spumexpreset1";
    addhose(255, 255, 255);
    savepreset(1);
    ASSERT_EQ(filetext(path), olda);
    addblock();
    addhose(0, 0, 255);
  }

  void TearDown() override {
    umount2((dir + "/full").c_str(), MNT_DETACH);  // the full file system's tmpfs, if mounted
    Presets::TearDown();
  }

  const std::string newb = "hose:81920,61440,384,0,0,255\nhose:81920,61440,384,255,255,255\nblock:81920,61440,0\n";

  // Stores scene B, expecting one line on standard error for err.
  void storefails(int err) {
    std::string said = stderrof([] { savepreset(1); });
    EXPECT_EQ(said, failure(1, path, err));
  }

  void checkkept() {
    EXPECT_EQ(slottext(1), newb) << "the slot keeps the new text";
    EXPECT_EQ(filetext(path), olda) << "old file lost";
    loadpreset(1);
    EXPECT_EQ(livehoses().size(), 2u);
  }
};

TEST_F(FailedStore, ReadOnlyDirectory) {
  ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
  bool dropped = geteuid() == 0 && seteuid(65534) == 0;  // root ignores permissions
  bool canwrite = probewrite(dir);
  if (!canwrite) storefails(EACCES);
  if (dropped) {
    EXPECT_EQ(seteuid(0), 0);
  }
  chmod(dir.c_str(), 0700);
  if (canwrite) GTEST_SKIP() << "cannot make a directory read-only here";
  checkkept();
  EXPECT_FALSE(exists(path + TEMPSUFFIX));
}

TEST_F(FailedStore, DirectoryInPlaceOfTempFile) {
  ASSERT_EQ(mkdir((path + TEMPSUFFIX).c_str(), 0755), 0);
  storefails(EISDIR);
  checkkept();
  struct stat st;
  ASSERT_EQ(stat((path + TEMPSUFFIX).c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode)) << "a foreign entry must not be removed";
}

TEST_F(FailedStore, WriteCutShort) {
  // A file size limit lets the first write through in part, then fails.
  struct rlimit old;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit lim = old;
  lim.rlim_cur = 10;
  auto oldsig = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lim), 0);
  storefails(EFBIG);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldsig);
  checkkept();
  EXPECT_FALSE(exists(path + TEMPSUFFIX)) << "temporary file left behind";
}

TEST_F(FailedStore, RenameFails) {
  // A non-empty directory in place of the slot's file cannot be replaced.
  std::filesystem::remove(path);
  ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
  writefile(path + "/keep", "x");
  storefails(EISDIR);
  EXPECT_EQ(slottext(1), newb);
  EXPECT_EQ(filetext(path + "/keep"), "x");
  EXPECT_FALSE(exists(path + TEMPSUFFIX)) << "temporary file left behind";
}

// A full file system: a small tmpfs as HOME, where one can be mounted (a
// file size limit, the fallback, is WriteCutShort).
TEST_F(FailedStore, FullFileSystem) {
  const std::string mnt = dir + "/full";
  ASSERT_EQ(mkdir(mnt.c_str(), 0755), 0);
  if (mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=8k") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
  // Scene A stored on the tmpfs, then every free block taken.
  path = mnt + "/.spumexpreset1";
  writefile(path, olda);
  setenv("HOME", mnt.c_str(), 1);
  int fd = open((mnt + "/filler").c_str(), O_WRONLY | O_CREAT, 0644);
  char block[1024] = {};
  while (write(fd, block, sizeof block) > 0) {
  }
  while (write(fd, block, 1) > 0) {
  }
  close(fd);
  storefails(ENOSPC);
  EXPECT_FALSE(exists(path + TEMPSUFFIX)) << "temporary file left behind";
  checkkept();

  // With room again the next store goes through.
  unlink((mnt + "/filler").c_str());
  EXPECT_EQ(stderrof([] { savepreset(1); }), "");
  EXPECT_EQ(filetext(path), newb);
}

}  // namespace
