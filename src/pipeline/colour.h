// Conversion between the host's RGB24 images (B, G, R per pixel, rows
// bottom-up) and planar 4:2:0 with BT.601 studio-range integer equations.
// Every kernel level gives the same bytes as the scalar reference.
#pragma once
#include <cstddef>
#include <cstdint>

namespace wdi {

// Reads h rows of 3*w bytes (bottom-up: the last row in memory is picture row
// 0) and writes h luma rows of w bytes with stride `lumaStride`, and h/2 rows
// of w/2 bytes into U and V with stride lumaStride/2. Bytes between rows are
// left untouched. Preconditions: w and h even, lumaStride >= w.
void RgbToYuv420(uint8_t* Y, uint8_t* U, uint8_t* V, const uint8_t* rgb, uint32_t w, uint32_t h,
                 uint32_t lumaStride);

// Writes h rows of 3*w bytes; luma row y goes to firstOutputRow + y*rowStep.
// Chroma is sampled per 2x2 block, without interpolation. Preconditions: h
// even, w a multiple of 8, lumaStride >= w, chromaStride >= w/2.
void Yuv420ToRgb(const uint8_t* Y, const uint8_t* U, const uint8_t* V, uint32_t w, uint32_t h,
                 uint32_t lumaStride, uint32_t chromaStride, uint8_t* firstOutputRow,
                 ptrdiff_t rowStep);

using RgbToYuv420Fn = void (*)(uint8_t* Y, uint8_t* U, uint8_t* V, const uint8_t* rgb, uint32_t w,
                               uint32_t h, uint32_t lumaStride);
using Yuv420ToRgbFn = void (*)(const uint8_t* Y, const uint8_t* U, const uint8_t* V, uint32_t w,
                               uint32_t h, uint32_t lumaStride, uint32_t chromaStride,
                               uint8_t* firstOutputRow, ptrdiff_t rowStep);

// RgbToYuv420 of one pair of picture rows given by their addresses, so that
// they may lie anywhere: `pairs` 2x2 blocks from `top` and `bottom`, luma into
// y0 and y1, one chroma sample per block into u and v.
using RgbToYuvRowPairFn = void (*)(uint8_t* y0, uint8_t* y1, uint8_t* u, uint8_t* v,
                                   const uint8_t* top, const uint8_t* bottom, uint32_t pairs);

struct ColourKernels {
  RgbToYuv420Fn rgbToYuv420;
  Yuv420ToRgbFn yuv420ToRgb;
  RgbToYuvRowPairFn rgbToYuvRowPair;
};

// Scalar versions first, then the best the flags allow.
ColourKernels makeColourKernels(uint32_t cpuFlags);

// The table the public functions use: that of the level cpuFlags() allows at the call.
const ColourKernels& colourKernels();

// Scalar references: the definitions.
void RgbToYuv420C(uint8_t* Y, uint8_t* U, uint8_t* V, const uint8_t* rgb, uint32_t w, uint32_t h,
                  uint32_t lumaStride);
void Yuv420ToRgbC(const uint8_t* Y, const uint8_t* U, const uint8_t* V, uint32_t w, uint32_t h,
                  uint32_t lumaStride, uint32_t chromaStride, uint8_t* firstOutputRow,
                  ptrdiff_t rowStep);

void RgbToYuv420Sse2(uint8_t* Y, uint8_t* U, uint8_t* V, const uint8_t* rgb, uint32_t w, uint32_t h,
                     uint32_t lumaStride);
void Yuv420ToRgbSse2(const uint8_t* Y, const uint8_t* U, const uint8_t* V, uint32_t w, uint32_t h,
                     uint32_t lumaStride, uint32_t chromaStride, uint8_t* firstOutputRow,
                     ptrdiff_t rowStep);
void RgbToYuv420Avx2(uint8_t* Y, uint8_t* U, uint8_t* V, const uint8_t* rgb, uint32_t w, uint32_t h,
                     uint32_t lumaStride);
void Yuv420ToRgbAvx2(const uint8_t* Y, const uint8_t* U, const uint8_t* V, uint32_t w, uint32_t h,
                     uint32_t lumaStride, uint32_t chromaStride, uint8_t* firstOutputRow,
                     ptrdiff_t rowStep);

}  // namespace wdi
