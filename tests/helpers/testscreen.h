// A plain memory screen for drawing tests.
#pragma once
#include <cstdint>
#include <vector>

namespace spumex {

// Points videomem, stride, depth, xsize, ysize and rowoffsets at a fresh
// zeroed buffer. stride 0 means the tight row length. At depth 16 the pixel
// format is RGB 565, as the dummy driver's 16-bit surface has it.
void usetestscreen(int width, int height, int bitsperpixel = 16, int rowstride = 0);

// The buffer behind the test screen.
std::vector<uint8_t>& testscreenbytes();

// Pixel value at (x, y) of the test screen.
uint32_t testpixel(int x, int y);

// The 16-bit value maprgb gives for (r, g, b) in RGB 565.
uint16_t rgb565(uint32_t r, uint32_t g, uint32_t b);

}  // namespace spumex
