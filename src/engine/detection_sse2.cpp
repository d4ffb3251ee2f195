// SSE2 comb detection.
//
// Lane j of the strip at column x measures column x + j, so the lanes of all
// strips together are simply the columns 0 .. width - 5, each with its own
// independent state. A group of 16 columns 16b - 4 .. 16b + 11 holds exactly
// the four strips that count towards block column b; it is scanned top to
// bottom with its state in registers. Groups run left to right, so the total
// grows in strip order at group granularity. The total never decreases, so
// the early return falls inside a group exactly when the group's sum carries
// the total over the limit. Only a group that might do so is first measured
// without writing; if it does cross, its strips are replayed one by one by
// the scalar strip scan, which stops at the exact step and leaves map and
// counts as the strip order does. Marks are ORed in, so their order of
// writing does not matter.
#include <emmintrin.h>

#include "engine/detection_group.h"
#include "engine/interpolation_kernels.h"

namespace wdi {
namespace {

constexpr uint32_t kPrefetchRows = 12;

inline __m128i load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Pair values (Y[c] + Y[c + 2]) >> 2 of 16 columns, as two halves of 8 words.
inline void pairValues(const uint8_t* row, __m128i* lo, __m128i* hi) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i u = load(row);
  const __m128i v = load(row + 2);
  *lo = _mm_srli_epi16(_mm_add_epi16(_mm_unpacklo_epi8(u, zero), _mm_unpacklo_epi8(v, zero)), 2);
  *hi = _mm_srli_epi16(_mm_add_epi16(_mm_unpackhi_epi8(u, zero), _mm_unpackhi_epi8(v, zero)), 2);
}

// D = (A - M)(B - M) - ((B - A)^2 >> 4); inputs 0 .. 127, so every product
// and the result fit in a signed 16-bit lane.
inline __m128i combValue(__m128i a, __m128i m, __m128i b) {
  const __m128i e = _mm_sub_epi16(b, a);
  const __m128i p = _mm_mullo_epi16(_mm_sub_epi16(a, m), _mm_sub_epi16(b, m));
  return _mm_sub_epi16(p, _mm_srli_epi16(_mm_mullo_epi16(e, e), 4));
}

// Scans the group of block column b and returns its contribution to the
// total. With kWrite it also sets its marks and adds its counts.
template <bool kWrite>
int32_t scanGroup(uint8_t* map, uint8_t* counts, const uint8_t* luma, uint32_t width,
                  uint32_t height, uint32_t b, int16_t compare) {
  const ptrdiff_t stride = width;
  const ptrdiff_t x0 = 16 * static_cast<ptrdiff_t>(b) - 4;
  const uint32_t blocksPerRow = width / 16;
  // Block column 0 has three strips; its first four lanes (left of the
  // frame, reading the end of the row above) never flag.
  const __m128i laneMask = b == 0 ? _mm_set_epi32(-1, -1, -1, 0) : _mm_set1_epi32(-1);
  const __m128i tv = _mm_set1_epi16(compare);
  const __m128i zero = _mm_setzero_si128();

  const uint8_t* rowPtr = luma + 4 * stride + x0;
  __m128i aLo, aHi, mLo, mHi;
  pairValues(rowPtr, &aLo, &aHi);
  pairValues(rowPtr + stride, &mLo, &mHi);
  rowPtr += 2 * stride;
  __m128i d1Lo = zero, d1Hi = zero, d2Lo = zero, d2Hi = zero;
  __m128i history = _mm_set1_epi8(1);
  __m128i hits = zero;  // per lane, at most 8 per block row
  int32_t groupTotal = 0;
  uint8_t* mapRow = map + 2 * stride + x0;

  for (uint32_t k = 0;; ++k, rowPtr += stride) {
    __m128i bLo, bHi;
    pairValues(rowPtr, &bLo, &bHi);
    // Rows lie a whole stride apart, which the hardware prefetchers follow
    // poorly on large frames; fetch ahead what the scan needs next.
    if (k + 6 + kPrefetchRows <= height) {
      _mm_prefetch(reinterpret_cast<const char*>(rowPtr + kPrefetchRows * stride), _MM_HINT_T0);
    }
    const __m128i dLo = combValue(aLo, mLo, bLo);
    const __m128i dHi = combValue(aHi, mHi, bHi);
    const __m128i sLo = _mm_adds_epi16(_mm_adds_epi16(_mm_adds_epi16(d1Lo, d1Lo), d2Lo), dLo);
    const __m128i sHi = _mm_adds_epi16(_mm_adds_epi16(_mm_adds_epi16(d1Hi, d1Hi), d2Hi), dHi);
    const __m128i flags = _mm_and_si128(
        _mm_packs_epi16(_mm_cmpgt_epi16(sLo, tv), _mm_cmpgt_epi16(sHi, tv)), laneMask);
    // history = 2 * history + flag; only the low five bits are ever looked at.
    history = _mm_sub_epi8(_mm_add_epi8(history, history), flags);
    d2Lo = d1Lo;
    d2Hi = d1Hi;
    d1Lo = dLo;
    d1Hi = dHi;
    aLo = mLo;
    aHi = mHi;
    mLo = bLo;
    mHi = bHi;
    if ((k & 1) != 0) continue;

    finishRowPair<kWrite>(history, flags, k, mapRow, counts, blocksPerRow, b, hits, groupTotal);
    if (k + 6 == height) break;
    mapRow += 2 * stride;
  }
  return groupTotal;
}

}  // namespace

int32_t detectGroupSse2(uint8_t* map, uint8_t* counts, const uint8_t* luma, uint32_t width,
                        uint32_t height, uint32_t b, int16_t compare, bool write) {
  return write ? scanGroup<true>(map, counts, luma, width, height, b, compare)
               : scanGroup<false>(map, counts, luma, width, height, b, compare);
}

int detectInterlaceSse2(uint8_t* map, uint8_t* counts, const uint8_t* luma, uint32_t width,
                        uint32_t height, int32_t threshold) {
  const DetectionSetup setup = beginDetection(map, counts, width, height, threshold);
  return detectByGroups<false>(
      map, counts, luma, width, height, setup,
      [&](uint32_t b, bool write) {
        return detectGroupSse2(map, counts, luma, width, height, b, setup.compare, write);
      },
      [](uint32_t) { return 0; });
}

}  // namespace wdi
