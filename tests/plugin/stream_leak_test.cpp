#include <gtest/gtest.h>

#include <random>

#include "plugin/stream_fixture.h"
#include "support/guarded_buffer.h"

namespace wdi::test {
namespace {

using StreamLeak = StreamTest;

// LeakSanitizer watches the engines; the count of live blocks watches the
// global memory.
TEST_F(StreamLeak, TenThousandStreamsLeaveNothingBehind) {
  std::mt19937 rng = seededRng(10000);
  const std::vector<uint8_t> src = RandomBgr24(32, 16, rng);
  std::vector<uint8_t> dst(src.size());
  HostStandin host;
  for (int i = 0; i < 10000; ++i) {
    ASSERT_EQ(host.Start(32, 16, FrameBased), 1);
    if (i % 1000 == 0) host.Process(src.data(), dst.data());
    ASSERT_EQ(host.End(), 1);
  }
  EXPECT_EQ(liveBlocks(), 0u);
}

}  // namespace
}  // namespace wdi::test
