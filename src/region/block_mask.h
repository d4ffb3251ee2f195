// The processing region applied to frames in 8x8 luma blocks: one 32-bit
// entry per block, row-major, 1 = the block takes the engine's result.
#pragma once
#include <cstdint>

namespace wdi {

class CRectList;

// Entries of a mask for width x height: ceil(w/8) * ceil(h/8).
inline uint32_t BlockMaskEntries(int32_t width, int32_t height) {
  return static_cast<uint32_t>((width + 7) / 8) * static_cast<uint32_t>((height + 7) / 8);
}

// Decides each block by its top-left pixel. Without a region the mask is
// left as it is.
void BuildBlockMask(int32_t* mask, const CRectList* region, int32_t width, int32_t height);

// Copies every block whose entry is 0 from `input` to `output` in Y, V and U
// (Yuv420Frames of width x height). Does nothing for a missing frame or a
// height <= 0. The mask comes from BuildBlockMask with the same size.
void ApplyBlockMask(const int32_t* mask, const uint8_t* input, uint8_t* output, int32_t width,
                    int32_t height);

}  // namespace wdi
