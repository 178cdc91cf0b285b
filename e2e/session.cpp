// Start and end of one scripted session: the program in the shared server.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <cstdlib>

#include "harness.h"

namespace e2e {

bool launch(program& p, const std::string& home, const std::vector<std::string>& args, int lx,
            int ly) {
  xserver& x = sharedserver();
  if (x.display == nullptr) return false;
  if (!waitnowindow(x)) return false;
  if (!startprogram(p, &x, args, {"HOME=" + home})) return false;
  if (!waitwindow(p, x) || !waitframe(x, p)) {
    killprogram(p);
    return false;
  }
  movelogical(x, p, lx, ly);
  return true;
}

void finish(program& p) {
  xserver& x = sharedserver();
  key(x, XK_Escape);
  EXPECT_TRUE(waitexit(p, 10000)) << "the program did not end on Escape";
  EXPECT_EQ(p.status, 0);
  std::string t = p.out;
  while (!t.empty() && t.back() == '\n') t.pop_back();
  size_t nl = t.rfind('\n');
  std::string last = nl == std::string::npos ? t : t.substr(nl + 1);
  EXPECT_EQ(last.rfind("fps = ", 0), 0u) << last;
  EXPECT_GT(atoi(last.c_str() + 6), 0) << last;
  killprogram(p);
  waitnowindow(x);
}

}  // namespace e2e
