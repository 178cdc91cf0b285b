// Tests for the PCX loader: header codes, name lookup, decoding, palette, and files from ImageMagick.
#include "support/support.h"
#include "helpers/temphome.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace spumex;

namespace {

using bytes = std::vector<uint8_t>;

const char* IMCONVERT = "/usr/bin/convert";

void put16(bytes& b, int at, int v) {
  b[at] = (uint8_t)(v & 255);
  b[at + 1] = (uint8_t)(v >> 8 & 255);
}

// A 128-byte version 5, RLE, 8-bit, one-plane header.
bytes header(int xmin, int ymin, int xmax, int ymax, int bpl) {
  bytes h(128, 0);
  h[0] = 10;
  h[1] = 5;
  h[2] = 1;
  h[3] = 8;
  put16(h, 4, xmin);
  put16(h, 6, ymin);
  put16(h, 8, xmax);
  put16(h, 10, ymax);
  h[64] = 0x33;
  h[65] = 1;
  put16(h, 66, bpl);
  return h;
}

bytes cat(bytes a, const bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Marker byte 12 and a palette where entry i is (i, 255 - i, i ^ 0x5a).
bytes palettetail() {
  bytes p{12};
  for (int i = 0; i < 256; i++) {
    p.push_back((uint8_t)i);
    p.push_back((uint8_t)(255 - i));
    p.push_back((uint8_t)(i ^ 0x5a));
  }
  return p;
}

void writefile(const std::string& path, const bytes& b) {
  std::ofstream f(path, std::ios::binary);
  f.write((const char*)b.data(), (std::streamsize)b.size());
}

bytes readfile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return bytes(std::istreambuf_iterator<char>(f), {});
}

int openfds() {
  int n = 0;
  DIR* d = opendir("/proc/self/fd");
  if (!d) return -1;
  while (readdir(d)) n++;
  closedir(d);
  return n;
}

bool allzero(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; i++)
    if (p[i]) return false;
  return true;
}

// Runs each test in a fresh directory with an empty data/ below it.
struct Pcx : ::testing::Test {
  std::string home;
  std::string dir;
  pcximage img;

  void SetUp() override {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    home = cwd;
    dir = maketempdir("spumexpcx");
    ASSERT_FALSE(dir.empty());
    ASSERT_EQ(chdir(dir.c_str()), 0);
    ASSERT_EQ(mkdir("data", 0755), 0);
    memset(&img, 0x77, sizeof img);
    img.pixels = nullptr;
  }
  void TearDown() override {
    free(img.pixels);
    if (chdir(home.c_str()) != 0) ADD_FAILURE() << "cannot return to " << home;
    removetempdir(dir);
  }
  // Writes data/name and loads it.
  int load(const bytes& file, const char* name = "t.pcx") {
    writefile(std::string("data/") + name, file);
    free(img.pixels);
    img.pixels = nullptr;
    return readpcx(name, &img);
  }
  void expectempty(const std::string& what) {
    EXPECT_EQ(img.pixels, nullptr) << what;
    EXPECT_EQ(img.width, 0) << what;
    EXPECT_EQ(img.height, 0) << what;
    EXPECT_TRUE(allzero(img.palette, sizeof img.palette)) << what;
  }
};

TEST_F(Pcx, HeaderCodes) {
  const bytes good = cat(cat(header(0, 0, 1, 1, 2), {1, 2, 3, 4}), palettetail());
  struct edit {
    const char* what;
    int offset;  // byte to change, or -1
    int value;
    size_t length;  // bytes kept
    int code;
  };
  const edit cases[] = {
      {"manufacturer 11", 0, 11, 9999, 2},
      {"version 3", 1, 3, 9999, 3},
      {"encoding 0", 2, 0, 9999, 4},
      {"4 bits per pixel", 3, 4, 9999, 5},
      {"three planes", 65, 3, 9999, 6},
      {"empty file", -1, 0, 0, 2},
      {"1 byte", -1, 0, 1, 3},
      {"2 bytes", -1, 0, 2, 4},
      {"3 bytes", -1, 0, 3, 5},
      {"4 bytes", -1, 0, 4, 6},
      {"65 bytes", -1, 0, 65, 6},
      {"66 bytes", -1, 0, 66, 9},
      {"67 bytes", -1, 0, 67, 9},
      {"header only", -1, 0, 128, 0},
  };
  for (const edit& e : cases) {
    bytes f = good;
    if (e.offset >= 0) f[e.offset] = (uint8_t)e.value;
    if (e.length < f.size()) f.resize(e.length);
    int fds = openfds();
    EXPECT_EQ(load(f), e.code) << e.what;
    EXPECT_EQ(openfds(), fds) << e.what << ": file left open";
    if (e.code != 0) expectempty(e.what);
  }
}

TEST_F(Pcx, UnplaceableAndHugeHeaders) {
  const struct {
    const char* what;
    bytes head;
    int code;
  } cases[] = {
      {"xmax < xmin", header(5, 0, 4, 1, 2), 9},
      {"ymax < ymin", header(0, 7, 1, 3, 2), 9},
      {"bytes per line 0", header(0, 0, 1, 1, 0), 9},
      {"bytes per line below width", header(0, 0, 9, 1, 8), 9},
      {"8192 x 8192", header(0, 0, 8191, 8191, 8192), 8},
      {"65535 x 65536", header(0, 0, 65534, 65535, 65535), 8},
      {"64 KiB rows", header(0, 0, 65534, 1024, 65535), 8},
  };
  for (const auto& c : cases) {
    int fds = openfds();
    EXPECT_EQ(load(cat(c.head, palettetail())), c.code) << c.what;
    EXPECT_EQ(openfds(), fds) << c.what << ": file left open";
    expectempty(c.what);
  }
}

// 8191 rows of 8193 bytes plus the spare byte is exactly 64 MiB: still taken.
// The data ends at once, so every pixel reads as 255.
TEST_F(Pcx, LargestBufferIsTaken) {
  ASSERT_EQ(load(header(0, 0, 8192, 8190, 8193)), 0);
  ASSERT_EQ(img.width, 8193);
  ASSERT_EQ(img.height, 8191);
  size_t n = (size_t)img.width * img.height;
  size_t ones = 0;
  for (size_t i = 0; i < n; i++) ones += img.pixels[i] == 255;
  EXPECT_EQ(ones, n);
}

TEST_F(Pcx, LoadpcxMessage) {
  bytes v3 = cat(header(0, 0, 1, 1, 2), {1, 2, 3, 4});
  v3[1] = 3;
  writefile("data/old", v3);
  writefile("data/fine", cat(header(0, 0, 1, 1, 2), {1, 2, 3, 4}));
  const struct {
    const char* name;
    int code;
    const char* out;
  } cases[] = {
      {"old", 3, "Error loading \"old\":code 3\n"},
      {"absent", 1, "Error loading \"absent\":code 1\n"},
      {"fine", 0, ""},
  };
  for (const auto& c : cases) {
    testing::internal::CaptureStdout();
    int code = loadpcx(c.name, &img);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out) << c.name;
    EXPECT_EQ(code, c.code) << c.name;
    free(img.pixels);
    img.pixels = nullptr;
  }
}

TEST_F(Pcx, NameLookupOrder) {
  writefile("data/pic", cat(header(0, 0, 0, 0, 1), {7}));
  writefile("data/pic.pcx", cat(header(0, 0, 0, 0, 1), {9}));
  const struct {
    const char* name;
    bool removeplain;
    int code;
    int pixel;
  } cases[] = {
      {"pic", false, 0, 7},
      {"pic.pcx", false, 0, 9},
      {"pic", true, 0, 9},
      {"nothing", false, 1, -1},
  };
  for (const auto& c : cases) {
    if (c.removeplain) unlink("data/pic");
    free(img.pixels);
    img.pixels = nullptr;
    int fds = openfds();
    EXPECT_EQ(readpcx(c.name, &img), c.code) << c.name;
    EXPECT_EQ(openfds(), fds) << c.name;
    if (c.code == 0 && img.pixels) {
      EXPECT_EQ(img.pixels[0], c.pixel) << c.name;
    }
    if (c.code != 0) expectempty(c.name);
  }
}

// Names whose file names need more than the 256-byte buffers are refused even
// when a file with the cut-off name exists.
TEST_F(Pcx, LongNames) {
  auto nameof = [](size_t len) {
    std::string s;
    while (s.size() + 50 < len) s += std::string(49, 'd') + "/";
    s += std::string(len - s.size(), 'n');
    return s;
  };
  auto make = [](const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    writefile(path, cat(header(0, 0, 0, 0, 1), {5}));
  };
  const struct {
    size_t len;
    const char* made;  // suffix of the file made behind "data/" + name
    size_t cut;        // 0: whole path, else the path cut to this length
    int code;
  } cases[] = {
      {250, "", 0, 0},        // "data/" + 250 bytes fills 255
      {251, "", 255, 1},      // one too long: no cut-off lookup
      {246, ".pcx", 0, 0},    // the .pcx name fills 255
      {247, ".pcx", 255, 1},  // the .pcx name is one too long
  };
  for (const auto& c : cases) {
    std::string name = nameof(c.len);
    std::string path = "data/" + name + c.made;
    if (c.cut) path.resize(c.cut);
    make(path);
    free(img.pixels);
    img.pixels = nullptr;
    EXPECT_EQ(readpcx(name.c_str(), &img), c.code) << "name length " << c.len;
    std::filesystem::remove(path);
  }
}

TEST_F(Pcx, Decoding) {
  const struct {
    const char* what;
    int width, height;
    bytes data;
    bytes pixels;
  } cases[] = {
      {"literals", 3, 2, {1, 2, 3, 4, 5, 191}, {1, 2, 3, 4, 5, 191}},
      {"escaped values", 4, 1, {0xc1, 192, 0xc1, 255, 0xc1, 0, 7}, {192, 255, 0, 7}},
      {"runs", 5, 2, {0xc3, 9, 1, 2, 0xc5, 200}, {9, 9, 9, 1, 2, 200, 200, 200, 200, 200}},
      {"run byte 192", 3, 1, {0xc0, 77, 1, 0xc0, 0, 2, 3}, {1, 2, 3}},
      {"run longer than the row", 4, 2, {0xca, 6, 1, 2, 3, 4}, {6, 6, 6, 6, 1, 2, 3, 4}},
      {"63-pixel run", 70, 1, {0xff, 8, 0xc7, 201}, {}},
      {"data ends in a row", 4, 2, {1, 2, 3}, {1, 2, 3, 255, 255, 255, 255, 255}},
      {"data ends after a run byte", 4, 2, {1, 0xc2}, {1, 255, 255, 255, 255, 255, 255, 255}},
      {"data ends in a run", 3, 2, {0xc2, 4}, {4, 4, 255, 255, 255, 255}},
  };
  for (const auto& c : cases) {
    bytes want = c.pixels;
    if (want.empty()) {
      want.assign(63, 8);
      want.resize(70, 201);
    }
    ASSERT_EQ(load(cat(header(0, 0, c.width - 1, c.height - 1, c.width), c.data)), 0) << c.what;
    ASSERT_EQ(img.width, c.width) << c.what;
    ASSERT_EQ(img.height, c.height) << c.what;
    EXPECT_EQ(bytes(img.pixels, img.pixels + want.size()), want) << c.what;
  }
}

// Rows 6 bytes apart in the file land 5 apart in memory; the last padding byte
// is the one stray byte behind the image.
TEST_F(Pcx, PaddedRows) {
  bytes data;
  for (int r = 0; r < 3; r++) {
    for (int x = 0; x < 5; x++) data.push_back((uint8_t)(10 * r + x));
    data.push_back(99);
  }
  ASSERT_EQ(load(cat(header(10, 20, 14, 22, 6), data)), 0);
  EXPECT_EQ(img.width, 5);
  EXPECT_EQ(img.height, 3);
  bytes want;
  for (int r = 0; r < 3; r++)
    for (int x = 0; x < 5; x++) want.push_back((uint8_t)(10 * r + x));
  EXPECT_EQ(bytes(img.pixels, img.pixels + 15), want);
  EXPECT_EQ(img.pixels[15], 99);
}

TEST_F(Pcx, PaletteFromTheLast768Bytes) {
  ASSERT_EQ(load(cat(cat(header(0, 0, 1, 0, 2), {0xc2, 3}), palettetail())), 0);
  for (int i = 0; i < 256; i++) {
    EXPECT_EQ(img.palette[3 * i], i);
    EXPECT_EQ(img.palette[3 * i + 1], 255 - i);
    EXPECT_EQ(img.palette[3 * i + 2], i ^ 0x5a);
  }
  EXPECT_TRUE(allzero(img.palette + 768, 256));
  EXPECT_EQ(img.pixels[1], 3);
  // too short for a palette: it stays zero
  ASSERT_EQ(load(cat(header(0, 0, 1, 0, 2), {0xc2, 3})), 0);
  EXPECT_TRUE(allzero(img.palette, sizeof img.palette));
}

// 2,500 literal bytes cross the reader's 1,024-byte blocks.
TEST_F(Pcx, DataAcrossReaderBlocks) {
  bytes data;
  for (int i = 0; i < 2500; i++) data.push_back((uint8_t)(i * 7 % 191));
  ASSERT_EQ(load(cat(cat(header(0, 0, 49, 49, 50), data), palettetail())), 0);
  EXPECT_EQ(bytes(img.pixels, img.pixels + 2500), data);
  EXPECT_EQ(img.palette[3 * 200], 200);
}

// --- files written by ImageMagick ---

bool haveconvert() {
  return access(IMCONVERT, X_OK) == 0;
}

int run(const std::string& cmd) {
  return std::system(cmd.c_str());
}

void writeppm(const std::string& path, int w, int h, const bytes& rgb) {
  std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  writefile(path, cat(bytes(head.begin(), head.end()), rgb));
}

// Colour of index k: distinct for each k.
void colour(bytes& rgb, int k) {
  rgb.push_back((uint8_t)k);
  rgb.push_back((uint8_t)(k * 73));
  rgb.push_back((uint8_t)(255 - k));
}

TEST_F(Pcx, ImageMagickPaletteFiles) {
  if (!haveconvert()) GTEST_SKIP() << IMCONVERT << " missing";
  // run lengths per row, cycling; run 1 with 29 steps gives all 256 colours
  const struct {
    int w, h;
    std::vector<int> runs;
  } cases[] = {
      {301, 6, {1, 70, 200, 3, 64, 130}},
      {64, 7, {1, 64, 2, 63, 65, 1, 32}},
      {257, 3, {1, 257, 90}},
      {3, 5, {1}},
      {1, 4, {1}},
  };
  // Every colour a case may use, as a map to remap onto: the image then has a
  // colour map of 256 entries however few it uses, which ImageMagick writes as
  // 8 bits a pixel in one plane. Left to itself, ImageMagick 7.1.2 writes an
  // image of 16 colours or fewer in 4 planes of 1 bit, which the loader refuses.
  bytes all;
  for (int k = 0; k < 256; k++) colour(all, k);
  writeppm("all.ppm", 256, 1, all);
  for (const auto& c : cases) {
    std::string tag = std::to_string(c.w) + "x" + std::to_string(c.h);
    bytes rgb;
    for (int y = 0; y < c.h; y++) {
      int run = c.runs[y % c.runs.size()];
      for (int x = 0; x < c.w; x++) colour(rgb, (x / run * 29 + y * 11) % 256);
    }
    writeppm("in.ppm", c.w, c.h, rgb);
    std::string out = "data/" + tag + ".pcx";
    ASSERT_EQ(run(std::string(IMCONVERT) + " in.ppm +dither -remap all.ppm -type Palette PCX:" + out), 0) << tag;
    bytes file = readfile(out);
    ASSERT_GE(file.size(), 128u + 769u) << tag;
    ASSERT_EQ(file[1], 5) << tag;
    ASSERT_EQ(file[3], 8) << tag;
    ASSERT_EQ(file[65], 1) << tag;

    free(img.pixels);
    img.pixels = nullptr;
    ASSERT_EQ(readpcx(tag.c_str(), &img), 0) << tag;  // found with .pcx added
    ASSERT_EQ(img.width, c.w) << tag;
    ASSERT_EQ(img.height, c.h) << tag;
    ASSERT_EQ(run(std::string(IMCONVERT) + " " + out + " -depth 8 rgb:back.rgb"), 0) << tag;
    bytes back = readfile("back.rgb");
    ASSERT_EQ(back.size(), rgb.size()) << tag;
    EXPECT_EQ(back, rgb) << tag << ": ImageMagick changed the colours";
    bytes mapped;
    for (int i = 0; i < c.w * c.h; i++)
      for (int k = 0; k < 3; k++) mapped.push_back(img.palette[3 * img.pixels[i] + k]);
    EXPECT_EQ(mapped, back) << tag;
    EXPECT_TRUE(allzero(img.palette + 768, 256)) << tag;
  }
}

TEST_F(Pcx, ImageMagickThreePlanes) {
  if (!haveconvert()) GTEST_SKIP() << IMCONVERT << " missing";
  bytes rgb;
  for (int y = 0; y < 20; y++)
    for (int x = 0; x < 20; x++) {
      rgb.push_back((uint8_t)(x * 12));
      rgb.push_back((uint8_t)(y * 12));
      rgb.push_back((uint8_t)((x + y) * 6));
    }
  writeppm("in.ppm", 20, 20, rgb);
  ASSERT_EQ(run(std::string(IMCONVERT) + " in.ppm PCX:data/rgb.pcx"), 0);
  ASSERT_EQ(readfile("data/rgb.pcx").at(65), 3);
  EXPECT_EQ(readpcx("rgb", &img), 6);
  expectempty("three planes");
}

}  // namespace
