// Chroma of 4:2:2, 4:4:4 and 4:1:1 pictures brought to 4:2:0 field by field,
// so that no output sample mixes the two fields of an interlaced frame.
#pragma once
#include <cstddef>
#include <cstdint>

namespace wdi {

// How many input chroma columns make one 4:2:0 column.
enum class ChromaColumns {
  Same,    // 4:2:2: (w + 1) / 2 columns already
  Pairs,   // 4:4:4: w columns, averaged in pairs
  Halves,  // 4:1:1: (w + 3) / 4 columns, each used twice
};

// One chroma plane of `height` rows (the picture's height) to the (width +
// 1) / 2 x (height + 1) / 2 plane of 4:2:0. The rule, in integers:
//  1. columns: 4:4:4 takes (c[2i] + c[2i+1] + 1) >> 1 (c[2i] alone past the
//     last column), 4:1:1 takes c[i / 2], 4:2:2 takes c[i];
//  2. rows: output row r = 2j + f (field f) takes (a + b + 1) >> 1 of rows
//     4j + f and 4j + 2 + f of step 1, the next row of the same field (row
//     4j + f alone where that lies past the last row).
void ChromaToFields420(const uint8_t* src, size_t srcStride, ChromaColumns columns, uint32_t width,
                       uint32_t height, uint8_t* dst, size_t dstStride);

}  // namespace wdi
