// Long runs through vfAction as a host drives it: one stream of 100,000
// frames whose option block changes with every frame, and 10,000 stream
// starts and ends under a region of 1,000 rectangles. Memory must not grow:
// global memory blocks, the C heap in use and the resident set are compared
// after a warm-up and at the end.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <list>
#include <random>
#include <vector>

#include "host/host_standin.h"
#include "platform/native_hooks.h"
#include "plugin/vf_action.h"
#include "region/rect_list.h"
#include "support/guarded_buffer.h"

namespace wdi::test {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

struct MemoryUse {
  size_t globalBlocks;
  size_t heapBytes;  // in use by the C heap (not the sanitizers' allocator)
  size_t residentBytes;
};

MemoryUse memoryUse() {
  MemoryUse m{globalLiveBlocks(), mallinfo2().uordblks, 0};
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    unsigned long pages = 0, resident = 0;
    if (std::fscanf(f, "%lu %lu", &pages, &resident) == 2) m.residentBytes = resident * 4096;
    std::fclose(f);
  }
  return m;
}

void expectNoGrowth(const MemoryUse& before, const MemoryUse& after) {
  EXPECT_EQ(after.globalBlocks, before.globalBlocks);
  // The sanitizers' allocator keeps freed memory in quarantine, so the heap
  // and the resident set say nothing there; LeakSanitizer watches instead.
  if (kSanitized) return;
  // Small slack: the allocator's own bookkeeping may move a little.
  EXPECT_LE(after.heapBytes, before.heapBytes + 64 * 1024)
      << "heap grew from " << before.heapBytes << " to " << after.heapBytes;
  EXPECT_LE(after.residentBytes, before.residentBytes + 2 * 1024 * 1024)
      << "resident set grew from " << before.residentBytes << " to " << after.residentBytes;
}

// The process-wide region is created by the first call of any kind; it is
// made before memory is counted.
void createRegion() {
  ActionRecord nothing{};
  nothing.command = 99;
  vfAction(0, &nothing);
  ASSERT_NE(regionList, nullptr);
}

// Every field of the option block, changing from frame to frame; methods 1
// to 5 mostly, so that most frames go through the engine.
DeinterlaceParameters optionsOfFrame(std::mt19937& rng) {
  DeinterlaceParameters p = kDefaultParameters;
  p.method = static_cast<int32_t>(rng() % 7);
  if (p.method == 6) p.method = static_cast<int32_t>(rng() % 5 + 1);
  p.searchArea = static_cast<int32_t>(rng() % 40) - 4;
  p.detectionThreshold = static_cast<int32_t>(rng() % 300);
  p.blockDistanceThreshold = static_cast<int32_t>(rng() % 20000);
  p.replacementThreshold = static_cast<int32_t>(rng() % 40);
  p.replaceOnlyInterlaced = static_cast<uint8_t>(rng() & 1);
  p.searchOnInterpolated = static_cast<uint8_t>(rng() & 1);
  return p;
}

// The same frame and option block through a fresh stream: nothing that a
// long stream carries from frame to frame may change its result.
std::vector<uint8_t> freshStreamResult(const std::vector<uint8_t>& frame,
                                       const DeinterlaceParameters& options, int32_t w, int32_t h) {
  HostStandin host;
  host.options = options;
  EXPECT_EQ(host.Start(w, h, FrameBased), 1);
  std::vector<uint8_t> out(frame.size());
  host.Process(frame.data(), out.data());
  host.End();
  return out;
}

TEST(Soak, HundredThousandFramesWithChangingOptions) {
  constexpr int32_t w = 32, h = 32;
  const int frames = 100000;
  std::mt19937 rng = seededRng(100000);
  // A few source pictures with combing, cycled.
  std::vector<std::vector<uint8_t>> sources;
  for (int k = 0; k < 8; ++k) {
    std::vector<uint8_t> s = RandomBgr24(w, h, rng);
    for (int32_t row = 0; row < h; row += 2) {
      for (int32_t x = 0; x < 3 * w; ++x) s[static_cast<size_t>(row) * 3 * w + x] /= 4;
    }
    sources.push_back(std::move(s));
  }
  GuardedBuffer dst(Bgr24Bytes(w, h));

  createRegion();
  const size_t blocksBefore = globalLiveBlocks();
  HostStandin host;
  ASSERT_EQ(host.Start(w, h, FrameBased), 1);
  MemoryUse warm{};
  for (int f = 0; f < frames; ++f) {
    host.options = optionsOfFrame(rng);
    const std::vector<uint8_t>& src = sources[f % sources.size()];
    ASSERT_EQ(host.Process(src.data(), dst.data()), 1) << "frame " << f;
    if (f == 1000) warm = memoryUse();
    if ((f + 1) % (frames / 5) == 0) {
      ASSERT_TRUE(dst.guardsIntact()) << "frame " << f;
      const std::vector<uint8_t> expected = freshStreamResult(src, host.options, w, h);
      ASSERT_EQ(0, std::memcmp(dst.data(), expected.data(), expected.size())) << "frame " << f;
      // Processed, not passed through: the colour round trip alone changes bytes.
      if (host.options.method != 0) {
        EXPECT_NE(0, std::memcmp(dst.data(), src.data(), src.size())) << "frame " << f;
      }
    }
  }
  expectNoGrowth(warm, memoryUse());
  ASSERT_EQ(host.End(), 1);
  EXPECT_EQ(host.state(), nullptr);
  EXPECT_EQ(globalLiveBlocks(), blocksBefore);
}

TEST(Soak, TenThousandStreamsUnderAThousandRectangles) {
  constexpr int32_t w = 32, h = 32;
  const int cycles = 10000;
  createRegion();
  std::list<RectEntry> saved;
  saved.swap(regionList->entries);
  std::mt19937 rng = seededRng(1000);
  for (int i = 0; i < 1000; ++i) {
    const int32_t l = static_cast<int32_t>(rng() % 40), t = static_cast<int32_t>(rng() % 72);
    ASSERT_GT(regionList->AddRect(rng() % 3 != 0, l, t, l + 1 + static_cast<int32_t>(rng() % 20),
                                  t + static_cast<int32_t>(rng() % 20)),
              0);
  }
  const std::vector<uint8_t> src = RandomBgr24(w, h, rng);
  std::vector<uint8_t> dst(src.size());

  MemoryUse warm{};
  const size_t blocksBefore = globalLiveBlocks();
  HostStandin host;
  for (int c = 0; c < cycles; ++c) {
    ASSERT_EQ(host.Start(w, h, c % 2 == 0 ? FrameBased : FieldOrderA, 24), 1) << "cycle " << c;
    // Every tenth stream also filters a frame (a field pair for field streams).
    if (c % 10 == 0) {
      host.Process(src.data(), dst.data(), false);
      host.Process(src.data(), dst.data(), true);
    }
    ASSERT_EQ(host.End(), 1);
    ASSERT_EQ(globalLiveBlocks(), blocksBefore) << "cycle " << c;
    if (c == 100) warm = memoryUse();
  }
  expectNoGrowth(warm, memoryUse());
  regionList->entries.swap(saved);
}

}  // namespace
}  // namespace wdi::test
