// The option-block callbacks and the CompareOptions and LoadKeyOptions
// commands, with the host library's stand-ins steered by the test.
#include "plugin/option_blocks.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/native_hooks.h"
#include "plugin/host_library.h"
#include "plugin/vf_action.h"

namespace wdi::test {
namespace {

constexpr DeinterlaceParameters kSource = {5, 24, 60, 4000, 7, 1, 1, {3, 4}};

bool sameBlock(const DeinterlaceParameters& a, const DeinterlaceParameters& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

class OptionBlocksTest : public ::testing::Test {
 protected:
  void SetUp() override { liveBefore = globalLiveBlocks(); }
  void TearDown() override {
    setHostLibraryHooks(HostLibraryHooks{});
    globalRefuseAfter(-1);
    EXPECT_EQ(globalLiveBlocks(), liveBefore);
  }
  DeinterlaceParameters source = kSource;
  HostOptionRef sourceRef{0, &source};
  DeinterlaceParameters target{};
  void* targetPtr = &target;
  size_t liveBefore = 0;
};

TEST_F(OptionBlocksTest, CopySelectorsCopyTheWholeBlockWhateverTheUpperBits) {
  for (uint32_t selector : {0u, 3u, 0x00010000u, 0xFFFF0000u, 0x12340003u}) {
    target = {};
    EXPECT_EQ(OptionBlockCallback(selector, 0, &targetPtr, &sourceRef, nullptr), 1) << selector;
    EXPECT_TRUE(sameBlock(target, kSource)) << selector;
  }
}

TEST_F(OptionBlocksTest, AllocateGivesZeroedGlobalBlockThatFreeGivesBack) {
  void* block = nullptr;
  ASSERT_EQ(OptionBlockCallback(kAllocateOptionBlock, 0, &block, nullptr, nullptr), 1);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(globalLiveBlocks(), liveBefore + 1);
  const DeinterlaceParameters zero{};
  EXPECT_TRUE(sameBlock(*static_cast<DeinterlaceParameters*>(block), zero));
  EXPECT_EQ(OptionBlockCallback(0x00020000u | kFreeOptionBlock, 0, &block, nullptr, nullptr), 1);
  EXPECT_NE(block, nullptr);  // the host clears its own pointer
  EXPECT_EQ(globalLiveBlocks(), liveBefore);
}

TEST_F(OptionBlocksTest, RefusedAllocationLeavesNullAndReturnsZero) {
  void* block = &target;
  globalRefuseAfter(0);
  EXPECT_EQ(OptionBlockCallback(kAllocateOptionBlock, 0, &block, nullptr, nullptr), 0);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(OptionBlockCallback(kAllocateOptionBlock, 0, nullptr, nullptr, nullptr), 0);
}

TEST_F(OptionBlocksTest, NullPointersDoNothingAndSucceed) {
  void* nullBlock = nullptr;
  HostOptionRef emptyRef{0, nullptr};
  for (uint32_t selector : {0u, 3u}) {
    EXPECT_EQ(OptionBlockCallback(selector, 0, nullptr, &sourceRef, nullptr), 1);
    EXPECT_EQ(OptionBlockCallback(selector, 0, &nullBlock, &sourceRef, nullptr), 1);
    EXPECT_EQ(OptionBlockCallback(selector, 0, &targetPtr, nullptr, nullptr), 1);
    EXPECT_EQ(OptionBlockCallback(selector, 0, &targetPtr, &emptyRef, nullptr), 1);
  }
  EXPECT_EQ(OptionBlockCallback(kFreeOptionBlock, 0, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(OptionBlockCallback(kFreeOptionBlock, 0, &nullBlock, nullptr, nullptr), 1);
  EXPECT_EQ(OptionBlockCallback(4, 0, &targetPtr, &sourceRef, nullptr), 1);
  EXPECT_EQ(OptionBlockCallback(0xFFFF, 0, &targetPtr, &sourceRef, nullptr), 1);
  EXPECT_TRUE(sameBlock(target, DeinterlaceParameters{}));
}

TEST_F(OptionBlocksTest, FrameCopyCopiesTheProductAndNothingForBadRecords) {
  uint8_t from[64];
  uint8_t to[64];
  for (int i = 0; i < 64; ++i) from[i] = static_cast<uint8_t>(i + 1);
  std::memset(to, 0xEE, sizeof to);
  HostFrameCopyRecord record{};
  record.source = from;
  record.destination = to;
  record.rowBytes = 5;
  record.rows = 9;
  EXPECT_EQ(FrameCopyCallback(&record), 1);
  EXPECT_EQ(std::memcmp(to, from, 45), 0);
  EXPECT_EQ(to[45], 0xEE);

  std::memset(to, 0xEE, sizeof to);
  for (auto [rowBytes, rows] : {std::pair{0, 9}, {5, 0}, {-5, 9}, {5, -9}}) {
    record.rowBytes = rowBytes;
    record.rows = rows;
    EXPECT_EQ(FrameCopyCallback(&record), 1);
  }
  record.rowBytes = 5;
  record.rows = 9;
  record.source = nullptr;
  EXPECT_EQ(FrameCopyCallback(&record), 1);
  record.source = from;
  record.destination = nullptr;
  EXPECT_EQ(FrameCopyCallback(&record), 1);
  EXPECT_EQ(FrameCopyCallback(nullptr), 1);
  for (uint8_t b : to) EXPECT_EQ(b, 0xEE);
}

// What the host library saw.
struct Seen {
  HostFilterRecord* filter = nullptr;
  OptionBlockCallbackFn options = nullptr;
  uint32_t value = 0;
  uint32_t flags = 0;
  int32_t blockSize = 0;
  uint32_t keyValue = 0;
  HostKeyEntry* serve = nullptr;
  int calls = 0;
};
Seen seen;

TEST_F(OptionBlocksTest, CompareOptionsPassesTheCopysValuesAndReturnsTheResult) {
  seen = {};
  HostLibraryHooks hooks;
  hooks.isSameOption = [](HostFilterRecord* filter, OptionBlockCallbackFn options, uint32_t value,
                          uint32_t flags, int32_t blockSize) -> int32_t {
    seen = {filter, options, value, flags, blockSize, 0, nullptr, seen.calls + 1};
    return -42;
  };
  setHostLibraryHooks(hooks);
  HostFilterRecord filter{};
  ActionRecord record{};
  record.command = CompareOptions;
  record.filter = &filter;
  record.compareValue = 0xABCD;
  record.flags = 0x81;
  EXPECT_EQ(CompareOptionsCommand(record), -42);
  EXPECT_EQ(seen.calls, 1);
  EXPECT_EQ(seen.filter, &filter);
  EXPECT_EQ(seen.options, &OptionBlockCallback);
  EXPECT_EQ(seen.value, 0xABCDu);
  EXPECT_EQ(seen.flags, 0x81u);
  EXPECT_EQ(seen.blockSize, 24);
}

class LoadKeyOptionsTest : public OptionBlocksTest {
 protected:
  void SetUp() override {
    OptionBlocksTest::SetUp();
    seen = {};
    for (int i = 0; i < 3; ++i) {
      blocks[i] = kDefaultParameters;
      blocks[i].method = i;
      blocks[i].searchArea = 8 * (i + 1);
      keys[i] = {i * 5, &blocks[i]};
    }
    HostLibraryHooks hooks;
    hooks.findKey = [](HostFilterRecord* filterRecord, HostKeyEntry** key, uint32_t keyValue,
                       uint32_t flags) -> int32_t {
      seen.filter = filterRecord;
      seen.keyValue = keyValue;
      seen.flags = flags;
      ++seen.calls;
      if (seen.serve != nullptr) *key = seen.serve;
      return 0;
    };
    setHostLibraryHooks(hooks);
    record.command = LoadKeyOptions;
    record.filter = &filter;
    record.flags = 0x30;
  }
  DeinterlaceParameters blocks[3]{};
  HostKeyEntry keys[3]{};
  HostFilterRecord filter{};
  ActionRecord record{};
};

TEST_F(LoadKeyOptionsTest, SingleKeyCopiesTheFoundBlockToOffset44) {
  DeinterlaceParameters destination{};
  DeinterlaceParameters multi{};
  record.keyValue = 1;
  record.keyOptions = &destination;
  record.state = &multi;
  seen.serve = &keys[2];
  EXPECT_EQ(LoadKeyOptionsCommand(&record, record), 1);
  EXPECT_EQ(seen.calls, 1);
  EXPECT_EQ(seen.filter, &filter);
  EXPECT_EQ(seen.keyValue, 1u);
  EXPECT_EQ(seen.flags, 0x30u);
  EXPECT_TRUE(sameBlock(destination, blocks[2]));
  EXPECT_TRUE(sameBlock(multi, DeinterlaceParameters{}));
}

TEST_F(LoadKeyOptionsTest, SeveralKeysCopyTheEntryBeforeIntoTheBlockAtOffset64) {
  DeinterlaceParameters single{};
  DeinterlaceParameters multi{};
  ActionRecord host = record;
  host.keyValue = 0x80000000u;  // unsigned: well above 1
  host.keyOptions = &single;
  host.state = &multi;
  // The command reads the private copy and writes through the host's offset 64.
  ActionRecord copy = host;
  seen.serve = &keys[2];
  EXPECT_EQ(LoadKeyOptionsCommand(&host, copy), 1);
  EXPECT_TRUE(sameBlock(multi, blocks[1]));
  EXPECT_TRUE(sameBlock(single, DeinterlaceParameters{}));
  EXPECT_EQ(host.state, &multi);
}

TEST_F(LoadKeyOptionsTest, NoKeyEntryCopiesNothing) {
  DeinterlaceParameters single{};
  DeinterlaceParameters multi{};
  record.keyOptions = &single;
  record.state = &multi;
  for (uint32_t keyValue : {0u, 1u, 2u}) {
    record.keyValue = keyValue;
    EXPECT_EQ(LoadKeyOptionsCommand(&record, record), 1);
  }
  EXPECT_EQ(seen.calls, 3);
  EXPECT_TRUE(sameBlock(single, DeinterlaceParameters{}));
  EXPECT_TRUE(sameBlock(multi, DeinterlaceParameters{}));
  // A null destination of the single-key branch is no place to copy to.
  seen.serve = &keys[1];
  record.keyValue = 1;
  record.keyOptions = nullptr;
  EXPECT_EQ(LoadKeyOptionsCommand(&record, record), 1);
}

}  // namespace
}  // namespace wdi::test
