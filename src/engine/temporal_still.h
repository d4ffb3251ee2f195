// The 16-byte registers of method 6 and its walk over groups of pixels,
// shared by the SSE2 and AVX2 spans.
// Internal linkage on purpose: each kernel file compiles its own copy for its
// own instruction set, and the linker must not pick one copy for both.
#pragma once
#include <emmintrin.h>

#include <cstdint>

#include "engine/temporal.h"

namespace wdi {
namespace {

// Sixteen pixels as bytes, for temporalBytes.
struct Bytes16 {
  using Reg = __m128i;
  static Reg load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static Reg absDiff(Reg a, Reg b) {
    return _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a));
  }
  static Reg avg(Reg a, Reg b) { return _mm_avg_epu8(a, b); }
  static Reg min(Reg a, Reg b) { return _mm_min_epu8(a, b); }
  static Reg max(Reg a, Reg b) { return _mm_max_epu8(a, b); }
  static Reg subs(Reg a, Reg b) { return _mm_subs_epu8(a, b); }
  static Reg adds(Reg a, Reg b) { return _mm_adds_epu8(a, b); }
  template <int n>
  static Reg shr(Reg a) {
    return _mm_and_si128(_mm_srli_epi16(a, n), _mm_set1_epi8(static_cast<char>(0xFF >> n)));
  }
  static Reg eqZero(Reg a) { return _mm_cmpeq_epi8(a, _mm_setzero_si128()); }
  static Reg ones() { return _mm_set1_epi8(-1); }
  static Reg select(Reg mask, Reg yes, Reg no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
  }
  static Reg band(Reg a, Reg b) { return _mm_and_si128(a, b); }
  static Reg bxor(Reg a, Reg b) { return _mm_xor_si128(a, b); }
  static Reg set(int8_t v) { return _mm_set1_epi8(v); }
  static Reg eq(Reg a, Reg b) { return _mm_cmpeq_epi8(a, b); }
  static bool allSet(Reg a) { return _mm_movemask_epi8(a) == 0xFFFF; }
  static void store(uint8_t* p, Reg a) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), a); }
};

// Eight pixels as bytes (the upper eight lanes unused).
struct Bytes8 : Bytes16 {
  static Reg load(const uint8_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }
};

// Groups of kBytes pixels from x0 + j0 (pixel j0 of a run) up to the
// last whole one before n; returns where they end. `still(x, j)` writes a
// group that is all still and says whether it did. Still and moving areas
// come in stretches: after a group that is not still, the groups of the next
// 48 pixels (32 with groups of 32) skip the test.
template <int kBytes, class Still, class Group>
inline int32_t spanGroups(int32_t x0, int32_t j0, int32_t n, Still still, Group group) {
  int32_t j = j0;
  for (int wait = 0; j + kBytes <= n; j += kBytes) {
    if (wait == 0) {
      if (still(x0 + j, j)) continue;
      wait = 48 / kBytes;
    } else {
      --wait;
    }
    group(x0 + j, j);
  }
  return j;
}

}  // namespace
}  // namespace wdi
