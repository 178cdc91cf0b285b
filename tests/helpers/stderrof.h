// What a piece of code prints on standard error, caught through a pipe (which
// no file size limit touches).
#pragma once
#include <cstdio>
#include <string>
#include <unistd.h>

namespace spumex {

template <typename F>
std::string stderrof(F f) {
  fflush(stderr);
  int fds[2];
  if (pipe(fds) != 0) return "<no pipe>";
  int saved = dup(2);
  dup2(fds[1], 2);
  close(fds[1]);
  f();
  fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::string s;
  char buf[4096];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) s.append(buf, (size_t)n);
  close(fds[0]);
  return s;
}

}  // namespace spumex
