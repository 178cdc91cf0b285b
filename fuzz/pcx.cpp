// Fuzz target: readpcx on arbitrary file contents.
#include "fuzzcommon.h"

#include "support/support.h"

#include <fcntl.h>
#include <sanitizer/allocator_interface.h>
#include <sys/stat.h>


using namespace spumex;

namespace {

int lowestfd;                        // the descriptor a new open gets when nothing leaked
volatile uint8_t pixelread;          // keeps the pixel reads

// Pixel buffers larger than this are not decoded here: the decoder's work
// grows with the buffer while its paths do not, and a search that spends
// milliseconds filling megabytes reaches nothing new. Headers over the
// loader's own limit still run, since the loader refuses them at once.
constexpr size_t DECODELIMIT = 1u << 17;

void setup() {
  privatedir();
  if (mkdir("data", 0755) != 0) abort();
  lowestfd = dup(0);
  close(lowestfd);
}

int word(const uint8_t* data, size_t size, size_t at) {
  return at + 1 < size ? data[at] | data[at + 1] << 8 : -1;
}

// The pixel buffer the header asks for, 0 when the header is incomplete or cannot be placed.
size_t asked(const uint8_t* data, size_t size) {
  int width = word(data, size, 8) - word(data, size, 4) + 1;
  int height = word(data, size, 10) - word(data, size, 6) + 1;
  int line = word(data, size, 66);
  if (size < 68 || width < 1 || height < 1 || line < width) return 0;
  return (size_t)line * (size_t)height + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    setup();
    ready = true;
  }
  size_t want = asked(data, size);
  if (want > DECODELIMIT && want <= PCXMAXBYTES) return -1;  // not kept in the corpus either

  // Found through the second name, data/img + ".pcx".
  int fd = open("data/img.pcx", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || (size > 0 && write(fd, data, size) != (ssize_t)size)) abort();
  close(fd);

  pcximage image;
  memset(&image, 0x5a, sizeof image);
  int code = readpcx("img", &image);

  FUZZCHECK(pcxfile == -1);
  int probe = dup(0);
  close(probe);
  FUZZCHECK(probe == lowestfd);

  if (code != 0) {
    static const pcximage zero{};
    FUZZCHECK(code >= 1 && code <= 9 && code != 7);
    FUZZCHECK(memcmp(&image, &zero, sizeof image) == 0);
    return 0;
  }

  // Loaded: the header's extents, a buffer of bytes-per-line x height + 1.
  int width = word(data, size, 8) - word(data, size, 4) + 1;
  int height = word(data, size, 10) - word(data, size, 6) + 1;
  int line = word(data, size, 66);
  FUZZCHECK(size >= 68 && data[0] == 10 && data[1] == 5 && data[2] == 1 && data[3] == 8 && data[65] == 1);
  FUZZCHECK(image.width == width && image.height == height && width > 0 && height > 0);
  FUZZCHECK(line >= width);
  FUZZCHECK(image.pixels != nullptr);
  FUZZCHECK(__sanitizer_get_allocated_size(image.pixels) == (size_t)line * (size_t)height + 1);

  // The palette is the file's last 768 bytes, or zero when the file is shorter.
  static const uint8_t none[1024] = {};
  if (size >= 768)
    FUZZCHECK(memcmp(image.palette, data + size - 768, 768) == 0);
  else
    FUZZCHECK(memcmp(image.palette, none, 768) == 0);
  FUZZCHECK(memcmp(image.palette + 768, none, 256) == 0);

  // The first and the last pixel readable (the sanitizer watches the reads;
  // the buffer's size is checked above, so every pixel between is too).
  pixelread = image.pixels[0];
  pixelread = image.pixels[(size_t)width * (size_t)height - 1];
  free(image.pixels);
  return 0;
}
