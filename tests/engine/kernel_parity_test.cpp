// Every SIMD level of the interpolation and detection kernels against the
// scalar reference: same inputs, identical bytes (guards included), inputs
// left untouched.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "engine/kernel_levels.h"
#include "engine/kernels.h"
#include "platform/cpu.h"
#include "support/guarded_buffer.h"

namespace wdi {
namespace {

using test::fillRandom;
using test::GuardedBuffer;
using test::sameBytes;
using test::seededRng;

class KernelParity : public ::testing::TestWithParam<KernelLevel> {
 protected:
  void SetUp() override {
    uint32_t flags = 0;
    if (!test::levelFlags(GetParam(), &flags)) GTEST_SKIP() << test::missingLevel(GetParam());
    ref_ = makeEngineKernels(0);
    simd_ = makeEngineKernels(flags);
  }
  EngineKernels ref_{};
  EngineKernels simd_{};
};

struct Size {
  uint32_t w;
  uint32_t h;
};

const Size kLumaSizes[] = {{16, 16}, {32, 16}, {16, 48},   {48, 80},
                           {64, 32}, {80, 64}, {720, 576}, {1920, 1088}};

// Luma content. Each kind stresses a different part of the arithmetic.
enum class Content {
  kRandom,
  kZero,
  kFull,
  kAlternateRows,     // even rows 0, odd 255: saturating combs everywhere
  kAlternateRowsInv,  // even rows 255, odd 0
  kCombPatches,       // smooth picture with random saturating comb patches
  kRowNoise,          // per-row random levels: gradients and combs of every strength
  kStripes,           // rows flipping in runs, so histories see every pattern
};
const Content kContents[] = {
    Content::kRandom,           Content::kZero,        Content::kFull,     Content::kAlternateRows,
    Content::kAlternateRowsInv, Content::kCombPatches, Content::kRowNoise, Content::kStripes};

void fillLuma(uint8_t* p, uint32_t w, uint32_t rows, Content c, std::mt19937& rng) {
  const size_t n = static_cast<size_t>(w) * rows;
  switch (c) {
    case Content::kRandom:
      fillRandom(p, n, rng);
      break;
    case Content::kZero:
      std::memset(p, 0, n);
      break;
    case Content::kFull:
      std::memset(p, 255, n);
      break;
    case Content::kAlternateRows:
    case Content::kAlternateRowsInv:
      for (uint32_t y = 0; y < rows; ++y) {
        const bool odd = (y & 1) != 0;
        std::memset(p + static_cast<size_t>(y) * w, odd == (c == Content::kAlternateRows) ? 255 : 0,
                    w);
      }
      break;
    case Content::kCombPatches: {
      for (uint32_t y = 0; y < rows; ++y) {
        for (uint32_t x = 0; x < w; ++x) p[static_cast<size_t>(y) * w + x] = (x + 2 * y) & 0xFF;
      }
      std::uniform_int_distribution<uint32_t> dx(0, w - 1), dy(0, rows - 1), ds(1, 40);
      const int patches = 1 + static_cast<int>(n / 4096);
      for (int i = 0; i < patches; ++i) {
        const uint32_t x0 = dx(rng), y0 = dy(rng), pw = ds(rng), ph = ds(rng);
        for (uint32_t y = y0; y < rows && y < y0 + ph; ++y) {
          for (uint32_t x = x0; x < w && x < x0 + pw; ++x) {
            p[static_cast<size_t>(y) * w + x] = (y & 1) != 0 ? 255 : 0;
          }
        }
      }
      break;
    }
    case Content::kRowNoise: {
      std::uniform_int_distribution<int> level(0, 255), jitter(-3, 3);
      for (uint32_t y = 0; y < rows; ++y) {
        const int base = level(rng);
        for (uint32_t x = 0; x < w; ++x) {
          const int v = base + jitter(rng);
          p[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
        }
      }
      break;
    }
    case Content::kStripes: {
      std::uniform_int_distribution<int> coin(0, 3);
      std::uniform_int_distribution<uint32_t> dw(1, 24);
      for (uint32_t y = 0; y < rows; ++y) {
        // Columns in short runs, each run either combed or flat in this row.
        for (uint32_t x = 0; x < w;) {
          const uint32_t run = dw(rng);
          const int kind = coin(rng);
          for (uint32_t i = 0; i < run && x < w; ++i, ++x) {
            uint8_t v = 128;
            if (kind == 1) v = (y & 1) != 0 ? 255 : 0;
            if (kind == 2) v = (y & 1) != 0 ? 160 : 96;
            p[static_cast<size_t>(y) * w + x] = v;
          }
        }
      }
      break;
    }
  }
}

// Map bytes are only ever 0x00 or 0xFF.
void fillMask(uint8_t* p, size_t n, int kind, std::mt19937& rng) {
  std::uniform_int_distribution<int> bit(0, 1);
  std::uniform_int_distribution<int> run(1, 64);
  switch (kind) {
    case 0:
      std::memset(p, 0, n);
      break;
    case 1:
      std::memset(p, 0xFF, n);
      break;
    case 2:
      for (size_t i = 0; i < n; ++i) p[i] = bit(rng) != 0 ? 0xFF : 0x00;
      break;
    default:
      for (size_t i = 0; i < n;) {
        const uint8_t v = bit(rng) != 0 ? 0xFF : 0x00;
        for (int r = run(rng); r > 0 && i < n; --r, ++i) p[i] = v;
      }
      break;
  }
}

bool large(Size s) { return s.w * s.h > 100000; }

std::string where(Size s, Content c, int extra) {
  return std::to_string(s.w) + "x" + std::to_string(s.h) + " content " +
         std::to_string(static_cast<int>(c)) + " case " + std::to_string(extra);
}

TEST_P(KernelParity, DoubleFields) {
  auto rng = seededRng(101);
  for (Size s : kLumaSizes) {
    for (Content c : kContents) {
      GuardedBuffer a(static_cast<size_t>(s.w) * s.h);
      fillLuma(a.data(), s.w, s.h, c, rng);
      GuardedBuffer b = a;
      ref_.doubleFields(a.data(), s.w, s.h);
      simd_.doubleFields(b.data(), s.w, s.h);
      ASSERT_TRUE(sameBytes(a, b, s.w)) << where(s, c, 0);
    }
  }
}

TEST_P(KernelParity, InterpolateLuma) {
  auto rng = seededRng(202);
  for (Size s : kLumaSizes) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    for (Content c : kContents) {
      // Large frames take the two random mask kinds only, to keep the run short.
      for (int maskKind = large(s) ? 2 : 0; maskKind < 4; ++maskKind) {
        for (int all = 0; all <= 1; ++all) {
          std::vector<uint8_t> src(n), map(n);
          fillLuma(src.data(), s.w, s.h, c, rng);
          fillMask(map.data(), n, maskKind, rng);
          const std::vector<uint8_t> srcCopy = src, mapCopy = map;
          GuardedBuffer want(n), got(n);
          ref_.interpolateLuma(want.data(), src.data(), map.data(), s.w, s.h, all);
          simd_.interpolateLuma(got.data(), src.data(), map.data(), s.w, s.h, all);
          ASSERT_TRUE(sameBytes(want, got, s.w)) << where(s, c, maskKind * 2 + all);
          ASSERT_EQ(src, srcCopy);
          ASSERT_EQ(map, mapCopy);
          // In place: dst == src.
          GuardedBuffer inRef(n), inSimd(n);
          std::memcpy(inRef.data(), src.data(), n);
          std::memcpy(inSimd.data(), src.data(), n);
          ref_.interpolateLuma(inRef.data(), inRef.data(), map.data(), s.w, s.h, all);
          simd_.interpolateLuma(inSimd.data(), inSimd.data(), map.data(), s.w, s.h, all);
          ASSERT_TRUE(sameBytes(inRef, inSimd, s.w)) << "in place " << where(s, c, all);
          ASSERT_EQ(0, std::memcmp(inRef.data(), want.data(), n)) << where(s, c, all);
        }
      }
    }
  }
}

TEST_P(KernelParity, InterpolateChroma) {
  auto rng = seededRng(303);
  const Size sizes[] = {{8, 8},   {16, 8},  {8, 24},    {24, 40},
                        {40, 16}, {32, 32}, {360, 288}, {960, 544}};
  for (Size s : sizes) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    const auto w = static_cast<int32_t>(s.w), h = static_cast<int32_t>(s.h);
    for (Content c : kContents) {
      for (int all = 0; all <= 1; ++all) {
        std::vector<uint8_t> v(n), u(n);
        fillLuma(v.data(), s.w, s.h, c, rng);
        fillRandom(u.data(), n, rng);
        const std::vector<uint8_t> vCopy = v, uCopy = u;
        GuardedBuffer wantV(n), wantU(n), gotV(n), gotU(n);
        ref_.interpolateChroma(wantV.data(), wantU.data(), v.data(), u.data(), w, h, all);
        simd_.interpolateChroma(gotV.data(), gotU.data(), v.data(), u.data(), w, h, all);
        ASSERT_TRUE(sameBytes(wantV, gotV, s.w)) << where(s, c, all);
        ASSERT_TRUE(sameBytes(wantU, gotU, s.w)) << where(s, c, all);
        ASSERT_EQ(v, vCopy);
        ASSERT_EQ(u, uCopy);
        GuardedBuffer inV(n), inU(n);
        std::memcpy(inV.data(), v.data(), n);
        std::memcpy(inU.data(), u.data(), n);
        simd_.interpolateChroma(inV.data(), inU.data(), inV.data(), inU.data(), w, h, all);
        ASSERT_TRUE(sameBytes(wantV, inV, s.w)) << "in place " << where(s, c, all);
        ASSERT_TRUE(sameBytes(wantU, inU, s.w)) << "in place " << where(s, c, all);
      }
    }
  }
}

// Every pair of chroma triples (a, m, b) in a few value bands, so the 16-bit
// wrap of both products and the saturation of R are all reached.
TEST_P(KernelParity, InterpolateChromaValueSweep) {
  const int values[] = {0,   1,   2,   7,   8,   9,   16,  17,  64, 100,
                        127, 128, 129, 140, 181, 182, 200, 254, 255};
  std::vector<uint8_t> triples;
  for (int a : values) {
    for (int m : values) {
      for (int b : values) {
        triples.push_back(static_cast<uint8_t>(a));
        triples.push_back(static_cast<uint8_t>(m));
        triples.push_back(static_cast<uint8_t>(b));
      }
    }
  }
  const size_t count = triples.size() / 3;
  const int32_t w = static_cast<int32_t>((count + 7) / 8 * 8);
  const int32_t h = 8;
  std::vector<uint8_t> plane(static_cast<size_t>(w) * h, 0);
  for (size_t i = 0; i < count; ++i) {
    for (int r = 0; r < 3; ++r) plane[static_cast<size_t>(1 + r) * w + i] = triples[3 * i + r];
  }
  for (int all = 0; all <= 1; ++all) {
    std::vector<uint8_t> wantV(plane.size()), wantU(plane.size()), gotV(plane.size()),
        gotU(plane.size());
    ref_.interpolateChroma(wantV.data(), wantU.data(), plane.data(), plane.data(), w, h, all);
    simd_.interpolateChroma(gotV.data(), gotU.data(), plane.data(), plane.data(), w, h, all);
    ASSERT_EQ(wantV, gotV);
    ASSERT_EQ(wantU, gotU);
  }
}

struct DetectionRun {
  int result;
  std::vector<uint8_t> storage;  // map then counts, guards included
};

DetectionRun runDetection(const EngineKernels& k, const std::vector<uint8_t>& luma, Size s,
                          int32_t threshold) {
  const size_t n = static_cast<size_t>(s.w) * s.h;
  const size_t blocks = static_cast<size_t>(s.w / 16) * (s.h / 16);
  // Stale content from an earlier frame must not survive.
  GuardedBuffer map(n, 0x5A), counts(blocks, 0x77);
  DetectionRun r;
  r.result = k.detectInterlace(map.data(), counts.data(), luma.data(), s.w, s.h, threshold);
  r.storage = map.storage();
  r.storage.insert(r.storage.end(), counts.storage().begin(), counts.storage().end());
  return r;
}

const int32_t kThresholds[] = {48,      0,       1,       -1,      2,
                               100,     -48,     255,     65535,   65536 + 96,
                               0x1FFFE, 1000000, INT_MAX, INT_MIN, INT_MIN + 1};

TEST_P(KernelParity, DetectInterlace) {
  auto rng = seededRng(404);
  int earlyReturns = 0;
  for (Size s : kLumaSizes) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    for (Content c : kContents) {
      // The plane plus the row after it, which the scan reads; sized exactly
      // so that the sanitizer build sees any read beyond it.
      std::vector<uint8_t> luma(n + s.w);
      fillLuma(luma.data(), s.w, s.h + 1, c, rng);
      const std::vector<uint8_t> copy = luma;
      for (int32_t t : kThresholds) {
        if (large(s) && t != 48 && t != 0 && t != INT_MAX) continue;  // keep the run short
        const DetectionRun want = runDetection(ref_, luma, s, t);
        const DetectionRun got = runDetection(simd_, luma, s, t);
        ASSERT_EQ(want.result, got.result) << where(s, c, t);
        ASSERT_EQ(want.storage, got.storage) << where(s, c, t);
        ASSERT_EQ(luma, copy);
        earlyReturns += want.result;
      }
    }
  }
  EXPECT_GT(earlyReturns, 0);
}

// Comb areas of growing width, so the early return falls in every group and
// at many steps within a group; map and counts must hold the partial state.
TEST_P(KernelParity, DetectInterlaceEarlyReturnPoints) {
  auto rng = seededRng(505);
  const Size sizes[] = {{16, 16}, {64, 32}, {48, 80}, {160, 64}, {720, 576}};
  int earlyReturns = 0;
  for (Size s : sizes) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    std::vector<uint8_t> luma(n + s.w);
    for (int trial = 0; trial < 24; ++trial) {
      fillRandom(luma.data(), luma.size(), rng);
      // Combed columns from the left up to a random edge, random rows spared.
      std::uniform_int_distribution<uint32_t> edge(s.w / 8, s.w);
      std::uniform_int_distribution<int> spare(0, 5);
      const uint32_t right = edge(rng);
      for (uint32_t y = 0; y <= s.h; ++y) {
        if (spare(rng) == 0) continue;
        for (uint32_t x = 0; x < right; ++x) {
          luma[static_cast<size_t>(y) * s.w + x] = (y & 1) != 0 ? 250 : 3;
        }
      }
      for (int32_t t : {48, 0, 400}) {
        const DetectionRun want = runDetection(ref_, luma, s, t);
        const DetectionRun got = runDetection(simd_, luma, s, t);
        ASSERT_EQ(want.result, got.result) << where(s, Content::kRandom, trial);
        ASSERT_EQ(want.storage, got.storage) << where(s, Content::kRandom, trial);
        earlyReturns += want.result;
      }
    }
  }
  EXPECT_GT(earlyReturns, 20);
}

// Random sizes and thresholds.
TEST_P(KernelParity, RandomSizes) {
  auto rng = seededRng(606);
  std::uniform_int_distribution<uint32_t> dim(1, 24);
  std::uniform_int_distribution<int32_t> thr(-100, 300);
  for (int trial = 0; trial < 60; ++trial) {
    const Size s{16 * dim(rng), 16 * dim(rng)};
    const size_t n = static_cast<size_t>(s.w) * s.h;
    const Content c = kContents[trial % 8];
    std::vector<uint8_t> luma(n + s.w), map(n);
    fillLuma(luma.data(), s.w, s.h + 1, c, rng);
    fillMask(map.data(), n, 3, rng);
    const int32_t t = thr(rng);
    const DetectionRun want = runDetection(ref_, luma, s, t);
    const DetectionRun got = runDetection(simd_, luma, s, t);
    ASSERT_EQ(want.result, got.result) << where(s, c, t);
    ASSERT_EQ(want.storage, got.storage) << where(s, c, t);
    GuardedBuffer a(n), b(n);
    ref_.interpolateLuma(a.data(), luma.data(), map.data(), s.w, s.h, trial & 1);
    simd_.interpolateLuma(b.data(), luma.data(), map.data(), s.w, s.h, trial & 1);
    ASSERT_TRUE(sameBytes(a, b, s.w)) << where(s, c, t);
    const auto cw = static_cast<int32_t>(s.w / 2), ch = static_cast<int32_t>(s.h / 2);
    const size_t cn = n / 4;
    GuardedBuffer av(cn), au(cn), bv(cn), bu(cn);
    ref_.interpolateChroma(av.data(), au.data(), luma.data(), luma.data() + cn, cw, ch, trial & 1);
    simd_.interpolateChroma(bv.data(), bu.data(), luma.data(), luma.data() + cn, cw, ch, trial & 1);
    ASSERT_TRUE(sameBytes(av, bv, size_t(cw))) << where(s, c, t);
    ASSERT_TRUE(sameBytes(au, bu, size_t(cw))) << where(s, c, t);
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, KernelParity, WDI_SIMD_KERNEL_LEVELS, test::levelName);

}  // namespace
}  // namespace wdi
