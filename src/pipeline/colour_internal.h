// Row-level conversions: the scalar ones are shared by every kernel level,
// whose SIMD steps convert the bulk of a row and hand the tail to them.
#pragma once
#include <cstddef>
#include <cstdint>

#include "pipeline/colour.h"

namespace wdi {

// Converts `pairs` 2x2 blocks: pixels from picture rows `top` and `bottom`
// (RGB24), luma into y0 and y1, one chroma sample per block into u and v.
void RgbToYuvRowPairC(uint8_t* y0, uint8_t* y1, uint8_t* u, uint8_t* v, const uint8_t* top,
                      const uint8_t* bottom, uint32_t pairs);

// RgbToYuv420 of a whole image, one pair of rows at a time by `convertPair`
// (the same image walk for every kernel level).
void RgbToYuv420ByRowPairs(RgbToYuvRowPairFn convertPair, uint8_t* Y, uint8_t* U, uint8_t* V,
                           const uint8_t* rgb, uint32_t w, uint32_t h, uint32_t lumaStride);

// Converts `pixels` pixels of one row; chroma sample x/2 serves pixel x.
void YuvToRgbRowC(uint8_t* out, const uint8_t* luma, const uint8_t* u, const uint8_t* v,
                  uint32_t pixels);

#if defined(__i386__) || defined(__x86_64__)
// The same contracts in 128-bit steps; the AVX2 kernels use them for the rest
// of a row after their 256-bit steps.
void RgbToYuvRowPairSse2(uint8_t* y0, uint8_t* y1, uint8_t* u, uint8_t* v, const uint8_t* top,
                         const uint8_t* bottom, uint32_t pairs);
void RgbToYuvRowPairAvx2(uint8_t* y0, uint8_t* y1, uint8_t* u, uint8_t* v, const uint8_t* top,
                         const uint8_t* bottom, uint32_t pairs);
// Two output rows that share one chroma row; out1 null converts out0 only.
void YuvToRgbRowsSse2(uint8_t* out0, uint8_t* out1, const uint8_t* luma0, const uint8_t* luma1,
                      const uint8_t* cu, const uint8_t* cv, uint32_t pixels);
#endif

}  // namespace wdi
