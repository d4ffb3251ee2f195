#include "pipeline/frame_path.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "pipeline/colour.h"
#include "pipeline/fast_copy.h"
#include "pipeline/yuv420_frame.h"
#include "support/guarded_buffer.h"

namespace wdi {
namespace {

using test::GuardedBuffer;

TEST(FastCopy, BlocksAndTail) {
  auto rng = test::seededRng(77);
  for (size_t n : {0u, 1u, 63u, 64u, 65u, 200u, 2160u}) {
    std::vector<uint8_t> src(n + 1);  // never empty, so data() is never null
    test::fillRandom(src.data(), n, rng);
    GuardedBuffer dst(n);
    FastCopy(dst.data(), src.data(), n);
    EXPECT_TRUE(dst.guardsIntact()) << n;
    EXPECT_EQ(0, std::memcmp(dst.data(), src.data(), n)) << n;
  }
}

TEST(Interleave, HalvesAlternate) {
  const uint32_t w = 32, h = 16;
  std::vector<uint8_t> work(Yuv420Frame::bytes(w, h));
  // Luma row k of the work frame is k; V rows 100 + j, U rows 200 + j.
  for (uint32_t r = 0; r < h; ++r) std::memset(work.data() + r * w, static_cast<int>(r), w);
  for (uint32_t j = 0; j < h / 2; ++j) {
    std::memset(work.data() + Yuv420Frame::vOffset(w, h) + j * w / 2, static_cast<int>(100 + j),
                w / 2);
    std::memset(work.data() + Yuv420Frame::uOffset(w, h) + j * w / 2, static_cast<int>(200 + j),
                w / 2);
  }
  GuardedBuffer in(Yuv420Frame::bytes(w, h));
  Interleave(work.data(), in.data(), w, h);
  EXPECT_TRUE(in.guardsIntact());
  for (uint32_t r = 0; r < h; ++r) {
    const uint32_t from = r % 2 == 0 ? r / 2 : h / 2 + r / 2;
    EXPECT_EQ(in.data()[r * w], from);
    EXPECT_EQ(in.data()[r * w + w - 1], from);
  }
  for (uint32_t j = 0; j < h / 2; ++j) {
    const uint32_t from = j % 2 == 0 ? j / 2 : h / 4 + j / 2;
    EXPECT_EQ(in.data()[Yuv420Frame::vOffset(w, h) + j * w / 2], 100 + from);
    EXPECT_EQ(in.data()[Yuv420Frame::uOffset(w, h) + j * w / 2 + w / 2 - 1], 200 + from);
  }
}

void paintRow(uint8_t* row, uint32_t w, uint8_t r, uint8_t g, uint8_t b) {
  for (uint32_t x = 0; x < w; ++x) {
    row[3 * x] = b;
    row[3 * x + 1] = g;
    row[3 * x + 2] = r;
  }
}

// Even picture rows red, odd ones blue: no chroma sample may mix them.
TEST(SplitFrame, RedBlueFrameKeepsFieldsApart) {
  const uint32_t w = 16, h = 16;
  std::vector<uint8_t> src(w * h * 3);
  for (uint32_t m = 0; m < h; ++m) {
    const uint32_t pictureRow = h - 1 - m;
    if (pictureRow % 2 == 0)
      paintRow(src.data() + m * w * 3, w, 255, 0, 0);
    else
      paintRow(src.data() + m * w * 3, w, 0, 0, 255);
  }
  const auto original = src;
  GuardedBuffer yuvIn(Yuv420Frame::bytes(w, h)), rgbWork(w * h * 3),
      yuvWork(Yuv420Frame::bytes(w, h));
  SplitFrame(src.data(), yuvIn.data(), rgbWork.data(), yuvWork.data(), w, h);
  EXPECT_TRUE(yuvIn.guardsIntact() && rgbWork.guardsIntact() && yuvWork.guardsIntact());
  EXPECT_EQ(src, original);
  const uint8_t* in = yuvIn.data();
  for (uint32_t r = 0; r < h; ++r)
    for (uint32_t x = 0; x < w; ++x) ASSERT_EQ(in[r * w + x], r % 2 == 0 ? 81 : 40) << r;
  for (uint32_t j = 0; j < h / 2; ++j) {
    for (uint32_t i = 0; i < w / 2; ++i) {
      ASSERT_EQ(in[Yuv420Frame::uOffset(w, h) + j * w / 2 + i], j % 2 == 0 ? 90 : 239) << j;
      ASSERT_EQ(in[Yuv420Frame::vOffset(w, h) + j * w / 2 + i], j % 2 == 0 ? 239 : 110) << j;
    }
  }
}

// SplitFrame converts each pair of same-field rows in place; it must give the
// bytes of the plain composition: both fields gathered into the halves of an
// image, converted as a whole, then interleaved. At every kernel level the
// machine has, since the converter is chosen once for the process.
TEST(SplitFrame, EqualsGatherConvertInterleave) {
  auto rng = test::seededRng(9090);
  for (const auto& size : {std::pair<uint32_t, uint32_t>{16, 16}, {48, 32}, {720, 64}, {112, 48}}) {
    const uint32_t w = size.first, h = size.second;
    const size_t row = size_t{w} * 3;
    std::vector<uint8_t> src(row * h);
    test::fillRandom(src.data(), src.size(), rng);

    std::vector<uint8_t> gathered(row * h), work(Yuv420Frame::bytes(w, h)),
        expected(Yuv420Frame::bytes(w, h));
    for (size_t k = 0; k < h / 2; ++k) {
      std::memcpy(gathered.data() + k * row, src.data() + 2 * k * row, row);
      std::memcpy(gathered.data() + (h / 2 + k) * row, src.data() + (2 * k + 1) * row, row);
    }
    RgbToYuv420(work.data(), work.data() + Yuv420Frame::uOffset(w, h),
                work.data() + Yuv420Frame::vOffset(w, h), gathered.data(), w, h, w);
    Interleave(work.data(), expected.data(), w, h);

    GuardedBuffer yuvIn(Yuv420Frame::bytes(w, h)), rgbWork(row * h),
        yuvWork(Yuv420Frame::bytes(w, h));
    const auto original = src;
    SplitFrame(src.data(), yuvIn.data(), rgbWork.data(), yuvWork.data(), w, h);
    EXPECT_TRUE(yuvIn.guardsIntact() && rgbWork.guardsIntact() && yuvWork.guardsIntact());
    EXPECT_EQ(src, original);
    EXPECT_EQ(0, std::memcmp(yuvIn.data(), expected.data(), expected.size())) << w << "x" << h;
  }
}

// A frame that passes through unchanged keeps every row in its place; only the
// colour round trip changes values. Grey rows keep their chroma neutral, so
// each row must come back as its own grey level.
TEST(FramePath, UnchangedFrameKeepsRowsInPlace) {
  const uint32_t w = 32, h = 32;
  auto rng = test::seededRng(4242);
  std::vector<uint8_t> src(w * h * 3);
  std::vector<uint8_t> grey(h);
  test::fillRandom(grey.data(), h, rng);
  for (uint32_t m = 0; m < h; ++m) std::memset(src.data() + m * w * 3, grey[m], w * 3);
  std::vector<uint8_t> yuvIn(Yuv420Frame::bytes(w, h)), rgbWork(w * h * 3),
      yuvWork(Yuv420Frame::bytes(w, h));
  SplitFrame(src.data(), yuvIn.data(), rgbWork.data(), yuvWork.data(), w, h);
  GuardedBuffer dst(w * h * 3);
  FrameOutput(yuvIn.data(), dst.data(), w, h);
  EXPECT_TRUE(dst.guardsIntact());
  for (uint32_t m = 0; m < h; ++m)
    for (uint32_t i = 0; i < w * 3; ++i)
      ASSERT_NEAR(dst.data()[m * w * 3 + i], grey[m], 3) << "memory row " << m;
}

// Luma row r of the output frame must land in memory row h-1-r, every row written.
TEST(FramePath, FrameOutputWritesEveryRowTopFirst) {
  const uint32_t w = 720, h = 576;
  std::vector<uint8_t> yuvOut(Yuv420Frame::bytes(w, h), 128);
  for (uint32_t r = 0; r < h; ++r)
    std::memset(yuvOut.data() + r * w, static_cast<int>(r % 200 + 20), w);
  GuardedBuffer dst(size_t{w} * h * 3);
  FrameOutput(yuvOut.data(), dst.data(), w, h);
  EXPECT_TRUE(dst.guardsIntact());
  for (uint32_t m = 0; m < h; ++m) {
    const int luma = static_cast<int>((h - 1 - m) % 200 + 20);
    const int expected = (74 * (luma - 16)) >> 6;
    const uint8_t* row = dst.data() + size_t{m} * w * 3;
    for (uint32_t i = 0; i < w * 3; ++i) ASSERT_EQ(row[i], expected) << "memory row " << m;
  }
}

}  // namespace
}  // namespace wdi
