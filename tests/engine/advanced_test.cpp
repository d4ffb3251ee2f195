// Method 5: the full search, the in-place replacement and whole frames against the model
// on every kernel level.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/engine_rig.h"
#include "engine/me_deinterlacer.h"
#include "engine/motion_model.h"
#include "support/guarded_buffer.h"

namespace wdi {
namespace {

using test::fillRandom;
using test::Rig;
using test::seededRng;

// Replacement in place, pixel by pixel, as a plain loop over one buffer.
void modelReplace(std::vector<uint8_t>& plane, ptrdiff_t dst, ptrdiff_t cand, ptrdiff_t w,
                  uint32_t threshold) {
  for (ptrdiff_t k = 0; k < 8; ++k)
    for (ptrdiff_t j = 0; j < 16; ++j) {
      uint8_t& p = plane[size_t(dst + k * 2 * w + j)];
      const uint8_t q = plane[size_t(cand + k * 2 * w + j)];
      if (uint32_t(std::abs(p - q)) < threshold) p = q;
    }
}

TEST(ReplaceSimilarPixels, ThresholdsAndOverlap) {
  auto rng = seededRng(5);
  const uint32_t w = 64, h = 64;
  MEDeinterlacer e(0);
  e.init(w, h);
  // Destination block at (16, 16); candidates around and on top of it, in the same plane.
  const ptrdiff_t dst = 16 * w + 16;
  const ptrdiff_t cands[] = {dst + 1,         dst - 1,         dst + 2 * w, dst - 2 * w, dst + w,
                             dst - 2 * w - 1, dst + 2 * w + 3, dst,         40 * w + 40};
  const int32_t thresholds[] = {0, 1, 10, 255, 256, -1, INT32_MIN};
  for (ptrdiff_t cand : cands) {
    for (int32_t t : thresholds) {
      test::GuardedBuffer plane(size_t(w) * h);
      fillRandom(plane.data(), plane.size(), rng);
      if (t == 10) {  // mostly close values, so some pass and some do not
        for (size_t j = 0; j < plane.size(); ++j) plane.data()[j] = uint8_t(100 + rng() % 20);
      }
      std::vector<uint8_t> want(plane.data(), plane.data() + plane.size());
      modelReplace(want, dst, cand, w, uint32_t(t));
      e.replaceSimilarPixels(plane.data() + dst, plane.data() + cand, uint32_t(t));
      EXPECT_EQ(0, std::memcmp(plane.data(), want.data(), want.size()))
          << "candidate offset " << cand - dst << " threshold " << t;
      EXPECT_TRUE(plane.guardsIntact());
    }
  }
}

TEST(ReplaceSimilarPixels, ZeroKeepsEverythingAndLargeTakesEverything) {
  const uint32_t w = 32;
  MEDeinterlacer e(0);
  e.init(w, 32);
  std::vector<uint8_t> d(w * 32, 7), c(w * 32, 7);
  c[0] = 8;  // |7 - 8| = 1, not below 0
  e.replaceSimilarPixels(d.data(), c.data(), 0);
  EXPECT_EQ(d[0], 7);
  std::fill(c.begin(), c.end(), 255);
  std::fill(d.begin(), d.end(), 0);
  e.replaceSimilarPixels(d.data(), c.data(), 256);
  for (uint32_t k = 0; k < 16; ++k)
    for (uint32_t j = 0; j < 16; ++j) EXPECT_EQ(d[k * w + j], k % 2 ? 0 : 255) << k << "," << j;
  EXPECT_EQ(d[16], 0);  // column 16 is outside the block
}

class Method5Level : public ::testing::TestWithParam<test::KernelLevel> {};

// Block search of one block; the rest of the frame is noise.
BlockMotion searchOne(Rig& rig, uint32_t block, int32_t area, int plantX, int plantY) {
  auto rng = seededRng(21);
  MEDeinterlacer& e = rig.engine;
  fillRandom(rig.src.data(), rig.src.size(), rng);
  fillRandom(rig.dst.data(), rig.dst.size(), rng);
  const BlockPosition b = e.blockPositions[block];
  const uint32_t w = e.width;
  // Plant the block's even source rows at search plane position (plantX, plantY), that
  // is source rows plantY + 1, plantY + 3, ...
  for (int k = 0; k < 8; ++k)
    std::memmove(&rig.src[(plantY + 1 + 2 * k) * w + plantX], &rig.src[(b.y + 2 * k) * w + b.x],
                 16);
  std::memset(e.blockInterlaceCounts.get(), 0, e.blockCount);
  e.blockInterlaceCounts[block] = 33;
  e.params = kDefaultParameters;
  e.params.searchArea = area;
  e.searchAndReplaceAdvanced();
  return e.blockMotion[block];
}

TEST_P(Method5Level, WindowOfAnInteriorBlock) {
  Rig rig(GetParam(), 96, 96);
  if (!rig.ok) GTEST_SKIP() << test::missingLevel(GetParam());
  // Block 14 at (32, 32): columns 16 .. 47, rows 16, 18, .., 46.
  BlockMotion m = searchOne(rig, 14, 16, 47, 46);
  EXPECT_EQ(m.distance, 0u);
  EXPECT_EQ(m.dx, 15);
  EXPECT_EQ(m.dy, 14);
  m = searchOne(rig, 14, 16, 16, 16);
  EXPECT_EQ(m.distance, 0u);
  EXPECT_EQ(m.dx, -16);
  EXPECT_EQ(m.dy, -16);
  m = searchOne(rig, 14, 16, 48, 32);  // column bx + 16 is outside
  EXPECT_NE(m.distance, 0u);
  m = searchOne(rig, 14, 16, 32, 48);  // row by + 16 is outside
  EXPECT_NE(m.distance, 0u);
  // Search plane row 33 is source row 34, an even row: not a candidate with an even area.
  m = searchOne(rig, 14, 16, 16, 33);
  EXPECT_NE(m.distance, 0u);
  // With an odd area the windows start at an odd plane row, so the candidates are even
  // source rows, among them the block's own (plane row 31): an exact match before row 33.
  m = searchOne(rig, 14, 17, 15, 33);
  EXPECT_EQ(m.distance, 0u);
  EXPECT_EQ(m.dx, 0);
  EXPECT_EQ(m.dy, -1);
}

TEST_P(Method5Level, EmptyWindowsKeepTheStartingRecord) {
  Rig rig(GetParam(), 96, 96);
  if (!rig.ok) GTEST_SKIP() << test::missingLevel(GetParam());
  for (int32_t area : {0, -1, INT32_MIN}) {
    const BlockMotion m = searchOne(rig, 14, area, 0, 0);
    EXPECT_EQ(m.distance, 16777216u);
    EXPECT_EQ(m.dx, 0);
    EXPECT_EQ(m.dy, 0);
  }
  // The whole frame, without wrapping: x0 = y0 = 0 and the far edge excluded.
  const BlockMotion m = searchOne(rig, 14, INT32_MAX, 79, 78);
  EXPECT_EQ(m.distance, 0u);
  EXPECT_EQ(m.dx, 47);
  EXPECT_EQ(m.dy, 46);
  // The last block column never finds its own column.
  const BlockMotion last = searchOne(rig, 5, 16, 80, 0);
  EXPECT_NE(last.distance, 0u);
  EXPECT_LE(last.dx, -1);
}

TEST_P(Method5Level, FramesMatchTheModel) {
  auto rng = seededRng(5005);
  const int32_t areas[] = {INT32_MIN, -1, 0, 1, 3, 4, 16, 17, INT32_MAX};
  const int32_t thresholds[] = {0, 1, 8192, 8388608, 8388609, 16777216, 16777217, INT32_MAX, -1};
  const int32_t replacements[] = {-1, 0, 12, 256};
  const uint32_t sizes[][2] = {{16, 16}, {32, 16}, {16, 32}, {48, 48}, {80, 48}};
  int replacedBlocks = 0, changedPixels = 0;
  for (const auto& size : sizes) {
    Rig rig(GetParam(), size[0], size[1]);
    if (!rig.ok) GTEST_SKIP() << test::missingLevel(GetParam());
    MEDeinterlacer& e = rig.engine;
    const uint32_t w = size[0], h = size[1];
    for (int32_t area : areas) {
      for (int32_t threshold : thresholds) {
        for (int variant = 0; variant < 2; ++variant) {
          const std::vector<uint8_t> luma =
              test::movingTexture(w, h, int(rng() % 5) - 2, int(rng() % 5) - 2, rng);
          std::copy(luma.begin(), luma.end(), rig.src.begin());
          std::copy(luma.begin(), luma.end(), rig.dst.begin());
          for (uint32_t y = 0; y < h; y += 2)  // the "interpolated" even rows
            for (uint32_t x = 0; x < w; ++x) rig.dst[y * w + x] = uint8_t(luma[y * w + x] ^ 5);
          const uint8_t countChoices[] = {0, 32, 33, 100, 128, 128};
          for (uint32_t i = 0; i < e.blockCount; ++i)
            e.blockInterlaceCounts[i] = countChoices[rng() % 6];
          DeinterlaceParameters p = kDefaultParameters;
          p.method = 5;
          p.searchArea = area;
          p.blockDistanceThreshold = threshold;
          p.replacementThreshold = replacements[rng() % 4];
          p.searchOnInterpolated = uint8_t(variant);
          std::vector<uint8_t> want(rig.dst.begin(), rig.dst.begin() + e.lumaSize);
          std::vector<BlockMotion> wantMotion;
          test::modelAdvancedPasses(rig.src.data(), want.data(), w, h, e.blockInterlaceCounts.get(),
                                    p, wantMotion);
          const std::vector<uint8_t> before(rig.dst.begin(), rig.dst.begin() + e.lumaSize);
          e.params = p;
          SCOPED_TRACE(testing::Message() << w << "x" << h << " area " << area << " threshold "
                                          << threshold << " replacement " << p.replacementThreshold
                                          << " on interpolated " << variant);
          // Searches that keep only what decides a replacement: the same pixels.
          const std::vector<uint8_t> whole = rig.dst;
          e.setCopiesOnly(true);
          std::memset(e.blockMotion.get(), 0, sizeof(BlockMotion) * e.blockCount);
          e.searchAndReplaceAdvanced();
          e.setCopiesOnly(false);
          ASSERT_EQ(0, std::memcmp(rig.dst.data(), want.data(), e.lumaSize));
          rig.dst = whole;
          std::memset(e.blockMotion.get(), 0, sizeof(BlockMotion) * e.blockCount);
          e.searchAndReplaceAdvanced();
          ASSERT_EQ(0, std::memcmp(rig.dst.data(), want.data(), e.lumaSize));
          for (uint32_t i = 0; i < e.blockCount; ++i) {
            if (e.blockInterlaceCounts[i] <= 32) continue;  // not searched
            ASSERT_EQ(e.blockMotion[i].distance, wantMotion[i].distance) << "block " << i;
            ASSERT_EQ(e.blockMotion[i].dx, wantMotion[i].dx) << "block " << i;
            ASSERT_EQ(e.blockMotion[i].dy, wantMotion[i].dy) << "block " << i;
            if (wantMotion[i].distance < uint32_t(threshold)) ++replacedBlocks;
          }
          for (uint32_t j = 0; j < e.lumaSize; ++j) changedPixels += before[j] != rig.dst[j];
        }
      }
    }
  }
  std::printf("replaced blocks %d, changed pixels %d\n", replacedBlocks, changedPixels);
  EXPECT_GT(replacedBlocks, 200);
  EXPECT_GT(changedPixels, 5000);
}

INSTANTIATE_TEST_SUITE_P(Levels, Method5Level, WDI_ALL_KERNEL_LEVELS, test::levelName);

}  // namespace
}  // namespace wdi
