#include "pipeline/colour.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "support/guarded_buffer.h"
#include "support/kernel_levels.h"

namespace wdi {
namespace {

using test::GuardedBuffer;

struct ColourCase {
  uint8_t r, g, b;
  uint8_t y, u, v;
  uint8_t rBack, gBack, bBack;
};

constexpr ColourCase kTable[] = {
    {255, 255, 255, 235, 128, 128, 253, 253, 253}, {0, 0, 0, 16, 128, 128, 0, 0, 0},
    {255, 0, 0, 81, 90, 239, 252, 0, 0},           {0, 255, 0, 144, 54, 34, 0, 253, 0},
    {0, 0, 255, 40, 239, 110, 0, 0, 251},          {128, 128, 128, 126, 128, 128, 127, 127, 127},
};

// An RGB24 image filled with one colour.
std::vector<uint8_t> solid(uint32_t w, uint32_t h, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> img(static_cast<size_t>(w) * h * 3);
  for (size_t i = 0; i < img.size(); i += 3) {
    img[i] = b;
    img[i + 1] = g;
    img[i + 2] = r;
  }
  return img;
}

class Colour : public test::LevelTest {};

// The public entry points follow a mask set after their first use.
TEST(ColourDispatch, FollowsTheMaskInForce) {
  const uint32_t w = 32, h = 4;
  const auto rgb = std::vector<uint8_t>(w * h * 3, 77);
  std::vector<uint8_t> yuv(w * h * 3 / 2);
  RgbToYuv420(yuv.data(), yuv.data() + w * h, yuv.data() + w * h + w * h / 4, rgb.data(), w, h, w);
  cpuSetMask(0);
  EXPECT_EQ(colourKernels().rgbToYuv420, &RgbToYuv420C);
  cpuSetMask(kCpuAllFlags);
  EXPECT_EQ(colourKernels().rgbToYuv420, makeColourKernels(cpuDetect()).rgbToYuv420);
}

TEST_P(Colour, TableOfColoursAsBlocks) {
  const ColourKernels k = makeColourKernels(flags_);
  for (const auto& c : kTable) {
    SCOPED_TRACE(testing::Message() << int(c.r) << "," << int(c.g) << "," << int(c.b));
    // 2x2 is the block itself; 32x4 reaches the vector bodies.
    for (const auto [w, h] : {std::array<uint32_t, 2>{2, 2}, {32, 4}}) {
      const auto rgb = solid(w, h, c.r, c.g, c.b);
      std::vector<uint8_t> yuv(w * h * 3 / 2, 0xCD);
      k.rgbToYuv420(yuv.data(), yuv.data() + w * h + w * h / 4, yuv.data() + w * h, rgb.data(), w,
                    h, w);
      for (uint32_t i = 0; i < w * h; ++i) ASSERT_EQ(yuv[i], c.y);
      for (uint32_t i = 0; i < w * h / 4; ++i) {
        ASSERT_EQ(yuv[w * h + i], c.v);
        ASSERT_EQ(yuv[w * h + w * h / 4 + i], c.u);
      }
    }
    const uint32_t w = 8, h = 2;
    const std::vector<uint8_t> y(w * h, c.y), u(w / 2, c.u), v(w / 2, c.v);
    std::vector<uint8_t> out(w * h * 3, 0xCD);
    k.yuv420ToRgb(y.data(), u.data(), v.data(), w, h, w, w / 2, out.data(), w * 3);
    EXPECT_EQ(out, solid(w, h, c.rBack, c.gBack, c.bBack));
  }
}

TEST_P(Colour, FourColoursShareOneChromaSample) {
  // Memory row 0 (picture row 1): red, green; memory row 1 (picture row 0): red, blue.
  const uint8_t rgb[12] = {0, 0, 255, 0, 255, 0, 0, 0, 255, 255, 0, 0};
  uint8_t yuv[6] = {};
  makeColourKernels(flags_).rgbToYuv420(yuv, yuv + 5, yuv + 4, rgb, 2, 2, 2);
  EXPECT_EQ(yuv[0], 81);
  EXPECT_EQ(yuv[1], 40);
  EXPECT_EQ(yuv[2], 81);
  EXPECT_EQ(yuv[3], 144);
  // Sums R 510, G 255, B 255: U = 128 + floor(-9690 / 1024) = 118 (floors, not
  // truncates), V = 128 + floor(28560 / 1024) = 155.
  EXPECT_EQ(yuv[5], 118);
  EXPECT_EQ(yuv[4], 155);
}

TEST_P(Colour, LumaBelowSixteenIsBlackAndBrightBlueSaturates) {
  const ColourKernels k = makeColourKernels(flags_);
  const uint32_t w = 16, h = 2;
  for (int luma = 0; luma <= 16; ++luma) {
    std::vector<uint8_t> y(w * h, static_cast<uint8_t>(luma)), c(w / 2, 128);
    std::vector<uint8_t> out(w * h * 3, 0xCD);
    k.yuv420ToRgb(y.data(), c.data(), c.data(), w, h, w, w / 2, out.data(), w * 3);
    EXPECT_EQ(out, std::vector<uint8_t>(w * h * 3, 0)) << "Y=" << luma;
  }
  std::vector<uint8_t> y(w * h, 255), u(w / 2, 255), v(w / 2, 128);
  std::vector<uint8_t> out(w * h * 3, 0xCD);
  k.yuv420ToRgb(y.data(), u.data(), v.data(), w, h, w, w / 2, out.data(), w * 3);
  EXPECT_EQ(out, solid(w, h, 255, 226, 255));
}

// Picture row r of a bottom-up image is memory row h-1-r; with the pipeline's
// arguments luma row 0 lands in the highest row in memory.
TEST_P(Colour, RowPlacementAndRoundTrip) {
  const uint32_t w = 16, h = 8;
  std::vector<uint8_t> rgb(w * h * 3);
  // Memory row m is grey level 20*m + 10; every row differs from the others.
  for (uint32_t m = 0; m < h; ++m)
    std::memset(rgb.data() + m * w * 3, static_cast<int>(20 * m + 10), w * 3);
  const ColourKernels k = makeColourKernels(flags_);
  std::vector<uint8_t> yuv(w * h * 3 / 2);
  k.rgbToYuv420(yuv.data(), yuv.data() + w * h + w * h / 4, yuv.data() + w * h, rgb.data(), w, h,
                w);
  for (uint32_t r = 0; r < h; ++r) {
    const int grey = static_cast<int>(20 * (h - 1 - r) + 10);
    EXPECT_EQ(yuv[r * w], 16 + ((220 * grey) >> 8)) << "luma row " << r;
  }
  std::vector<uint8_t> back(w * h * 3, 0xCD);
  k.yuv420ToRgb(yuv.data(), yuv.data() + w * h + w * h / 4, yuv.data() + w * h, w, h, w, w / 2,
                back.data() + w * 3 * (h - 1), -static_cast<ptrdiff_t>(w * 3));
  for (uint32_t m = 0; m < h; ++m) {
    const int grey = static_cast<int>(20 * m + 10);
    // Grey survives the round trip to within the scale error of the equations.
    for (uint32_t i = 0; i < w * 3; ++i)
      ASSERT_NEAR(back[m * w * 3 + i], grey, 3) << "memory row " << m;
  }
}

TEST_P(Colour, LumaStrideLeavesGapsUntouched) {
  const uint32_t w = 32, h = 4, stride = 48;
  auto rng = test::seededRng(1234);
  std::vector<uint8_t> rgb(w * h * 3);
  test::fillRandom(rgb.data(), rgb.size(), rng);
  std::vector<uint8_t> ref(w * h * 3 / 2);
  RgbToYuv420C(ref.data(), ref.data() + w * h + w * h / 4, ref.data() + w * h, rgb.data(), w, h, w);
  GuardedBuffer y(stride * h), u(stride / 2 * h / 2), v(stride / 2 * h / 2);
  makeColourKernels(flags_).rgbToYuv420(y.data(), u.data(), v.data(), rgb.data(), w, h, stride);
  EXPECT_TRUE(y.guardsIntact() && u.guardsIntact() && v.guardsIntact());
  for (uint32_t r = 0; r < h; ++r) {
    EXPECT_EQ(0, std::memcmp(y.data() + r * stride, ref.data() + r * w, w));
    for (uint32_t x = w; x < stride; ++x) EXPECT_EQ(y.data()[r * stride + x], 0xCD);
  }
  for (uint32_t r = 0; r < h / 2; ++r) {
    EXPECT_EQ(0, std::memcmp(v.data() + r * stride / 2, ref.data() + w * h + r * w / 2, w / 2));
    EXPECT_EQ(0, std::memcmp(u.data() + r * stride / 2, ref.data() + w * h + w * h / 4 + r * w / 2,
                             w / 2));
    for (uint32_t x = w / 2; x < stride / 2; ++x) {
      EXPECT_EQ(u.data()[r * stride / 2 + x], 0xCD);
      EXPECT_EQ(v.data()[r * stride / 2 + x], 0xCD);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, Colour, WDI_ALL_KERNEL_LEVELS, test::levelName);

}  // namespace
}  // namespace wdi
