#include <emmintrin.h>

#include "engine/temporal.h"
#include "engine/temporal_lanes.h"
#include "engine/temporal_still.h"

namespace wdi {

namespace {

struct Sse2 {
  using Reg = __m128i;
  static Reg load(const uint8_t* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                             _mm_setzero_si128());
  }
  static Reg absDiff(Reg a, Reg b) {
    return _mm_sub_epi16(_mm_max_epi16(a, b), _mm_min_epi16(a, b));
  }
  static Reg avg(Reg a, Reg b) { return _mm_avg_epu16(a, b); }
  static Reg min(Reg a, Reg b) { return _mm_min_epi16(a, b); }
  static Reg max(Reg a, Reg b) { return _mm_max_epi16(a, b); }
  static Reg add(Reg a, Reg b) { return _mm_add_epi16(a, b); }
  static Reg sub(Reg a, Reg b) { return _mm_sub_epi16(a, b); }
  static Reg mul9(Reg a) { return _mm_mullo_epi16(a, _mm_set1_epi16(9)); }
  template <int n>
  static Reg sar(Reg a) {
    return _mm_srai_epi16(a, n);
  }
  static Reg gt(Reg a, Reg b) { return _mm_cmpgt_epi16(a, b); }
  static Reg select(Reg mask, Reg yes, Reg no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
  }
  static Reg set(int16_t v) { return _mm_set1_epi16(v); }
};

// Sixteen pixels from x; rows b .. aDown from j.
inline void span16(const TemporalRows& r, int32_t x, int32_t j) {
  const __m128i sp = _mm_packus_epi16(spatialLanes<Sse2>(r, x), spatialLanes<Sse2>(r, x + 8));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(r.out + x), temporalBytes<Bytes16>(r, x, j, sp));
}

// Eight pixels from x, the last of a run of chroma blocks at the plane's right edge.
inline void span8(const TemporalRows& r, int32_t x, int32_t j) {
  const __m128i lanes = spatialLanes<Sse2>(r, x);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(r.out + x),
                   temporalBytes<Bytes8>(r, x, j, _mm_packus_epi16(lanes, lanes)));
}

}  // namespace

uint32_t temporalBlockSadSse2(const uint8_t* b, const uint8_t* a, ptrdiff_t stride,
                              const uint8_t* guide, ptrdiff_t guideStride) {
  __m128i sum = _mm_setzero_si128();
  for (int row = 0; row < 8; ++row) {
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    const __m128i vg = _mm_loadu_si128(reinterpret_cast<const __m128i*>(guide));
    sum = _mm_add_epi64(
        sum, _mm_add_epi64(_mm_sad_epu8(vb, va), _mm_sad_epu8(_mm_avg_epu8(vb, va), vg)));
    b += stride;
    a += stride;
    guide += guideStride;
  }
  return static_cast<uint32_t>(_mm_cvtsi128_si32(sum) +
                               _mm_cvtsi128_si32(_mm_unpackhi_epi64(sum, sum)));
}

void temporalSpanSse2(const TemporalRows& r, int32_t x0, int32_t n) {
  const int32_t j = spanGroups<16>(
      x0, 0, n, [&r](int32_t x, int32_t jj) { return stillGroup<Bytes16>(r, x, jj); },
      [&r](int32_t x, int32_t jj) { span16(r, x, jj); });
  if (j < n) span8(r, x0 + j, j);
}

}  // namespace wdi
