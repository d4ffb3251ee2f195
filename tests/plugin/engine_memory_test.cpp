// The engine takes its tables from the ordinary heap; a refusal there at
// stream start must not escape vfAction or leave anything behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "plugin/stream_fixture.h"

namespace {
// Heap allocations left before one is refused; negative: none is refused.
long heapRefuseCountdown = -1;

void* heapAllocate(size_t bytes) {
  if (heapRefuseCountdown == 0) {
    heapRefuseCountdown = -1;
    throw std::bad_alloc();
  }
  if (heapRefuseCountdown > 0) --heapRefuseCountdown;
  void* p = std::malloc(bytes == 0 ? 1 : bytes);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
}  // namespace

void* operator new(size_t bytes) { return heapAllocate(bytes); }
void* operator new[](size_t bytes) { return heapAllocate(bytes); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace wdi::test {
namespace {

using EngineMemory = StreamTest;

TEST_F(EngineMemory, RefusedEngineMemoryFailsTheStreamCleanly) {
  HostStandin host;
  int refusals = 0;
  for (long successes = 0; successes < 100; ++successes) {
    heapRefuseCountdown = successes;
    const int32_t result = host.Start(64, 32, FrameBased);
    const bool refused = heapRefuseCountdown == -1;
    heapRefuseCountdown = -1;
    if (!refused) {
      EXPECT_EQ(result, 1);
      break;
    }
    ++refusals;
    EXPECT_EQ(result, -1) << "refused after " << successes;
    EXPECT_EQ(host.record.state, nullptr);
    EXPECT_EQ(liveBlocks(), 0u);
  }
  // The engine object and its tables.
  EXPECT_GE(refusals, 2);
  EXPECT_EQ(liveBlocks(), 7u);
  EXPECT_EQ(host.End(), 1);
}

}  // namespace
}  // namespace wdi::test
