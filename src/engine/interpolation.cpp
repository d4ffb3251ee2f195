// Scalar references of field doubling and of the luma and chroma
// interpolation, and the run-time choice of the kernel level.
#include <cstring>

#include "engine/interpolation_kernels.h"
#include "engine/kernels.h"
#include "platform/cpu.h"

// The references stay plain integer code: they are the definition and the
// baseline of the SIMD levels, and the scalar level is what the 32-bit build
// runs on processors without SSE2. GCC would otherwise vectorise these loops.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-tree-vectorize")
#endif

namespace wdi {
namespace {

// Low 16 bits of an int read as a signed 16-bit value (what a 16-bit lane keeps).
inline int low16(int v) {
  const int u = v & 0xFFFF;
  return u >= 0x8000 ? u - 0x10000 : u;
}

inline int saturate16(int v) { return v < -32768 ? -32768 : (v > 32767 ? 32767 : v); }

// Arithmetic shift right: rounds towards minus infinity, like a 16-bit lane shift.
inline int shiftRightArith(int v, int s) { return v >= 0 ? v >> s : -((-v - 1) >> s) - 1; }

void averageRowC(uint8_t* out, const uint8_t* a, const uint8_t* b, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x) out[x] = static_cast<uint8_t>((a[x] + b[x]) >> 1);
}

void cubicRowC(uint8_t* out, const uint8_t* p, const uint8_t* a, const uint8_t* b, const uint8_t* q,
               const uint8_t* own, const uint8_t* mask, uint32_t width, int all) {
  for (uint32_t x = 0; x < width; ++x) {
    // Taps (-1, 5, 5, -1) / 8, truncated: -510 .. 2550 before the clamp.
    int v = 5 * (a[x] + b[x]) - p[x] - q[x];
    v = v < 0 ? 0 : v >> 3;
    const int k = v > 255 ? 255 : v;
    if (all != 0) {
      out[x] = static_cast<uint8_t>(k);
    } else {
      const int n = mask[x];
      out[x] = static_cast<uint8_t>((k & n) | (own[x] & ~n));
    }
  }
}

void chromaRowC(uint8_t* out, const uint8_t* above, const uint8_t* own, const uint8_t* below,
                int32_t width, int all) {
  for (int32_t x = 0; x < width; ++x) {
    const int a = above[x];
    const int m = own[x];
    const int b = below[x];
    // a + 3b <= 1020: weighted towards the row below, truncated.
    const int e = (a + 3 * b) >> 2;
    if (all != 0) {
      out[x] = static_cast<uint8_t>(e);
      continue;
    }
    // Both products are kept as 16-bit lanes keep them: (b - a)^2 up to
    // 65025 wraps to a negative value, and so may (a - m)(b - m).
    const int p = low16((a - m) * (b - m));
    const int q = low16((b - a) * (b - a));
    const int r = saturate16(p - shiftRightArith(q, 3));
    out[x] = static_cast<uint8_t>(shiftRightArith(r, 1) > 8 ? e : m);
  }
}

constexpr InterpolationRows kRowsC = {averageRowC, cubicRowC, chromaRowC};

void chromaPlane(const InterpolationRows& rows, uint8_t* dst, const uint8_t* src, int32_t w,
                 int32_t h, int all) {
  const size_t stride = static_cast<size_t>(w);
  std::memcpy(dst, src + stride, stride);
  if (dst != src) {
    for (int32_t y = 1; y < h; y += 2) std::memcpy(dst + y * stride, src + y * stride, stride);
  }
  for (int32_t y = 2; y <= h - 2; y += 2) {
    const uint8_t* own = src + y * stride;
    rows.chroma(dst + y * stride, own - stride, own, own + stride, w, all);
  }
}

}  // namespace

void doubleFieldsC(uint8_t* plane, uint32_t width, uint32_t height) {
  const size_t stride = width;
  for (uint32_t y = 0; y + 1 < height; y += 2) {
    std::memcpy(plane + y * stride, plane + (y + 1) * stride, stride);
  }
}

void interpolateLumaPlanes(const InterpolationRows& rows, uint8_t* dst, const uint8_t* src,
                           const uint8_t* map, uint32_t width, uint32_t height, int all) {
  const size_t stride = width;
  const uint32_t h = height;
  std::memcpy(dst, src + stride, stride);
  if (dst != src) {
    for (uint32_t y = 1; y < h; y += 2) std::memcpy(dst + y * stride, src + y * stride, stride);
  }
  // Rows 2 and h - 2: the cubic taps would leave the frame, so plain averages.
  rows.average(dst + 2 * stride, src + stride, src + 3 * stride, width);
  rows.average(dst + (h - 2) * stride, src + (h - 1) * stride, src + (h - 3) * stride, width);
  for (uint32_t y = 4; y + 4 <= h; y += 2) {
    const uint8_t* own = src + y * stride;
    rows.cubic(dst + y * stride, own - 3 * stride, own - stride, own + stride, own + 3 * stride,
               own, map + y * stride, width, all);
  }
}

void interpolateChromaPlanes(const InterpolationRows& rows, uint8_t* dstV, uint8_t* dstU,
                             const uint8_t* srcV, const uint8_t* srcU, int32_t chromaWidth,
                             int32_t chromaHeight, int all) {
  chromaPlane(rows, dstV, srcV, chromaWidth, chromaHeight, all);
  chromaPlane(rows, dstU, srcU, chromaWidth, chromaHeight, all);
}

void interpolateLumaC(uint8_t* dst, const uint8_t* src, const uint8_t* map, uint32_t width,
                      uint32_t height, int all) {
  interpolateLumaPlanes(kRowsC, dst, src, map, width, height, all);
}

void interpolateChromaC(uint8_t* dstV, uint8_t* dstU, const uint8_t* srcV, const uint8_t* srcU,
                        int32_t chromaWidth, int32_t chromaHeight, int all) {
  interpolateChromaPlanes(kRowsC, dstV, dstU, srcV, srcU, chromaWidth, chromaHeight, all);
}

void initInterpolationKernels(EngineKernels& k, uint32_t cpuFlags) {
  k.doubleFields = doubleFieldsC;
  k.interpolateLuma = interpolateLumaC;
  k.interpolateChroma = interpolateChromaC;
  k.detectInterlace = detectInterlaceC;
  if (cpuFlags & kCpuSse2) {
    k.doubleFields = doubleFieldsSse2;
    k.interpolateLuma = interpolateLumaSse2;
    k.interpolateChroma = interpolateChromaSse2;
    k.detectInterlace = detectInterlaceSse2;
  }
  if (cpuFlags & kCpuAvx2) {
    k.doubleFields = doubleFieldsAvx2;
    k.interpolateLuma = interpolateLumaAvx2;
    k.interpolateChroma = interpolateChromaAvx2;
    k.detectInterlace = detectInterlaceAvx2;
  }
}

}  // namespace wdi
