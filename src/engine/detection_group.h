// The byte-wide bookkeeping of a 16-column comb detection group and the walk over the
// groups of a frame, shared by the SSE2 and the AVX2 scans. Internal linkage on purpose: each
// kernel file compiles its own copy for its own instruction set, and the linker must not pick one
// copy for both.
#pragma once
#include <emmintrin.h>

#include <cstdint>

#include "engine/interpolation_kernels.h"

namespace wdi {
namespace {

// combPatternTable as byte compares on the 5-bit history: 7, 15, 23, 31 have
// the low three bits set, 28 .. 31 the bits 2 .. 4, and 22, 23 are 1011x.
inline __m128i patternHit(__m128i g) {
  const __m128i c7 = _mm_set1_epi8(0x07);
  const __m128i c28 = _mm_set1_epi8(0x1C);
  const __m128i c30 = _mm_set1_epi8(0x1E);
  const __m128i c22 = _mm_set1_epi8(0x16);
  const __m128i t1 = _mm_cmpeq_epi8(_mm_and_si128(g, c7), c7);
  const __m128i t2 = _mm_cmpeq_epi8(_mm_and_si128(g, c28), c28);
  const __m128i t3 = _mm_cmpeq_epi8(_mm_and_si128(g, c30), c22);
  return _mm_or_si128(_mm_or_si128(t1, t2), t3);
}

inline int32_t horizontalSum(__m128i bytes) {
  const __m128i s = _mm_sad_epu8(bytes, _mm_setzero_si128());
  return _mm_cvtsi128_si32(s) + _mm_cvtsi128_si32(_mm_srli_si128(s, 8));
}

// After the rows of step k (even k): the group's 16 lanes with their row
// `history` and this row's `flags` (0 or 1 per lane). Adds the hits of the
// strips that hit to `hits`, with kWrite ORs the marks into `mapRow`, and at
// the last marked row of a block row moves the hits into `groupTotal` and
// (kWrite) into the block count of block column b.
template <bool kWrite>
inline void finishRowPair(__m128i history, __m128i flags, uint32_t k, uint8_t* mapRow,
                          uint8_t* counts, uint32_t blocksPerRow, uint32_t b, __m128i& hits,
                          int32_t& groupTotal) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i hit = patternHit(history);
  // A strip (four byte lanes) adds its flags only when one of its lanes hits.
  const __m128i quiet = _mm_cmpeq_epi32(hit, zero);
  hits = _mm_sub_epi8(hits, _mm_andnot_si128(quiet, flags));
  if (kWrite && _mm_movemask_epi8(hit) != 0) {
    // Lane c marks columns c .. c + 2.
    const __m128i marks =
        _mm_or_si128(_mm_or_si128(hit, _mm_slli_si128(hit, 1)), _mm_slli_si128(hit, 2));
    __m128i* dst = reinterpret_cast<__m128i*>(mapRow);
    _mm_storeu_si128(dst, _mm_or_si128(_mm_loadu_si128(dst), marks));
    // The last two lanes reach two columns into the next group.
    const int spill =
        _mm_cvtsi128_si32(_mm_or_si128(_mm_srli_si128(hit, 14), _mm_srli_si128(hit, 15)));
    mapRow[16] = static_cast<uint8_t>(mapRow[16] | (spill & 0xFF));
    mapRow[17] = static_cast<uint8_t>(mapRow[17] | ((spill >> 8) & 0xFF));
  }
  const uint32_t y = 2 + k;
  if (((y + 4) & 15) == 0) {
    // Last marked row of block row (y + 3) >> 4.
    const int32_t n = horizontalSum(hits);
    hits = zero;
    groupTotal += n;
    if (kWrite) {
      uint8_t& c = counts[((y + 3) >> 4) * blocksPerRow + b];
      c = static_cast<uint8_t>(c + n);
    }
  }
}

// The frame walk over 16-column groups that both levels share. Groups go through
// `scan(b, write)` (its total of comb hits; `write` false: count only, touch nothing) while
// the hits so far cannot reach the limit within the group; with kPairs, `pair(b)` takes two
// groups at once where both fit. A group that may cross the limit is counted first; when it
// does, its strips are redone one by one with the scalar strip, which returns inside it.
template <bool kPairs, class Scan, class Pair>
inline int detectByGroups(uint8_t* map, uint8_t* counts, const uint8_t* luma, uint32_t width,
                          uint32_t height, const DetectionSetup& setup, Scan scan, Pair pair) {
  // Four strips of h/2 - 2 marking steps with up to four flags each.
  const int64_t groupMax = 16 * (static_cast<int64_t>(height) / 2 - 2);
  const uint32_t groups = width / 16;
  int32_t total = 0;
  for (uint32_t b = 0; b < groups; ++b) {
    if (kPairs && b + 1 < groups && (total + 2 * groupMax) * setup.scale <= kDetectionLimit) {
      total += pair(b);
      ++b;
      continue;
    }
    if ((total + groupMax) * setup.scale > kDetectionLimit) {
      const int32_t g = scan(b, false);
      if (static_cast<int64_t>(total + g) * setup.scale > kDetectionLimit) {
        for (uint32_t x = b == 0 ? 0 : 16 * b - 4; x <= 16 * b + 8; x += 4) {
          if (detectStripC(map, counts, luma, width, height, x, setup, &total) != 0) return 1;
        }
        return 1;
      }
    }
    total += scan(b, true);
  }
  return 0;
}

}  // namespace
}  // namespace wdi
