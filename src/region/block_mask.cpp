#include "region/block_mask.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "region/rect_list.h"

namespace wdi {

void BuildBlockMask(int32_t* mask, const CRectList* region, int32_t width, int32_t height) {
  if (region == nullptr) return;
  for (int32_t y = 0; y < height; y += 8) {
    for (int32_t x = 0; x < width; x += 8) *mask++ = region->IsProcessed(x, y);
  }
}

namespace {

// Copies a block of `rows` rows of `bytes` bytes. Full blocks move each row
// with one 8-byte (luma) or 4-byte (chroma) copy.
void copyBlock(const uint8_t* src, uint8_t* dst, int32_t stride, int32_t rows, int32_t bytes) {
  for (int32_t r = 0; r < rows; ++r) {
    std::memcpy(dst + r * static_cast<ptrdiff_t>(stride), src + r * static_cast<ptrdiff_t>(stride),
                static_cast<size_t>(bytes));
  }
}

}  // namespace

void ApplyBlockMask(const int32_t* mask, const uint8_t* input, uint8_t* output, int32_t width,
                    int32_t height) {
  if (input == nullptr || output == nullptr || height <= 0 || width <= 0) return;
  const ptrdiff_t lumaSize = static_cast<ptrdiff_t>(width) * height;
  const int32_t chromaWidth = width / 2;
  const int32_t chromaHeight = height / 2;
  const ptrdiff_t vOffset = lumaSize;
  const ptrdiff_t uOffset = lumaSize + lumaSize / 4;
  for (int32_t i = 0; 8 * i < height; ++i) {
    for (int32_t j = 0; 8 * j < width; ++j) {
      if (*mask++ != 0) continue;
      // Blocks are whole for the sizes streams use (multiples of 16); the
      // bounds only keep a partial last block inside the frame.
      const ptrdiff_t luma = static_cast<ptrdiff_t>(8 * i) * width + 8 * j;
      copyBlock(input + luma, output + luma, width, std::min(8, height - 8 * i),
                std::min(8, width - 8 * j));
      const int32_t cRows = std::min(4, chromaHeight - 4 * i);
      const int32_t cBytes = std::min(4, chromaWidth - 4 * j);
      if (cRows <= 0 || cBytes <= 0) continue;
      const ptrdiff_t chroma = static_cast<ptrdiff_t>(4 * i) * chromaWidth + 4 * j;
      copyBlock(input + vOffset + chroma, output + vOffset + chroma, chromaWidth, cRows, cBytes);
      copyBlock(input + uOffset + chroma, output + uOffset + chroma, chromaWidth, cRows, cBytes);
    }
  }
}

}  // namespace wdi
