// AVX2 interpolation rows: 32 pixels per step. Unpacking to words and
// packing back both work within 128-bit halves, so the pixel order survives.
// What a row's width leaves (16 or 8 pixels) goes to the SSE2 rows.
#include <immintrin.h>

#include "engine/interpolation_kernels.h"

namespace wdi {
namespace {

inline __m256i load32(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
inline void store32(uint8_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}
inline __m128i load16(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void store16(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// (a + b) >> 1 per byte: pavgb rounds up, so take the odd carry back off.
inline __m256i averageDown(__m256i a, __m256i b) {
  return _mm256_sub_epi8(_mm256_avg_epu8(a, b),
                         _mm256_and_si256(_mm256_xor_si256(a, b), _mm256_set1_epi8(1)));
}

void averageRow(uint8_t* out, const uint8_t* a, const uint8_t* b, uint32_t width) {
  uint32_t x = 0;
  for (; x + 32 <= width; x += 32) store32(out + x, averageDown(load32(a + x), load32(b + x)));
  averageRowSse2(out + x, a + x, b + x, width - x);
}

// 5(a + b) - p - q lies in -510 .. 2550. The arithmetic shift keeps negative
// sums negative, so the unsigned pack clamps them to 0 and values above 255
// to 255.
inline __m256i cubicWords(__m256i p, __m256i a, __m256i b, __m256i q) {
  const __m256i s = _mm256_add_epi16(a, b);
  const __m256i v =
      _mm256_sub_epi16(_mm256_add_epi16(_mm256_slli_epi16(s, 2), s), _mm256_add_epi16(p, q));
  return _mm256_srai_epi16(v, 3);
}

inline __m256i cubic32(const uint8_t* p, const uint8_t* a, const uint8_t* b, const uint8_t* q) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i vp = load32(p), va = load32(a), vb = load32(b), vq = load32(q);
  const __m256i lo = cubicWords(_mm256_unpacklo_epi8(vp, zero), _mm256_unpacklo_epi8(va, zero),
                                _mm256_unpacklo_epi8(vb, zero), _mm256_unpacklo_epi8(vq, zero));
  const __m256i hi = cubicWords(_mm256_unpackhi_epi8(vp, zero), _mm256_unpackhi_epi8(va, zero),
                                _mm256_unpackhi_epi8(vb, zero), _mm256_unpackhi_epi8(vq, zero));
  return _mm256_packus_epi16(lo, hi);
}

// Chroma rule on words: E = (a + 3b) >> 2 (at most 1020), and unless all is
// set, E only where the comb test fires. Both products keep their low 16
// bits, exactly as the definition wraps them.
template <bool kAll>
inline __m256i chromaWords(__m256i a, __m256i m, __m256i b) {
  const __m256i e =
      _mm256_srli_epi16(_mm256_add_epi16(a, _mm256_add_epi16(b, _mm256_add_epi16(b, b))), 2);
  if (kAll) return e;
  const __m256i g = _mm256_sub_epi16(b, a);
  const __m256i p = _mm256_mullo_epi16(_mm256_sub_epi16(a, m), _mm256_sub_epi16(b, m));
  const __m256i r = _mm256_subs_epi16(p, _mm256_srai_epi16(_mm256_mullo_epi16(g, g), 3));
  const __m256i combed = _mm256_cmpgt_epi16(_mm256_srai_epi16(r, 1), _mm256_set1_epi16(8));
  return _mm256_blendv_epi8(m, e, combed);
}

template <bool kAll>
int32_t chromaRow32(uint8_t* out, const uint8_t* above, const uint8_t* own, const uint8_t* below,
                    int32_t width) {
  int32_t x = 0;
  const __m256i zero = _mm256_setzero_si256();
  for (; x + 32 <= width; x += 32) {
    const __m256i a = load32(above + x), m = load32(own + x), b = load32(below + x);
    const __m256i lo =
        chromaWords<kAll>(_mm256_unpacklo_epi8(a, zero), _mm256_unpacklo_epi8(m, zero),
                          _mm256_unpacklo_epi8(b, zero));
    const __m256i hi =
        chromaWords<kAll>(_mm256_unpackhi_epi8(a, zero), _mm256_unpackhi_epi8(m, zero),
                          _mm256_unpackhi_epi8(b, zero));
    store32(out + x, _mm256_packus_epi16(lo, hi));
  }
  return x;
}

void chromaRow(uint8_t* out, const uint8_t* above, const uint8_t* own, const uint8_t* below,
               int32_t width, int all) {
  const int32_t x = all != 0 ? chromaRow32<true>(out, above, own, below, width)
                             : chromaRow32<false>(out, above, own, below, width);
  chromaRowSse2(out + x, above + x, own + x, below + x, width - x, all);
}

void cubicRow(uint8_t* out, const uint8_t* p, const uint8_t* a, const uint8_t* b, const uint8_t* q,
              const uint8_t* own, const uint8_t* mask, uint32_t width, int all) {
  uint32_t x = 0;
  if (all != 0) {
    for (; x + 32 <= width; x += 32) store32(out + x, cubic32(p + x, a + x, b + x, q + x));
  } else {
    // Map bytes are 0x00 or 0xFF; the select is bitwise either way.
    for (; x + 32 <= width; x += 32) {
      const __m256i n = load32(mask + x);
      if (_mm256_testz_si256(n, n) != 0) {
        store32(out + x, load32(own + x));  // nothing marked: no cubic needed
        continue;
      }
      const __m256i k = cubic32(p + x, a + x, b + x, q + x);
      store32(out + x,
              _mm256_or_si256(_mm256_and_si256(k, n), _mm256_andnot_si256(n, load32(own + x))));
    }
  }
  cubicRowSse2(out + x, p + x, a + x, b + x, q + x, own + x, mask + x, width - x, all);
}

constexpr InterpolationRows kRowsAvx2 = {averageRow, cubicRow, chromaRow};

}  // namespace

void doubleFieldsAvx2(uint8_t* plane, uint32_t width, uint32_t height) {
  const size_t stride = width;
  for (uint32_t y = 0; y + 1 < height; y += 2) {
    uint8_t* out = plane + y * stride;
    const uint8_t* in = out + stride;
    uint32_t x = 0;
    for (; x + 64 <= width; x += 64) {
      const __m256i v0 = load32(in + x);
      const __m256i v1 = load32(in + x + 32);
      store32(out + x, v0);
      store32(out + x + 32, v1);
    }
    for (; x < width; x += 16) store16(out + x, load16(in + x));
  }
}

void interpolateLumaAvx2(uint8_t* dst, const uint8_t* src, const uint8_t* map, uint32_t width,
                         uint32_t height, int all) {
  interpolateLumaPlanes(kRowsAvx2, dst, src, map, width, height, all);
}

void interpolateChromaAvx2(uint8_t* dstV, uint8_t* dstU, const uint8_t* srcV, const uint8_t* srcU,
                           int32_t chromaWidth, int32_t chromaHeight, int all) {
  interpolateChromaPlanes(kRowsAvx2, dstV, dstU, srcV, srcU, chromaWidth, chromaHeight, all);
}

}  // namespace wdi
