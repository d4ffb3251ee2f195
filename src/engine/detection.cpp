// Scalar reference of the comb detection: vertical strips of four columns,
// each scanned top to bottom with fresh state, left to right.
#include <cstring>

#include "engine/interpolation_kernels.h"
#include "engine/me_deinterlacer.h"

// The references stay plain integer code: they are the definition and the
// baseline of the SIMD levels, and the scalar level is what the 32-bit build
// runs on processors without SSE2. GCC would otherwise vectorise these loops.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-tree-vectorize")
#endif

namespace wdi {
namespace {

inline int saturate16(int v) { return v < -32768 ? -32768 : (v > 32767 ? 32767 : v); }

}  // namespace

DetectionSetup beginDetection(uint8_t* map, uint8_t* counts, uint32_t width, uint32_t height,
                              int32_t threshold) {
  const size_t stride = width;
  std::memset(map, 0, stride * height);
  std::memset(counts, 0, static_cast<size_t>(width / 16) * (height / 16));
  // The strips never measure the last columns; these marks stand in for them.
  map[0] = 0xFF;
  for (uint32_t y = 0; y + 1 < height; ++y) std::memset(map + y * stride + width - 4, 0xFF, 4);
  std::memset(map + (height - 1) * stride + width - 4, 0xFF, 3);

  DetectionSetup s;
  // Half the threshold rounded down (an odd negative value rounds towards minus
  // infinity); the unsigned shift differs from that only in bit 31, which the
  // 16-bit lane drops with the rest of the high half.
  const uint32_t half = static_cast<uint32_t>(threshold) >> 1;
  const int low = static_cast<int>(half & 0xFFFFu);
  s.compare = static_cast<int16_t>(low >= 0x8000 ? low - 0x10000 : low);
  // A signed 32-bit quotient: 0 once the frame has more than 2^28 pixels.
  const int64_t area = static_cast<int64_t>(width) * height;
  s.scale = static_cast<int32_t>((int64_t{1} << 28) / area);
  return s;
}

int detectStripC(uint8_t* map, uint8_t* counts, const uint8_t* luma, uint32_t width,
                 uint32_t height, uint32_t x, const DetectionSetup& setup, int32_t* total) {
  const size_t stride = width;
  const uint32_t blocksPerRow = width / 16;
  // The counting grid is shifted against the block grid by 4 columns and 3 rows.
  const uint32_t blockColumn = (x + 4) >> 4;
  int history[4] = {1, 1, 1, 1};  // the start value acts as a flag set for row 3
  int comb1[4] = {0, 0, 0, 0};    // D of the previous row
  int comb2[4] = {0, 0, 0, 0};    // D of the row before that
  int above[4];
  int middle[4];
  // Pair values: two pixels two columns apart, pre-scaled to 0 .. 127.
  auto pair = [&](uint32_t row, int j) {
    const uint8_t* p = luma + row * stride + x + static_cast<uint32_t>(j);
    return (p[0] + p[2]) >> 2;
  };
  for (int j = 0; j < 4; ++j) {
    above[j] = pair(4, j);
    middle[j] = pair(5, j);
  }
  for (uint32_t k = 0; k + 6 <= height; ++k) {
    int n = 0;
    for (int j = 0; j < 4; ++j) {
      const int a = above[j];
      const int m = middle[j];
      const int b = pair(6 + k, j);  // k = height - 6 reads the row after the plane
      // (a - m)(b - m) is within +-16129 and the gradient term within 0 .. 1008,
      // so D fits in 16 bits without wrapping.
      const int d = (a - m) * (b - m) - (((b - a) * (b - a)) >> 4);
      const int s = saturate16(saturate16(saturate16(2 * comb1[j]) + comb2[j]) + d);
      const int f = s > setup.compare ? 1 : 0;
      history[j] = ((history[j] << 1) & 0x1F) | f;
      n += f;
      comb2[j] = comb1[j];
      comb1[j] = d;
      above[j] = m;
      middle[j] = b;
    }
    if ((k & 1) != 0) continue;
    int pattern[4];
    bool any = false;
    for (int j = 0; j < 4; ++j) {
      pattern[j] = combPatternTable[history[j]];
      any = any || pattern[j] != 0;
    }
    if (!any) continue;
    *total += n;
    // Never above 2^26 + 4 * 2^20 before this check, so it fits in 32 bits.
    if (static_cast<int64_t>(*total) * setup.scale > kDetectionLimit) return 1;
    const uint32_t y = 2 + k;  // the row of history bit 2, centre of the window
    uint8_t* row = map + y * stride + x;
    for (int m = 0; m < 6; ++m) {
      for (int j = m < 2 ? 0 : m - 2; j <= m && j < 4; ++j) {
        if (pattern[j] != 0) row[m] = 0xFF;
      }
    }
    counts[((y + 3) >> 4) * blocksPerRow + blockColumn] += static_cast<uint8_t>(n);
  }
  return 0;
}

int detectInterlaceC(uint8_t* map, uint8_t* counts, const uint8_t* luma, uint32_t width,
                     uint32_t height, int32_t threshold) {
  const DetectionSetup setup = beginDetection(map, counts, width, height, threshold);
  int32_t total = 0;
  for (uint32_t x = 0; x + 8 <= width; x += 4) {
    if (detectStripC(map, counts, luma, width, height, x, setup, &total) != 0) return 1;
  }
  return 0;
}

}  // namespace wdi
