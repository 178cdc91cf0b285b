// Fresh directories under /tmp, and HOME pointed at one for a test.
#pragma once
#include <string>

namespace spumex {

std::string maketempdir(const char* prefix);  // a new /tmp/prefixXXXXXX; "" and a test failure if none
void removetempdir(const std::string& dir);   // the directory and all in it

struct temphome {
  std::string dir;                   // the fresh directory HOME points at
  std::string oldhome;               // HOME before
  bool hadhome = false;              // HOME was set before
};

void entertemphome(temphome& t, const char* prefix);  // HOME to a fresh directory under /tmp
void leavetemphome(temphome& t);     // remove it and restore HOME

}  // namespace spumex
