// PCX loader: 256-colour, version 5, run-length encoded, one-plane images from data/.
#include "support/support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace spumex {

int pcxleft = 0;
int pcxfile = -1;
uint8_t pcxbuffer[PCXBUFSIZE];
int pcxpos = 0;
int pcxline = 0;

int pcxbyte() {
  if (pcxleft <= 0) {
    ssize_t got = read(pcxfile, pcxbuffer, PCXBUFSIZE);
    if (got <= 0) {
      pcxleft = 0;
      return -1;
    }
    pcxleft = (int)got;
    pcxpos = 0;
  }
  pcxleft--;
  return pcxbuffer[pcxpos++];
}

// Two reader bytes, low first; -1 if either is missing.
static int pcxword() {
  int lo = pcxbyte();
  int hi = pcxbyte();
  if (lo < 0 || hi < 0) return -1;
  return lo | hi << 8;
}

static void pcxskip(int count) {
  while (count-- > 0) pcxbyte();
}

// Closes the open file and passes the code through.
static int pcxclose(int code) {
  close(pcxfile);
  pcxfile = -1;
  return code;
}

// Opens data/name, else data/name.pcx; false if neither opens or fits.
static bool pcxopen(const char* name) {
  char first[PCXNAMESIZE];
  char second[PCXNAMESIZE];
  int len = snprintf(first, sizeof first, "data/%s", name);
  if (len < 0 || len >= PCXNAMESIZE) return false;
  pcxfile = open(first, O_RDONLY);
  if (pcxfile >= 0) return true;
  len = snprintf(second, sizeof second, "%s.pcx", first);
  if (len < 0 || len >= PCXNAMESIZE) return false;
  pcxfile = open(second, O_RDONLY);
  return pcxfile >= 0;
}

// Decodes one row of pcxline encoded bytes to dst, never past end.
// Once the data has ended every remaining byte is 255.
static void pcxrow(uint8_t* dst, uint8_t* end, bool* ended) {
  int budget = pcxline;
  while (budget > 0) {
    if (*ended) {
      int n = budget;
      if (n > end - dst) n = (int)(end - dst);
      memset(dst, 255, n);
      return;
    }
    int c = pcxbyte();
    int n = 1;
    int v = c;
    if (c < 0) {
      *ended = true;
      v = 255;
    } else if (c >= 192) {
      v = pcxbyte();
      if (v < 0) {
        *ended = true;
        v = 255;
      }
      n = c & 63;
      if (n == 0) continue;
      if (n > budget) n = budget;
    }
    if (n > end - dst) n = (int)(end - dst);
    if (n <= 0) return;
    memset(dst, v, n);
    dst += n;
    budget -= n;
  }
}

int readpcx(const char* name, pcximage* image) {
  memset(image, 0, sizeof *image);
  pcxleft = 0;
  pcxpos = 0;
  pcxline = 0;
  if (!pcxopen(name)) {
    pcxfile = -1;
    return 1;
  }

  if (pcxbyte() != 10) return pcxclose(2);
  if (pcxbyte() != 5) return pcxclose(3);
  if (pcxbyte() != 1) return pcxclose(4);
  if (pcxbyte() != 8) return pcxclose(5);
  int xmin = pcxword();
  int ymin = pcxword();
  int xmax = pcxword();
  int ymax = pcxword();
  pcxskip(52);
  pcxbyte();
  if (pcxbyte() != 1) return pcxclose(6);
  pcxline = pcxword();
  pcxskip(2);
  pcxskip(58);

  int width = xmax - xmin + 1;
  int height = ymax - ymin + 1;
  if (width < 1 || height < 1 || pcxline <= 0 || pcxline < width) return pcxclose(9);

  size_t size = (size_t)height * (size_t)pcxline + 1;
  if (size > PCXMAXBYTES) return pcxclose(8);
  uint8_t* pixels = (uint8_t*)malloc(size);
  if (!pixels) return pcxclose(8);
  image->pixels = pixels;
  image->width = width;
  image->height = height;

  uint8_t* end = pixels + size;
  bool ended = false;
  for (int r = 0; r < height; r++) pcxrow(pixels + (size_t)r * (size_t)width, end, &ended);

  if (lseek(pcxfile, -768, SEEK_END) >= 0) {
    if (read(pcxfile, image->palette, 768) != 768) memset(image->palette, 0, 768);
  }
  return pcxclose(0);
}

int loadpcx(const char* name, pcximage* image) {
  int code = readpcx(name, image);
  if (code != 0) printf("Error loading \"%s\":code %d\n", name, code);
  return code;
}

}  // namespace spumex
