// Presets: ten scene slots in memory and in text files.
#pragma once
#include <cstddef>
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
size_t composescene();               // the scene's preset text, as a store writes it, in scratch; its length
void loadtext(const char* text);     // replace the scene by a preset text, as loading a slot holding it does
int skippedlines(const char* text);  // lines of a preset text that loading it would skip

}  // namespace spumex
