// The engine object: defaults, tables, parameters, dispatch of methods 0-3
// and their results at every kernel level.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/kernel_levels.h"
#include "engine/kernels.h"
#include "engine/me_deinterlacer.h"
#include "support/guarded_buffer.h"

namespace wdi {
namespace {

using test::KernelLevel;

size_t frameBytes(uint32_t w, uint32_t h) { return static_cast<size_t>(w) * h * 3 / 2; }

DeinterlaceParameters withMethod(int32_t method, uint8_t replaceOnly = 0) {
  DeinterlaceParameters p = kDefaultParameters;
  p.method = method;
  p.replaceOnlyInterlaced = replaceOnly;
  return p;
}

// Luma with a faint row structure (even 60, odd 62, below any threshold) and
// a saturating comb in columns 16..31, rows 16..31; chroma random.
std::vector<uint8_t> patchFrame(uint32_t w, uint32_t h) {
  std::vector<uint8_t> f(frameBytes(w, h));
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      uint8_t v = (y & 1) != 0 ? 62 : 60;
      if (x >= 16 && x < 32 && y >= 16 && y < 32) v = (y & 1) != 0 ? 255 : 0;
      f[y * w + x] = v;
    }
  }
  auto rng = test::seededRng(21);
  test::fillRandom(f.data() + w * h, f.size() - w * h, rng);
  return f;
}

// Moving detail: a smooth random texture whose odd rows are shifted inside
// a window (the moving object), so that only the window combs.
std::vector<uint8_t> movingFrame(uint32_t w, uint32_t h, uint32_t seed) {
  std::vector<uint8_t> f(frameBytes(w, h));
  auto rng = test::seededRng(seed);
  const uint32_t gw = w / 8 + 3, gh = h / 8 + 2;
  std::vector<uint8_t> grid(gw * gh);
  test::fillRandom(grid.data(), grid.size(), rng);
  auto texture = [&](uint32_t x, uint32_t y) {
    const uint32_t gx = x / 8, gy = y / 8, fx = x % 8, fy = y % 8;
    const uint32_t top = grid[gy * gw + gx] * (8 - fx) + grid[gy * gw + gx + 1] * fx;
    const uint32_t bottom = grid[(gy + 1) * gw + gx] * (8 - fx) + grid[(gy + 1) * gw + gx + 1] * fx;
    return static_cast<uint8_t>((top * (8 - fy) + bottom * fy) / 64);
  };
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      const bool moving = (y & 1) != 0 && y >= h / 3 && x >= w / 4 && x < 3 * w / 4;
      f[y * w + x] = texture(x + (moving ? 6 : 0), y);
    }
  }
  test::fillRandom(f.data() + w * h, f.size() - w * h, rng);
  return f;
}

TEST(Engine, ConstructorHoldsTheDefaults) {
  MEDeinterlacer e(0);
  EXPECT_EQ(0, std::memcmp(&e.params, &kDefaultParameters, sizeof(DeinterlaceParameters)));
  EXPECT_EQ(4, e.params.method);
  EXPECT_EQ(16, e.params.searchArea);
  EXPECT_EQ(48, e.params.detectionThreshold);
  EXPECT_EQ(8192, e.params.blockDistanceThreshold);
  EXPECT_EQ(nullptr, e.interlaceMap);
  EXPECT_EQ(nullptr, e.blockOffsets);
  EXPECT_EQ(nullptr, e.srcReduced);
}

TEST(Engine, TablesOfA64x32Frame) {
  MEDeinterlacer e(0);
  e.init(64, 32);
  EXPECT_EQ(4u, e.blocksPerRow);
  EXPECT_EQ(2u, e.blockRows);
  EXPECT_EQ(8u, e.blockCount);
  EXPECT_EQ(2048u, e.lumaSize);
  EXPECT_EQ(128, e.doubleStride);
  EXPECT_EQ(32u, e.reducedWidth);
  EXPECT_EQ(8u, e.reducedHeight);
  EXPECT_EQ(32, e.chromaWidth);
  EXPECT_EQ(16, e.chromaHeight);
  EXPECT_EQ(512, e.chromaSize);
  const int32_t offsets[] = {0, 16, 32, 48, 1024, 1040, 1056, 1072};
  const int32_t reduced[] = {0, 8, 16, 24, 128, 136, 144, 152};
  for (uint32_t i = 0; i < 8; ++i) {
    EXPECT_EQ(offsets[i], e.blockOffsets[i]) << i;
    EXPECT_EQ(reduced[i], e.reducedBlockOffsets[i]) << i;
    EXPECT_EQ(static_cast<int32_t>(16 * (i % 4)), e.blockPositions[i].x);
    EXPECT_EQ(static_cast<int32_t>(16 * (i / 4)), e.blockPositions[i].y);
    EXPECT_EQ(static_cast<int32_t>(8 * (i % 4)), e.reducedBlockPositions[i].x);
    EXPECT_EQ(static_cast<int32_t>(4 * (i / 4)), e.reducedBlockPositions[i].y);
  }
}

TEST(Engine, ReleaseIsSafeToRepeat) {
  MEDeinterlacer never(0);
  never.release();
  never.release();
  MEDeinterlacer e(0);
  e.init(32, 16);
  e.release();
  EXPECT_EQ(nullptr, e.interlaceMap);
  EXPECT_EQ(nullptr, e.blockMotion);
  e.release();
}

TEST(Engine, UnsizedEngineLeavesTheDestinationAlone) {
  // Processing before init (or after release) has no tables to work with.
  const std::vector<uint8_t> src(frameBytes(32, 16), 9);
  for (int32_t m = 0; m <= 5; ++m) {
    MEDeinterlacer e(0);
    std::vector<uint8_t> dst(src.size(), 0xEE);
    const DeinterlaceParameters p = withMethod(m);
    e.process(src.data(), dst.data(), &p);
    EXPECT_EQ(std::vector<uint8_t>(src.size(), 0xEE), dst) << m;
    e.init(32, 16);
    e.release();
    e.process(src.data(), dst.data(), &p);
    EXPECT_EQ(std::vector<uint8_t>(src.size(), 0xEE), dst) << m;
  }
}

TEST(Engine, SetFramePointsIntoBothFrames) {
  MEDeinterlacer e(0);
  e.init(64, 32);
  std::vector<uint8_t> src(frameBytes(64, 32)), dst(src.size());
  e.setFrame(src.data(), dst.data());
  EXPECT_EQ(src.data(), e.srcY);
  EXPECT_EQ(src.data() + 2048, e.srcV);
  EXPECT_EQ(src.data() + 2048 + 512, e.srcU);
  EXPECT_EQ(dst.data(), e.dstY);
  EXPECT_EQ(dst.data() + 2048, e.dstV);
  EXPECT_EQ(dst.data() + 2048 + 512, e.dstU);
}

TEST(Engine, NullParametersKeepThePreviousOnes) {
  const uint32_t w = 32, h = 16;
  const std::vector<uint8_t> src = movingFrame(w, h, 22);
  MEDeinterlacer e(0);
  e.init(w, h);
  std::vector<uint8_t> dst(src.size(), 0);
  e.process(src.data(), dst.data(), nullptr);
  EXPECT_EQ(0, std::memcmp(&e.params, &kDefaultParameters, sizeof(DeinterlaceParameters)));
  const DeinterlaceParameters p = withMethod(0);
  e.process(src.data(), dst.data(), &p);
  std::fill(dst.begin(), dst.end(), 0);
  e.process(src.data(), dst.data(), nullptr);  // still method 0: a copy
  EXPECT_EQ(src, dst);
}

TEST(Engine, UnknownMethodsLeaveTheDestination) {
  const uint32_t w = 32, h = 32;
  const std::vector<uint8_t> src = movingFrame(w, h, 23);
  MEDeinterlacer e(0);
  e.init(w, h);
  for (int32_t m : {6, -1, 100, INT32_MIN}) {
    std::vector<uint8_t> dst(src.size(), 0x3C);
    const DeinterlaceParameters p = withMethod(m);
    e.process(src.data(), dst.data(), &p);
    EXPECT_EQ(std::vector<uint8_t>(src.size(), 0x3C), dst) << m;
  }
}

class EngineLevel : public ::testing::TestWithParam<KernelLevel> {
 protected:
  void SetUp() override {
    if (!test::levelFlags(GetParam(), &flags_)) GTEST_SKIP() << test::missingLevel(GetParam());
  }
  // Runs one method on a fresh engine; dst starts as a sentinel.
  std::vector<uint8_t> run(const std::vector<uint8_t>& src, uint32_t w, uint32_t h,
                           const DeinterlaceParameters& p) {
    MEDeinterlacer e(flags_);
    e.init(w, h);
    std::vector<uint8_t> dst(src.size(), 0xCD);
    e.process(src.data(), dst.data(), &p);
    return dst;
  }
  uint32_t flags_ = 0;
};

TEST_P(EngineLevel, Method0Copies) {
  const std::vector<uint8_t> src = movingFrame(48, 32, 24);
  EXPECT_EQ(src, run(src, 48, 32, withMethod(0)));
}

TEST_P(EngineLevel, Method1DoublesTheLumaField) {
  const uint32_t w = 48, h = 32;
  const std::vector<uint8_t> src = movingFrame(w, h, 25);
  const std::vector<uint8_t> dst = run(src, w, h, withMethod(1));
  for (uint32_t y = 0; y < h; ++y) {
    EXPECT_EQ(0, std::memcmp(dst.data() + y * w, src.data() + (y | 1) * w, w)) << y;
  }
  EXPECT_EQ(0, std::memcmp(dst.data() + w * h, src.data() + w * h, w * h / 2));
}

// Methods 2 and 3 rebuilt from the scalar kernels step by step.
std::vector<uint8_t> composedMethod(const std::vector<uint8_t>& src, uint32_t w, uint32_t h,
                                    int method, int32_t threshold, bool replaceOnly) {
  const EngineKernels k = makeEngineKernels(0);
  std::vector<uint8_t> dst = src;
  std::vector<uint8_t> map(w * h, 0), counts(w * h / 256);
  const size_t c = w * h / 4;
  uint8_t* dv = dst.data() + w * h;
  const uint8_t* sv = src.data() + w * h;
  int all = 1;
  if (method == 3) {
    all = k.detectInterlace(map.data(), counts.data(), src.data(), w, h, threshold) != 0 ? 1 : 0;
  }
  k.interpolateLuma(dst.data(), src.data(), map.data(), w, h, all);
  k.interpolateChroma(dv, dv + c, sv, sv + c, static_cast<int32_t>(w / 2),
                      static_cast<int32_t>(h / 2), all);
  if (method == 3 && all == 0 && replaceOnly) {
    for (size_t i = 0; i < w * h; ++i) {
      if (map[i] == 0) dst[i] = src[i];
    }
  }
  return dst;
}

TEST_P(EngineLevel, Method2InterpolatesEveryEvenRow) {
  const uint32_t w = 80, h = 48;
  const std::vector<uint8_t> src = movingFrame(w, h, 26);
  const std::vector<uint8_t> dst = run(src, w, h, withMethod(2));
  EXPECT_EQ(composedMethod(src, w, h, 2, 48, false), dst);
  for (uint32_t y = 1; y < h; y += 2) {
    EXPECT_EQ(0, std::memcmp(dst.data() + y * w, src.data() + y * w, w)) << y;
  }
}

TEST_P(EngineLevel, Method3OnTheCombPatch) {
  const uint32_t w = 64, h = 32;
  const std::vector<uint8_t> src = patchFrame(w, h);
  const std::vector<uint8_t> plain = run(src, w, h, withMethod(3));
  EXPECT_EQ(composedMethod(src, w, h, 3, 48, false), plain);
  const std::vector<uint8_t> restored = run(src, w, h, withMethod(3, 1));
  EXPECT_EQ(composedMethod(src, w, h, 3, 48, true), restored);
  // Marked: rows 16..28 (even), columns 14..33, and the border marks.
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      const size_t i = y * w + x;
      const bool border = (x >= w - 4 && (y < h - 1 || x < w - 1)) || i == 0;
      const bool patch = y >= 16 && y <= 28 && (y & 1) == 0 && x >= 14 && x <= 33;
      if ((y & 1) != 0) {
        ASSERT_EQ(src[i], restored[i]) << x << "," << y;
      } else if (border || patch) {
        ASSERT_EQ(plain[i], restored[i]) << x << "," << y;
      } else {
        ASSERT_EQ(src[i], restored[i]) << x << "," << y;
      }
    }
  }
  // Rows 0, 2 and h - 2 were rebuilt (62) and keep that only at border marks.
  EXPECT_EQ(62, restored[0]);
  EXPECT_EQ(60, restored[5]);
  EXPECT_EQ(62, plain[2 * w + 5]);
  EXPECT_EQ(60, restored[2 * w + 5]);
  EXPECT_EQ(62, restored[2 * w + w - 1]);
  EXPECT_EQ(60, restored[(h - 2) * w]);
  EXPECT_EQ(62, restored[(h - 2) * w + w - 2]);
  // The chroma follows its own test in both runs.
  EXPECT_EQ(0, std::memcmp(plain.data() + w * h, restored.data() + w * h, w * h / 2));
}

TEST_P(EngineLevel, Method3InterlacedAllOverRestoresNothing) {
  const uint32_t w = 64, h = 32;
  std::vector<uint8_t> src(frameBytes(w, h));
  for (uint32_t y = 0; y < h; ++y) std::memset(src.data() + y * w, (y & 1) != 0 ? 255 : 0, w);
  auto rng = test::seededRng(27);
  test::fillRandom(src.data() + w * h, w * h / 2, rng);
  const std::vector<uint8_t> method2 = run(src, w, h, withMethod(2));
  EXPECT_EQ(method2, run(src, w, h, withMethod(3, 1)));
  EXPECT_EQ(method2, run(src, w, h, withMethod(3, 0)));
}

TEST_P(EngineLevel, MethodsMatchTheComposedStepsOnMovingContent) {
  const struct { uint32_t w, h; } sizes[] = {{16, 16}, {48, 80}, {160, 96}, {720, 576}};
  uint32_t seed = 30;
  for (auto s : sizes) {
    const std::vector<uint8_t> src = movingFrame(s.w, s.h, seed++);
    for (int32_t t : {48, 0, 20, 200}) {
      for (const uint8_t replaceOnly : {uint8_t{0}, uint8_t{1}}) {
        DeinterlaceParameters p = withMethod(3, replaceOnly);
        p.detectionThreshold = t;
        ASSERT_EQ(composedMethod(src, s.w, s.h, 3, t, replaceOnly != 0), run(src, s.w, s.h, p))
            << s.w << "x" << s.h << " threshold " << t << " restore " << int{replaceOnly};
      }
    }
    const std::vector<uint8_t> method2 = run(src, s.w, s.h, withMethod(2));
    ASSERT_EQ(composedMethod(src, s.w, s.h, 2, 48, false), method2);
    if (s.h >= 80) {
      // The content combs only in part: method 3 lies between copy and method 2.
      const std::vector<uint8_t> method3 = run(src, s.w, s.h, withMethod(3));
      EXPECT_NE(method2, method3);
      EXPECT_NE(src, method3);
    }
  }
}

TEST_P(EngineLevel, OneEngineForManyFrames) {
  // Frames of different content through one engine give what fresh engines give.
  const uint32_t w = 96, h = 64;
  MEDeinterlacer e(flags_);
  e.init(w, h);
  std::vector<uint8_t> dst(frameBytes(w, h));
  for (uint32_t i = 0; i < 6; ++i) {
    const std::vector<uint8_t> src = i % 2 == 0 ? movingFrame(w, h, 40 + i) : patchFrame(w, h);
    const DeinterlaceParameters p = withMethod(static_cast<int32_t>(i % 4), 1);
    e.process(src.data(), dst.data(), &p);
    ASSERT_EQ(run(src, w, h, p), dst) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, EngineLevel, WDI_ALL_KERNEL_LEVELS, test::levelName);

}  // namespace
}  // namespace wdi
