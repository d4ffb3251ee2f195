#include <immintrin.h>

#include "engine/temporal.h"
#include "engine/temporal_lanes.h"
#include "engine/temporal_still.h"

namespace wdi {

namespace {

struct Avx2 {
  using Reg = __m256i;
  static Reg load(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }
  static Reg absDiff(Reg a, Reg b) { return _mm256_abs_epi16(_mm256_sub_epi16(a, b)); }
  static Reg avg(Reg a, Reg b) { return _mm256_avg_epu16(a, b); }
  static Reg min(Reg a, Reg b) { return _mm256_min_epi16(a, b); }
  static Reg max(Reg a, Reg b) { return _mm256_max_epi16(a, b); }
  static Reg add(Reg a, Reg b) { return _mm256_add_epi16(a, b); }
  static Reg sub(Reg a, Reg b) { return _mm256_sub_epi16(a, b); }
  static Reg mul9(Reg a) { return _mm256_mullo_epi16(a, _mm256_set1_epi16(9)); }
  template <int n>
  static Reg sar(Reg a) {
    return _mm256_srai_epi16(a, n);
  }
  static Reg gt(Reg a, Reg b) { return _mm256_cmpgt_epi16(a, b); }
  static Reg select(Reg mask, Reg yes, Reg no) { return _mm256_blendv_epi8(no, yes, mask); }
  static Reg set(int16_t v) { return _mm256_set1_epi16(v); }
};

struct Avx2Bytes {
  using Reg = __m256i;
  static Reg load(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  }
  static Reg absDiff(Reg a, Reg b) {
    return _mm256_or_si256(_mm256_subs_epu8(a, b), _mm256_subs_epu8(b, a));
  }
  static Reg avg(Reg a, Reg b) { return _mm256_avg_epu8(a, b); }
  static Reg min(Reg a, Reg b) { return _mm256_min_epu8(a, b); }
  static Reg max(Reg a, Reg b) { return _mm256_max_epu8(a, b); }
  static Reg subs(Reg a, Reg b) { return _mm256_subs_epu8(a, b); }
  static Reg adds(Reg a, Reg b) { return _mm256_adds_epu8(a, b); }
  template <int n>
  static Reg shr(Reg a) {
    return _mm256_and_si256(_mm256_srli_epi16(a, n),
                            _mm256_set1_epi8(static_cast<char>(0xFF >> n)));
  }
  static Reg eqZero(Reg a) { return _mm256_cmpeq_epi8(a, _mm256_setzero_si256()); }
  static Reg ones() { return _mm256_set1_epi8(-1); }
  static Reg select(Reg mask, Reg yes, Reg no) { return _mm256_blendv_epi8(no, yes, mask); }
  static Reg band(Reg a, Reg b) { return _mm256_and_si256(a, b); }
  static Reg bxor(Reg a, Reg b) { return _mm256_xor_si256(a, b); }
  static Reg set(int8_t v) { return _mm256_set1_epi8(v); }
};

// Thirty-two pixels from x; rows b .. aDown from j.
inline void span32(const TemporalRows& r, int32_t x, int32_t j) {
  // packus interleaves the halves by 128-bit lane; the permutation puts them back in order.
  const __m256i sp = _mm256_permute4x64_epi64(
      _mm256_packus_epi16(spatialLanes<Avx2>(r, x), spatialLanes<Avx2>(r, x + 16)),
      _MM_SHUFFLE(3, 1, 2, 0));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(r.out + x), temporalBytes<Avx2Bytes>(r, x, j, sp));
}

// Sixteen pixels from x, for runs of one block.
inline void span16(const TemporalRows& r, int32_t x, int32_t j) {
  const __m256i lanes = spatialLanes<Avx2>(r, x);
  const __m128i sp =
      _mm_packus_epi16(_mm256_castsi256_si128(lanes), _mm256_extracti128_si256(lanes, 1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(r.out + x), temporalBytes<Bytes16>(r, x, j, sp));
}

}  // namespace

uint32_t temporalBlockSadAvx2(const uint8_t* b, const uint8_t* a, ptrdiff_t stride,
                              const uint8_t* guide, ptrdiff_t guideStride) {
  // Two rows per register.
  auto rows = [](const uint8_t* p, ptrdiff_t s) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + s)), 1);
  };
  __m256i sum = _mm256_setzero_si256();
  for (int row = 0; row < 8; row += 2) {
    const __m256i vb = rows(b, stride), va = rows(a, stride), vg = rows(guide, guideStride);
    sum = _mm256_add_epi64(sum, _mm256_add_epi64(_mm256_sad_epu8(vb, va),
                                                 _mm256_sad_epu8(_mm256_avg_epu8(vb, va), vg)));
    b += 2 * stride;
    a += 2 * stride;
    guide += 2 * guideStride;
  }
  const __m128i half = _mm_add_epi64(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
  return static_cast<uint32_t>(_mm_cvtsi128_si32(half) +
                               _mm_cvtsi128_si32(_mm_unpackhi_epi64(half, half)));
}

void temporalSpanAvx2(const TemporalRows& r, int32_t x0, int32_t n) {
  int32_t j = spanGroups<32>(r, x0, 0, n, [&r](int32_t x, int32_t jj) { span32(r, x, jj); });
  j = spanGroups<16>(r, x0, j, n, [&r](int32_t x, int32_t jj) { span16(r, x, jj); });
  // The last 8 pixels of a run of chroma blocks at the plane's right edge.
  if (j < n) temporalSpanSse2(advancedRows(r, j), x0 + j, n - j);
}

}  // namespace wdi
