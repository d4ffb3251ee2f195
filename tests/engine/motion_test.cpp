// Method 4: coarse and fine search, the neighbour rule, the row copy, and whole frames
// against the model on every kernel level.
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

// Method 4 after the detection and interpolation: what process() runs on the frame that
// `rig.dst`, `interlaceMap` and `blockInterlaceCounts` hold.
void searchFrame(Rig& rig, const DeinterlaceParameters& p) {
  MEDeinterlacer& engine = rig.engine;
  engine.params = p;
  const EngineKernels& k = engine.kernels();
  k.buildReducedImage(engine.srcReduced.get(), engine.srcY, engine.width, engine.height);
  k.buildReducedImage(engine.dstReduced.get(), engine.dstY, engine.width, engine.height);
  std::memset(engine.blockMotion.get(), 0, sizeof(BlockMotion) * engine.blockCount);
  for (uint32_t i = 0; i < engine.blockCount; ++i)
    if (engine.blockInterlaceCounts[i] > 32) engine.estimateBlockMotion(i, p.searchArea);
}

// The source luma as a moving texture, the destination luma as its "interpolation": odd
// rows copied, even rows the mean of the odd rows around them.
void fillFrames(Rig& rig, int mx, int my, std::mt19937& rng) {
  const uint32_t w = rig.engine.width, h = rig.engine.height;
  const std::vector<uint8_t> luma = test::movingTexture(w, h, mx, my, rng);
  std::copy(luma.begin(), luma.end(), rig.src.begin());
  fillRandom(rig.src.data() + luma.size(), rig.src.size() - luma.size(), rng);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      const uint8_t* s = rig.src.data();
      const uint32_t up = y == 0 ? 1 : y - 1, down = y + 1 < h ? y + 1 : h - 1;
      rig.dst[y * w + x] =
          y % 2 ? s[y * w + x] : uint8_t((s[up * w + x] + s[down * w + x] + 1) / 2);
    }
}

class Method4Level : public ::testing::TestWithParam<test::KernelLevel> {};

TEST_P(Method4Level, CoarseSearchRecordsScaledOffsetAndDistance) {
  Rig rig(GetParam(), 64, 64);
  if (!rig.ok) GTEST_SKIP() << test::missingLevel(GetParam());
  auto rng = seededRng(11);
  MEDeinterlacer& e = rig.engine;
  const uint32_t rw = e.reducedWidth;
  // Block 5 sits at reduced (8, 4); its reference is the source block at offset (-3, 2),
  // plus one in every sample: reduced distance 32.
  for (uint32_t j = 0; j < e.lumaSize / 8; ++j) e.srcReduced[j] = uint8_t(rng() % 200);
  std::memcpy(e.dstReduced.get(), e.srcReduced.get(), e.lumaSize / 8);
  for (uint32_t r = 0; r < 4; ++r)
    for (uint32_t c = 0; c < 8; ++c)
      e.dstReduced[(4 + r) * rw + 8 + c] = uint8_t(e.srcReduced[(6 + r) * rw + 5 + c] + 1);
  e.coarseSearch(5, 8, 4);
  EXPECT_EQ(e.blockMotion[5].dx, -6);
  EXPECT_EQ(e.blockMotion[5].dy, 8);
  EXPECT_EQ(e.blockMotion[5].distance, 128u);

  // Negative radii: no candidate, the starting best scaled, the zero vector.
  e.coarseSearch(5, -1, 3);
  EXPECT_EQ(e.blockMotion[5].distance, 8388608u);
  EXPECT_EQ(e.blockMotion[5].dx, 0);
  EXPECT_EQ(e.blockMotion[5].dy, 0);
  e.coarseSearch(5, INT32_MIN, INT32_MIN);
  EXPECT_EQ(e.blockMotion[5].distance, 8388608u);

  // All candidates equal: the first one in scan order, clipped at the top-left corner.
  std::memset(e.srcReduced.get(), 9, e.lumaSize / 8);
  e.coarseSearch(5, 8, 4);
  EXPECT_EQ(e.blockMotion[5].dx, -16);
  EXPECT_EQ(e.blockMotion[5].dy, -16);
  e.coarseSearch(5, INT32_MAX, INT32_MAX);  // the whole reduced image, no wrap
  EXPECT_EQ(e.blockMotion[5].dx, -16);
  EXPECT_EQ(e.blockMotion[5].dy, -16);
}

TEST_P(Method4Level, FineSearchRefinesFromTheRecordedVector) {
  Rig rig(GetParam(), 64, 64);
  if (!rig.ok) GTEST_SKIP() << test::missingLevel(GetParam());
  auto rng = seededRng(12);
  fillRandom(rig.src.data(), rig.src.size(), rng);
  fillRandom(rig.dst.data(), rig.dst.size(), rng);
  MEDeinterlacer& e = rig.engine;
  // Block 5 at (16, 16): its field block equals the source's at (16 + 7, 16 - 6).
  for (int k = 0; k < 8; ++k)
    std::memcpy(&rig.dst[(16 + 2 * k) * 64 + 16], &rig.src[(10 + 2 * k) * 64 + 23], 16);
  e.blockMotion[5] = {77, 6, -4};
  e.fineSearch(5, 2, 2);
  EXPECT_EQ(e.blockMotion[5].distance, 0u);
  EXPECT_EQ(e.blockMotion[5].dx, 7);
  EXPECT_EQ(e.blockMotion[5].dy, -6);
  // Out of reach: the best of the window, never the exact match.
  e.blockMotion[5] = {77, 0, 0};
  e.fineSearch(5, 4, 4);
  EXPECT_GT(e.blockMotion[5].distance, 0u);
  // An empty window keeps the vector and leaves the starting best.
  e.blockMotion[5] = {77, 6, -4};
  e.fineSearch(5, -3, -3);
  EXPECT_EQ(e.blockMotion[5].distance, 8388608u);
  EXPECT_EQ(e.blockMotion[5].dx, 6);
  EXPECT_EQ(e.blockMotion[5].dy, -4);
  // A radius near 2^31 searches the whole frame without wrapping.
  e.blockMotion[5] = {77, 0, 0};
  e.fineSearch(5, INT32_MAX, INT32_MAX);
  EXPECT_EQ(e.blockMotion[5].distance, 0u);
  EXPECT_EQ(e.blockMotion[5].dx, 7);
  EXPECT_EQ(e.blockMotion[5].dy, -6);
}

// Block 9 of a 64x64 frame sits at (16, 32); its field block is planted in the source at
// (16 + matchDx, 32). Returns the chosen horizontal vector after the estimation with the
// given neighbour records.
int32_t estimateWithNeighbours(Rig& rig, int32_t area, int matchDx, BlockMotion l, BlockMotion u,
                               BlockMotion ul) {
  auto rng = seededRng(13);
  fillRandom(rig.src.data(), rig.src.size(), rng);
  fillRandom(rig.dst.data(), rig.dst.size(), rng);
  MEDeinterlacer& e = rig.engine;
  for (int k = 0; k < 8; ++k)
    std::memcpy(&rig.dst[(32 + 2 * k) * 64 + 16], &rig.src[(32 + 2 * k) * 64 + 16 + matchDx], 16);
  e.params = kDefaultParameters;
  const EngineKernels& kk = e.kernels();
  kk.buildReducedImage(e.srcReduced.get(), e.srcY, 64, 64);
  kk.buildReducedImage(e.dstReduced.get(), e.dstY, 64, 64);
  e.blockMotion[8] = l;
  e.blockMotion[5] = u;
  e.blockMotion[4] = ul;
  e.estimateBlockMotion(9, area);
  return e.blockMotion[9].distance == 0 ? e.blockMotion[9].dx : -1000;
}

TEST_P(Method4Level, NeighbourRuleNarrowsTheArea) {
  Rig rig(GetParam(), 64, 64);
  if (!rig.ok) GTEST_SKIP() << test::missingLevel(GetParam());
  // Match 12 pixels to the right: inside the default area, outside the narrowed one.
  EXPECT_EQ(estimateWithNeighbours(rig, 16, 12, {100, 2, 0}, {100, 0, 4}, {100, 2, 4}), -1000);
  EXPECT_EQ(estimateWithNeighbours(rig, 16, 12, {100, 2, 0}, {100, 0, 4}, {100, 4, 4}), -1000);
  EXPECT_EQ(estimateWithNeighbours(rig, 16, 12, {100, 2, 0}, {100, 0, 4}, {100, 4, 6}), 12);
  // A neighbour that was not searched (distance 0) or not replaced prevents the narrowing.
  EXPECT_EQ(estimateWithNeighbours(rig, 16, 12, {0, 0, 0}, {100, 0, 0}, {100, 0, 0}), 12);
  EXPECT_EQ(estimateWithNeighbours(rig, 16, 12, {8192, 0, 0}, {100, 0, 0}, {100, 0, 0}), 12);
  // Huge neighbour vectors must not wrap into "little motion".
  EXPECT_EQ(estimateWithNeighbours(rig, 16, 12, {100, 0x8000, 0x8000}, {100, 0x8000, 0x8000},
                                   {100, 0x8000, 0x8000}),
            12);
  // Narrowing widens a smaller area to 4.
  EXPECT_EQ(estimateWithNeighbours(rig, 0, 4, {100, 0, 0}, {100, 0, 0}, {100, 0, 0}), 4);
  EXPECT_EQ(estimateWithNeighbours(rig, 0, 4, {100, 8, 0}, {100, 0, 0}, {100, 0, 0}), -1000);
}

TEST_P(Method4Level, CopiesTheMatchedEvenRowsOnly) {
  Rig rig(GetParam(), 64, 64);
  if (!rig.ok) GTEST_SKIP() << test::missingLevel(GetParam());
  estimateWithNeighbours(rig, 16, -6, {0, 0, 0}, {0, 0, 0}, {0, 0, 0});
  // The planted match was copied from itself: dst even rows of block 9 equal the source
  // rows at dx = -6, and nothing else changed. Re-plant with a twist to see a real copy.
  MEDeinterlacer& e = rig.engine;
  std::vector<uint8_t> before = rig.dst;
  for (int k = 0; k < 8; ++k) rig.dst[(32 + 2 * k) * 64 + 16] ^= 1;  // near, not equal
  std::vector<uint8_t> expect = rig.dst;
  for (int k = 0; k < 8; ++k)
    std::memcpy(&expect[(32 + 2 * k) * 64 + 16], &rig.src[(32 + 2 * k) * 64 + 10], 16);
  e.params = kDefaultParameters;
  e.kernels().buildReducedImage(e.dstReduced.get(), e.dstY, 64, 64);
  e.blockMotion[9] = {0, 0, 0};
  e.estimateBlockMotion(9, 16);
  EXPECT_EQ(e.blockMotion[9].distance, 8u);
  EXPECT_EQ(e.blockMotion[9].dx, -6);
  EXPECT_EQ(e.blockMotion[9].dy, 0);
  EXPECT_EQ(rig.dst, expect);
  // Threshold 0: nothing is ever good enough, nothing is copied.
  rig.dst = before;
  for (int k = 0; k < 8; ++k) rig.dst[(32 + 2 * k) * 64 + 16] ^= 1;
  expect = rig.dst;
  e.params.blockDistanceThreshold = 0;
  e.estimateBlockMotion(9, 16);
  EXPECT_EQ(rig.dst, expect);
}

// Every frame size, area and threshold of interest against the model.
TEST_P(Method4Level, FramesMatchTheModel) {
  auto rng = seededRng(2026);
  const int32_t areas[] = {INT32_MIN, -1, 0, 1, 3, 4, 16, 17, INT32_MAX};
  const int32_t thresholds[] = {0, 1, 8192, 8388608, 8388609, 16777216, 16777217, INT32_MAX, -1};
  const uint32_t sizes[][2] = {{16, 16}, {32, 16}, {16, 32}, {48, 48}, {80, 48}};
  int copied = 0, narrowed = 0, moved = 0;
  for (const auto& size : sizes) {
    Rig rig(GetParam(), size[0], size[1]);
    if (!rig.ok) GTEST_SKIP() << test::missingLevel(GetParam());
    MEDeinterlacer& e = rig.engine;
    for (int32_t area : areas) {
      for (int32_t threshold : thresholds) {
        fillFrames(rig, int(rng() % 7) - 3, 2 * (int(rng() % 3) - 1), rng);
        const uint8_t countChoices[] = {0, 32, 33, 100, 128, 128};
        for (uint32_t i = 0; i < e.blockCount; ++i)
          e.blockInterlaceCounts[i] = countChoices[rng() % 6];
        std::vector<uint8_t> want(rig.dst.begin(), rig.dst.begin() + e.lumaSize);
        std::vector<BlockMotion> wantMotion;
        test::modelMethod4Search(rig.src.data(), want.data(), size[0], size[1],
                                 e.blockInterlaceCounts.get(), area, threshold, wantMotion);
        DeinterlaceParameters p = kDefaultParameters;
        p.searchArea = area;
        p.blockDistanceThreshold = threshold;
        SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1] << " area " << area
                                        << " threshold " << threshold);
        // Searches that keep only what decides a copy: the same rows and vectors.
        const std::vector<uint8_t> before = rig.dst;
        e.setCopiesOnly(true);
        searchFrame(rig, p);
        e.setCopiesOnly(false);
        ASSERT_EQ(0, std::memcmp(rig.dst.data(), want.data(), e.lumaSize));
        for (uint32_t i = 0; i < e.blockCount; ++i) {
          if (e.blockInterlaceCounts[i] <= 32 || wantMotion[i].distance >= uint32_t(threshold))
            continue;
          ASSERT_EQ(e.blockMotion[i].distance, wantMotion[i].distance) << "block " << i;
          ASSERT_EQ(e.blockMotion[i].dx, wantMotion[i].dx) << "block " << i;
          ASSERT_EQ(e.blockMotion[i].dy, wantMotion[i].dy) << "block " << i;
        }
        rig.dst = before;
        searchFrame(rig, p);
        ASSERT_EQ(0, std::memcmp(rig.dst.data(), want.data(), e.lumaSize));
        for (uint32_t i = 0; i < e.blockCount; ++i) {
          ASSERT_EQ(e.blockMotion[i].distance, wantMotion[i].distance) << "block " << i;
          ASSERT_EQ(e.blockMotion[i].dx, wantMotion[i].dx) << "block " << i;
          ASSERT_EQ(e.blockMotion[i].dy, wantMotion[i].dy) << "block " << i;
          const BlockMotion& m = e.blockMotion[i];
          if (e.blockInterlaceCounts[i] > 32 && m.distance < uint32_t(threshold)) ++copied;
          if (m.dx != 0 || m.dy != 0) ++moved;
        }
        if (area > 4 && area < 100) {
          for (uint32_t i = 0; i < e.blockCount; ++i) {
            const uint32_t bpr = e.blocksPerRow;
            if (i < bpr || i % bpr == 0 || e.blockInterlaceCounts[i] <= 32) continue;
            const auto good = [&](uint32_t j) {
              return e.blockMotion[j].distance != 0 &&
                     e.blockMotion[j].distance < uint32_t(threshold);
            };
            if (good(i - 1) && good(i - bpr) && good(i - bpr - 1)) ++narrowed;
          }
        }
      }
    }
  }
  // The content has to exercise what it checks.
  std::printf("copied %d, moved %d, narrowing candidates %d\n", copied, moved, narrowed);
  EXPECT_GT(copied, 200);
  EXPECT_GT(moved, 200);
  EXPECT_GT(narrowed, 20);
}

INSTANTIATE_TEST_SUITE_P(Levels, Method4Level, WDI_ALL_KERNEL_LEVELS, test::levelName);

}  // namespace
}  // namespace wdi
