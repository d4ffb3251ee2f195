// AVX2 motion kernels: one 16-sample row (or two 8-sample rows) widened to sixteen 16-bit
// lanes, differences -255 .. 255, squared and paired by vpmaddwd into exact 32-bit sums.
#include <immintrin.h>

#include "engine/motion_kernels.h"

namespace wdi {

namespace {

inline uint32_t horizontalSum(__m256i v) {
  __m128i s = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
  s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
  return static_cast<uint32_t>(_mm_cvtsi128_si32(s));
}

inline __m256i squares(__m256i a, __m256i b) {
  const __m256i d = _mm256_sub_epi16(a, b);
  return _mm256_madd_epi16(d, d);
}

// Two 8-sample rows, `stride` apart, widened into one register.
inline __m256i loadRowPair(const uint8_t* p, ptrdiff_t stride) {
  const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
  const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + stride));
  return _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(a, b));
}

inline __m256i loadRow16(const uint8_t* p) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// An 8x4 reference; four rows are summed whole (the full sum meets the early-stop contract).
struct ReducedAvx2 {
  __m256i ref01;
  __m256i ref23;
  ptrdiff_t stride;
  ReducedAvx2(const uint8_t* reference, ptrdiff_t s)
      : ref01(loadRowPair(reference, s)), ref23(loadRowPair(reference + 2 * s, s)), stride(s) {}
  uint32_t operator()(const uint8_t* c, uint32_t) const {
    return horizontalSum(_mm256_add_epi32(squares(loadRowPair(c, stride), ref01),
                                          squares(loadRowPair(c + 2 * stride, stride), ref23)));
  }
};

// A 16x8 reference, one register per row.
struct FieldAvx2 {
  __m256i ref[8];
  ptrdiff_t stride;
  FieldAvx2(const uint8_t* reference, ptrdiff_t s) : stride(s) {
    for (int k = 0; k < 8; ++k) ref[k] = loadRow16(reference + k * s);
  }
  __m256i row(const uint8_t* c, int k) const { return squares(loadRow16(c + k * stride), ref[k]); }
  // Checks the running sum after rows 1, 2 and 4 (see the SSE2 version).
  uint32_t operator()(const uint8_t* c, uint32_t limit) const {
    __m256i acc = row(c, 0);
    uint32_t sum = horizontalSum(acc);
    if (sum >= limit) return sum;
    acc = _mm256_add_epi32(acc, row(c, 1));
    sum = horizontalSum(acc);
    if (sum >= limit) return sum;
    acc = _mm256_add_epi32(acc, _mm256_add_epi32(row(c, 2), row(c, 3)));
    sum = horizontalSum(acc);
    if (sum >= limit) return sum;
    acc = _mm256_add_epi32(acc, _mm256_add_epi32(row(c, 4), row(c, 5)));
    acc = _mm256_add_epi32(acc, _mm256_add_epi32(row(c, 6), row(c, 7)));
    return horizontalSum(acc);
  }
};

}  // namespace

uint32_t reducedBlockDistanceAvx2(const uint8_t* candidate, const uint8_t* reference,
                                  uint32_t limit, ptrdiff_t stride) {
  return ReducedAvx2(reference, stride)(candidate, limit);
}

uint32_t fieldBlockDistanceAvx2(const uint8_t* candidate, const uint8_t* reference, uint32_t limit,
                                ptrdiff_t stride) {
  return FieldAvx2(reference, stride)(candidate, limit);
}

void searchReducedBlocksAvx2(const SearchWindow& window, SearchResult& result) {
  scanWindow(ReducedAvx2(window.reference, window.blockStride), window, result);
}

void searchFieldBlocksAvx2(const SearchWindow& window, SearchResult& result) {
  scanWindow(FieldAvx2(window.reference, window.blockStride), window, result);
}

}  // namespace wdi
