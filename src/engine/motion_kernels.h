// Motion search kernels: the reduced image, the two block distances and the
// window scans built on them, per instruction set.
//
// Preconditions shared by every kernel here:
// - luma planes are `width` x `height` with `width` and `height` multiples of 16;
// - a reduced block is 8 samples x 4 rows, a field block 16 samples x 8 rows, and every
//   row of every candidate and of the reference lies inside its buffer;
// - a distance is the exact sum of squared differences of unsigned bytes, at most
//   128 * 255^2 = 8,323,200, so every 32-bit intermediate is exact.
#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/kernels.h"

namespace wdi {

// Candidate blocks of a search: top-left samples at (x, y) for y = yFirst, yFirst + yStep, ...
// up to yLast and x = xFirst .. xLast, both inclusive. Empty when first > last. Every
// candidate lies inside the plane.
struct SearchWindow {
  const uint8_t* plane;      // sample (0, 0) of the candidate plane
  ptrdiff_t planeStride;     // bytes per plane row
  const uint8_t* reference;  // top-left sample of the reference block
  ptrdiff_t blockStride;     // bytes between two rows of a block (candidate and reference)
  int32_t xFirst, xLast;
  int32_t yFirst, yLast;
  int32_t yStep;  // 1 or 2
  // A candidate likely to match well (a neighbour's vector), or any position outside the
  // window for none. Only a speed-up: the result never depends on it.
  int32_t hintX, hintY;
};

// Running best of a scan: a candidate replaces it only when its distance is strictly
// below `best`, so the first of equal candidates in scan order stays.
struct SearchResult {
  uint32_t best;
  int32_t x;
  int32_t y;
};

// The scan order, shared by every level. `Distance` holds the reference and gives, for a
// candidate and a limit, the full distance or any value >= limit when the full distance
// reaches the limit; either way the chosen candidate and the kept best are the same.
// Instantiated with level-local types only, so each instruction set keeps its own copy.
template <class Distance>
inline void scanWindow(const Distance& distance, const SearchWindow& w, SearchResult& r) {
  uint32_t best = r.best;
  int32_t bestX = r.x;
  int32_t bestY = r.y;
  // 64-bit counters: the bounds are inside the plane, the step past the last one need not be.
  for (int64_t y = w.yFirst; y <= w.yLast; y += w.yStep) {
    const uint8_t* row = w.plane + static_cast<ptrdiff_t>(y) * w.planeStride;
    for (int64_t x = w.xFirst; x <= w.xLast; ++x) {
      const uint32_t d = distance(row + x, best);
      if (d < best) {
        best = d;
        bestX = static_cast<int32_t>(x);
        bestY = static_cast<int32_t>(y);
      }
    }
  }
  r = {best, bestX, bestY};
}

// Starting best of a scan that first measures the hint. Its full distance d bounds the
// minimum, so the scan may start from d + 1: a candidate that can still be chosen (distance
// <= d) meets exactly the comparisons of the plain scan, and the plain scan's choice, the
// first candidate with the least distance, is among them. Unchanged without a hint or when
// the hint would not beat `best` anyway.
template <class Distance>
inline uint32_t hintedStart(const Distance& distance, const SearchWindow& w, uint32_t best) {
  const int64_t hx = w.hintX, hy = w.hintY;
  if (hx < w.xFirst || hx > w.xLast || hy < w.yFirst || hy > w.yLast ||
      (w.yStep == 2 && ((hy - w.yFirst) & 1) != 0))
    return best;
  const uint32_t d =
      distance(w.plane + static_cast<ptrdiff_t>(hy) * w.planeStride + hx, UINT32_MAX);
  return d < best ? d + 1 : best;  // d <= 8,323,200: no wrap
}

// Scalar references: the definition.
void buildReducedImageC(uint8_t* reduced, const uint8_t* luma, uint32_t width, uint32_t height);
uint32_t reducedBlockDistanceC(const uint8_t* candidate, const uint8_t* reference, uint32_t limit,
                               ptrdiff_t stride);
uint32_t fieldBlockDistanceC(const uint8_t* candidate, const uint8_t* reference, uint32_t limit,
                             ptrdiff_t stride);
void searchReducedBlocksC(const SearchWindow& window, SearchResult& result);
void searchFieldBlocksC(const SearchWindow& window, SearchResult& result);

// SSE2.
void buildReducedImageSse2(uint8_t* reduced, const uint8_t* luma, uint32_t width, uint32_t height);
uint32_t reducedBlockDistanceSse2(const uint8_t* candidate, const uint8_t* reference,
                                  uint32_t limit, ptrdiff_t stride);
uint32_t fieldBlockDistanceSse2(const uint8_t* candidate, const uint8_t* reference, uint32_t limit,
                                ptrdiff_t stride);
void searchReducedBlocksSse2(const SearchWindow& window, SearchResult& result);
void searchFieldBlocksSse2(const SearchWindow& window, SearchResult& result);

// AVX2.
uint32_t reducedBlockDistanceAvx2(const uint8_t* candidate, const uint8_t* reference,
                                  uint32_t limit, ptrdiff_t stride);
uint32_t fieldBlockDistanceAvx2(const uint8_t* candidate, const uint8_t* reference, uint32_t limit,
                                ptrdiff_t stride);
void searchReducedBlocksAvx2(const SearchWindow& window, SearchResult& result);
void searchFieldBlocksAvx2(const SearchWindow& window, SearchResult& result);

}  // namespace wdi
