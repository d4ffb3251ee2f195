#include "pipeline/colour.h"

#include <array>

#include "pipeline/colour_internal.h"
#include "platform/cpu.h"

namespace wdi {

namespace {

inline uint8_t clampByte(int32_t v) {
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// 16 + floor((66R + 129G + 25B) / 256); the sum is at most 56100, so 16..235.
inline uint8_t lumaOf(const uint8_t* px) {
  return static_cast<uint8_t>(16 + ((66 * px[2] + 129 * px[1] + 25 * px[0]) >> 8));
}

}  // namespace

void RgbToYuvRowPairC(uint8_t* y0, uint8_t* y1, uint8_t* u, uint8_t* v, const uint8_t* top,
                      const uint8_t* bottom, uint32_t pairs) {
  for (uint32_t i = 0; i < pairs; ++i) {
    const uint8_t* a = top + 6 * static_cast<size_t>(i);
    const uint8_t* b = bottom + 6 * static_cast<size_t>(i);
    y0[2 * i] = lumaOf(a);
    y0[2 * i + 1] = lumaOf(a + 3);
    y1[2 * i] = lumaOf(b);
    y1[2 * i + 1] = lumaOf(b + 3);
    // Each sum of four samples is 0..1020.
    const int32_t sb = a[0] + a[3] + b[0] + b[3];
    const int32_t sg = a[1] + a[4] + b[1] + b[4];
    const int32_t sr = a[2] + a[5] + b[2] + b[5];
    // |sum| <= 114240; >> 10 on a negative value floors (arithmetic shift), so
    // the results stay in 16..239 and need no clamp.
    u[i] = static_cast<uint8_t>(128 + ((112 * sb - 74 * sg - 38 * sr) >> 10));
    v[i] = static_cast<uint8_t>(128 + ((112 * sr - 94 * sg - 18 * sb) >> 10));
  }
}

void YuvToRgbRowC(uint8_t* out, const uint8_t* luma, const uint8_t* u, const uint8_t* v,
                  uint32_t pixels) {
  for (uint32_t x = 0; x < pixels; ++x) {
    // Luma below 16 counts as 16.
    const int32_t t = 74 * (luma[x] > 16 ? luma[x] - 16 : 0);
    const int32_t cu = u[x / 2] - 128;
    const int32_t cv = v[x / 2] - 128;
    // Exact sums, floored by the arithmetic shift, then clamped.
    out[3 * x] = clampByte((t + 129 * cu) >> 6);
    out[3 * x + 1] = clampByte((t - (25 * cu + 52 * cv)) >> 6);
    out[3 * x + 2] = clampByte((t + 102 * cv) >> 6);
  }
}

void RgbToYuv420ByRowPairs(RgbToYuvRowPairFn convertPair, uint8_t* Y, uint8_t* U, uint8_t* V,
                           const uint8_t* rgb, uint32_t w, uint32_t h, uint32_t lumaStride) {
  const size_t rgbRow = static_cast<size_t>(w) * 3;
  const size_t chromaStride = lumaStride / 2;
  for (uint32_t j = 0; j < h / 2; ++j) {
    // Picture rows 2j and 2j+1 are memory rows h-1-2j and h-2-2j (bottom-up).
    const uint8_t* top = rgb + (h - 1 - 2 * static_cast<size_t>(j)) * rgbRow;
    uint8_t* y0 = Y + 2 * static_cast<size_t>(j) * lumaStride;
    convertPair(y0, y0 + lumaStride, U + j * chromaStride, V + j * chromaStride, top, top - rgbRow,
                w / 2);
  }
}

void RgbToYuv420C(uint8_t* Y, uint8_t* U, uint8_t* V, const uint8_t* rgb, uint32_t w, uint32_t h,
                  uint32_t lumaStride) {
  RgbToYuv420ByRowPairs(RgbToYuvRowPairC, Y, U, V, rgb, w, h, lumaStride);
}

void Yuv420ToRgbC(const uint8_t* Y, const uint8_t* U, const uint8_t* V, uint32_t w, uint32_t h,
                  uint32_t lumaStride, uint32_t chromaStride, uint8_t* firstOutputRow,
                  ptrdiff_t rowStep) {
  for (uint32_t y = 0; y < h; ++y) {
    YuvToRgbRowC(firstOutputRow + static_cast<ptrdiff_t>(y) * rowStep,
                 Y + static_cast<size_t>(y) * lumaStride,
                 U + static_cast<size_t>(y / 2) * chromaStride,
                 V + static_cast<size_t>(y / 2) * chromaStride, w);
  }
}

ColourKernels makeColourKernels(uint32_t cpuFlags) {
  ColourKernels k{RgbToYuv420C, Yuv420ToRgbC, RgbToYuvRowPairC};
#if defined(__i386__) || defined(__x86_64__)
  if (cpuFlags & kCpuSse2) {
    k.rgbToYuv420 = RgbToYuv420Sse2;
    k.yuv420ToRgb = Yuv420ToRgbSse2;
    k.rgbToYuvRowPair = RgbToYuvRowPairSse2;
  }
  if (cpuFlags & kCpuAvx2) {
    k.rgbToYuv420 = RgbToYuv420Avx2;
    k.yuv420ToRgb = Yuv420ToRgbAvx2;
    k.rgbToYuvRowPair = RgbToYuvRowPairAvx2;
  }
#else
  (void)cpuFlags;
#endif
  return k;
}

const ColourKernels& colourKernels() {
  // One table per level, built once; the one used follows the flags in force, so a mask set
  // later (wdeint --cpu, the tests) holds here as it does for every engine made after it.
  static const auto tables = [] {
    std::array<ColourKernels, kKernelLevelCount> t{};
    for (int i = 0; i < kKernelLevelCount; ++i)
      t[size_t(i)] = makeColourKernels(kKernelLevels[i].mask);
    return t;
  }();
  return tables[size_t(&cpuLevelOf(cpuFlags()) - kKernelLevels)];
}

void RgbToYuv420(uint8_t* Y, uint8_t* U, uint8_t* V, const uint8_t* rgb, uint32_t w, uint32_t h,
                 uint32_t lumaStride) {
  colourKernels().rgbToYuv420(Y, U, V, rgb, w, h, lumaStride);
}

void Yuv420ToRgb(const uint8_t* Y, const uint8_t* U, const uint8_t* V, uint32_t w, uint32_t h,
                 uint32_t lumaStride, uint32_t chromaStride, uint8_t* firstOutputRow,
                 ptrdiff_t rowStep) {
  colourKernels().yuv420ToRgb(Y, U, V, w, h, lumaStride, chromaStride, firstOutputRow, rowStep);
}

}  // namespace wdi
