// Inputs that the host should never send, and refusals of memory: the filter
// copies or does nothing, and never touches memory outside the images.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "plugin/dialog_params.h"
#include "plugin/stream_fixture.h"
#include "support/guarded_buffer.h"

namespace wdi::test {
namespace {

using StreamSound = StreamTest;

TEST_F(StreamSound, EmptyAndTopDownImagesAreRefused) {
  struct Size {
    int32_t w, h, dw, dh;
  };
  HostStandin host;
  for (const Size s : {Size{0, 576, -1, -1}, Size{720, 0, -1, -1}, Size{0, 0, -1, -1},
                       Size{720, -576, -1, -1}, Size{-720, 576, -1, -1}, Size{720, -576, 0, 0},
                       Size{720, 576, -720, 0}, Size{720, 576, 0, -576}}) {
    EXPECT_EQ(host.Start(s.w, s.h, FrameBased, 24, s.dw, s.dh), -1)
        << s.w << "x" << s.h << " to " << s.dw << "x" << s.dh;
    EXPECT_EQ(host.record.state, nullptr);
  }
  EXPECT_EQ(host.Start(720, -576, FieldOrderA), -1);
  EXPECT_EQ(liveBlocks(), 0u);
  EXPECT_TRUE(messages.empty());

  // A top-down frame of a refused stream is still passed through whole.
  host.Start(64, -32, FrameBased);
  std::mt19937 rng = seededRng(5);
  const std::vector<uint8_t> src = RandomBgr24(64, 32, rng);
  GuardedBuffer dst(src.size());
  EXPECT_EQ(host.Process(src.data(), dst.data()), 1);
  EXPECT_EQ(0, std::memcmp(dst.data(), src.data(), src.size()));
  EXPECT_TRUE(dst.guardsIntact());
}

TEST_F(StreamSound, FramesTooLargeFor31BitSizesAreRefused) {
  HostStandin host;
  // 3 * 32768 * 21856 = 2 148 532 224 > 2^31 - 1.
  EXPECT_EQ(host.Start(32768, 21856, FrameBased), -1);
  // The field stream's frame is twice the field's height.
  EXPECT_EQ(host.Start(32768, 10928, FieldOrderA), -1);
  EXPECT_EQ(host.Start(65536, 65536, FrameBased), -1);
  EXPECT_EQ(host.Start(2147483632, 16, FrameBased), -1);
  EXPECT_EQ(host.record.state, nullptr);
  EXPECT_EQ(liveBlocks(), 0u);
  EXPECT_TRUE(messages.empty());
}

TEST_F(StreamSound, RefusedMemoryAtStreamStartFreesEverythingAndCopies) {
  std::mt19937 rng = seededRng(6);
  const std::vector<uint8_t> src = RandomBgr24(64, 32, rng);
  HostStandin host;
  int refusals = 0;
  for (int64_t successes = 0;; ++successes) {
    globalRefuseAfter(successes);
    const int32_t result = host.Start(64, 32, FrameBased);
    globalRefuseAfter(-1);
    if (result == 1) break;
    ++refusals;
    EXPECT_EQ(result, -1);
    EXPECT_EQ(host.record.state, nullptr);
    EXPECT_EQ(liveBlocks(), 0u) << "refused after " << successes;
    GuardedBuffer dst(src.size());
    EXPECT_EQ(host.Process(src.data(), dst.data()), 1);
    EXPECT_EQ(0, std::memcmp(dst.data(), src.data(), src.size()));
  }
  // The state, the mask and five frame buffers.
  EXPECT_EQ(refusals, 7);
  EXPECT_EQ(liveBlocks(), 7u);
}

TEST_F(StreamSound, ImagesOfAnotherSizeAreCopied) {
  std::mt19937 rng = seededRng(7);
  struct Case {
    FieldType type;
    int32_t streamHeight;
    int32_t w, h;
    bool secondField;
  };
  for (const Case c : {Case{FrameBased, 32, 48, 32, false}, Case{FrameBased, 32, 64, 64, false},
                       Case{FrameBased, 32, 64, 16, false}, Case{FieldOrderA, 16, 64, 32, true},
                       Case{FieldOrderA, 16, 64, 32, false}, Case{FieldOrderA, 16, 80, 16, true}}) {
    HostStandin host;
    ASSERT_EQ(host.Start(64, c.streamHeight, c.type), 1);
    const std::vector<uint8_t> src = RandomBgr24(c.w, c.h, rng);
    GuardedBuffer dst(src.size());
    host.srcHeader = MakeBitmapHeader(c.w, c.h);
    EXPECT_EQ(host.Process(src.data(), dst.data(), c.secondField), 1);
    EXPECT_EQ(0, std::memcmp(dst.data(), src.data(), src.size())) << c.w << "x" << c.h;
    EXPECT_TRUE(dst.guardsIntact());
    // Nothing was held from a field of the wrong size.
    for (size_t k = 0; k < 3 * 64 * 16; ++k) ASSERT_EQ(host.state()->heldField[k], 0);
  }
}

TEST_F(StreamSound, FieldTypeZeroOnAFieldStreamNeedsAWholeFrame) {
  std::mt19937 rng = seededRng(8);
  HostStandin host;
  ASSERT_EQ(host.Start(64, 16, FieldOrderA), 1);
  // The host calls a field a frame: copied, not read as 32 rows.
  const std::vector<uint8_t> src = RandomBgr24(64, 16, rng);
  GuardedBuffer dst(src.size());
  host.record.command = ProcessFrame;
  host.record.fieldType = FrameBased;
  host.record.srcPixels = const_cast<uint8_t*>(src.data());
  host.record.dstPixels = dst.data();
  EXPECT_EQ(vfAction(0, &host.record), 1);
  EXPECT_EQ(0, std::memcmp(dst.data(), src.data(), src.size()));
  EXPECT_TRUE(dst.guardsIntact());
}

TEST_F(StreamSound, MissingPixelsOrHeaderDoNothing) {
  std::mt19937 rng = seededRng(9);
  const std::vector<uint8_t> src = RandomBgr24(64, 32, rng);
  for (const bool withStream : {true, false}) {
    HostStandin host;
    host.options.detectionThreshold = 30;
    ASSERT_EQ(host.Start(64, withStream ? 32 : 30, FrameBased), withStream ? 1 : -1);
    host.srcHeader = MakeBitmapHeader(64, 32);
    GuardedBuffer dst(Bgr24Bytes(64, 32));
    const std::vector<uint8_t> before = dst.storage();

    dialogParams = kDefaultParameters;
    EXPECT_EQ(host.Process(nullptr, dst.data()), 1);
    EXPECT_EQ(dialogParams.detectionThreshold, 30);  // the block still arrives
    EXPECT_EQ(host.Process(src.data(), nullptr), 1);
    host.record.srcHeader = nullptr;
    host.record.command = ProcessFrame;
    host.record.srcPixels = const_cast<uint8_t*>(src.data());
    host.record.dstPixels = dst.data();
    EXPECT_EQ(vfAction(0, &host.record), 1);
    EXPECT_EQ(dst.storage(), before);
    host.record.srcHeader = &host.srcHeader;

    // Without a filter record the frame is still handled, with the last block.
    host.record.filter = nullptr;
    EXPECT_EQ(host.Process(src.data(), dst.data()), 1);
    EXPECT_EQ(dialogParams.detectionThreshold, 30);
    EXPECT_TRUE(dst.guardsIntact());
  }
  messages.clear();
}

TEST_F(StreamSound, NullRecordIsIgnored) { EXPECT_EQ(vfAction(0, nullptr), 1); }

TEST_F(StreamSound, ZeroImageSizeCopiesTheRows) {
  std::mt19937 rng = seededRng(10);
  struct Case {
    int32_t w, h;
    uint16_t bits;
    size_t bytes;
  };
  // A refused stream: size, bit depth; the rows of 24-bit images are padded
  // to 4 bytes.
  for (const Case c : {Case{720, 486, 24, 720 * 3 * 486}, Case{64, 32, 32, 64 * 4 * 32},
                       Case{30, 6, 24, 92 * 6}}) {
    HostStandin host;
    host.Start(c.w, c.h, FrameBased, c.bits);
    host.srcHeader.biSizeImage = 0;
    std::vector<uint8_t> src(c.bytes);
    fillRandom(src.data(), src.size(), rng);
    GuardedBuffer dst(src.size());
    EXPECT_EQ(host.Process(src.data(), dst.data()), 1);
    EXPECT_EQ(0, std::memcmp(dst.data(), src.data(), src.size())) << c.w << "x" << c.h;
    EXPECT_TRUE(dst.guardsIntact());
  }
  messages.clear();

  // A first field passes through whole.
  HostStandin host;
  ASSERT_EQ(host.Start(64, 16, FieldOrderA), 1);
  host.srcHeader.biSizeImage = 0;
  const std::vector<uint8_t> field = RandomBgr24(64, 16, rng);
  GuardedBuffer dst(field.size());
  EXPECT_EQ(host.Process(field.data(), dst.data(), false), 1);
  EXPECT_EQ(0, std::memcmp(dst.data(), field.data(), field.size()));
  EXPECT_EQ(0, std::memcmp(host.state()->heldField, field.data(), field.size()));
  EXPECT_TRUE(dst.guardsIntact());
}

}  // namespace
}  // namespace wdi::test
