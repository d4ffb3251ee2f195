// Forced allocation failures for the tests of the entry points: a program that links
// alloc_failure.cpp has every operator new counted, and once armed the nth allocation from
// then on throws std::bad_alloc (as an exhausted heap would).
#pragma once
#include <cstdint>

namespace wdi::test {

// The allocation after `n` more succeed fails; -1 disarms.
void FailAllocationAfter(int64_t n);
// True when the armed failure has been thrown (and disarmed itself).
bool AllocationFailed();

// Runs `call` with the first, second, ... allocation inside it failing, until a run meets no
// failure; `check(failed)` after each run. Returns the number of runs that failed one.
template <class Call, class Check>
int SweepAllocationFailures(Call call, Check check) {
  for (int64_t n = 0; n < 100000; ++n) {
    FailAllocationAfter(n);
    call();
    const bool failed = AllocationFailed();
    FailAllocationAfter(-1);
    check(failed);
    if (!failed) return static_cast<int>(n);
  }
  return -1;
}

}  // namespace wdi::test
