#include <emmintrin.h>

#include <initializer_list>

#include "engine/temporal.h"

namespace wdi {

namespace {

inline __m128i load8(const uint8_t* p) {
  return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                           _mm_setzero_si128());
}
inline __m128i absDiff(__m128i a, __m128i b) {
  return _mm_sub_epi16(_mm_max_epi16(a, b), _mm_min_epi16(a, b));
}
inline __m128i select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// Eight pixels from x; rows b .. aDown from j.
inline void span8(const TemporalRows& r, int32_t x, int32_t j) {
  const __m128i c = load8(r.up + x);
  const __m128i e = load8(r.down + x);
  const __m128i b0 = load8(r.b0 + j);
  const __m128i a0 = load8(r.a0 + j);
  const __m128i bm = load8(r.b + j);
  const __m128i am = load8(r.a + j);
  const __m128i change0 = absDiff(b0, a0);
  const __m128i changeM = absDiff(bm, am);
  // Displaced where the block moves and standing still does not match.
  const __m128i moved =
      r.b == r.b0 ? _mm_setzero_si128() : _mm_cmpgt_epi16(change0, _mm_setzero_si128());
  const __m128i change = select(moved, changeM, change0);
  const __m128i d = select(moved, _mm_avg_epu16(bm, am), _mm_avg_epu16(b0, a0));

  // Edge-following spatial prediction.
  auto cost = [&](int k) {
    return _mm_add_epi16(_mm_add_epi16(absDiff(load8(r.up + x - 1 + k), load8(r.down + x - 1 - k)),
                                       absDiff(load8(r.up + x + k), load8(r.down + x - k))),
                         absDiff(load8(r.up + x + 1 + k), load8(r.down + x + 1 - k)));
  };
  // Cubic, or the first least diagonal where it fits clearly better.
  __m128i sp = _mm_srai_epi16(
      _mm_sub_epi16(
          _mm_add_epi16(_mm_mullo_epi16(_mm_add_epi16(c, e), _mm_set1_epi16(9)), _mm_set1_epi16(8)),
          _mm_add_epi16(load8(r.up3 + x), load8(r.down3 + x))),
      4);
  sp = _mm_min_epi16(_mm_max_epi16(sp, _mm_setzero_si128()), _mm_set1_epi16(255));
  __m128i best = cost(-1);
  __m128i diagonal = _mm_avg_epu16(load8(r.up + x - 1), load8(r.down + x + 1));
  for (const int k : {1, -2, 2}) {
    const __m128i ck = cost(k);
    const __m128i better = _mm_cmpgt_epi16(best, ck);
    best = _mm_min_epi16(best, ck);
    diagonal = select(better, _mm_avg_epu16(load8(r.up + x + k), load8(r.down + x - k)), diagonal);
  }
  const __m128i clear =
      _mm_cmpgt_epi16(cost(0), _mm_add_epi16(_mm_add_epi16(best, best), _mm_set1_epi16(16)));
  sp = select(clear, diagonal, sp);

  const __m128i bu = select(moved, _mm_avg_epu16(load8(r.bUp + j), load8(r.aUp + j)),
                            _mm_avg_epu16(load8(r.bUp0 + j), load8(r.aUp0 + j)));
  const __m128i fd = select(moved, _mm_avg_epu16(load8(r.bDown + j), load8(r.aDown + j)),
                            _mm_avg_epu16(load8(r.bDown0 + j), load8(r.aDown0 + j)));
  const __m128i de = _mm_sub_epi16(d, e);
  const __m128i dc = _mm_sub_epi16(d, c);
  const __m128i bc = _mm_sub_epi16(bu, c);
  const __m128i fe = _mm_sub_epi16(fd, e);
  const __m128i hi = _mm_max_epi16(_mm_max_epi16(de, dc), _mm_min_epi16(bc, fe));
  const __m128i lo = _mm_min_epi16(_mm_min_epi16(de, dc), _mm_max_epi16(bc, fe));
  // Not displaced, the kept field's own change in time counts too.
  const __m128i pu = absDiff(load8(r.prevUp + x), c), pd = absDiff(load8(r.prevDown + x), e);
  const __m128i nu = absDiff(load8(r.nextUp + x), c), nd = absDiff(load8(r.nextDown + x), e);
  const __m128i kept =
      _mm_andnot_si128(moved, _mm_max_epi16(_mm_srli_epi16(_mm_add_epi16(pu, pd), 3),
                                            _mm_srli_epi16(_mm_add_epi16(nu, nd), 3)));
  const __m128i diff =
      _mm_max_epi16(_mm_max_epi16(_mm_max_epi16(_mm_srli_epi16(change, 1), kept), lo),
                    _mm_sub_epi16(_mm_setzero_si128(), hi));
  __m128i result = _mm_min_epi16(_mm_max_epi16(sp, _mm_sub_epi16(d, diff)), _mm_add_epi16(d, diff));

  const __m128i t =
      _mm_max_epi16(_mm_max_epi16(change, _mm_max_epi16(pu, pd)), _mm_max_epi16(nu, nd));
  result = select(_mm_or_si128(moved, _mm_cmpgt_epi16(t, _mm_setzero_si128())), result, d);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(r.out + x), _mm_packus_epi16(result, result));
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
  for (int32_t j = 0; j < n; j += 8) span8(r, x0 + j, j);
}

}  // namespace wdi
