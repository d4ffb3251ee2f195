// Method 5, the advanced method: a full-resolution search of every interlaced block
// over the whole search area, then a per-pixel replacement of close pixels.
#include <algorithm>
#include <cstring>

#include "engine/me_deinterlacer.h"
#include "engine/motion_kernels.h"

namespace wdi {

namespace {

// Above every field block distance (at most 8,323,200).
constexpr uint32_t kAdvancedStartBest = 16777216;
// Only blocks with more comb hits than this are replaced.
constexpr uint8_t kMinInterlaceCount = 32;

}  // namespace

void MEDeinterlacer::processAdvanced() {
  const int r = detectAndInterpolate();
  std::memset(blockMotion.get(), 0, sizeof(BlockMotion) * blockCount);
  if (r == 1) return;
  searchAndReplaceAdvanced();
  if (params.replaceOnlyInterlaced != 0) restoreUnmarked();
}

void MEDeinterlacer::searchAndReplaceAdvanced() {
  // Row r of the search plane is source row r + 1, unless the search runs on the
  // interpolated destination itself.
  const bool onInterpolated = params.searchOnInterpolated != 0;
  const uint8_t* searchPlane = onInterpolated ? dstY : srcY + width;
  const ptrdiff_t stride = static_cast<ptrdiff_t>(width);
  const int64_t area = std::max<int32_t>(params.searchArea, 0);
  const int64_t xMax = int64_t{width} - 16;
  const int64_t yMax = int64_t{height} - 16;

  const uint32_t advancedStart =
      copiesOnly_ ? std::min<uint32_t>(kAdvancedStartBest,
                                       static_cast<uint32_t>(params.blockDistanceThreshold))
                  : kAdvancedStartBest;

  // Search pass. Blocks that the replacement pass skips are not searched: nothing reads
  // their records. The pass ends before any replacement, so every search sees the plane
  // as the interpolation left it.
  for (uint32_t i = 0; i < blockCount; ++i) {
    if (blockInterlaceCounts[i] <= kMinInterlaceCount) continue;
    const int64_t bx = blockPositions[i].x;
    const int64_t by = blockPositions[i].y;
    // Columns x0 .. x1 - 1 and rows y0, y0 + 2, ... below y1; all inside the plane.
    const int64_t x0 = std::max<int64_t>(bx - area, 0);
    const int64_t x1 = std::min<int64_t>(bx + area, xMax);
    const int64_t y0 = std::max<int64_t>(by - area, 0);
    const int64_t y1 = std::min<int64_t>(by + area, yMax);
    SearchResult result{advancedStart, static_cast<int32_t>(x0), static_cast<int32_t>(y0)};
    if (x0 < x1 && y0 < y1) {
      SearchWindow window{searchPlane,
                          stride,
                          srcY + blockOffsets[i],
                          static_cast<ptrdiff_t>(doubleStride),
                          static_cast<int32_t>(x0),
                          static_cast<int32_t>(x1 - 1),
                          static_cast<int32_t>(y0),
                          static_cast<int32_t>(y1 - 1),
                          2,
                          0,
                          0};
      // Hint: a neighbour's vector (see pickAdvancedHint), when the SIMD scans can use one.
      if (kernels_.searchFieldBlocks != searchFieldBlocksC) pickAdvancedHint(i, window);
      kernels_.searchFieldBlocks(window, result);
    }
    blockMotion[i] = {result.best, static_cast<int32_t>(result.x - bx),
                      static_cast<int32_t>(result.y - by)};
  }

  // Replacement pass, in block order: with the destination as search plane a later block
  // may read pixels that an earlier one replaced.
  const uint32_t blockThreshold = static_cast<uint32_t>(params.blockDistanceThreshold);
  const uint32_t pixelThreshold = static_cast<uint32_t>(params.replacementThreshold);
  for (uint32_t i = 0; i < blockCount; ++i) {
    if (blockInterlaceCounts[i] <= kMinInterlaceCount) continue;
    const BlockMotion& m = blockMotion[i];
    if (m.distance >= blockThreshold) continue;
    const BlockPosition p = blockPositions[i];
    replaceSimilarPixels(dstY + blockOffsets[i],
                         searchPlane + (static_cast<ptrdiff_t>(p.y) + m.dy) * stride + p.x + m.dx,
                         pixelThreshold);
  }
}

void MEDeinterlacer::pickAdvancedHint(uint32_t i, SearchWindow& window) const {
  // The upper neighbour's vector, else the left one's, when searched in this frame; else
  // no motion. (Measuring several guesses costs more than a better guess saves.)
  int64_t x = blockPositions[i].x, y = blockPositions[i].y;
  if (blockPositions[i].y != 0 && blockInterlaceCounts[i - blocksPerRow] > kMinInterlaceCount) {
    x += blockMotion[i - blocksPerRow].dx;
    y += blockMotion[i - blocksPerRow].dy;
  } else if (blockPositions[i].x != 0 && blockInterlaceCounts[i - 1] > kMinInterlaceCount) {
    x += blockMotion[i - 1].dx;
    y += blockMotion[i - 1].dy;
  }
  setHint(window, x, y);
}

void MEDeinterlacer::replaceSimilarPixels(uint8_t* destination, const uint8_t* candidate,
                                          uint32_t threshold) {
  // Strictly sequential: the candidate may overlap the destination when both lie in dstY,
  // and then a pixel replaced earlier is what a later one reads.
  for (ptrdiff_t k = 0; k < 8; ++k) {
    uint8_t* d = destination + k * doubleStride;
    const uint8_t* c = candidate + k * doubleStride;
    for (int j = 0; j < 16; ++j) {
      const uint8_t p = d[j];
      const uint8_t q = c[j];
      const uint32_t diff = p > q ? uint32_t(p - q) : uint32_t(q - p);
      if (diff < threshold) d[j] = q;
    }
  }
}

}  // namespace wdi
