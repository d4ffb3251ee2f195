#include "region/block_mask.h"

#include <gtest/gtest.h>

#include <vector>

#include "pipeline/yuv420_frame.h"
#include "region/rect_list.h"
#include "support/guarded_buffer.h"

namespace wdi {
namespace {

std::vector<int32_t> buildMask(const CRectList* region, int32_t w, int32_t h, int32_t fill = 0) {
  std::vector<int32_t> mask(BlockMaskEntries(w, h), fill);
  BuildBlockMask(mask.data(), region, w, h);
  return mask;
}

TEST(BlockMask, EmptyRegionProcessesEveryBlock) {
  CRectList region;
  const std::vector<int32_t> mask = buildMask(&region, 720, 576);
  ASSERT_EQ(mask.size(), 6480u);  // 90 per row, 72 rows
  for (int32_t entry : mask) ASSERT_EQ(entry, 1);
}

TEST(BlockMask, MissingRegionLeavesTheMask) {
  const std::vector<int32_t> mask = buildMask(nullptr, 64, 32, 7);
  for (int32_t entry : mask) ASSERT_EQ(entry, 7);
}

TEST(BlockMask, BlocksAreDecidedByTheirTopLeftPixel) {
  CRectList region;
  region.AddRect(false, 0, 0, 719, 575);
  region.AddRect(true, 10, 0, 100, 575);
  const std::vector<int32_t> mask = buildMask(&region, 720, 576);
  for (int32_t i = 0; i < 72; ++i) {
    for (int32_t j = 0; j < 90; ++j) {
      const int32_t expected = (j >= 2 && j <= 12) ? 1 : 0;  // columns 16, 24 ... 96
      ASSERT_EQ(mask[static_cast<size_t>(i * 90 + j)], expected) << "block " << j << "," << i;
    }
  }
}

TEST(BlockMask, OnlyTheTopLeftBlock) {
  CRectList region;
  region.AddRect(false, 0, 0, 719, 575);
  region.AddRect(true, 0, 0, 7, 7);
  const std::vector<int32_t> mask = buildMask(&region, 720, 576);
  EXPECT_EQ(mask[0], 1);
  for (size_t k = 1; k < mask.size(); ++k) ASSERT_EQ(mask[k], 0);
}

TEST(BlockMask, RectanglesBeyondTheFrameHaveNoEffect) {
  CRectList region;
  region.AddRect(false, 720, 0, 800, 575);
  region.AddRect(false, 0, 576, 719, 600);
  const std::vector<int32_t> mask = buildMask(&region, 720, 576);
  for (int32_t entry : mask) ASSERT_EQ(entry, 1);
}

struct Frames {
  Frames(uint32_t w, uint32_t h, uint32_t seed)
      : input(Yuv420Frame::bytes(w, h)), output(Yuv420Frame::bytes(w, h)) {
    std::mt19937 rng = test::seededRng(seed);
    test::fillRandom(input.data(), input.size(), rng);
    test::fillRandom(output.data(), output.size(), rng);
    inputCopy = input.storage();
    outputBefore = output.storage();
  }
  test::GuardedBuffer input;
  test::GuardedBuffer output;
  std::vector<uint8_t> inputCopy;
  std::vector<uint8_t> outputBefore;
};

TEST(BlockMask, ApplyWithAllOnesKeepsTheEngineResult) {
  Frames f(64, 32, 11);
  const std::vector<int32_t> mask(BlockMaskEntries(64, 32), 1);
  ApplyBlockMask(mask.data(), f.input.data(), f.output.data(), 64, 32);
  EXPECT_EQ(f.output.storage(), f.outputBefore);
  EXPECT_EQ(f.input.storage(), f.inputCopy);
}

TEST(BlockMask, ApplyWithAllZerosRestoresTheInput) {
  CRectList region;
  region.AddRect(false, 0, 0, 63, 31);
  Frames f(64, 32, 12);
  const std::vector<int32_t> mask = buildMask(&region, 64, 32);
  ApplyBlockMask(mask.data(), f.input.data(), f.output.data(), 64, 32);
  EXPECT_EQ(0, std::memcmp(f.output.data(), f.input.data(), f.input.size()));
  EXPECT_TRUE(f.output.guardsIntact());
  EXPECT_EQ(f.input.storage(), f.inputCopy);
}

TEST(BlockMask, ApplyCopiesExactlyTheUnprocessedBlocks) {
  const int32_t w = 48, h = 32;
  Frames f(w, h, 13);
  // 6 x 4 blocks; a checker of kept and processed blocks.
  std::vector<int32_t> mask(BlockMaskEntries(w, h));
  for (size_t k = 0; k < mask.size(); ++k) mask[k] = static_cast<int32_t>((k + k / 6) % 2);
  ApplyBlockMask(mask.data(), f.input.data(), f.output.data(), w, h);

  const uint8_t* in = f.input.data();
  const uint8_t* before = f.outputBefore.data() + test::kGuardBytes;
  const uint8_t* out = f.output.data();
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const size_t k = static_cast<size_t>(y * w + x);
      const bool kept = mask[static_cast<size_t>((y / 8) * 6 + x / 8)] == 0;
      ASSERT_EQ(out[k], kept ? in[k] : before[k]) << "luma " << x << "," << y;
    }
  }
  const size_t planes[2] = {Yuv420Frame::vOffset(w, h), Yuv420Frame::uOffset(w, h)};
  for (size_t plane : planes) {
    for (int32_t y = 0; y < h / 2; ++y) {
      for (int32_t x = 0; x < w / 2; ++x) {
        const size_t k = plane + static_cast<size_t>(y * (w / 2) + x);
        const bool kept = mask[static_cast<size_t>((y / 4) * 6 + x / 4)] == 0;
        ASSERT_EQ(out[k], kept ? in[k] : before[k]) << "chroma " << x << "," << y;
      }
    }
  }
  EXPECT_TRUE(f.output.guardsIntact());
}

TEST(BlockMask, ApplyDoesNothingWithoutFramesOrHeight) {
  Frames f(16, 16, 14);
  const std::vector<int32_t> mask(BlockMaskEntries(16, 16), 0);
  ApplyBlockMask(mask.data(), nullptr, f.output.data(), 16, 16);
  ApplyBlockMask(mask.data(), f.input.data(), nullptr, 16, 16);
  ApplyBlockMask(mask.data(), f.input.data(), f.output.data(), 16, 0);
  ApplyBlockMask(mask.data(), f.input.data(), f.output.data(), 16, -16);
  EXPECT_EQ(f.output.storage(), f.outputBefore);
}

}  // namespace
}  // namespace wdi
