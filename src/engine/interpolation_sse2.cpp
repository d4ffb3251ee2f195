// SSE2 field doubling and interpolation rows: 16 pixels per step in 16-bit
// lanes (8 for the last group of a row whose width is an odd multiple of 8).
#include <emmintrin.h>

#include "engine/interpolation_kernels.h"

namespace wdi {
namespace {

inline __m128i load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline __m128i load8(const uint8_t* p) {
  return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}
inline void store8(uint8_t* p, __m128i v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v); }

// (a + b) >> 1 per byte: pavgb rounds up, so take the odd carry back off.
inline __m128i averageDown(__m128i a, __m128i b) {
  return _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
}

// 5(a + b) - p - q on 8 words lies in -510 .. 2550. The arithmetic shift
// keeps negative sums negative, so the unsigned pack clamps them to 0 and
// anything above 255 to 255.
inline __m128i cubicWords(__m128i p, __m128i a, __m128i b, __m128i q) {
  const __m128i s = _mm_add_epi16(a, b);
  const __m128i v = _mm_sub_epi16(_mm_add_epi16(_mm_slli_epi16(s, 2), s), _mm_add_epi16(p, q));
  return _mm_srai_epi16(v, 3);
}

inline __m128i cubic16(const uint8_t* p, const uint8_t* a, const uint8_t* b, const uint8_t* q) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i vp = load(p), va = load(a), vb = load(b), vq = load(q);
  const __m128i lo = cubicWords(_mm_unpacklo_epi8(vp, zero), _mm_unpacklo_epi8(va, zero),
                                _mm_unpacklo_epi8(vb, zero), _mm_unpacklo_epi8(vq, zero));
  const __m128i hi = cubicWords(_mm_unpackhi_epi8(vp, zero), _mm_unpackhi_epi8(va, zero),
                                _mm_unpackhi_epi8(vb, zero), _mm_unpackhi_epi8(vq, zero));
  return _mm_packus_epi16(lo, hi);
}

// Chroma rule on 8 words: E = (a + 3b) >> 2 (at most 1020), and unless all is
// set, E only where the comb test fires. Both products keep their low 16
// bits, exactly as the definition wraps them.
template <bool kAll>
inline __m128i chromaWords(__m128i a, __m128i m, __m128i b) {
  const __m128i e = _mm_srli_epi16(_mm_add_epi16(a, _mm_add_epi16(b, _mm_add_epi16(b, b))), 2);
  if (kAll) return e;
  const __m128i g = _mm_sub_epi16(b, a);
  const __m128i p = _mm_mullo_epi16(_mm_sub_epi16(a, m), _mm_sub_epi16(b, m));
  const __m128i r = _mm_subs_epi16(p, _mm_srai_epi16(_mm_mullo_epi16(g, g), 3));
  const __m128i combed = _mm_cmpgt_epi16(_mm_srai_epi16(r, 1), _mm_set1_epi16(8));
  return _mm_or_si128(_mm_and_si128(combed, e), _mm_andnot_si128(combed, m));
}

template <bool kAll>
void chromaRow(uint8_t* out, const uint8_t* above, const uint8_t* own, const uint8_t* below,
               int32_t width) {
  const __m128i zero = _mm_setzero_si128();
  int32_t x = 0;
  for (; x + 16 <= width; x += 16) {
    const __m128i a = load(above + x), m = load(own + x), b = load(below + x);
    const __m128i lo = chromaWords<kAll>(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(m, zero),
                                         _mm_unpacklo_epi8(b, zero));
    const __m128i hi = chromaWords<kAll>(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(m, zero),
                                         _mm_unpackhi_epi8(b, zero));
    store(out + x, _mm_packus_epi16(lo, hi));
  }
  if (x < width) {  // widths are multiples of 8: one group of 8 remains
    const __m128i v = chromaWords<kAll>(_mm_unpacklo_epi8(load8(above + x), zero),
                                        _mm_unpacklo_epi8(load8(own + x), zero),
                                        _mm_unpacklo_epi8(load8(below + x), zero));
    store8(out + x, _mm_packus_epi16(v, v));
  }
}

}  // namespace

void doubleFieldsSse2(uint8_t* plane, uint32_t width, uint32_t height) {
  const size_t stride = width;
  for (uint32_t y = 0; y + 1 < height; y += 2) {
    uint8_t* out = plane + y * stride;
    const uint8_t* in = out + stride;
    uint32_t x = 0;
    for (; x + 64 <= width; x += 64) {
      const __m128i v0 = load(in + x);
      const __m128i v1 = load(in + x + 16);
      const __m128i v2 = load(in + x + 32);
      const __m128i v3 = load(in + x + 48);
      store(out + x, v0);
      store(out + x + 16, v1);
      store(out + x + 32, v2);
      store(out + x + 48, v3);
    }
    for (; x < width; x += 16) store(out + x, load(in + x));
  }
}

void averageRowSse2(uint8_t* out, const uint8_t* a, const uint8_t* b, uint32_t width) {
  uint32_t x = 0;
  for (; x + 16 <= width; x += 16) store(out + x, averageDown(load(a + x), load(b + x)));
  if (x < width) store8(out + x, averageDown(load8(a + x), load8(b + x)));
}

void cubicRowSse2(uint8_t* out, const uint8_t* p, const uint8_t* a, const uint8_t* b,
                  const uint8_t* q, const uint8_t* own, const uint8_t* mask, uint32_t width,
                  int all) {
  if (all != 0) {
    for (uint32_t x = 0; x < width; x += 16) store(out + x, cubic16(p + x, a + x, b + x, q + x));
    return;
  }
  const __m128i zero = _mm_setzero_si128();
  for (uint32_t x = 0; x < width; x += 16) {
    const __m128i n = load(mask + x);
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(n, zero)) == 0xFFFF) {
      store(out + x, load(own + x));  // nothing marked: no cubic needed
      continue;
    }
    const __m128i k = cubic16(p + x, a + x, b + x, q + x);
    store(out + x, _mm_or_si128(_mm_and_si128(k, n), _mm_andnot_si128(n, load(own + x))));
  }
}

void chromaRowSse2(uint8_t* out, const uint8_t* above, const uint8_t* own, const uint8_t* below,
                   int32_t width, int all) {
  if (all != 0) {
    chromaRow<true>(out, above, own, below, width);
  } else {
    chromaRow<false>(out, above, own, below, width);
  }
}

namespace {
constexpr InterpolationRows kRowsSse2 = {averageRowSse2, cubicRowSse2, chromaRowSse2};
}  // namespace

void interpolateLumaSse2(uint8_t* dst, const uint8_t* src, const uint8_t* map, uint32_t width,
                         uint32_t height, int all) {
  interpolateLumaPlanes(kRowsSse2, dst, src, map, width, height, all);
}

void interpolateChromaSse2(uint8_t* dstV, uint8_t* dstU, const uint8_t* srcV, const uint8_t* srcU,
                           int32_t chromaWidth, int32_t chromaHeight, int all) {
  interpolateChromaPlanes(kRowsSse2, dstV, dstU, srcV, srcU, chromaWidth, chromaHeight, all);
}

}  // namespace wdi
