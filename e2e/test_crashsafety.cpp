// Preset files under stress. A FIFO in every slot: start-up goes on, Escape
// ends the program, a store into such a slot says once that it failed.
// Stores that survive SIGKILL: the program is started again and again, made to
// store two slots over and over (one a plain file, one a symbolic link into
// another directory), and killed at a random moment. After every kill each
// slot file must hold one whole scene text, the old or a new one, and the
// next start's stores must go through whatever the kill left behind.
//
// SPUMEX_CRASH_SEED and SPUMEX_CRASH_ROUNDS override the seed and the number
// of rounds.
#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>

#include "harness.h"

using namespace e2e;

namespace {

// A canonical scene text (as the program writes it) of the given size.
std::string scene(int hoses, int blocks, int salt) {
  std::string s;
  for (int i = 0; i < hoses; i++)
    s += "hose:" + std::to_string((i * 2311 + salt * 977) % 163840) + "," + std::to_string((i * 1733 + salt) % 122880) +
         "," + std::to_string(i * 16 - 300) + "," + std::to_string((i * 37 + salt) & 255) + ",200," +
         std::to_string(i & 255) + "\n";
  for (int i = 0; i < blocks; i++)
    s += "block:" + std::to_string((i * 2503 + salt * 131) % 163840) + "," + std::to_string((i * 1901 + salt) % 122880) +
         "," + std::to_string(i * 9 - salt) + "\n";
  return s;
}

unsigned envnumber(const char* name, unsigned fallback) {
  const char* v = getenv(name);
  return v != nullptr && *v != 0 ? (unsigned)strtoul(v, nullptr, 10) : fallback;
}

bool present(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::string linktarget(const std::string& path) {
  char buf[4096];
  ssize_t n = readlink(path.c_str(), buf, sizeof buf);
  return n > 0 ? std::string(buf, (size_t)n) : std::string("(no link)");
}

// Until both files hold want; false after timeoutms or once the program
// reports a failed store.
bool waitboth(program& p, const std::string& a, const std::string& b, const std::string& want, int timeoutms) {
  long until = clockms() + timeoutms;
  while (readfile(a) != want || readfile(b) != want) {
    readoutput(p);
    if (clockms() >= until || p.err.find("Couldn't store") != std::string::npos) return false;
    sleepfor(2);
  }
  return true;
}

// Ends a program still running when a round stops early.
struct reaper {
  program& p;
  ~reaper() { killprogram(p); }
};

// Removes the test's home directory however the test ends.
struct remover {
  std::string dir;
  ~remover() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

}  // namespace

TEST(CrashSafety, StoresSurviveSigkill) {
  const unsigned seed = envnumber("SPUMEX_CRASH_SEED", 18);
  const unsigned rounds = envnumber("SPUMEX_CRASH_ROUNDS", 200);
  printf("crash safety: seed %u, %u rounds (SPUMEX_CRASH_SEED, SPUMEX_CRASH_ROUNDS)\n", seed, rounds);
  std::mt19937 rng(seed);

  // Slots 1 and 2 (keys 2 and 3) hold the scenes of the bursts, slots 3 and 4
  // (keys 4 and 5) the scenes each start stores first, in turn. Shift+1 stores
  // slot 0, a plain file; shift+8 stores slot 7, a link to store/p7.
  const std::string a = scene(64, 64, 1), b = scene(40, 20, 2), c = scene(1, 3, 3), d = scene(2, 0, 4);
  char tmpl[] = "/tmp/spumex-crash-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string home = tmpl;
  remover cleanup{home};
  const std::string slot0 = home + "/.spumexpreset0", slot7 = home + "/.spumexpreset7";
  const std::string target7 = home + "/store/p7";
  ASSERT_TRUE(std::filesystem::create_directory(home + "/store"));
  writefile(home + "/.spumexpreset1", a);
  writefile(home + "/.spumexpreset2", b);
  writefile(home + "/.spumexpreset3", c);
  writefile(home + "/.spumexpreset4", d);
  writefile(slot0, d);
  writefile(target7, d);
  ASSERT_EQ(symlink("store/p7", slot7.c_str()), 0);
  const std::string temps[] = {slot0 + ".tmp", target7 + ".tmp"};

  xserver& x = sharedserver();
  ASSERT_NE(x.display, nullptr);
  long begin = clockms();
  int lefttemp = 0, changed = 0;
  for (unsigned round = 0; round <= rounds; round++) {
    // Start, then store this round's first scene into both slots: that has
    // to succeed whatever the last kill left, and leave no temporary file.
    const std::string& first = round % 2 ? d : c;
    program p;
    reaper end{p};
    ASSERT_TRUE(waitnowindow(x));
    ASSERT_TRUE(startprogram(p, &x, {"200"}, {"HOME=" + home}));  // a small window starts sooner
    ASSERT_TRUE(waitmapped(p, x) && waitframe(x, p, 10000)) << "round " << round << ": no window; " << p.err;
    if (round == 0) movelogical(x, p, 600, 300);
    sendkey(x, round % 2 ? XK_5 : XK_4);
    sendkey(x, XK_1, true);
    sendkey(x, XK_8, true);
    bool stored = waitboth(p, slot0, target7, first, 30000);
    ASSERT_TRUE(stored) << "round " << round << ": a store after the last kill did not go through; " << p.err;
    for (const std::string& t : temps) EXPECT_FALSE(present(t)) << "round " << round << ": " << t << " left";
    if (round == rounds) {
      finish(p);
      EXPECT_EQ(p.err.find("Couldn't store"), std::string::npos) << p.err;
      break;
    }

    // The burst: the two scenes stored in turn into both slots, until a kill
    // 0 to 149 ms from now.
    long killat = clockms() + (long)(rng() % 150);
    for (int i = 0; clockms() < killat; i++) {
      sendkey(x, i % 2 ? XK_3 : XK_2);
      sendkey(x, XK_1, true);
      sendkey(x, XK_8, true);
      settle(x, 0);  // the server has sent them: no backlog left at the kill
    }
    killprogram(p);

    const std::string got0 = readfile(slot0), got7 = readfile(target7);
    EXPECT_TRUE(got0 == a || got0 == b || got0 == first)
        << "round " << round << ": slot 0 holds " << got0.size() << " bytes, no whole scene";
    EXPECT_TRUE(got7 == a || got7 == b || got7 == first)
        << "round " << round << ": slot 7 holds " << got7.size() << " bytes, no whole scene";
    EXPECT_EQ(linktarget(slot7), "store/p7") << "round " << round;
    EXPECT_EQ(p.err.find("Couldn't store"), std::string::npos) << "round " << round << ": " << p.err;
    lefttemp += present(temps[0]) || present(temps[1]);
    changed += got0 != first || got7 != first;
    if (testing::Test::HasFailure()) break;
  }
  EXPECT_EQ(readfile(home + "/.spumexpreset1"), a);
  EXPECT_EQ(readfile(home + "/.spumexpreset2"), b);
  printf("crash safety: %u rounds in %.1f s, seed %u: %d kills after a burst store had gone through, "
         "%d left a temporary file\n",
         rounds, (clockms() - begin) / 1000.0, seed, changed, lefttemp);
}

TEST(CrashSafety, FifoSlotsNeitherBlockNorTakeStores) {
  const std::string home = freshhome();
  for (int n = 0; n < 10; n++)
    ASSERT_EQ(mkfifo((home + "/.spumexpreset" + std::to_string(n)).c_str(), 0644), 0);
  xserver& x = sharedserver();
  program p;
  reaper end{p};
  ASSERT_TRUE(launch(p, home)) << p.err;
  key(x, XK_1, true);
  const std::string said = "Couldn't store preset 0 in " + home + "/.spumexpreset0: Operation not supported\n";
  long until = clockms() + 5000;
  while (p.err.find(said) == std::string::npos && clockms() < until) {
    readoutput(p);
    sleepfor(10);
  }
  finish(p);                         // Escape still ends it: nothing waits on a FIFO
  // Of the program's own lines that one only, once; SDL may say things of its
  // own besides (SDL 3 that it found no Wayland compositor).
  std::string own;
  std::istringstream lines(p.err);
  for (std::string l; std::getline(lines, l);)
    if (l.rfind("Couldn't ", 0) == 0) own += l + "\n";
  EXPECT_EQ(own, said) << p.err;
  struct stat st;
  EXPECT_TRUE(lstat((home + "/.spumexpreset0").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
}
