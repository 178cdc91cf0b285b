// Process entry in the browser: the presets' storage first, then the whole
// program; the page learns when it has returned.
#include "app/app.h"
#include "web/web.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  // Without lasting storage the presets still work, for this visit only.
  const char* home = getenv("HOME");
  if (home != nullptr) spumex_mountstore(home);
  int status = spumex::runprogram(argc, argv);
  spumex::stoptimer();
  fflush(stdout);
  fflush(stderr);
  spumex_ended(status);
  return status;
}
