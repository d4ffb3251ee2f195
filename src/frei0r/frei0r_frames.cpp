#include "frei0r/frei0r_frames.h"

namespace wdi::frei0r {

namespace {

// Start of picture row r (counted from the top) in the bottom-up image.
inline size_t hostRowOffset(const FrameGeometry& g, uint32_t r) {
  return size_t{3} * g.paddedWidth * (g.paddedHeight - 1 - r);
}

}  // namespace

void BgraToHostImage(const uint8_t* bgra, uint8_t* image, const FrameGeometry& g) {
  const size_t frameRowBytes = size_t{4} * g.width;
  for (uint32_t r = 0; r < g.height; ++r) {
    const uint8_t* in = bgra + r * frameRowBytes;
    uint8_t* out = image + hostRowOffset(g, r);
    for (uint32_t x = 0; x < g.width; ++x) {
      out[0] = in[0];
      out[1] = in[1];
      out[2] = in[2];
      in += 4;
      out += 3;
    }
  }
  const auto hostRowBytes = static_cast<ptrdiff_t>(3 * size_t{g.paddedWidth});
  padImage(image + hostRowOffset(g, 0), -hostRowBytes, 3, g.width, g.height, g.paddedWidth,
           g.paddedHeight);
}

void HostImageToBgra(const uint8_t* image, const uint8_t* alphaSource, uint8_t* bgra,
                     const FrameGeometry& g) {
  const size_t frameRowBytes = size_t{4} * g.width;
  for (uint32_t r = 0; r < g.height; ++r) {
    const uint8_t* in = image + hostRowOffset(g, r);
    const uint8_t* alpha = alphaSource + r * frameRowBytes + 3;
    uint8_t* out = bgra + r * frameRowBytes;
    for (uint32_t x = 0; x < g.width; ++x) {
      // Alpha first: when the frame is converted in place it is read before
      // anything of its pixel is written.
      const uint8_t a = *alpha;
      out[0] = in[0];
      out[1] = in[1];
      out[2] = in[2];
      out[3] = a;
      in += 3;
      alpha += 4;
      out += 4;
    }
  }
}

}  // namespace wdi::frei0r
