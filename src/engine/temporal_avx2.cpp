#include <immintrin.h>

#include <initializer_list>

#include "engine/temporal.h"

namespace wdi {

namespace {

inline __m256i load16(const uint8_t* p) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
inline __m256i absDiff(__m256i a, __m256i b) { return _mm256_abs_epi16(_mm256_sub_epi16(a, b)); }
inline __m256i select(__m256i mask, __m256i yes, __m256i no) {
  return _mm256_blendv_epi8(no, yes, mask);
}

// Sixteen pixels from x; rows b .. aDown from j. The arithmetic of span8 (SSE2).
inline void span16(const TemporalRows& r, int32_t x, int32_t j) {
  const __m256i c = load16(r.up + x);
  const __m256i e = load16(r.down + x);
  const __m256i b0 = load16(r.b0 + j);
  const __m256i a0 = load16(r.a0 + j);
  const __m256i bm = load16(r.b + j);
  const __m256i am = load16(r.a + j);
  const __m256i change0 = absDiff(b0, a0);
  const __m256i changeM = absDiff(bm, am);
  // Displaced where the block moves and standing still does not match.
  const __m256i moved =
      r.b == r.b0 ? _mm256_setzero_si256() : _mm256_cmpgt_epi16(change0, _mm256_setzero_si256());
  const __m256i change = select(moved, changeM, change0);
  const __m256i d = select(moved, _mm256_avg_epu16(bm, am), _mm256_avg_epu16(b0, a0));

  auto cost = [&](int k) {
    return _mm256_add_epi16(
        _mm256_add_epi16(absDiff(load16(r.up + x - 1 + k), load16(r.down + x - 1 - k)),
                         absDiff(load16(r.up + x + k), load16(r.down + x - k))),
        absDiff(load16(r.up + x + 1 + k), load16(r.down + x + 1 - k)));
  };
  // Cubic, or the first least diagonal where it fits clearly better.
  __m256i sp = _mm256_srai_epi16(
      _mm256_sub_epi16(
          _mm256_add_epi16(_mm256_mullo_epi16(_mm256_add_epi16(c, e), _mm256_set1_epi16(9)),
                           _mm256_set1_epi16(8)),
          _mm256_add_epi16(load16(r.up3 + x), load16(r.down3 + x))),
      4);
  sp = _mm256_min_epi16(_mm256_max_epi16(sp, _mm256_setzero_si256()), _mm256_set1_epi16(255));
  __m256i best = cost(-1);
  __m256i diagonal = _mm256_avg_epu16(load16(r.up + x - 1), load16(r.down + x + 1));
  for (const int k : {1, -2, 2}) {
    const __m256i ck = cost(k);
    const __m256i better = _mm256_cmpgt_epi16(best, ck);
    best = _mm256_min_epi16(best, ck);
    diagonal =
        select(better, _mm256_avg_epu16(load16(r.up + x + k), load16(r.down + x - k)), diagonal);
  }
  const __m256i clear = _mm256_cmpgt_epi16(
      cost(0), _mm256_add_epi16(_mm256_add_epi16(best, best), _mm256_set1_epi16(16)));
  sp = select(clear, diagonal, sp);

  const __m256i bu = select(moved, _mm256_avg_epu16(load16(r.bUp + j), load16(r.aUp + j)),
                            _mm256_avg_epu16(load16(r.bUp0 + j), load16(r.aUp0 + j)));
  const __m256i fd = select(moved, _mm256_avg_epu16(load16(r.bDown + j), load16(r.aDown + j)),
                            _mm256_avg_epu16(load16(r.bDown0 + j), load16(r.aDown0 + j)));
  const __m256i de = _mm256_sub_epi16(d, e);
  const __m256i dc = _mm256_sub_epi16(d, c);
  const __m256i bc = _mm256_sub_epi16(bu, c);
  const __m256i fe = _mm256_sub_epi16(fd, e);
  const __m256i hi = _mm256_max_epi16(_mm256_max_epi16(de, dc), _mm256_min_epi16(bc, fe));
  const __m256i lo = _mm256_min_epi16(_mm256_min_epi16(de, dc), _mm256_max_epi16(bc, fe));
  // Not displaced, the kept field's own change in time counts too.
  const __m256i pu = absDiff(load16(r.prevUp + x), c), pd = absDiff(load16(r.prevDown + x), e);
  const __m256i nu = absDiff(load16(r.nextUp + x), c), nd = absDiff(load16(r.nextDown + x), e);
  const __m256i kept =
      _mm256_andnot_si256(moved, _mm256_max_epi16(_mm256_srli_epi16(_mm256_add_epi16(pu, pd), 3),
                                                  _mm256_srli_epi16(_mm256_add_epi16(nu, nd), 3)));
  const __m256i diff =
      _mm256_max_epi16(_mm256_max_epi16(_mm256_max_epi16(_mm256_srli_epi16(change, 1), kept), lo),
                       _mm256_sub_epi16(_mm256_setzero_si256(), hi));
  __m256i result =
      _mm256_min_epi16(_mm256_max_epi16(sp, _mm256_sub_epi16(d, diff)), _mm256_add_epi16(d, diff));

  const __m256i t = _mm256_max_epi16(_mm256_max_epi16(change, _mm256_max_epi16(pu, pd)),
                                     _mm256_max_epi16(nu, nd));
  result = select(_mm256_or_si256(moved, _mm256_cmpgt_epi16(t, _mm256_setzero_si256())), result, d);
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
  int32_t j = 0;
  for (; j + 16 <= n; j += 16) span16(r, x0 + j, j);
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
