// AVX2 comb detection. Same scheme as the SSE2 version (see there): a group
// of 16 columns 16b - 4 .. 16b + 11 carries the four strips of block column
// b. Away from the early-return point two neighbouring groups run together
// (32 lanes); a single group goes the SSE2 way.
#include <immintrin.h>

#include "engine/detection_group.h"
#include "engine/interpolation_kernels.h"

namespace wdi {
namespace {

constexpr uint32_t kPrefetchRows = 12;

inline __m256i widen(const uint8_t* p) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Pair values (Y[c] + Y[c + 2]) >> 2 of 16 columns, 0 .. 127.
inline __m256i pairValues(const uint8_t* row) {
  return _mm256_srli_epi16(_mm256_add_epi16(widen(row), widen(row + 2)), 2);
}

// D = (A - M)(B - M) - ((B - A)^2 >> 4); inputs 0 .. 127, so every product
// and the result fit in a signed 16-bit lane.
inline __m256i combValue(__m256i a, __m256i m, __m256i b) {
  const __m256i e = _mm256_sub_epi16(b, a);
  const __m256i p = _mm256_mullo_epi16(_mm256_sub_epi16(a, m), _mm256_sub_epi16(b, m));
  return _mm256_sub_epi16(p, _mm256_srli_epi16(_mm256_mullo_epi16(e, e), 4));
}

inline __m256i patternHit(__m256i g) {
  const __m256i c7 = _mm256_set1_epi8(0x07);
  const __m256i c28 = _mm256_set1_epi8(0x1C);
  const __m256i c30 = _mm256_set1_epi8(0x1E);
  const __m256i c22 = _mm256_set1_epi8(0x16);
  const __m256i t1 = _mm256_cmpeq_epi8(_mm256_and_si256(g, c7), c7);
  const __m256i t2 = _mm256_cmpeq_epi8(_mm256_and_si256(g, c28), c28);
  const __m256i t3 = _mm256_cmpeq_epi8(_mm256_and_si256(g, c30), c22);
  return _mm256_or_si256(_mm256_or_si256(t1, t2), t3);
}

// The whole register moved up by `n` bytes (towards higher columns).
template <int n>
inline __m256i shiftUpBytes(__m256i v) {
  return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(v, v, 0x08), 16 - n);
}

// Groups b and b + 1 together, both known not to reach the early return;
// writes their marks and counts and returns their contribution. Packing the
// flags of the two word registers interleaves the groups by 64-bit quarters
// (b, b+1, b, b+1); history, patterns and hits do not care about lane order,
// and the marks are put back in column order before they are written.
int32_t scanGroupPair(uint8_t* map, uint8_t* counts, const uint8_t* luma, uint32_t width,
                      uint32_t height, uint32_t b, int16_t compare) {
  const ptrdiff_t stride = width;
  const ptrdiff_t x0 = 16 * static_cast<ptrdiff_t>(b) - 4;
  const uint32_t blocksPerRow = width / 16;
  // Block column 0 has three strips; its first four lanes never flag.
  const __m256i laneMask =
      b == 0 ? _mm256_set_epi32(-1, -1, -1, -1, -1, -1, -1, 0) : _mm256_set1_epi32(-1);
  const __m256i tv = _mm256_set1_epi16(compare);
  const __m256i zero = _mm256_setzero_si256();

  const uint8_t* rowPtr = luma + 4 * stride + x0;
  __m256i a0 = pairValues(rowPtr), a1 = pairValues(rowPtr + 16);
  __m256i m0 = pairValues(rowPtr + stride), m1 = pairValues(rowPtr + stride + 16);
  rowPtr += 2 * stride;
  __m256i p0 = zero, p1 = zero, q0 = zero, q1 = zero;  // D of the last two rows
  __m256i history = _mm256_set1_epi8(1);
  __m256i hits = zero;  // per lane, at most 8 per block row
  int32_t pairTotal = 0;
  uint8_t* mapRow = map + 2 * stride + x0;

  for (uint32_t k = 0;; ++k, rowPtr += stride) {
    const __m256i b0 = pairValues(rowPtr), b1 = pairValues(rowPtr + 16);
    // Rows lie a whole stride apart, which the hardware prefetchers follow
    // poorly on large frames; fetch ahead what the scan needs next.
    if (k + 6 + kPrefetchRows <= height) {
      _mm_prefetch(reinterpret_cast<const char*>(rowPtr + kPrefetchRows * stride), _MM_HINT_T0);
    }
    const __m256i d0 = combValue(a0, m0, b0), d1 = combValue(a1, m1, b1);
    const __m256i s0 = _mm256_adds_epi16(_mm256_adds_epi16(_mm256_adds_epi16(p0, p0), q0), d0);
    const __m256i s1 = _mm256_adds_epi16(_mm256_adds_epi16(_mm256_adds_epi16(p1, p1), q1), d1);
    const __m256i flags = _mm256_and_si256(
        _mm256_packs_epi16(_mm256_cmpgt_epi16(s0, tv), _mm256_cmpgt_epi16(s1, tv)), laneMask);
    history = _mm256_sub_epi8(_mm256_add_epi8(history, history), flags);
    q0 = p0;
    q1 = p1;
    p0 = d0;
    p1 = d1;
    a0 = m0;
    a1 = m1;
    m0 = b0;
    m1 = b1;
    if ((k & 1) != 0) continue;

    const __m256i hit = patternHit(history);
    const __m256i quiet = _mm256_cmpeq_epi32(hit, zero);
    hits = _mm256_sub_epi8(hits, _mm256_andnot_si256(quiet, flags));
    if (_mm256_testz_si256(hit, hit) == 0) {
      const __m256i ordered = _mm256_permute4x64_epi64(hit, 0xD8);
      const __m256i marks = _mm256_or_si256(_mm256_or_si256(ordered, shiftUpBytes<1>(ordered)),
                                            shiftUpBytes<2>(ordered));
      __m256i* dst = reinterpret_cast<__m256i*>(mapRow);
      _mm256_storeu_si256(dst, _mm256_or_si256(_mm256_loadu_si256(dst), marks));
      const __m128i top = _mm256_extracti128_si256(ordered, 1);
      const int spill =
          _mm_cvtsi128_si32(_mm_or_si128(_mm_srli_si128(top, 14), _mm_srli_si128(top, 15)));
      mapRow[32] = static_cast<uint8_t>(mapRow[32] | (spill & 0xFF));
      mapRow[33] = static_cast<uint8_t>(mapRow[33] | ((spill >> 8) & 0xFF));
    }
    const uint32_t y = 2 + k;
    if (((y + 4) & 15) == 0) {
      // Quarters 0 and 2 hold group b, quarters 1 and 3 group b + 1.
      const __m256i sums = _mm256_sad_epu8(hits, zero);
      const __m128i lo = _mm256_castsi256_si128(sums);
      const __m128i hi = _mm256_extracti128_si256(sums, 1);
      const int32_t n0 = _mm_cvtsi128_si32(lo) + _mm_cvtsi128_si32(hi);
      const int32_t n1 =
          _mm_cvtsi128_si32(_mm_srli_si128(lo, 8)) + _mm_cvtsi128_si32(_mm_srli_si128(hi, 8));
      hits = zero;
      pairTotal += n0 + n1;
      uint8_t* c = counts + ((y + 3) >> 4) * blocksPerRow + b;
      c[0] = static_cast<uint8_t>(c[0] + n0);
      c[1] = static_cast<uint8_t>(c[1] + n1);
    }
    if (k + 6 == height) break;
    mapRow += 2 * stride;
  }
  return pairTotal;
}

}  // namespace

int detectInterlaceAvx2(uint8_t* map, uint8_t* counts, const uint8_t* luma, uint32_t width,
                        uint32_t height, int32_t threshold) {
  const DetectionSetup setup = beginDetection(map, counts, width, height, threshold);
  return detectByGroups<true>(
      map, counts, luma, width, height, setup,
      [&](uint32_t b, bool write) {
        return detectGroupSse2(map, counts, luma, width, height, b, setup.compare, write);
      },
      [&](uint32_t b) {
        return scanGroupPair(map, counts, luma, width, height, b, setup.compare);
      });
}

}  // namespace wdi
