// Block distance and window scan kernels: every instruction set against the definition.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/kernel_levels.h"
#include "engine/kernels.h"
#include "engine/motion_kernels.h"
#include "engine/motion_model.h"
#include "platform/cpu.h"
#include "support/guarded_buffer.h"

namespace wdi {
namespace {

using test::fillRandom;
using test::modelDistance;
using test::seededRng;

class MotionKernelLevel : public ::testing::TestWithParam<KernelLevel> {
 protected:
  void SetUp() override {
    uint32_t flags = 0;
    if (!test::levelFlags(GetParam(), &flags)) GTEST_SKIP() << test::missingLevel(GetParam());
    kernels = makeEngineKernels(flags);
  }
  EngineKernels kernels{};
};

struct Shape {
  const char* name;
  int rows;
  int cols;
};
constexpr Shape kReduced{"reduced", 4, 8};
constexpr Shape kField{"field", 8, 16};

uint32_t callDistance(const EngineKernels& k, const Shape& s, const uint8_t* a, const uint8_t* b,
                      uint32_t limit, ptrdiff_t stride) {
  return s.rows == 4 ? k.reducedBlockDistance(a, b, limit, stride)
                     : k.fieldBlockDistance(a, b, limit, stride);
}

// Checks one pair of blocks against every interesting limit. The scalar kernel is the
// definition (stop after the first row that reaches the limit); SIMD kernels only have to
// keep the contract: the full sum below the limit, a value >= limit otherwise.
void checkLimits(const EngineKernels& k, bool scalar, const Shape& s, const uint8_t* a,
                 const uint8_t* b, ptrdiff_t stride, std::mt19937& rng) {
  const uint32_t full = modelDistance(a, b, s.rows, s.cols, stride, UINT32_MAX);
  std::vector<uint32_t> limits = {
      0u,       1u,        2u,          full,        full + 1,   2097152u,
      8388608u, 16777216u, 0x7FFFFFFFu, 0x80000000u, UINT32_MAX, uint32_t(rng() % (full + 2))};
  if (full > 0) limits.push_back(full - 1);
  for (uint32_t limit : limits) {
    const uint32_t got = callDistance(k, s, a, b, limit, stride);
    SCOPED_TRACE(testing::Message()
                 << s.name << " stride " << stride << " limit " << limit << " full " << full);
    if (scalar) {
      EXPECT_EQ(got, modelDistance(a, b, s.rows, s.cols, stride, limit));
    } else if (full >= limit) {
      EXPECT_GE(got, limit);
    } else {
      EXPECT_EQ(got, full);
    }
  }
}

TEST_P(MotionKernelLevel, DistancesKeepTheEarlyStopContract) {
  auto rng = seededRng(20261207);
  const bool scalar = GetParam().needs == 0;
  for (const Shape& s : {kReduced, kField}) {
    for (ptrdiff_t stride : {ptrdiff_t(s.cols), ptrdiff_t(s.cols) + 1, ptrdiff_t(33), ptrdiff_t(64),
                             ptrdiff_t(2 * 720)}) {
      // Exactly the bytes a block touches, so a sanitizer sees any read past them.
      const size_t bytes = size_t((s.rows - 1) * stride + s.cols);
      std::vector<uint8_t> a(bytes), b(bytes);
      for (int trial = 0; trial < 40; ++trial) {
        fillRandom(a.data(), bytes, rng);
        fillRandom(b.data(), bytes, rng);
        if (trial % 4 == 1) {  // close blocks: small sums, stops late or never
          for (size_t j = 0; j < bytes; ++j) b[j] = uint8_t(a[j] ^ (rng() & 3));
        }
        checkLimits(kernels, scalar, s, a.data(), b.data(), stride, rng);
      }
      // Extremes: the largest distance, and identical blocks.
      std::fill(a.begin(), a.end(), 0);
      std::fill(b.begin(), b.end(), 255);
      EXPECT_EQ(callDistance(kernels, s, a.data(), b.data(), UINT32_MAX, stride),
                uint32_t(s.rows * s.cols * 255 * 255));
      EXPECT_EQ(callDistance(kernels, s, b.data(), a.data(), UINT32_MAX, stride),
                uint32_t(s.rows * s.cols * 255 * 255));
      checkLimits(kernels, scalar, s, a.data(), b.data(), stride, rng);
      EXPECT_EQ(callDistance(kernels, s, a.data(), a.data(), 1, stride), 0u);
      // Alternating rows of 0 and 255 against all 255.
      for (int r = 0; r < s.rows; ++r)
        std::fill_n(a.begin() + r * stride, s.cols, uint8_t(r % 2 ? 255 : 0));
      checkLimits(kernels, scalar, s, a.data(), b.data(), stride, rng);
    }
  }
}

TEST_P(MotionKernelLevel, DistanceExamples) {
  const ptrdiff_t stride = 64;
  std::vector<uint8_t> a(8 * stride, 10), b(8 * stride, 13), c(8 * stride, 11);
  EXPECT_EQ(kernels.fieldBlockDistance(a.data(), b.data(), UINT32_MAX, stride), 1152u);
  EXPECT_EQ(kernels.fieldBlockDistance(a.data(), c.data(), 200, stride), 128u);
  const uint32_t stopped = kernels.fieldBlockDistance(a.data(), c.data(), 100, stride);
  if (GetParam().needs == 0) {
    EXPECT_EQ(stopped, 112u);  // seven rows of 16
  } else {
    EXPECT_GE(stopped, 100u);
  }
  EXPECT_EQ(kernels.reducedBlockDistance(a.data(), b.data(), UINT32_MAX, stride), 288u);
}

TEST_P(MotionKernelLevel, ReducedImageTakesEverySecondPixelOfEveryFourthRow) {
  auto rng = seededRng(7);
  for (uint32_t w : {16u, 32u, 48u, 64u, 720u}) {
    for (uint32_t h : {16u, 32u, 48u}) {
      std::vector<uint8_t> luma(size_t(w) * h);
      fillRandom(luma.data(), luma.size(), rng);
      const size_t n = size_t(w / 2) * (h / 4);
      test::GuardedBuffer out(n);
      kernels.buildReducedImage(out.data(), luma.data(), w, h);
      const std::vector<uint8_t> want = test::modelReduced(luma.data(), w, h);
      EXPECT_EQ(0, std::memcmp(out.data(), want.data(), n)) << w << "x" << h;
      EXPECT_TRUE(out.guardsIntact()) << w << "x" << h;
    }
  }
}

// A window scan with the model's loop and distance.
SearchResult modelScan(const Shape& s, const SearchWindow& w, SearchResult r) {
  for (int64_t y = w.yFirst; y <= w.yLast; y += w.yStep)
    for (int64_t x = w.xFirst; x <= w.xLast; ++x) {
      const uint32_t d = modelDistance(w.plane + y * w.planeStride + x, w.reference, s.rows, s.cols,
                                       w.blockStride, r.best);
      if (d < r.best) r = {d, int32_t(x), int32_t(y)};
    }
  return r;
}

TEST_P(MotionKernelLevel, WindowScansChooseTheModelsCandidate) {
  auto rng = seededRng(99);
  // 160 columns: windows of up to 145 candidates a row.
  for (const int64_t w : {int64_t{80}, int64_t{160}}) {
    const int64_t h = 48;
    std::vector<uint8_t> plane(size_t(w * h));
    std::vector<uint8_t> ref(size_t(w * h));
    for (int pattern = 0; pattern < 5; ++pattern) {
      if (pattern == 0) {  // noise: one clear winner at most
        fillRandom(plane.data(), plane.size(), rng);
      } else if (pattern == 1) {  // flat: every candidate ties
        std::fill(plane.begin(), plane.end(), uint8_t(rng()));
      } else if (pattern == 2) {  // period 4 across: ties four columns apart
        for (size_t j = 0; j < plane.size(); ++j) plane[j] = uint8_t((j % 4) * 60);
      } else {  // smooth: close matches, late or no early stops
        plane = test::movingTexture(w, h, 3, 2, rng);
      }
      fillRandom(ref.data(), ref.size(), rng);
      if (pattern == 4) {
        // The plane plus 3 everywhere: a candidate's sum of absolute differences squared is
        // exactly (samples) times its distance (9 per sample), the edge of any bound from it.
        for (size_t j = 0; j < plane.size(); ++j) {
          plane[j] = uint8_t(plane[j] % 200);
          ref[j] = uint8_t(plane[j] + 3);
        }
      }
      for (const Shape& s : {kReduced, kField}) {
        const int64_t blockStride = s.rows == 4 ? w : 2 * w;
        const int64_t maxX = w - s.cols, maxY = h - 1 - (s.rows - 1) * blockStride / w;
        for (int trial = 0; trial < 60; ++trial) {
          // Reference: a block of the plane itself (exact matches and ties) or of `ref` (always
          // with pattern 4).
          const uint8_t* base = trial % 2 && pattern != 4 ? plane.data() : ref.data();
          const uint8_t* reference = base + (rng() % (maxY + 1)) * w + rng() % (maxX + 1);
          SearchWindow win{plane.data(),         w, reference, blockStride, 0, 0, 0, 0,
                           1 + (trial % 3 == 0), 0, 0};
          win.xFirst = int32_t(rng() % (maxX + 1));
          win.xLast = int32_t(rng() % (maxX + 1));
          win.yFirst = int32_t(rng() % (maxY + 1));
          win.yLast = int32_t(rng() % (maxY + 1));
          if (trial % 5 != 0) {  // mostly non-empty
            if (win.xFirst > win.xLast) std::swap(win.xFirst, win.xLast);
            if (win.yFirst > win.yLast) std::swap(win.yFirst, win.yLast);
          }
          // A hint inside the window, on or off its row grid, or outside.
          win.hintX = int32_t(rng() % (maxX + 3)) - 1;
          win.hintY = int32_t(rng() % (maxY + 3)) - 1;
          if (trial % 3 == 1 && win.xFirst <= win.xLast && win.yFirst <= win.yLast) {
            win.hintX = win.xFirst + int32_t(rng() % uint32_t(win.xLast - win.xFirst + 1));
            win.hintY = win.yFirst;
          }
          // With pattern 4: exactly the offset's distance, and one more.
          const uint32_t exact = 9u * s.rows * s.cols;
          const uint32_t starts[] = {2097152u, 8388608u, 16777216u, 0u,
                                     1u,       5000u,    exact,     exact + 1};
          const SearchResult start{starts[trial % 8], -7, -9};
          SearchResult got = start;
          if (s.rows == 4)
            kernels.searchReducedBlocks(win, got);
          else
            kernels.searchFieldBlocks(win, got);
          const SearchResult want = modelScan(s, win, start);
          EXPECT_EQ(got.best, want.best) << s.name << " pattern " << pattern << " trial " << trial;
          EXPECT_EQ(got.x, want.x) << s.name << " pattern " << pattern << " trial " << trial;
          EXPECT_EQ(got.y, want.y) << s.name << " pattern " << pattern << " trial " << trial;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, MotionKernelLevel, WDI_ALL_KERNEL_LEVELS, test::levelName);

}  // namespace
}  // namespace wdi
