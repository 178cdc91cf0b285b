// Process entry.
#include "app/app.h"

int main(int argc, char** argv) {
  return spumex::runprogram(argc, argv);
}
