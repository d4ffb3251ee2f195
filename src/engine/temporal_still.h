// The still groups of method 6 on bytes, shared by the SSE2 and AVX2 spans.
// Internal linkage on purpose: each kernel file compiles its own copy for its
// own instruction set, and the linker must not pick one copy for both.
#pragma once
#include <emmintrin.h>

#include <cstdint>

#include "engine/temporal.h"

namespace wdi {
namespace {

// Whether the kBytes (8 or 16) pixels from x are all still (B = A, the kept
// rows unchanged in time), found on bytes before anything is widened; then
// they are the woven row, written here.
template <int kBytes>
inline bool stillGroup(const TemporalRows& r, int32_t x, int32_t j) {
  static_assert(kBytes == 8 || kBytes == 16, "a group is 8 or 16 pixels");
  auto at = [](const uint8_t* p) {
    return kBytes == 16 ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(p))
                        : _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
  };
  const __m128i b0 = at(r.b0 + j), up = at(r.up + x), down = at(r.down + x);
  const __m128i same =
      _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(b0, at(r.a0 + j)),
                                  _mm_and_si128(_mm_cmpeq_epi8(at(r.prevUp + x), up),
                                                _mm_cmpeq_epi8(at(r.prevDown + x), down))),
                    _mm_and_si128(_mm_cmpeq_epi8(at(r.nextUp + x), up),
                                  _mm_cmpeq_epi8(at(r.nextDown + x), down)));
  constexpr int kAll = (1 << kBytes) - 1;
  if ((_mm_movemask_epi8(same) & kAll) != kAll) return false;
  if (kBytes == 16) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(r.out + x), b0);
  } else {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(r.out + x), b0);
  }
  return true;
}

// Groups of kBytes pixels from x0 (rows b .. aDown from 0) up to the last
// whole one before n; returns where they end. Still and moving areas come in
// stretches: after a group that is not still, the next three skip the test.
template <int kBytes, class Group>
inline int32_t spanGroups(const TemporalRows& r, int32_t x0, int32_t n, Group group) {
  int32_t j = 0;
  for (int wait = 0; j + kBytes <= n; j += kBytes) {
    if (wait == 0) {
      if (stillGroup<kBytes>(r, x0 + j, j)) continue;
      wait = 3;
    } else {
      --wait;
    }
    group(x0 + j, j);
  }
  return j;
}

}  // namespace
}  // namespace wdi
