// AVX2 interpolation: 32 pixels per step. Unpacking to words and packing
// back both work within 128-bit halves, so the pixel order survives. Rows
// whose width leaves 16 or 8 pixels finish with the same arithmetic on
// 128-bit registers.
#include <immintrin.h>

#include <cstring>

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
inline __m128i load8(const uint8_t* p) {
  return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}
inline void store8(uint8_t* p, __m128i v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v); }

// (a + b) >> 1 per byte: pavgb rounds up, so take the odd carry back off.
inline __m256i averageDown(__m256i a, __m256i b) {
  return _mm256_sub_epi8(_mm256_avg_epu8(a, b),
                         _mm256_and_si256(_mm256_xor_si256(a, b), _mm256_set1_epi8(1)));
}
inline __m128i averageDown(__m128i a, __m128i b) {
  return _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
}

void averageRow(uint8_t* out, const uint8_t* a, const uint8_t* b, uint32_t width) {
  uint32_t x = 0;
  for (; x + 32 <= width; x += 32) store32(out + x, averageDown(load32(a + x), load32(b + x)));
  if (x < width) store16(out + x, averageDown(load16(a + x), load16(b + x)));
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
inline __m128i cubicWords(__m128i p, __m128i a, __m128i b, __m128i q) {
  const __m128i s = _mm_add_epi16(a, b);
  const __m128i v = _mm_sub_epi16(_mm_add_epi16(_mm_slli_epi16(s, 2), s), _mm_add_epi16(p, q));
  return _mm_srai_epi16(v, 3);
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
inline __m128i cubic16(const uint8_t* p, const uint8_t* a, const uint8_t* b, const uint8_t* q) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i vp = load16(p), va = load16(a), vb = load16(b), vq = load16(q);
  const __m128i lo = cubicWords(_mm_unpacklo_epi8(vp, zero), _mm_unpacklo_epi8(va, zero),
                                _mm_unpacklo_epi8(vb, zero), _mm_unpacklo_epi8(vq, zero));
  const __m128i hi = cubicWords(_mm_unpackhi_epi8(vp, zero), _mm_unpackhi_epi8(va, zero),
                                _mm_unpackhi_epi8(vb, zero), _mm_unpackhi_epi8(vq, zero));
  return _mm_packus_epi16(lo, hi);
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
inline __m128i chromaWords(__m128i a, __m128i m, __m128i b) {
  const __m128i e = _mm_srli_epi16(_mm_add_epi16(a, _mm_add_epi16(b, _mm_add_epi16(b, b))), 2);
  if (kAll) return e;
  const __m128i g = _mm_sub_epi16(b, a);
  const __m128i p = _mm_mullo_epi16(_mm_sub_epi16(a, m), _mm_sub_epi16(b, m));
  const __m128i r = _mm_subs_epi16(p, _mm_srai_epi16(_mm_mullo_epi16(g, g), 3));
  const __m128i combed = _mm_cmpgt_epi16(_mm_srai_epi16(r, 1), _mm_set1_epi16(8));
  return _mm_blendv_epi8(m, e, combed);
}

template <bool kAll>
void chromaRow(uint8_t* out, const uint8_t* above, const uint8_t* own, const uint8_t* below,
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
  const __m128i zero16 = _mm_setzero_si128();
  if (x + 16 <= width) {
    const __m128i a = load16(above + x), m = load16(own + x), b = load16(below + x);
    const __m128i lo = chromaWords<kAll>(_mm_unpacklo_epi8(a, zero16), _mm_unpacklo_epi8(m, zero16),
                                         _mm_unpacklo_epi8(b, zero16));
    const __m128i hi = chromaWords<kAll>(_mm_unpackhi_epi8(a, zero16), _mm_unpackhi_epi8(m, zero16),
                                         _mm_unpackhi_epi8(b, zero16));
    store16(out + x, _mm_packus_epi16(lo, hi));
    x += 16;
  }
  if (x < width) {  // widths are multiples of 8: one group of 8 remains
    const __m128i v = chromaWords<kAll>(_mm_unpacklo_epi8(load8(above + x), zero16),
                                        _mm_unpacklo_epi8(load8(own + x), zero16),
                                        _mm_unpacklo_epi8(load8(below + x), zero16));
    store8(out + x, _mm_packus_epi16(v, v));
  }
}

void chromaPlane(uint8_t* dst, const uint8_t* src, int32_t w, int32_t h, int all) {
  const size_t stride = static_cast<size_t>(w);
  std::memcpy(dst, src + stride, stride);
  if (dst != src) {
    for (int32_t y = 1; y < h; y += 2) std::memcpy(dst + y * stride, src + y * stride, stride);
  }
  for (int32_t y = 2; y <= h - 2; y += 2) {
    const uint8_t* own = src + y * stride;
    if (all != 0) {
      chromaRow<true>(dst + y * stride, own - stride, own, own + stride, w);
    } else {
      chromaRow<false>(dst + y * stride, own - stride, own, own + stride, w);
    }
  }
}

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
  const size_t stride = width;
  const uint32_t h = height;
  std::memcpy(dst, src + stride, stride);
  if (dst != src) {
    for (uint32_t y = 1; y < h; y += 2) std::memcpy(dst + y * stride, src + y * stride, stride);
  }
  averageRow(dst + 2 * stride, src + stride, src + 3 * stride, width);
  averageRow(dst + (h - 2) * stride, src + (h - 1) * stride, src + (h - 3) * stride, width);
  for (uint32_t y = 4; y + 4 <= h; y += 2) {
    const uint8_t* own = src + y * stride;
    const uint8_t* p = own - 3 * stride;
    const uint8_t* a = own - stride;
    const uint8_t* b = own + stride;
    const uint8_t* q = own + 3 * stride;
    const uint8_t* mask = map + y * stride;
    uint8_t* out = dst + y * stride;
    uint32_t x = 0;
    if (all != 0) {
      for (; x + 32 <= width; x += 32) store32(out + x, cubic32(p + x, a + x, b + x, q + x));
      if (x < width) store16(out + x, cubic16(p + x, a + x, b + x, q + x));
      continue;
    }
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
    if (x < width) {
      const __m128i n = load16(mask + x);
      const __m128i k = cubic16(p + x, a + x, b + x, q + x);
      store16(out + x, _mm_or_si128(_mm_and_si128(k, n), _mm_andnot_si128(n, load16(own + x))));
    }
  }
}

void interpolateChromaAvx2(uint8_t* dstV, uint8_t* dstU, const uint8_t* srcV, const uint8_t* srcU,
                           int32_t chromaWidth, int32_t chromaHeight, int all) {
  chromaPlane(dstV, srcV, chromaWidth, chromaHeight, all);
  chromaPlane(dstU, srcU, chromaWidth, chromaHeight, all);
}

}  // namespace wdi
