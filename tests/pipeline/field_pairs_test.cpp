#include "pipeline/field_pairs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "pipeline/frame_path.h"
#include "pipeline/yuv420_frame.h"
#include "support/guarded_buffer.h"

namespace wdi {
namespace {

using test::GuardedBuffer;

struct PairBuffers {
  PairBuffers(uint32_t w, uint32_t h)
      : heldField(w * h * 3 / 2, 0),
        yuvIn(Yuv420Frame::bytes(w, h)),
        yuvWork(Yuv420Frame::bytes(w, h)),
        rgbWork(w * h * 3) {}
  GuardedBuffer heldField, yuvIn, yuvWork, rgbWork;
  bool guardsIntact() const {
    return heldField.guardsIntact() && yuvIn.guardsIntact() && yuvWork.guardsIntact() &&
           rgbWork.guardsIntact();
  }
};

TEST(FieldPairs, HoldFirstFieldCopiesFieldAndPassesItThrough) {
  const uint32_t w = 720, h = 576;
  const size_t fieldBytes = 622080;
  ASSERT_EQ(fieldBytes, size_t{w} * h * 3 / 2);
  auto rng = test::seededRng(5);
  std::vector<uint8_t> src(fieldBytes + 16);
  test::fillRandom(src.data(), src.size(), rng);
  PairBuffers b(w, h);
  GuardedBuffer dst(fieldBytes);
  HoldFirstField(b.heldField.data(), src.data(), dst.data(), fieldBytes, w, h);
  EXPECT_TRUE(b.guardsIntact() && dst.guardsIntact());
  EXPECT_EQ(0, std::memcmp(b.heldField.data(), src.data(), fieldBytes));
  EXPECT_EQ(0, std::memcmp(dst.data(), src.data(), fieldBytes));

  // A second first field overwrites the held one.
  std::vector<uint8_t> src2(fieldBytes);
  test::fillRandom(src2.data(), src2.size(), rng);
  HoldFirstField(b.heldField.data(), src2.data(), dst.data(), fieldBytes, w, h);
  EXPECT_EQ(0, std::memcmp(b.heldField.data(), src2.data(), fieldBytes));
  EXPECT_EQ(0, std::memcmp(dst.data(), src2.data(), fieldBytes));
}

TEST(FieldPairs, SecondFieldWithoutFirstMeetsBlackHeldHalf) {
  const uint32_t w = 16, h = 16;
  std::vector<uint8_t> field(w * h / 2 * 3, 255);  // white
  PairBuffers b(w, h);
  CombineFieldPair(b.heldField.data(), field.data(), b.yuvIn.data(), b.rgbWork.data(),
                   b.yuvWork.data(), w, h);
  EXPECT_TRUE(b.guardsIntact());
  const uint8_t* in = b.yuvIn.data();
  // Even rows: the current (white) field; odd rows: the zero held field, black.
  for (uint32_t r = 0; r < h; ++r) EXPECT_EQ(in[r * w], r % 2 == 0 ? 235 : 16) << r;
  for (uint32_t j = 0; j < h / 2; ++j) {
    EXPECT_EQ(in[Yuv420Frame::uOffset(w, h) + j * w / 2], 128);
    EXPECT_EQ(in[Yuv420Frame::vOffset(w, h) + j * w / 2], 128);
  }
}

TEST(FieldPairs, FieldOutputWritesEveryRowOfTheField) {
  const uint32_t w = 720, h = 576;
  std::vector<uint8_t> yuvOut(Yuv420Frame::bytes(w, h), 128);
  // Luma row r of the processed frame carries its own value.
  for (uint32_t r = 0; r < h; ++r)
    std::memset(yuvOut.data() + r * w, static_cast<int>(r % 200 + 20), w);
  GuardedBuffer rgbWork(w * h * 3), dst(w * h / 2 * 3);
  FieldOutput(yuvOut.data(), rgbWork.data(), dst.data(), w, h);
  EXPECT_TRUE(rgbWork.guardsIntact() && dst.guardsIntact());
  // Destination memory row k is field picture row h/2-1-k, frame picture row 2(h/2-1-k).
  for (uint32_t k = 0; k < h / 2; ++k) {
    const uint32_t frameRow = 2 * (h / 2 - 1 - k);
    const int luma = static_cast<int>(frameRow % 200 + 20);
    const int expected = (74 * (luma - 16)) >> 6;
    const uint8_t* row = dst.data() + size_t{k} * w * 3;
    for (uint32_t i = 0; i < w * 3; ++i) ASSERT_EQ(row[i], expected) << "row " << k;
  }
}

// A pair the engine leaves unchanged gives the second field back in its places.
TEST(FieldPairs, UnchangedPairRoundTrip) {
  const uint32_t w = 32, h = 32;
  auto rng = test::seededRng(99);
  std::vector<uint8_t> greyFirst(h / 2), greySecond(h / 2);
  test::fillRandom(greyFirst.data(), h / 2, rng);
  test::fillRandom(greySecond.data(), h / 2, rng);
  std::vector<uint8_t> first(w * h / 2 * 3), second(w * h / 2 * 3);
  for (uint32_t m = 0; m < h / 2; ++m) {
    std::memset(first.data() + m * w * 3, greyFirst[m], w * 3);
    std::memset(second.data() + m * w * 3, greySecond[m], w * 3);
  }
  PairBuffers b(w, h);
  std::vector<uint8_t> passed(first.size());
  HoldFirstField(b.heldField.data(), first.data(), passed.data(), passed.size(), w, h);
  EXPECT_EQ(passed, first);
  CombineFieldPair(b.heldField.data(), second.data(), b.yuvIn.data(), b.rgbWork.data(),
                   b.yuvWork.data(), w, h);
  GuardedBuffer dst(second.size());
  FieldOutput(b.yuvIn.data(), b.rgbWork.data(), dst.data(), w, h);
  EXPECT_TRUE(b.guardsIntact() && dst.guardsIntact());
  for (uint32_t m = 0; m < h / 2; ++m)
    for (uint32_t i = 0; i < w * 3; ++i)
      ASSERT_NEAR(dst.data()[m * w * 3 + i], greySecond[m], 3) << "memory row " << m;
}

}  // namespace
}  // namespace wdi
