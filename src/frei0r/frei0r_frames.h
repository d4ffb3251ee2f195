// Between frei0r's frames (BGRA8888: bytes B, G, R, A, rows top-down, no gap)
// and the host image the stream code takes (BGR24, rows bottom-up, sides
// padded to multiples of 16).
#pragma once
#include <cstddef>
#include <cstdint>

#include "pipeline/padding.h"

namespace wdi::frei0r {

// Bytes of the padded host image of `g`.
inline size_t HostImageBytes(const FrameGeometry& g) {
  return size_t{3} * g.paddedWidth * g.paddedHeight;
}

// Picture row r of the frame goes to memory row paddedHeight - 1 - r of
// `image`, without its alpha; the rest of the image is padded as wdeint pads
// its planes, so that each padded row continues the field of its parity.
void BgraToHostImage(const uint8_t* bgra, uint8_t* image, const FrameGeometry& g);

// Crops the picture out of `image` into the top-down frame `bgra`. The alpha
// of each pixel comes unchanged from `alphaSource` (the input frame), which
// may be `bgra` itself.
void HostImageToBgra(const uint8_t* image, const uint8_t* alphaSource, uint8_t* bgra,
                     const FrameGeometry& g);

}  // namespace wdi::frei0r
