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
  static Reg eq(Reg a, Reg b) { return _mm256_cmpeq_epi8(a, b); }
  static bool allSet(Reg a) { return _mm256_movemask_epi8(a) == -1; }
  static void store(uint8_t* p, Reg a) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), a); }
};

// The spatial prediction of 32 pixels on bytes. A diagonal cost is a sum of
// three absolute differences D(x - 1) + D(x) + D(x + 1) (up to 765): the D are
// bytes, and the sums go into 16-bit lanes, lane i holding pixel 2i ("even")
// or 2i + 1 ("odd"): D(x + 2i) + D(x + 2i + 1) is vpmaddubsw of the D from x,
// to which the even pixel adds the low byte of the D from x - 1 and the odd
// pixel the high byte of the D from x + 1. The masks of the comparisons go
// back to bytes by taking their even lanes' low bytes and odd lanes' high
// bytes, and the choices are made on bytes.
struct Diagonals {
  const uint8_t* up;
  const uint8_t* down;
  int32_t x;

  // D(x + j) = |U(x + j + k) - L(x + j - k)| of the 32 pixels from x + o.
  __m256i d(int k, int o) const {
    return Avx2Bytes::absDiff(Avx2Bytes::load(up + x + o + k), Avx2Bytes::load(down + x + o - k));
  }
  // The costs of diagonal k, even and odd pixels.
  void cost(int k, __m256i* even, __m256i* odd) const {
    const __m256i pair = _mm256_maddubs_epi16(d(k, 0), _mm256_set1_epi8(1));
    *even = _mm256_add_epi16(pair, _mm256_and_si256(d(k, -1), _mm256_set1_epi16(0x00FF)));
    *odd = _mm256_add_epi16(pair, _mm256_srli_epi16(d(k, 1), 8));
  }
  // The byte mask of the even and odd lanes' masks.
  static __m256i bytes(__m256i even, __m256i odd) {
    return _mm256_blendv_epi8(even, odd, _mm256_set1_epi16(static_cast<int16_t>(0xFF00)));
  }
  __m256i diagonal(int k) const {
    return _mm256_avg_epu8(Avx2Bytes::load(up + x + k), Avx2Bytes::load(down + x - k));
  }
};

// The cubic of the 32 pixels from x, clamped to 0 .. 255 by the pack.
inline __m256i cubic32(const TemporalRows& r, int32_t x) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i u = Avx2Bytes::load(r.up + x), l = Avx2Bytes::load(r.down + x);
  const __m256i u3 = Avx2Bytes::load(r.up3 + x), l3 = Avx2Bytes::load(r.down3 + x);
  // unpacklo and unpackhi split each 128-bit lane; packus joins them back in order.
  auto half = [&](auto unpack) {
    const __m256i near = _mm256_add_epi16(unpack(u, zero), unpack(l, zero));
    const __m256i far = _mm256_add_epi16(unpack(u3, zero), unpack(l3, zero));
    return _mm256_srai_epi16(
        _mm256_sub_epi16(
            _mm256_add_epi16(_mm256_mullo_epi16(near, _mm256_set1_epi16(9)), _mm256_set1_epi16(8)),
            far),
        4);
  };
  return _mm256_packus_epi16(half([](__m256i a, __m256i b) { return _mm256_unpacklo_epi8(a, b); }),
                             half([](__m256i a, __m256i b) { return _mm256_unpackhi_epi8(a, b); }));
}

// Thirty-two pixels from x; rows b .. aDown from j.
inline void span32(const TemporalRows& r, int32_t x, int32_t j) {
  const TemporalBounds<Avx2Bytes> bounds = temporalBounds<Avx2Bytes>(r, x, j);
  const Diagonals g{r.up, r.down, x};
  __m256i sp = cubic32(r, x);
  __m256i cost0e, cost0o;
  g.cost(0, &cost0e, &cost0o);
  // A diagonal is taken only where the vertical cost is above 16, and it
  // matters only where the result is not d: elsewhere the cubic stands.
  const __m256i sixteen = _mm256_set1_epi16(16);
  const __m256i steep =
      Diagonals::bytes(_mm256_cmpgt_epi16(cost0e, sixteen), _mm256_cmpgt_epi16(cost0o, sixteen));
  const __m256i fixed = _mm256_cmpeq_epi8(bounds.diff, _mm256_setzero_si256());
  if (!_mm256_testc_si256(fixed, steep)) {
    // The first least diagonal of k = -1, 1, -2, 2.
    __m256i beste, besto;
    g.cost(-1, &beste, &besto);
    __m256i diagonal = g.diagonal(-1);
    for (const int k : {1, -2, 2}) {
      __m256i ce, co;
      g.cost(k, &ce, &co);
      const __m256i better =
          Diagonals::bytes(_mm256_cmpgt_epi16(beste, ce), _mm256_cmpgt_epi16(besto, co));
      beste = _mm256_min_epi16(beste, ce);
      besto = _mm256_min_epi16(besto, co);
      diagonal = _mm256_blendv_epi8(diagonal, g.diagonal(k), better);
    }
    auto bar = [&](__m256i best) {
      return _mm256_add_epi16(_mm256_add_epi16(best, best), sixteen);
    };
    const __m256i take = Diagonals::bytes(_mm256_cmpgt_epi16(cost0e, bar(beste)),
                                          _mm256_cmpgt_epi16(cost0o, bar(besto)));
    sp = _mm256_blendv_epi8(sp, diagonal, take);
  }
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(r.out + x), clampToBounds<Avx2Bytes>(sp, bounds));
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
  int32_t j = spanGroups<32>(
      x0, 0, n, [&r](int32_t x, int32_t jj) { return stillGroup<Avx2Bytes>(r, x, jj); },
      [&r](int32_t x, int32_t jj) { span32(r, x, jj); });
  j = spanGroups<16>(
      x0, j, n, [&r](int32_t x, int32_t jj) { return stillGroup<Bytes16>(r, x, jj); },
      [&r](int32_t x, int32_t jj) { span16(r, x, jj); });
  // The last 8 pixels of a run of chroma blocks at the plane's right edge.
  if (j < n) temporalSpanSse2(advancedRows(r, j), x0 + j, n - j);
}

}  // namespace wdi
