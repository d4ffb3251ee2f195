#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/global_memory.h"
#include "platform/host_version.h"
#include "platform/message_box.h"
#include "platform/native_hooks.h"

namespace wdi {
namespace {

TEST(HostVersion, WithoutVersionInformationTheHostCountsAsCurrent) {
  EXPECT_EQ(GetHostMajorVersion(), 7);
  setHostMajorVersion(5);
  EXPECT_EQ(GetHostMajorVersion(), 5);
  setHostMajorVersion(kCurrentHostMajorVersion);
  EXPECT_EQ(GetHostMajorVersion(), 7);
}

TEST(GlobalMemory, BlocksAreZeroedLockedAndCounted) {
  const size_t before = globalLiveBlocks();
  auto* p = static_cast<uint8_t*>(globalAllocLocked(1000));
  ASSERT_NE(p, nullptr);
  for (size_t k = 0; k < 1000; ++k) ASSERT_EQ(p[k], 0);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
  EXPECT_EQ(globalBlockBytes(p), 1000u);
  EXPECT_EQ(globalLiveBlocks(), before + 1);
  p[999] = 1;  // the whole size is usable
  GlobalBlock block = globalHandle(p + 0);
  ASSERT_NE(block, nullptr);
  globalUnlock(block);
  globalFree(block);
  EXPECT_EQ(globalLiveBlocks(), before);

  void* empty = globalAllocLocked(0);
  EXPECT_NE(empty, nullptr);
  globalFreeLocked(empty);
  globalFreeLocked(nullptr);
  EXPECT_EQ(globalHandle(nullptr), nullptr);
  EXPECT_EQ(globalLiveBlocks(), before);
}

TEST(GlobalMemory, RefusalHitsExactlyOneAllocation) {
  const size_t before = globalLiveBlocks();
  globalRefuseAfter(1);
  void* first = globalAllocLocked(8);
  void* second = globalAllocLocked(8);
  void* third = globalAllocLocked(8);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(second, nullptr);
  EXPECT_NE(third, nullptr);
  globalFreeLocked(first);
  globalFreeLocked(third);

  globalRefuseAfter(0);
  globalRefuseAfter(-1);  // cancelled
  void* fourth = globalAllocLocked(8);
  EXPECT_NE(fourth, nullptr);
  globalFreeLocked(fourth);

  EXPECT_EQ(globalAllocLocked(SIZE_MAX - 8), nullptr);
  EXPECT_EQ(globalLiveBlocks(), before);
}

TEST(MessageBox, TestsTakeTheMessagesOtherwiseStandardError) {
  std::string text, caption;
  setMessageBoxHook([&](const char* t, const char* c) {
    text = t;
    caption = c;
  });
  showFocusMessageBox("Your processor must support MMX instructions", "Wyndvale Deinterlace");
  EXPECT_EQ(text, "Your processor must support MMX instructions");
  EXPECT_EQ(caption, "Wyndvale Deinterlace");

  setMessageBoxHook(nullptr);
  ::testing::internal::CaptureStderr();
  showFocusMessageBox("Can't load this file.", "Error");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: Can't load this file.\n");
}

}  // namespace
}  // namespace wdi
