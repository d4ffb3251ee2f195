#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "engine/me_deinterlacer.h"
#include "plugin/dialog_params.h"
#include "plugin/stream_fixture.h"
#include "support/guarded_buffer.h"

namespace wdi::test {
namespace {

void expectStreamBuffers(const StreamState* s, size_t yuvSize, size_t rgbSize, size_t maskBytes) {
  ASSERT_NE(s, nullptr);
  ASSERT_NE(s->engine, nullptr);
  EXPECT_EQ(globalBlockBytes(s), sizeof(StreamState));
  EXPECT_EQ(globalBlockBytes(s->yuvIn), yuvSize);
  EXPECT_EQ(globalBlockBytes(s->yuvOut), yuvSize);
  EXPECT_EQ(globalBlockBytes(s->yuvWork), yuvSize);
  EXPECT_EQ(globalBlockBytes(s->heldField), yuvSize);
  EXPECT_EQ(globalBlockBytes(s->rgbWork), rgbSize);
  EXPECT_EQ(globalBlockBytes(s->blockMask), maskBytes);
}

using StreamLifecycle = StreamTest;

TEST_F(StreamLifecycle, FrameBased720x576Buffers) {
  HostStandin host;
  ASSERT_EQ(host.Start(720, 576, FrameBased), 1);
  expectStreamBuffers(host.state(), 622080, 1244160, 25920);
  EXPECT_EQ(host.state()->engine->width, 720u);
  EXPECT_EQ(host.state()->engine->height, 576u);
  EXPECT_EQ(host.state()->startFieldType, FrameBased);
  EXPECT_EQ(host.state()->hostMajorVersion, 7);
  EXPECT_EQ(liveBlocks(), 7u);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(host.End(), 1);
  EXPECT_EQ(host.record.state, nullptr);
  EXPECT_EQ(liveBlocks(), 0u);
}

TEST_F(StreamLifecycle, FieldOrderA720x288IsAWholeFrameOf576Rows) {
  HostStandin host;
  ASSERT_EQ(host.Start(720, 288, FieldOrderA), 1);
  expectStreamBuffers(host.state(), 622080, 1244160, 25920);
  EXPECT_EQ(host.state()->engine->height, 576u);
  EXPECT_EQ(host.state()->startFieldType, FieldOrderA);
  for (size_t k = 0; k < 622080; ++k) ASSERT_EQ(host.state()->heldField[k], 0);
}

TEST_F(StreamLifecycle, SizeNotAMultipleOf16IsRefusedWithAMessageAndCopied) {
  HostStandin host;
  EXPECT_EQ(host.Start(720, 486, FrameBased), -1);
  EXPECT_EQ(host.record.state, nullptr);
  EXPECT_EQ(liveBlocks(), 0u);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text,
            "Width(720) and height(486) of image must be divided by 16.\nFilter will be only copy "
            "image.");
  EXPECT_EQ(messages[0].caption, "Wyndvale Deinterlace. Error");

  std::mt19937 rng = seededRng(486);
  for (int frame = 0; frame < 2; ++frame) {
    const std::vector<uint8_t> src = RandomBgr24(720, 486, rng);
    GuardedBuffer dst(src.size());
    EXPECT_EQ(host.Process(src.data(), dst.data()), 1);
    EXPECT_EQ(0, std::memcmp(dst.data(), src.data(), src.size()));
    EXPECT_TRUE(dst.guardsIntact());
  }
}

TEST_F(StreamLifecycle, SizeIsCheckedBeforeBitDepth) {
  HostStandin host;
  EXPECT_EQ(host.Start(720, 576, FrameBased, 32), -3);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(host.Start(720, 486, FrameBased, 32), -1);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(host.record.state, nullptr);
  EXPECT_EQ(liveBlocks(), 0u);
}

TEST_F(StreamLifecycle, DestinationSize) {
  HostStandin host;
  EXPECT_EQ(host.Start(720, 576, FrameBased, 24, 0, 0), 1);
  EXPECT_EQ(host.End(), 1);
  EXPECT_EQ(host.Start(720, 576, FrameBased, 24, 0, 480), 1);  // 0 in either dimension
  EXPECT_EQ(host.End(), 1);
  EXPECT_EQ(host.Start(720, 576, FrameBased, 24, 640, 480), -1);
  EXPECT_EQ(host.record.state, nullptr);
  EXPECT_EQ(host.Start(720, 486, FrameBased, 24, 640, 480), -1);  // before the size message
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(liveBlocks(), 0u);
}

TEST_F(StreamLifecycle, MethodZeroCopiesButDialogParamsTakeTheBlock) {
  HostStandin host;
  host.options = DeinterlaceParameters{0, 7, 9, 11, 13, 1, 1, {0, 0}};
  ASSERT_EQ(host.Start(64, 32, FrameBased), 1);
  std::mt19937 rng = seededRng(1);
  const std::vector<uint8_t> src = RandomBgr24(64, 32, rng);
  GuardedBuffer dst(src.size());
  dialogParams = kDefaultParameters;
  EXPECT_EQ(host.Process(src.data(), dst.data()), 1);
  EXPECT_EQ(0, std::memcmp(dst.data(), src.data(), src.size()));
  EXPECT_EQ(0, std::memcmp(&dialogParams, &host.options, sizeof(DeinterlaceParameters)));
}

TEST_F(StreamLifecycle, FieldOrderBAndOldHostsCopy) {
  std::mt19937 rng = seededRng(2);
  struct Case {
    int32_t version;
    FieldType type;
  };
  for (const Case c : {Case{7, FieldOrderB}, Case{6, FieldOrderB}, Case{5, FrameBased},
                       Case{5, FieldOrderA}, Case{4, FrameBased}}) {
    HostStandin host(c.version);
    const int32_t h = c.type == FrameBased ? 32 : 16;
    ASSERT_EQ(host.Start(64, h, c.type), 1);
    for (int call = 0; call < 4; ++call) {
      const std::vector<uint8_t> src = RandomBgr24(64, h, rng);
      GuardedBuffer dst(src.size());
      EXPECT_EQ(host.Process(src.data(), dst.data(), call % 2 == 1), 1);
      EXPECT_EQ(0, std::memcmp(dst.data(), src.data(), src.size()))
          << "version " << c.version << " type " << c.type << " call " << call;
      EXPECT_EQ(host.record.fieldType, c.type);
    }
  }
}

TEST_F(StreamLifecycle, Host6RewritesTheFieldTypeFromTheFlags) {
  std::mt19937 rng = seededRng(3);
  const std::vector<uint8_t> first = RandomBgr24(64, 16, rng);
  const std::vector<uint8_t> second = RandomBgr24(64, 16, rng);

  // The same pair under a current host gives the reference result.
  HostStandin current(7);
  ASSERT_EQ(current.Start(64, 16, FieldOrderA), 1);
  GuardedBuffer out7a(first.size()), out7b(second.size());
  current.Process(first.data(), out7a.data(), false);
  current.Process(second.data(), out7b.data(), true);
  EXPECT_EQ(current.record.fieldType, FieldOrderA);  // a current host's value is kept
  current.End();

  HostStandin host(6);
  ASSERT_EQ(host.Start(64, 16, FieldOrderA), 1);
  GuardedBuffer outA(first.size()), outB(second.size());
  EXPECT_EQ(host.Process(first.data(), outA.data(), false), 1);
  EXPECT_EQ(host.record.fieldType, FieldOrderA);
  EXPECT_EQ(0, std::memcmp(outA.data(), first.data(), first.size()));
  EXPECT_EQ(host.Process(second.data(), outB.data(), true), 1);
  EXPECT_EQ(host.record.fieldType, FieldOrderB);
  EXPECT_EQ(0, std::memcmp(outB.data(), out7b.data(), second.size()));
  EXPECT_NE(0, std::memcmp(outB.data(), second.data(), second.size()));
}

TEST_F(StreamLifecycle, EndStreamWithoutStateAndTwice) {
  HostStandin host;
  EXPECT_EQ(host.End(), 1);
  ASSERT_EQ(host.Start(64, 32, FrameBased), 1);
  EXPECT_EQ(host.End(), 1);
  EXPECT_EQ(liveBlocks(), 0u);
  EXPECT_EQ(host.End(), 1);
  EXPECT_EQ(host.record.state, nullptr);
  EXPECT_EQ(liveBlocks(), 0u);
}

TEST_F(StreamLifecycle, StartStreamLeavesAnEarlierStateAlone) {
  HostStandin host;
  ASSERT_EQ(host.Start(64, 32, FrameBased), 1);
  void* earlier = host.record.state;
  ASSERT_EQ(host.Start(64, 32, FrameBased), 1);
  EXPECT_NE(host.record.state, earlier);
  EXPECT_EQ(liveBlocks(), 14u);
  host.End();
  host.record.state = earlier;  // the host still knows it and ends it
  host.End();
  EXPECT_EQ(liveBlocks(), 0u);
}

TEST_F(StreamLifecycle, UnknownCommandsChangeNothing) {
  HostStandin host;
  ASSERT_EQ(host.Start(64, 32, FrameBased), 1);
  for (int32_t command : {6, -1, 1000}) {
    host.record.command = command;
    ActionRecord before;
    std::memcpy(&before, &host.record, sizeof before);
    EXPECT_EQ(vfAction(0, &host.record), 1);
    EXPECT_EQ(0, std::memcmp(&before, &host.record, sizeof before));
  }
  EXPECT_EQ(liveBlocks(), 7u);
}

TEST_F(StreamLifecycle, AnyCommandCreatesTheRegion) {
  CRectList* saved = regionList;
  regionList = nullptr;
  ActionRecord record{};
  record.command = -1;
  EXPECT_EQ(vfAction(0, &record), 1);
  ASSERT_NE(regionList, nullptr);
  EXPECT_TRUE(regionList->entries.empty());
  EXPECT_EQ(regionList->lastId, 0);
  CRectList* second = regionList;
  EXPECT_EQ(vfAction(0, &record), 1);
  EXPECT_EQ(regionList, second);  // created once
  delete second;
  regionList = saved;
}

TEST_F(StreamLifecycle, RefusedRegionLeavesTheMaskAllZero) {
  CRectList* saved = regionList;
  regionList = nullptr;
  HostStandin host;
  globalRefuseAfter(0);  // the region's block
  ASSERT_EQ(host.Start(64, 32, FrameBased), 1);
  EXPECT_EQ(regionList, nullptr);
  for (uint32_t k = 0; k < 32; ++k) ASSERT_EQ(host.state()->blockMask[k], 0);
  host.End();  // creates the region this time
  delete regionList;
  regionList = saved;
}

TEST_F(StreamLifecycle, MaskIsBuiltFromTheRegionAtStreamStart) {
  regionList->AddRect(false, 0, 0, 63, 31);
  regionList->AddRect(true, 8, 0, 15, 7);
  HostStandin host;
  ASSERT_EQ(host.Start(64, 32, FrameBased), 1);
  const int32_t* mask = host.state()->blockMask;
  for (uint32_t k = 0; k < 32; ++k) EXPECT_EQ(mask[k], k == 1 ? 1 : 0) << k;
  regionList->AddRect(true, 0, 0, 63, 31);  // reaches only the next stream
  EXPECT_EQ(mask[0], 0);
  host.End();
  ASSERT_EQ(host.Start(64, 32, FrameBased), 1);
  EXPECT_EQ(host.state()->blockMask[0], 1);
}

}  // namespace
}  // namespace wdi::test
