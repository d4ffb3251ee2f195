// The engine takes its tables from the ordinary heap; a refusal there at
// stream start must not escape vfAction or leave anything behind.
#include <gtest/gtest.h>

#include "plugin/stream_fixture.h"
#include "support/alloc_failure.h"

namespace wdi::test {
namespace {

using EngineMemory = StreamTest;

TEST_F(EngineMemory, RefusedEngineMemoryFailsTheStreamCleanly) {
  HostStandin host;
  int refusals = 0;
  for (long successes = 0; successes < 100; ++successes) {
    FailAllocationAfter(successes);
    const int32_t result = host.Start(64, 32, FrameBased);
    const bool refused = AllocationFailed();
    FailAllocationAfter(-1);
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
