// Fresh directories under /tmp, and HOME pointed at one for a test.
#include "helpers/temphome.h"

#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>

namespace spumex {

std::string maketempdir(const char* prefix) {
  std::string tmpl = std::string("/tmp/") + prefix + "XXXXXX";
  if (mkdtemp(tmpl.data()) == nullptr) {
    ADD_FAILURE() << "cannot make a directory " << tmpl;
    return "";
  }
  return tmpl;
}

void removetempdir(const std::string& dir) {
  std::error_code ec;
  if (!dir.empty()) std::filesystem::remove_all(dir, ec);
}

void entertemphome(temphome& t, const char* prefix) {
  const char* h = getenv("HOME");
  t.hadhome = h != nullptr;
  if (h) t.oldhome = h;
  t.dir = maketempdir(prefix);
  ASSERT_FALSE(t.dir.empty());
  setenv("HOME", t.dir.c_str(), 1);
}

void leavetemphome(temphome& t) {
  removetempdir(t.dir);
  if (t.hadhome)
    setenv("HOME", t.oldhome.c_str(), 1);
  else
    unsetenv("HOME");
}

}  // namespace spumex
