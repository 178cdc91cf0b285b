// Support library: PCX loader, R250 byte generator, big-endian readers, list helpers.
#pragma once
#include <cstdint>

namespace spumex {

// --- PCX images (pcx.cpp) ---
struct pcximage {
  uint8_t palette[1024];             // 256 x (red, green, blue), rest zero
  uint8_t* pixels;                   // width x height palette indices, caller frees
  int width;                         // xmax - xmin + 1
  int height;                        // ymax - ymin + 1
};

int pcxbyte();                       // next byte of the open file, -1 at the end
int readpcx(const char* name, pcximage* image);  // load data/name; returns the code
int loadpcx(const char* name, pcximage* image);  // readpcx, printing any error

// --- R250 byte generator and big-endian readers (bytes.cpp) ---
extern uint8_t bytetable[250];       // last 250 bytes produced
extern int32_t bytepos;              // index of the byte the next step replaces

void seedbytes();                    // fixed seeding and warm-up
int nextbyte();                      // one step, 0..255
int nextword();                      // two steps, high byte first
int32_t getbe32(const uint8_t* p);   // big-endian signed 32-bit
uint16_t getbe16(const uint8_t* p);  // big-endian unsigned 16-bit

// --- intrusive list helpers (lists.cpp) ---
extern void** nodelist;              // head variable of the free list in use
extern int32_t nodesize;             // bytes per node

void* allocnode();                   // zeroed node from the free list, or null
void freenode(void* node);           // node to the front of the free list
void appendnode(void** cell, void* node);  // node at the end of a list
void unlinknode(void** cell, void* node);  // node out of a list, onto the free list
void chainnodes(void* array, int32_t size, int32_t count);  // thread an array into a list
void clearnode(void** cell);         // null the link at the cell

}  // namespace spumex
