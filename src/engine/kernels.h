// Pixel kernels of the engine. Each pointer is filled with the plain scalar
// reference (the definition) and then upgraded to the best SIMD version the
// CPU flags allow. Every version gives the same bytes.
#pragma once
#include <cstddef>
#include <cstdint>

namespace wdi {

// A window of candidate blocks and the best match found in it (motion_kernels.h).
struct SearchWindow;
struct SearchResult;

struct EngineKernels {
  // Field doubling on one luma plane, in place.
  void (*doubleFields)(uint8_t* plane, uint32_t width, uint32_t height);
  // Cubic interpolation of the even luma rows; `dst` may equal `src`.
  void (*interpolateLuma)(uint8_t* dst, const uint8_t* src, const uint8_t* map, uint32_t width,
                          uint32_t height, int all);
  // Interpolation of the even rows of V then U.
  void (*interpolateChroma)(uint8_t* dstV, uint8_t* dstU, const uint8_t* srcV, const uint8_t* srcU,
                            int32_t chromaWidth, int32_t chromaHeight, int all);
  // Comb detection; reads rows 4 .. height (row `height` is the `width` bytes after the plane).
  int (*detectInterlace)(uint8_t* map, uint8_t* counts, const uint8_t* luma, uint32_t width,
                         uint32_t height, int32_t threshold);
  // Every second pixel of every fourth row.
  void (*buildReducedImage)(uint8_t* reduced, const uint8_t* luma, uint32_t width, uint32_t height);
  // Sum of squared differences of two 8x4 blocks; stops after a row once the sum reaches `limit`.
  uint32_t (*reducedBlockDistance)(const uint8_t* candidate, const uint8_t* reference,
                                   uint32_t limit, ptrdiff_t stride);
  // The same for two 16x8 blocks.
  uint32_t (*fieldBlockDistance)(const uint8_t* candidate, const uint8_t* reference, uint32_t limit,
                                 ptrdiff_t stride);
  // Scans a window of 8x4 (reduced) or 16x8 (field) candidate blocks in row-major order and
  // keeps the first candidate whose distance is below the running best.
  void (*searchReducedBlocks)(const SearchWindow& window, SearchResult& result);
  void (*searchFieldBlocks)(const SearchWindow& window, SearchResult& result);
};

// Fills the interpolation and detection kernels (doubleFields .. detectInterlace).
void initInterpolationKernels(EngineKernels& k, uint32_t cpuFlags);
// Fills the motion kernels (buildReducedImage .. searchFieldBlocks).
void initMotionKernels(EngineKernels& k, uint32_t cpuFlags);

// The whole table for the given CPU flags.
EngineKernels makeEngineKernels(uint32_t cpuFlags);

}  // namespace wdi
