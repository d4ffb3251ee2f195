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
  static Reg shr(Reg a) {
    return _mm256_srli_epi16(a, n);
  }
  template <int n>
  static Reg sar(Reg a) {
    return _mm256_srai_epi16(a, n);
  }
  static Reg gt(Reg a, Reg b) { return _mm256_cmpgt_epi16(a, b); }
  static Reg select(Reg mask, Reg yes, Reg no) { return _mm256_blendv_epi8(no, yes, mask); }
  static Reg zero() { return _mm256_setzero_si256(); }
  static Reg set(int16_t v) { return _mm256_set1_epi16(v); }
};

// Sixteen pixels from x; rows b .. aDown from j.
inline void span16(const TemporalRows& r, int32_t x, int32_t j) {
  const __m256i result = temporalLanes<Avx2>(r, x, j);
  const __m128i packed =
      _mm_packus_epi16(_mm256_castsi256_si128(result), _mm256_extracti128_si256(result, 1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(r.out + x), packed);
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
  const int32_t j = spanGroups<16>(r, x0, n, [&r](int32_t x, int32_t jj) { span16(r, x, jj); });
  if (j == n) return;
  // The last 8 pixels of a run of chroma blocks go the SSE2 way.
  TemporalRows rest = r;
  for (const uint8_t** p :
       {&rest.b, &rest.a, &rest.bUp, &rest.aUp, &rest.bDown, &rest.aDown, &rest.b0, &rest.a0,
        &rest.bUp0, &rest.aUp0, &rest.bDown0, &rest.aDown0}) {
    *p += j;
  }
  temporalSpanSse2(rest, x0 + j, n - j);
}

}  // namespace wdi
