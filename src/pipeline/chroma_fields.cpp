#include "pipeline/chroma_fields.h"

namespace wdi {

namespace {

// Step 1 for one row: the (width + 1) / 2 columns of 4:2:2.
inline uint8_t column(const uint8_t* row, ChromaColumns columns, uint32_t i, uint32_t width) {
  switch (columns) {
    case ChromaColumns::Pairs: {
      const uint32_t a = row[2 * i];
      const uint32_t b = 2 * i + 1 < width ? row[2 * i + 1] : a;
      return static_cast<uint8_t>((a + b + 1) >> 1);
    }
    case ChromaColumns::Halves:
      return row[i / 2];
    case ChromaColumns::Same:
      break;
  }
  return row[i];
}

}  // namespace

void ChromaToFields420(const uint8_t* src, size_t srcStride, ChromaColumns columns, uint32_t width,
                       uint32_t height, uint8_t* dst, size_t dstStride) {
  const uint32_t outWidth = (width + 1) / 2;
  const uint32_t outHeight = (height + 1) / 2;
  for (uint32_t r = 0; r < outHeight; ++r) {
    // r = 2j + f: rows 4j + f and 4j + 2 + f, that is 2r - f and 2r - f + 2.
    const uint32_t a = 2 * r - (r & 1);
    const uint32_t b = a + 2 < height ? a + 2 : a;
    const uint8_t* rowA = src + a * srcStride;
    const uint8_t* rowB = src + b * srcStride;
    uint8_t* out = dst + r * dstStride;
    for (uint32_t i = 0; i < outWidth; ++i) {
      const uint32_t ca = column(rowA, columns, i, width);
      const uint32_t cb = column(rowB, columns, i, width);
      out[i] = static_cast<uint8_t>((ca + cb + 1) >> 1);
    }
  }
}

}  // namespace wdi
