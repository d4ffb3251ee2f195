// SSE2 motion kernels. Differences are taken in 16-bit lanes (-255 .. 255) and squared
// and paired by pmaddwd into 32-bit lanes (at most 2 * 255^2 each), so every sum is exact.
#include <emmintrin.h>

#include "engine/motion_kernels.h"

namespace wdi {

namespace {

inline uint32_t horizontalSum(__m128i v) {
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
  return static_cast<uint32_t>(_mm_cvtsi128_si32(v));
}

inline __m128i loadRow8(const uint8_t* p) {
  return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                           _mm_setzero_si128());
}

inline __m128i squares(__m128i a, __m128i b) {
  const __m128i d = _mm_sub_epi16(a, b);
  return _mm_madd_epi16(d, d);
}

// An 8x4 reference, widened once. Four rows are cheap enough to sum whole: the full
// sum satisfies the early-stop contract by itself.
struct ReducedSse2 {
  __m128i ref[4];
  ptrdiff_t stride;
  ReducedSse2(const uint8_t* reference, ptrdiff_t s) : stride(s) {
    for (int k = 0; k < 4; ++k) ref[k] = loadRow8(reference + k * s);
  }
  uint32_t operator()(const uint8_t* c, uint32_t) const {
    const __m128i s01 = _mm_add_epi32(squares(loadRow8(c), ref[0]),  //
                                      squares(loadRow8(c + stride), ref[1]));
    const __m128i s23 = _mm_add_epi32(squares(loadRow8(c + 2 * stride), ref[2]),
                                      squares(loadRow8(c + 3 * stride), ref[3]));
    return horizontalSum(_mm_add_epi32(s01, s23));
  }
};

// A 16x8 reference, widened once into low and high halves.
struct FieldSse2 {
  __m128i lo[8];
  __m128i hi[8];
  ptrdiff_t stride;
  FieldSse2(const uint8_t* reference, ptrdiff_t s) : stride(s) {
    const __m128i zero = _mm_setzero_si128();
    for (int k = 0; k < 8; ++k) {
      const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(reference + k * s));
      lo[k] = _mm_unpacklo_epi8(r, zero);
      hi[k] = _mm_unpackhi_epi8(r, zero);
    }
  }
  __m128i row(const uint8_t* c, int k) const {
    const __m128i zero = _mm_setzero_si128();
    const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + k * stride));
    return _mm_add_epi32(squares(_mm_unpacklo_epi8(r, zero), lo[k]),
                         squares(_mm_unpackhi_epi8(r, zero), hi[k]));
  }
  // Checks the running sum after rows 1, 2 and 4: most losing candidates are out after
  // the first row once a good match is known, and the checks cost a horizontal sum each.
  uint32_t operator()(const uint8_t* c, uint32_t limit) const {
    __m128i acc = row(c, 0);
    uint32_t sum = horizontalSum(acc);
    if (sum >= limit) return sum;
    acc = _mm_add_epi32(acc, row(c, 1));
    sum = horizontalSum(acc);
    if (sum >= limit) return sum;
    acc = _mm_add_epi32(acc, _mm_add_epi32(row(c, 2), row(c, 3)));
    sum = horizontalSum(acc);
    if (sum >= limit) return sum;
    acc = _mm_add_epi32(acc, _mm_add_epi32(row(c, 4), row(c, 5)));
    acc = _mm_add_epi32(acc, _mm_add_epi32(row(c, 6), row(c, 7)));
    return horizontalSum(acc);
  }
};

}  // namespace

void buildReducedImageSse2(uint8_t* reduced, const uint8_t* luma, uint32_t width, uint32_t height) {
  // reducedWidth = width / 2 is a multiple of 8: 16 samples at a time, then one group of 8.
  const uint32_t reducedWidth = width / 2;
  const __m128i even = _mm_set1_epi16(0x00FF);
  for (uint32_t r = 0; r < height / 4; ++r) {
    const uint8_t* src = luma + static_cast<size_t>(4 * r) * width;
    uint8_t* dst = reduced + static_cast<size_t>(r) * reducedWidth;
    uint32_t c = 0;
    for (; c + 16 <= reducedWidth; c += 16) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * c));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * c + 16));
      const __m128i packed = _mm_packus_epi16(_mm_and_si128(a, even), _mm_and_si128(b, even));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + c), packed);
    }
    if (c < reducedWidth) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * c));
      const __m128i a8 = _mm_and_si128(a, even);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + c), _mm_packus_epi16(a8, a8));
    }
  }
}

uint32_t reducedBlockDistanceSse2(const uint8_t* candidate, const uint8_t* reference,
                                  uint32_t limit, ptrdiff_t stride) {
  return ReducedSse2(reference, stride)(candidate, limit);
}

uint32_t fieldBlockDistanceSse2(const uint8_t* candidate, const uint8_t* reference, uint32_t limit,
                                ptrdiff_t stride) {
  return FieldSse2(reference, stride)(candidate, limit);
}

void searchReducedBlocksSse2(const SearchWindow& window, SearchResult& result) {
  const ReducedSse2 distance(window.reference, window.blockStride);
  result.best = hintedStart(distance, window, result.best);
  scanWindow(distance, window, result);
}

void searchFieldBlocksSse2(const SearchWindow& window, SearchResult& result) {
  const FieldSse2 distance(window.reference, window.blockStride);
  result.best = hintedStart(distance, window, result.best);
  scanWindow(distance, window, result);
}

}  // namespace wdi
