// Block motion estimation of method 4: reduced images, block distances, the coarse
// and fine searches and the per-block estimation with its neighbour rule.
#include <algorithm>
#include <cstring>

#include "engine/me_deinterlacer.h"
#include "engine/motion_kernels.h"
#include "platform/cpu.h"

// The references stay plain integer code: they are the definition and the baseline of the
// SIMD levels, and the scalar level is what the 32-bit build runs without SSE2. GCC would
// otherwise vectorise these loops.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-tree-vectorize")
#endif

namespace wdi {

namespace {

// Starting bests: above every reduced block distance (32 * 255^2 = 2,080,800) and every
// field block distance (128 * 255^2 = 8,323,200).
constexpr uint32_t kCoarseStartBest = 2097152;
constexpr uint32_t kFineStartBest = 8388608;
// A block is narrowed to this area when its three earlier neighbours agree.
constexpr int32_t kNarrowArea = 4;
// Limit of the sum of the neighbours' six squared vector components.
constexpr int64_t kNeighbourMotionLimit = 64;

// An inclusive range of candidate positions. The bounds come from exact 64-bit
// arithmetic; a non-empty range lies inside the plane and so fits 32 bits.
struct Range {
  int32_t first;
  int32_t last;
};

Range makeRange(int64_t lo, int64_t hi) {
  if (lo > hi) return {0, -1};
  return {static_cast<int32_t>(lo), static_cast<int32_t>(hi)};
}

// The candidate of a non-empty range (first, first + step, ... <= last) nearest below
// `preferred`, clamped into the range: a scan hint.
int32_t nearestCandidate(int64_t preferred, int64_t first, int64_t last, int32_t step) {
  const int64_t v = std::min(std::max(preferred, first), last);
  // Steps are 1 or 2: a mask instead of a division.
  return static_cast<int32_t>(step == 2 ? v - ((v - first) & 1) : v);
}

struct ReducedDistanceC {
  const uint8_t* reference;
  ptrdiff_t stride;
  uint32_t operator()(const uint8_t* candidate, uint32_t limit) const {
    return reducedBlockDistanceC(candidate, reference, limit, stride);
  }
};

struct FieldDistanceC {
  const uint8_t* reference;
  ptrdiff_t stride;
  uint32_t operator()(const uint8_t* candidate, uint32_t limit) const {
    return fieldBlockDistanceC(candidate, reference, limit, stride);
  }
};

// Sum of squared differences of `rows` rows of `columns` samples, stopping after a row
// once the sum reaches `limit`.
inline uint32_t blockDistanceC(const uint8_t* candidate, const uint8_t* reference, uint32_t limit,
                               ptrdiff_t stride, int rows, int columns) {
  uint32_t sum = 0;
  for (int k = 0; k < rows; ++k) {
    const uint8_t* c = candidate + k * stride;
    const uint8_t* r = reference + k * stride;
    for (int j = 0; j < columns; ++j) {
      const int d = c[j] - r[j];  // -255 .. 255
      sum += static_cast<uint32_t>(d * d);
    }
    if (sum >= limit) break;
  }
  return sum;
}

}  // namespace

void buildReducedImageC(uint8_t* reduced, const uint8_t* luma, uint32_t width, uint32_t height) {
  const uint32_t reducedWidth = width / 2;
  for (uint32_t r = 0; r < height / 4; ++r) {
    const uint8_t* src = luma + static_cast<size_t>(4 * r) * width;
    uint8_t* dst = reduced + static_cast<size_t>(r) * reducedWidth;
    for (uint32_t c = 0; c < reducedWidth; ++c) dst[c] = src[2 * c];
  }
}

uint32_t reducedBlockDistanceC(const uint8_t* candidate, const uint8_t* reference, uint32_t limit,
                               ptrdiff_t stride) {
  return blockDistanceC(candidate, reference, limit, stride, 4, 8);
}

uint32_t fieldBlockDistanceC(const uint8_t* candidate, const uint8_t* reference, uint32_t limit,
                             ptrdiff_t stride) {
  return blockDistanceC(candidate, reference, limit, stride, 8, 16);
}

void searchReducedBlocksC(const SearchWindow& window, SearchResult& result) {
  scanWindow(ReducedDistanceC{window.reference, window.blockStride}, window, result);
}

void searchFieldBlocksC(const SearchWindow& window, SearchResult& result) {
  scanWindow(FieldDistanceC{window.reference, window.blockStride}, window, result);
}

void initMotionKernels(EngineKernels& k, uint32_t flags) {
  k.buildReducedImage = buildReducedImageC;
  k.reducedBlockDistance = reducedBlockDistanceC;
  k.fieldBlockDistance = fieldBlockDistanceC;
  k.searchReducedBlocks = searchReducedBlocksC;
  k.searchFieldBlocks = searchFieldBlocksC;
  if (flags & kCpuSse2) {
    k.buildReducedImage = buildReducedImageSse2;
    k.reducedBlockDistance = reducedBlockDistanceSse2;
    k.fieldBlockDistance = fieldBlockDistanceSse2;
    k.searchReducedBlocks = searchReducedBlocksSse2;
    k.searchFieldBlocks = searchFieldBlocksSse2;
  }
  if (flags & kCpuAvx2) {
    k.reducedBlockDistance = reducedBlockDistanceAvx2;
    k.fieldBlockDistance = fieldBlockDistanceAvx2;
    k.searchReducedBlocks = searchReducedBlocksAvx2;
    k.searchFieldBlocks = searchFieldBlocksAvx2;
  }
}

// A good guess is the vector of a neighbour already searched in this frame: measuring
// several guesses costs more than picking the better one saves.
void MEDeinterlacer::setHint(SearchWindow& w, int64_t x, int64_t y) {
  w.hintX = nearestCandidate(x, w.xFirst, w.xLast, 1);
  w.hintY = nearestCandidate(y, w.yFirst, w.yLast, w.yStep);
}

void MEDeinterlacer::coarseSearch(uint32_t i, int32_t rx, int32_t ry) {
  const int64_t x = reducedBlockPositions[i].x;
  const int64_t y = reducedBlockPositions[i].y;
  const Range xs = makeRange(std::max<int64_t>(x - rx, 0) - x,
                             std::min<int64_t>(x + rx, int64_t{reducedWidth} - 8) - x);
  const Range ys = makeRange(std::max<int64_t>(y - ry, 0) - y,
                             std::min<int64_t>(y + ry, int64_t{reducedHeight} - 4) - y);
  SearchWindow window{srcReduced.get(),
                      static_cast<ptrdiff_t>(reducedWidth),
                      dstReduced.get() + reducedBlockOffsets[i],
                      static_cast<ptrdiff_t>(reducedWidth),
                      static_cast<int32_t>(x + xs.first),
                      static_cast<int32_t>(x + xs.last),
                      static_cast<int32_t>(y + ys.first),
                      static_cast<int32_t>(y + ys.last),
                      1,
                      0,
                      0};
  // 4 * d < threshold exactly when d < ceil(threshold / 4).
  const uint32_t threshold = static_cast<uint32_t>(params.blockDistanceThreshold);
  const uint32_t start =
      copiesOnly_ ? std::min<uint32_t>(kCoarseStartBest, threshold / 4 + (threshold % 4 != 0))
                  : kCoarseStartBest;
  SearchResult r{start, 0, 0};
  if (xs.first <= xs.last && ys.first <= ys.last) {
    // Guess: the upper neighbour's vector, else the left one's, when searched in this
    // frame; else no motion.
    int64_t gx = 0, gy = 0;
    if (reducedBlockPositions[i].y != 0 && blockMotion[i - blocksPerRow].distance != 0) {
      gx = blockMotion[i - blocksPerRow].dx / 2;
      gy = blockMotion[i - blocksPerRow].dy / 4;
    } else if (reducedBlockPositions[i].x != 0 && blockMotion[i - 1].distance != 0) {
      gx = blockMotion[i - 1].dx / 2;
      gy = blockMotion[i - 1].dy / 4;
    }
    setHint(window, x + gx, y + gy);
    kernels_.searchReducedBlocks(window, r);
  }
  // No accepted candidate keeps the zero vector.
  const bool found = r.best < start;
  const int64_t bx = found ? r.x - x : 0;
  const int64_t by = found ? r.y - y : 0;
  // best < 2^21, so 4 * best < 2^23; the offsets are bounded by the reduced plane.
  blockMotion[i] = {4 * r.best, static_cast<int32_t>(2 * bx), static_cast<int32_t>(4 * by)};
}

void MEDeinterlacer::fineSearch(uint32_t i, int32_t rx, int32_t ry) {
  BlockMotion& m = blockMotion[i];
  const int64_t x = int64_t{blockPositions[i].x} + m.dx;
  const int64_t y = int64_t{blockPositions[i].y} + m.dy;
  const Range xs = makeRange(std::max<int64_t>(x - rx, 0) - x,
                             std::min<int64_t>(x + rx, int64_t{width} - 16) - x);
  const Range ys = makeRange(std::max<int64_t>(y - ry, 0) - y,
                             std::min<int64_t>(y + ry, int64_t{height} - 16) - y);
  const uint32_t start =
      copiesOnly_
          ? std::min<uint32_t>(kFineStartBest, static_cast<uint32_t>(params.blockDistanceThreshold))
          : kFineStartBest;
  SearchResult r{start, 0, 0};
  if (xs.first <= xs.last && ys.first <= ys.last) {
    SearchWindow window{srcY,
                        static_cast<ptrdiff_t>(width),
                        dstY + blockOffsets[i],
                        static_cast<ptrdiff_t>(doubleStride),
                        static_cast<int32_t>(x + xs.first),
                        static_cast<int32_t>(x + xs.last),
                        static_cast<int32_t>(y + ys.first),
                        static_cast<int32_t>(y + ys.last),
                        2,
                        0,
                        0};
    // Guess: the centre (the coarse vector) for a refinement; for a full-range search the
    // upper neighbour's vector, else the left one's, when searched in this frame, else the
    // coarse vector.
    int64_t gx = x, gy = y;
    if (rx > 2) {
      const BlockPosition b = blockPositions[i];
      const BlockMotion* n = nullptr;
      if (b.y != 0 && blockMotion[i - blocksPerRow].distance != 0)
        n = &blockMotion[i - blocksPerRow];
      else if (b.x != 0 && blockMotion[i - 1].distance != 0)
        n = &blockMotion[i - 1];
      gx = int64_t{b.x} + (n != nullptr ? n->dx : coarseDx_);
      gy = int64_t{b.y} + (n != nullptr ? n->dy : coarseDy_);
    }
    setHint(window, gx, gy);
    kernels_.searchFieldBlocks(window, r);
  }
  if (r.best < start) {
    // The chosen candidate lies in the plane, so the new vector fits 32 bits.
    m.dx = static_cast<int32_t>(m.dx + (r.x - x));
    m.dy = static_cast<int32_t>(m.dy + (r.y - y));
  }
  m.distance = r.best;
}

void MEDeinterlacer::estimateBlockMotion(uint32_t i, int32_t area) {
  const uint32_t threshold = static_cast<uint32_t>(params.blockDistanceThreshold);
  // Neither in the first block row nor in the first block column (no division needed).
  if (blockPositions[i].y != 0 && blockPositions[i].x != 0) {
    const BlockMotion& l = blockMotion[i - 1];
    const BlockMotion& u = blockMotion[i - blocksPerRow];
    const BlockMotion& ul = blockMotion[i - blocksPerRow - 1];
    const auto replaced = [threshold](const BlockMotion& m) {
      return m.distance != 0 && m.distance < threshold;
    };
    // Exact 64-bit sum: squares of 32-bit components cannot overflow it, where a 32-bit
    // sum could wrap to a small value for enormous vectors and narrow a fast block.
    const auto sq = [](int32_t v) { return int64_t{v} * v; };
    const int64_t motion = sq(l.dx) + sq(l.dy) + sq(u.dx) + sq(u.dy) + sq(ul.dx) + sq(ul.dy);
    if (replaced(l) && replaced(u) && replaced(ul) && motion < kNeighbourMotionLimit)
      area = kNarrowArea;
  }

  coarseSearch(i, area / 2, area / 4);
  BlockMotion& m = blockMotion[i];
  if (m.distance < threshold) {
    fineSearch(i, 2, 2);
  } else {
    coarseDx_ = m.dx;
    coarseDy_ = m.dy;
    m.dx = 0;
    m.dy = 0;
    fineSearch(i, area, area);
  }
  if (m.distance >= threshold) return;

  // The chosen field block lies inside the source, so the copy reads inside the plane.
  const ptrdiff_t stride = static_cast<ptrdiff_t>(width);
  const BlockPosition p = blockPositions[i];
  const uint8_t* src = srcY + (static_cast<ptrdiff_t>(p.y) + m.dy) * stride + p.x + m.dx;
  uint8_t* dst = dstY + blockOffsets[i];
  for (ptrdiff_t k = 0; k < 8; ++k) std::memcpy(dst + 2 * k * stride, src + 2 * k * stride, 16);
}

}  // namespace wdi
