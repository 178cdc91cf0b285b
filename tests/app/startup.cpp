// Start-up: the width argument, the out-of-memory exit, the eye colours.
#include "app/app.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>
#include <string>
#include <vector>

using namespace spumex;

namespace {

struct widthcase {
  std::vector<std::string> args;
  int width, height;
};

const widthcase widthcases[] = {
    {{}, 640, 480},
    {{"100"}, 100, 75},
    {{"101"}, 101, 75},
    {{"333"}, 333, 249},
    {{"800"}, 800, 600},
    {{"2048"}, 2048, 1536},
    {{"640"}, 640, 480},
    {{"99"}, 640, 480},
    {{"2049"}, 640, 480},
    {{"0"}, 640, 480},
    {{"-5"}, 640, 480},
    {{"wide"}, 640, 480},
    {{""}, 640, 480},
    {{"1024abc"}, 1024, 768},
    {{"  1280"}, 1280, 960},
    {{"800", "1024"}, 800, 600},
};

}  // namespace

TEST(Startup, WidthArgument) {
  for (const widthcase& c : widthcases) {
    xsize = 640;
    ysize = 480;
    std::vector<char*> argv;
    argv.push_back((char*)"spumex");
    for (const std::string& a : c.args) argv.push_back((char*)a.c_str());
    argv.push_back(nullptr);
    applywidth((int)argv.size() - 1, argv.data());
    std::string label = c.args.empty() ? "(none)" : "\"" + c.args[0] + "\"";
    EXPECT_EQ(xsize, c.width) << label;
    EXPECT_EQ(ysize, c.height) << label;
  }
  xsize = 640;
  ysize = 480;
}

TEST(Startup, EyeColoursAreTheFirstRandNumbersInOrder) {
  seedrand(77);
  std::vector<int> expected;
  for (int i = 0; i < 768; i++) expected.push_back(nextrand() & 255);
  seedrand(77);
  initeyecolors();
  for (int i = 0; i < 256; i++) {
    ASSERT_EQ(eyered[i], expected[3 * i]) << i;
    ASSERT_EQ(eyegreen[i], expected[3 * i + 1]) << i;
    ASSERT_EQ(eyeblue[i], expected[3 * i + 2]) << i;
  }
}

TEST(Startup, OutOfMemoryMessageGoesToStandardOutput) {
  // Run the exit in a child and read what it printed.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    nomem("initballs");
  }
  close(fds[1]);
  std::string out;
  char buf[256];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, (size_t)n);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(out, "No memory!!![initballs]\n");
}
