// Common ground of the stream tests: captured message boxes, a clean region,
// the host version put back, and the count of live global blocks.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_standin.h"
#include "platform/native_hooks.h"
#include "plugin/vf_action.h"
#include "region/rect_list.h"

namespace wdi::test {

struct Message {
  std::string text;
  std::string caption;
};

class StreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setMessageBoxHook([this](const char* text, const char* caption) {
      messages.push_back(Message{text, caption});
    });
    // Any command creates the region; from then on it is part of the baseline.
    ActionRecord record{};
    record.command = 6;
    vfAction(0, &record);
    ASSERT_NE(regionList, nullptr);
    regionList->entries.clear();
    regionList->lastId = 0;
    liveBefore = globalLiveBlocks();
  }
  void TearDown() override {
    setMessageBoxHook(nullptr);
    setHostMajorVersion(7);
    globalRefuseAfter(-1);
    if (regionList != nullptr) {
      regionList->entries.clear();
      regionList->lastId = 0;
    }
  }
  // Blocks that the streams of the test still hold.
  size_t liveBlocks() const { return globalLiveBlocks() - liveBefore; }

  std::vector<Message> messages;
  size_t liveBefore = 0;
};

}  // namespace wdi::test
