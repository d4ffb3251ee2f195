// Comb detection on hand-built frames, at every kernel level.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <numeric>
#include <vector>

#include "engine/interpolation_kernels.h"
#include "engine/kernel_levels.h"
#include "engine/kernels.h"
#include "support/guarded_buffer.h"

namespace wdi {
namespace {

using test::KernelLevel;

// A luma plane followed by the row the scan reads after it.
struct Plane {
  Plane(uint32_t w, uint32_t h, uint8_t fill, uint8_t after)
      : width(w), height(h), bytes(static_cast<size_t>(w) * (h + 1), fill) {
    std::memset(bytes.data() + static_cast<size_t>(w) * h, after, w);
  }
  uint8_t& at(uint32_t x, uint32_t y) { return bytes[static_cast<size_t>(y) * width + x]; }
  // Even rows 0 and odd rows 255 inside the rectangle.
  void comb(uint32_t x0, uint32_t x1, uint32_t y0, uint32_t y1) {
    for (uint32_t y = y0; y < y1; ++y) {
      for (uint32_t x = x0; x < x1; ++x) at(x, y) = (y & 1) != 0 ? 255 : 0;
    }
  }
  uint32_t width;
  uint32_t height;
  std::vector<uint8_t> bytes;
};

struct Result {
  int interlaced = 0;
  std::vector<uint8_t> map;
  std::vector<uint8_t> counts;
  bool operator==(const Result& o) const {
    return interlaced == o.interlaced && map == o.map && counts == o.counts;
  }
};

// The map holding only the marks set before the scan.
std::vector<uint8_t> borderMarks(uint32_t w, uint32_t h) {
  std::vector<uint8_t> m(static_cast<size_t>(w) * h, 0);
  m[0] = 0xFF;
  for (uint32_t y = 0; y + 1 < h; ++y) std::memset(m.data() + y * w + w - 4, 0xFF, 4);
  std::memset(m.data() + (h - 1) * w + w - 4, 0xFF, 3);
  return m;
}

class Detection : public ::testing::TestWithParam<KernelLevel> {
 protected:
  void SetUp() override {
    uint32_t flags = 0;
    if (!test::levelFlags(GetParam(), &flags)) GTEST_SKIP() << test::missingLevel(GetParam());
    k_ = makeEngineKernels(flags);
  }
  Result detect(const Plane& p, int32_t threshold) {
    Result r;
    r.map.assign(static_cast<size_t>(p.width) * p.height, 0x33);
    r.counts.assign(static_cast<size_t>(p.width / 16) * (p.height / 16), 0x44);
    r.interlaced = k_.detectInterlace(r.map.data(), r.counts.data(), p.bytes.data(), p.width,
                                      p.height, threshold);
    return r;
  }
  EngineKernels k_{};
};

TEST_P(Detection, FlatFrameHasOnlyBorderMarks) {
  for (const int after : {0, 128, 255}) {
    const Plane p(64, 32, 128, static_cast<uint8_t>(after));
    const Result r = detect(p, 48);
    EXPECT_EQ(0, r.interlaced);
    EXPECT_EQ(borderMarks(64, 32), r.map);
    EXPECT_EQ(std::vector<uint8_t>(8, 0), r.counts);
  }
}

TEST_P(Detection, CombedAllOverReturnsEarly) {
  // Every smoothed value saturates and every flag is set: the total grows by 4
  // per marking step and the return comes at 516 (516 * 131072 > 2^26). The
  // step that crosses adds neither marks nor counts, so the counts hold 512.
  Plane p(64, 32, 0, 0);
  p.comb(0, 64, 0, 33);
  const Result r = detect(p, 48);
  EXPECT_EQ(1, r.interlaced);
  EXPECT_EQ(512, std::accumulate(r.counts.begin(), r.counts.end(), 0));
}

TEST_P(Detection, CombPatchMarksItsAreaAndCounts) {
  Plane p(64, 32, 128, 128);
  p.comb(16, 32, 16, 32);
  const Result r = detect(p, 48);
  EXPECT_EQ(0, r.interlaced);
  std::vector<uint8_t> want = borderMarks(64, 32);
  for (uint32_t y = 16; y <= 28; y += 2) std::memset(want.data() + y * 64 + 14, 0xFF, 20);
  EXPECT_EQ(want, r.map);
  const std::vector<uint8_t> counts = {0, 0, 0, 0, 0, 98, 28, 0};
  EXPECT_EQ(counts, r.counts);
}

TEST_P(Detection, RowTwoIsNeverMarked) {
  auto rng = test::seededRng(9);
  for (int trial = 0; trial < 20; ++trial) {
    Plane p(48, 32, 0, 0);
    test::fillRandom(p.bytes.data(), p.bytes.size(), rng);
    p.comb(0, 48, 0, 12);
    const Result r = detect(p, trial - 5);
    for (uint32_t x = 0; x + 4 < 48; ++x) ASSERT_EQ(0, r.map[2 * 48 + x]) << x;
  }
}

TEST_P(Detection, ThresholdKeepsTheLow16BitsOfItsHalf) {
  auto rng = test::seededRng(10);
  Plane p(80, 48, 0, 0);
  test::fillRandom(p.bytes.data(), p.bytes.size(), rng);
  // Smooth most of it so that the flags depend on the threshold.
  for (uint32_t y = 0; y <= 48; ++y) {
    for (uint32_t x = 0; x < 80; ++x) p.at(x, y) = static_cast<uint8_t>(p.at(x, y) / 16 + 100);
  }
  // Half the threshold rounded down: 0 and 1 give 0, -1 and -2 give -1
  // (4294967295 from the dialog is -1 here).
  EXPECT_EQ(detect(p, 0), detect(p, 1));
  EXPECT_EQ(detect(p, -1), detect(p, -2));
  EXPECT_FALSE(detect(p, 0) == detect(p, -1));
  EXPECT_EQ(detect(p, -3), detect(p, -4));      // -2
  EXPECT_EQ(detect(p, 0), detect(p, INT_MIN));  // -2^30: low bits 0
  EXPECT_EQ(detect(p, 96), detect(p, 2 * 65536 + 96));
  EXPECT_EQ(detect(p, -2), detect(p, 0x1FFFE));  // 0xFFFF reads as -1
  EXPECT_EQ(detect(p, -2), detect(p, INT_MAX));  // 0x3FFFFFFF: low bits 0xFFFF
  EXPECT_FALSE(detect(p, 0) == detect(p, 2));
  EXPECT_FALSE(detect(p, 0) == detect(p, -2));
}

TEST_P(Detection, NothingCarriesOverFromTheLastFrame) {
  Plane combed(64, 32, 128, 128);
  combed.comb(16, 32, 16, 32);
  const Plane flat(64, 32, 128, 128);
  std::vector<uint8_t> map(64 * 32), counts(8);
  k_.detectInterlace(map.data(), counts.data(), combed.bytes.data(), 64, 32, 48);
  k_.detectInterlace(map.data(), counts.data(), combed.bytes.data(), 64, 32, 48);
  EXPECT_EQ(98, counts[5]);
  EXPECT_EQ(0, k_.detectInterlace(map.data(), counts.data(), flat.bytes.data(), 64, 32, 48));
  EXPECT_EQ(borderMarks(64, 32), map);
  EXPECT_EQ(std::vector<uint8_t>(8, 0), counts);
}

TEST_P(Detection, SmallestFrames) {
  // 16 x 16, scale 2^20: three strips with five marking steps of four flags
  // each reach only 60, short of the 65 that would cross 2^26.
  Plane small(16, 16, 0, 0);
  small.comb(0, 16, 0, 17);
  Result r = detect(small, 48);
  EXPECT_EQ(0, r.interlaced);
  EXPECT_EQ(std::vector<uint8_t>{60}, r.counts);
  // 16 x 32, scale 2^19: the 33rd step brings 132 > 128.
  Plane tall(16, 32, 0, 0);
  tall.comb(0, 16, 0, 33);
  r = detect(tall, 48);
  EXPECT_EQ(1, r.interlaced);
  EXPECT_EQ(128, r.counts[0] + r.counts[1]);
}

INSTANTIATE_TEST_SUITE_P(Levels, Detection, WDI_ALL_KERNEL_LEVELS, test::levelName);

TEST(DetectionSetup, ScaleAndComparisonValue) {
  std::vector<uint8_t> map(1920 * 1088), counts(120 * 68);
  EXPECT_EQ(647, beginDetection(map.data(), counts.data(), 720, 576, 48).scale);
  EXPECT_EQ(131072, beginDetection(map.data(), counts.data(), 64, 32, 48).scale);
  EXPECT_EQ(1 << 20, beginDetection(map.data(), counts.data(), 16, 16, 48).scale);
  EXPECT_EQ(128, beginDetection(map.data(), counts.data(), 1920, 1088, 48).scale);
  EXPECT_EQ(24, beginDetection(map.data(), counts.data(), 64, 32, 48).compare);
  EXPECT_EQ(-1, beginDetection(map.data(), counts.data(), 64, 32, 0x1FFFF).compare);
  EXPECT_EQ(-4, beginDetection(map.data(), counts.data(), 64, 32, -7).compare);
  EXPECT_EQ(-1, beginDetection(map.data(), counts.data(), 64, 32, -1).compare);
  // For 720 x 576 the return comes once the total reaches 103724.
  EXPECT_LE(int64_t{103723} * 647, kDetectionLimit);
  EXPECT_GT(int64_t{103724} * 647, kDetectionLimit);
}

}  // namespace
}  // namespace wdi
