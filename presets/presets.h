// Presets: ten scene slots in memory and in text files.
#pragma once
#include <cstdint>

namespace spumex {

constexpr int NPRESETS = 10;         // slots 0..9
constexpr int NAMESIZE = 256;        // bytes of the usual file name buffer
constexpr char TEMPSUFFIX[] = ".tmp";  // added to the name of the file a store replaces, while it is written

extern char* presets[NPRESETS];      // text of each slot, null when empty

int presetname(char* buffer, int size, int slot);  // slot's file name if it fits in size bytes (else ""); returns its full length
void readpresets();                  // read all ten files
void savepreset(int slot);           // store the scene into a slot and its file
void loadpreset(int slot);           // replace the scene by a slot

}  // namespace spumex
