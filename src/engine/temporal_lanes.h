// The per-pixel arithmetic of method 6 for the SIMD levels, written once (the
// definition is temporalSpanC). The spatial prediction needs 16-bit lanes;
// everything after it is exact on bytes, twice as many pixels a register:
//   max(lo, 0) and max(-hi, 0) are mins and maxes of saturated differences
//   (max(., 0) commutes with min and max), which is all that diff takes of
//   them; the bounds d - diff and d + diff saturate to 0 and 255, which cannot
//   change a clamp of a prediction in 0 .. 255; (p + q) >> 3 is the rounded
//   average less the odd bit, shifted by 2.
// `V` (16-bit lanes): load (bytes widened), absDiff, avg, min, max, add, sub,
// mul9, sar<n>, gt (signed), select(mask, yes, no), set.
// `B` (bytes): load, absDiff, avg, min, max, subs, adds (saturating), shr<n>,
// eqZero, ones, select, band, bxor, set, and for stillGroup eq, allSet, store.
// Instantiated with level-local types only, so each instruction set keeps
// its own copy.
#pragma once
#include <cstdint>
#include <initializer_list>

#include "engine/temporal.h"

namespace wdi {

// The edge-following spatial prediction of the pixels from x: the cubic, or
// the first least diagonal where it fits clearly better. The cubic is not
// yet clamped to 0 .. 255; the pack to bytes does that.
template <class V>
inline typename V::Reg spatialLanes(const TemporalRows& r, int32_t x) {
  using Reg = typename V::Reg;
  auto cost = [&](int k) {
    return V::add(V::add(V::absDiff(V::load(r.up + x - 1 + k), V::load(r.down + x - 1 - k)),
                         V::absDiff(V::load(r.up + x + k), V::load(r.down + x - k))),
                  V::absDiff(V::load(r.up + x + 1 + k), V::load(r.down + x + 1 - k)));
  };
  const Reg cubic = V::template sar<4>(
      V::sub(V::add(V::mul9(V::add(V::load(r.up + x), V::load(r.down + x))), V::set(8)),
             V::add(V::load(r.up3 + x), V::load(r.down3 + x))));
  Reg best = cost(-1);
  Reg diagonal = V::avg(V::load(r.up + x - 1), V::load(r.down + x + 1));
  for (const int k : {1, -2, 2}) {
    const Reg ck = cost(k);
    const Reg better = V::gt(best, ck);
    best = V::min(best, ck);
    diagonal = V::select(better, V::avg(V::load(r.up + x + k), V::load(r.down + x - k)), diagonal);
  }
  return V::select(V::gt(cost(0), V::add(V::add(best, best), V::set(16))), diagonal, cubic);
}

// What the pixels from x (rows b .. aDown from j) may become: the prediction
// d and the distance diff the spatial one may keep from it. diff is 0 where
// a pixel is still, so that the result there is d whatever the spatial
// prediction.
template <class B>
struct TemporalBounds {
  typename B::Reg d, diff;
};

template <class B>
inline TemporalBounds<B> temporalBounds(const TemporalRows& r, int32_t x, int32_t j) {
  using Reg = typename B::Reg;
  const Reg c = B::load(r.up + x);
  const Reg e = B::load(r.down + x);
  const Reg b0 = B::load(r.b0 + j);
  const Reg a0 = B::load(r.a0 + j);
  const Reg change0 = B::absDiff(b0, a0);
  // Not displaced where the block does not move or where standing still matches.
  const Reg still = r.b == r.b0 ? B::ones() : B::eqZero(change0);
  auto pick = [&](const uint8_t* p0, const uint8_t* q0, const uint8_t* p, const uint8_t* q) {
    return B::select(still, B::avg(B::load(p0 + j), B::load(q0 + j)),
                     B::avg(B::load(p + j), B::load(q + j)));
  };
  const Reg change = B::select(still, change0, B::absDiff(B::load(r.b + j), B::load(r.a + j)));
  const Reg d = B::select(still, B::avg(b0, a0), B::avg(B::load(r.b + j), B::load(r.a + j)));
  const Reg bu = pick(r.bUp0, r.aUp0, r.bUp, r.aUp);
  const Reg fd = pick(r.bDown0, r.aDown0, r.bDown, r.aDown);
  const Reg pu = B::absDiff(B::load(r.prevUp + x), c), pd = B::absDiff(B::load(r.prevDown + x), e);
  const Reg nu = B::absDiff(B::load(r.nextUp + x), c), nd = B::absDiff(B::load(r.nextDown + x), e);
  auto eighthOfSum = [](Reg p, Reg q) {
    return B::template shr<2>(B::subs(B::avg(p, q), B::band(B::bxor(p, q), B::set(1))));
  };
  // Not displaced, the kept field's own change in time counts too.
  const Reg kept = B::band(still, B::max(eighthOfSum(pu, pd), eighthOfSum(nu, nd)));
  const Reg loPlus =
      B::min(B::min(B::subs(d, e), B::subs(d, c)), B::max(B::subs(bu, c), B::subs(fd, e)));
  const Reg minusHiPlus =
      B::min(B::min(B::subs(e, d), B::subs(c, d)), B::max(B::subs(c, bu), B::subs(e, fd)));
  const Reg diff = B::max(B::max(B::template shr<1>(change), kept), B::max(loPlus, minusHiPlus));
  // Still: not displaced and nothing changed.
  const Reg t = B::max(B::max(change, B::max(pu, pd)), B::max(nu, nd));
  return {d, B::select(B::band(still, B::eqZero(t)), B::set(0), diff)};
}

// The spatial predictions sp clamped to the bounds.
template <class B>
inline typename B::Reg clampToBounds(typename B::Reg sp, const TemporalBounds<B>& t) {
  return B::min(B::max(sp, B::subs(t.d, t.diff)), B::adds(t.d, t.diff));
}

// The results of the pixels from x (rows b .. aDown from j), given their
// spatial predictions sp.
template <class B>
inline typename B::Reg temporalBytes(const TemporalRows& r, int32_t x, int32_t j,
                                     typename B::Reg sp) {
  return clampToBounds<B>(sp, temporalBounds<B>(r, x, j));
}

// Whether the pixels from x (rows b .. aDown from j) are all still (B = A,
// the kept rows unchanged in time), found on bytes before anything is
// widened; then they are the woven row, written here.
template <class B>
inline bool stillGroup(const TemporalRows& r, int32_t x, int32_t j) {
  const typename B::Reg b0 = B::load(r.b0 + j), up = B::load(r.up + x), down = B::load(r.down + x);
  const typename B::Reg same = B::band(
      B::band(B::eq(b0, B::load(r.a0 + j)),
              B::band(B::eq(B::load(r.prevUp + x), up), B::eq(B::load(r.prevDown + x), down))),
      B::band(B::eq(B::load(r.nextUp + x), up), B::eq(B::load(r.nextDown + x), down)));
  if (!B::allSet(same)) return false;
  B::store(r.out + x, b0);
  return true;
}

// The rows of a run from its pixel j on.
inline TemporalRows advancedRows(const TemporalRows& r, int32_t j) {
  TemporalRows rest = r;
  for (const uint8_t** p :
       {&rest.b, &rest.a, &rest.bUp, &rest.aUp, &rest.bDown, &rest.aDown, &rest.b0, &rest.a0,
        &rest.bUp0, &rest.aUp0, &rest.bDown0, &rest.aDown0}) {
    *p += j;
  }
  return rest;
}

}  // namespace wdi
