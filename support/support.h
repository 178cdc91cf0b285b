// Support library: PCX loader, R250 byte generator, big-endian readers, list helpers.
#pragma once
#include <cstdint>

namespace spumex {

// --- PCX images (pcx.cpp) ---
// Load codes: 0 loaded, 1 no file name could be opened (or a name too long for
// the 256-byte name buffers), 2 byte 0 missing or not 10, 3 byte 1 missing or
// not 5, 4 byte 2 missing or not 1, 5 byte 3 missing or not 8, 6 byte 65
// missing or not 1, 8 pixel buffer not allocated (or over PCXMAXBYTES),
// 9 header that cannot be placed (xmax < xmin, ymax < ymin, bytes per line 0
// or below the width, or the bytes-per-line field cut off). No code 7.
constexpr int PCXBUFSIZE = 1024;     // bytes per read of the buffered reader
constexpr int PCXNAMESIZE = 256;     // bytes in each file name buffer
constexpr uint32_t PCXMAXBYTES = 64u << 20;  // largest pixel buffer the loader allocates

struct pcximage {
  uint8_t palette[1024];             // 256 x (red, green, blue), rest zero
  uint8_t* pixels;                   // width x height palette indices, caller frees with free()
  int width;                         // xmax - xmin + 1
  int height;                        // ymax - ymin + 1
};

extern int pcxleft;                  // bytes left in the reader buffer
extern int pcxfile;                  // descriptor of the open file, -1 when none
extern uint8_t pcxbuffer[PCXBUFSIZE];  // reader buffer
extern int pcxpos;                   // read position in the buffer
extern int pcxline;                  // bytes per line of the current file

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
void unlinknode(void** cell, void* node);  // node out of a list, onto the free list; no-op if absent
void chainnodes(void* array, int32_t size, int32_t count);  // thread an array into a list; no-op if count < 1
void clearnode(void** cell);         // null the link at the cell

}  // namespace spumex
