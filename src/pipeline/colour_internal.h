// Row-level scalar conversions shared by every kernel level: SIMD versions
// convert the bulk of a row and hand the tail to these.
#pragma once
#include <cstddef>
#include <cstdint>

namespace wdi {

// Converts `pairs` 2x2 blocks: pixels from picture rows `top` and `bottom`
// (RGB24), luma into y0 and y1, one chroma sample per block into u and v.
void RgbToYuvRowPairC(uint8_t* y0, uint8_t* y1, uint8_t* u, uint8_t* v, const uint8_t* top,
                      const uint8_t* bottom, uint32_t pairs);

// Converts `pixels` pixels of one row; chroma sample x/2 serves pixel x.
void YuvToRgbRowC(uint8_t* out, const uint8_t* luma, const uint8_t* u, const uint8_t* v,
                  uint32_t pixels);

}  // namespace wdi
