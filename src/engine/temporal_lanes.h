// The per-pixel arithmetic of method 6 on one register of 16-bit lanes,
// written once for the SIMD levels (the definition is temporalSpanC). `V`
// gives the register type and its operations: load (bytes widened to 16
// bits), absDiff, avg ((a + b + 1) >> 1), min, max, add, sub, mul9, shr<n>
// (logical), sar<n> (arithmetic), gt (signed compare), select(mask, yes, no),
// zero, set.
// Instantiated with level-local types only, so each instruction set keeps
// its own copy.
#pragma once
#include <cstdint>
#include <initializer_list>

#include "engine/temporal.h"

namespace wdi {

// The results of the pixels from x (rows b .. aDown from j), still 16 bits wide.
template <class V>
inline typename V::Reg temporalLanes(const TemporalRows& r, int32_t x, int32_t j) {
  using Reg = typename V::Reg;
  const Reg c = V::load(r.up + x);
  const Reg e = V::load(r.down + x);
  const Reg b0 = V::load(r.b0 + j);
  const Reg a0 = V::load(r.a0 + j);
  const Reg bm = V::load(r.b + j);
  const Reg am = V::load(r.a + j);
  const Reg change0 = V::absDiff(b0, a0);
  const Reg changeM = V::absDiff(bm, am);
  // Displaced where the block moves and standing still does not match.
  const Reg moved = r.b == r.b0 ? V::zero() : V::gt(change0, V::zero());
  const Reg change = V::select(moved, changeM, change0);
  const Reg d = V::select(moved, V::avg(bm, am), V::avg(b0, a0));

  // Edge-following spatial prediction: the cubic, or the first least
  // diagonal where it fits clearly better.
  auto cost = [&](int k) {
    return V::add(V::add(V::absDiff(V::load(r.up + x - 1 + k), V::load(r.down + x - 1 - k)),
                         V::absDiff(V::load(r.up + x + k), V::load(r.down + x - k))),
                  V::absDiff(V::load(r.up + x + 1 + k), V::load(r.down + x + 1 - k)));
  };
  Reg sp = V::template sar<4>(V::sub(V::add(V::mul9(V::add(c, e)), V::set(8)),
                                     V::add(V::load(r.up3 + x), V::load(r.down3 + x))));
  sp = V::min(V::max(sp, V::zero()), V::set(255));
  Reg best = cost(-1);
  Reg diagonal = V::avg(V::load(r.up + x - 1), V::load(r.down + x + 1));
  for (const int k : {1, -2, 2}) {
    const Reg ck = cost(k);
    const Reg better = V::gt(best, ck);
    best = V::min(best, ck);
    diagonal = V::select(better, V::avg(V::load(r.up + x + k), V::load(r.down + x - k)), diagonal);
  }
  sp = V::select(V::gt(cost(0), V::add(V::add(best, best), V::set(16))), diagonal, sp);

  const Reg bu = V::select(moved, V::avg(V::load(r.bUp + j), V::load(r.aUp + j)),
                           V::avg(V::load(r.bUp0 + j), V::load(r.aUp0 + j)));
  const Reg fd = V::select(moved, V::avg(V::load(r.bDown + j), V::load(r.aDown + j)),
                           V::avg(V::load(r.bDown0 + j), V::load(r.aDown0 + j)));
  const Reg de = V::sub(d, e);
  const Reg dc = V::sub(d, c);
  const Reg bc = V::sub(bu, c);
  const Reg fe = V::sub(fd, e);
  const Reg hi = V::max(V::max(de, dc), V::min(bc, fe));
  const Reg lo = V::min(V::min(de, dc), V::max(bc, fe));
  // Not displaced, the kept field's own change in time counts too.
  const Reg pu = V::absDiff(V::load(r.prevUp + x), c), pd = V::absDiff(V::load(r.prevDown + x), e);
  const Reg nu = V::absDiff(V::load(r.nextUp + x), c), nd = V::absDiff(V::load(r.nextDown + x), e);
  const Reg kept =
      V::select(moved, V::zero(),
                V::max(V::template shr<3>(V::add(pu, pd)), V::template shr<3>(V::add(nu, nd))));
  const Reg diff =
      V::max(V::max(V::max(V::template shr<1>(change), kept), lo), V::sub(V::zero(), hi));
  const Reg result = V::min(V::max(sp, V::sub(d, diff)), V::add(d, diff));
  // Still: not displaced and nothing changed.
  const Reg t = V::max(V::max(change, V::max(pu, pd)), V::max(nu, nd));
  return V::select(V::gt(t, V::zero()), result, V::select(moved, result, d));
}

}  // namespace wdi
