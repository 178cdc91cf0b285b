// Presets: ten scene slots in memory and in text files.
#pragma once
#include <cstdint>

namespace spumex {

constexpr int NPRESETS = 10;         // slots 0..9

extern char* presets[NPRESETS];      // text of each slot, null when empty

void readpresets();                  // read all ten files
void savepreset(int slot);           // store the scene into a slot and its file
void loadpreset(int slot);           // replace the scene by a slot

}  // namespace spumex
