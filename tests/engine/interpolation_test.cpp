// Field doubling and the interpolation kernels on hand-computed cases, at
// every kernel level.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/kernel_levels.h"
#include "engine/kernels.h"
#include "support/guarded_buffer.h"

namespace wdi {
namespace {

using test::GuardedBuffer;
using test::KernelLevel;

class Interpolation : public ::testing::TestWithParam<KernelLevel> {
 protected:
  void SetUp() override {
    uint32_t flags = 0;
    if (!test::levelFlags(GetParam(), &flags)) GTEST_SKIP() << test::missingLevel(GetParam());
    k_ = makeEngineKernels(flags);
  }

  // Luma cubic value of one pixel: a w x 16 plane whose column 0 holds p, a,
  // b, q in rows 5, 7, 9, 11; row 8 is interpolated.
  int cubicAt(int p, int a, int b, int q) {
    const uint32_t w = 16, h = 16;
    std::vector<uint8_t> src(w * h, 0), dst(w * h, 0), map(w * h, 0xFF);
    src[5 * w] = static_cast<uint8_t>(p);
    src[7 * w] = static_cast<uint8_t>(a);
    src[9 * w] = static_cast<uint8_t>(b);
    src[11 * w] = static_cast<uint8_t>(q);
    k_.interpolateLuma(dst.data(), src.data(), map.data(), w, h, 1);
    return dst[8 * w];
  }

  // Chroma result of one pixel with above a, own m, below b (8 x 8 planes, row 4).
  int chromaAt(int a, int m, int b, int all) {
    const int32_t w = 8, h = 8;
    std::vector<uint8_t> v(w * h, 0), u(w * h, 0), dv(w * h), du(w * h);
    v[3 * w] = static_cast<uint8_t>(a);
    v[4 * w] = static_cast<uint8_t>(m);
    v[5 * w] = static_cast<uint8_t>(b);
    k_.interpolateChroma(dv.data(), du.data(), v.data(), u.data(), w, h, all);
    return dv[4 * w];
  }

  EngineKernels k_{};
};

TEST_P(Interpolation, DoubleFieldsCopiesEachOddRowUp) {
  const uint32_t w = 16, h = 32;
  GuardedBuffer plane(w * h);
  auto rng = test::seededRng(7);
  test::fillRandom(plane.data(), w * h, rng);
  const std::vector<uint8_t> before(plane.data(), plane.data() + w * h);
  k_.doubleFields(plane.data(), w, h);
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* want = before.data() + (y | 1) * w;
    ASSERT_EQ(0, std::memcmp(plane.data() + y * w, want, w)) << "row " << y;
  }
  EXPECT_TRUE(plane.guardsIntact());
}

TEST_P(Interpolation, FlatOddRowsFillEveryEvenRow) {
  // Odd rows 100, even rows 0: averages, the copy and the cubic rule all give 100.
  const uint32_t w = 48, h = 32;
  std::vector<uint8_t> src(w * h), map(w * h, 0);
  for (uint32_t y = 0; y < h; ++y) std::memset(src.data() + y * w, (y & 1) != 0 ? 100 : 0, w);
  GuardedBuffer dst(w * h);
  k_.interpolateLuma(dst.data(), src.data(), map.data(), w, h, 1);
  for (uint32_t i = 0; i < w * h; ++i) ASSERT_EQ(100, dst.data()[i]) << i;
  EXPECT_TRUE(dst.guardsIntact());
}

TEST_P(Interpolation, CubicClampsAndTruncates) {
  EXPECT_EQ(255, cubicAt(0, 255, 255, 0));  // 2550 >> 3 = 318
  EXPECT_EQ(0, cubicAt(255, 0, 0, 255));
  EXPECT_EQ(1, cubicAt(0, 1, 2, 0));     // 15 >> 3
  EXPECT_EQ(0, cubicAt(10, 1, 0, 0));    // -5 clamps to 0 before the shift
  EXPECT_EQ(12, cubicAt(8, 10, 12, 4));  // (110 - 12) >> 3 = 98 >> 3
}

TEST_P(Interpolation, EmptyMaskRebuildsOnlyTheFixedRows) {
  const uint32_t w = 32, h = 32;
  std::vector<uint8_t> src(w * h), map(w * h, 0);
  auto rng = test::seededRng(8);
  test::fillRandom(src.data(), src.size(), rng);
  GuardedBuffer dst(w * h);
  k_.interpolateLuma(dst.data(), src.data(), map.data(), w, h, 0);
  const uint8_t* d = dst.data();
  for (uint32_t x = 0; x < w; ++x) {
    EXPECT_EQ(src[w + x], d[x]);
    EXPECT_EQ((src[w + x] + src[3 * w + x]) >> 1, d[2 * w + x]);
    EXPECT_EQ((src[(h - 1) * w + x] + src[(h - 3) * w + x]) >> 1, d[(h - 2) * w + x]);
  }
  for (uint32_t y = 1; y < h; ++y) {
    if (y == 2 || y == h - 2) continue;
    EXPECT_EQ(0, std::memcmp(d + y * w, src.data() + y * w, w)) << "row " << y;
  }
  EXPECT_TRUE(dst.guardsIntact());
}

TEST_P(Interpolation, SixteenRowPlaneUsesCubicOnRowsFourToTwelve) {
  const uint32_t w = 16, h = 16;
  // Odd row y holds y * y. The cubic of row y is then exactly y * y - 1 and
  // the average of its neighbours y * y + 1, so each row shows its rule.
  std::vector<uint8_t> src(w * h, 77), map(w * h, 0xFF);
  for (uint32_t y = 1; y < h; y += 2) std::memset(src.data() + y * w, static_cast<int>(y * y), w);
  std::vector<uint8_t> dst(w * h);
  k_.interpolateLuma(dst.data(), src.data(), map.data(), w, h, 0);
  EXPECT_EQ(1, dst[0]);
  EXPECT_EQ(5, dst[2 * w]);
  for (uint32_t y = 4; y <= 12; y += 2) EXPECT_EQ(y * y - 1, dst[y * w]) << y;
  EXPECT_EQ(197, dst[14 * w]);
}

TEST_P(Interpolation, MaskSelectsPerPixel) {
  const uint32_t w = 32, h = 16;
  std::vector<uint8_t> src(w * h), map(w * h, 0);
  for (uint32_t y = 0; y < h; ++y) std::memset(src.data() + y * w, (y & 1) != 0 ? 200 : 10, w);
  for (uint32_t x = 0; x < w; x += 3) map[8 * w + x] = 0xFF;
  std::vector<uint8_t> dst(w * h);
  k_.interpolateLuma(dst.data(), src.data(), map.data(), w, h, 0);
  for (uint32_t x = 0; x < w; ++x) EXPECT_EQ(x % 3 == 0 ? 200 : 10, dst[8 * w + x]) << x;
}

TEST_P(Interpolation, ChromaCombTest) {
  EXPECT_EQ(100, chromaAt(100, 140, 100, 0));  // P = 1600: combed, E = 100
  EXPECT_EQ(100, chromaAt(100, 100, 100, 0));
  EXPECT_EQ(140, chromaAt(100, 140, 160, 0));  // P = -800: kept
  EXPECT_EQ(191, chromaAt(0, 77, 255, 1));     // (0 + 765) >> 2
  EXPECT_EQ(0, chromaAt(255, 0, 255, 0));      // P = 65025 wraps to -511: kept
  // Q = 65025 wraps to -511, and -511 >>a 3 = -64, so R = 64: combed.
  EXPECT_EQ(191, chromaAt(0, 0, 255, 0));
  // P = 33000 wraps to -32536, Q >> 3 = 612: R saturates at -32768, kept.
  EXPECT_EQ(0, chromaAt(150, 0, 220, 0));
  // R >>a 1 must exceed 8: P = 18, Q >> 3 = 1 gives R = 17 (kept); P = 21,
  // Q >> 3 = 2 gives R = 19 (combed, E = (13 + 51) >> 2).
  EXPECT_EQ(10, chromaAt(13, 10, 16, 0));
  EXPECT_EQ(16, chromaAt(13, 10, 17, 0));
}

INSTANTIATE_TEST_SUITE_P(Levels, Interpolation, WDI_ALL_KERNEL_LEVELS, test::levelName);

}  // namespace
}  // namespace wdi
