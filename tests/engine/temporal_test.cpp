// Method 6: every kernel level against the scalar definition, and what the
// method promises of still pictures and of the frames at the ends.
#include "engine/temporal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "platform/cpu.h"
#include "support/guarded_buffer.h"
#include "support/kernel_levels.h"

namespace wdi {
namespace {

using Frame = std::vector<uint8_t>;

// A picture with fine detail everywhere (noise, or smooth waves), moved by (dx, dy) pixels
// per picture.
Frame texture(uint32_t w, uint32_t h, int dx, int dy, int t, uint32_t seed, bool smooth = false) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> base(size_t{4} * w * h);
  for (size_t i = 0; i < base.size(); ++i) {
    const double x = static_cast<double>(i % (2 * w)), y = static_cast<double>(i / (2 * w));
    base[i] = static_cast<uint8_t>(smooth ? 128 + 60 * std::sin(x * 0.31) * std::cos(y * 0.17) +
                                                40 * std::sin(x * 0.07 + y * 0.23)
                                          : static_cast<double>(rng() & 255));
  }
  Frame f(size_t{w} * h * 3 / 2);
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      const size_t sx = (x + w + static_cast<uint32_t>(dx * t)) % (2 * w);
      const size_t sy = (y + h + static_cast<uint32_t>(dy * t)) % (2 * h);
      f[size_t{y} * w + x] = base[sy * 2 * w + sx];
    }
  }
  for (size_t i = size_t{w} * h; i < f.size(); ++i) f[i] = static_cast<uint8_t>(rng());
  return f;
}

// Interlaced frame n of pictures moving at (dx, dy): top field of picture 2n, bottom of 2n+1.
Frame woven(uint32_t w, uint32_t h, int dx, int dy, int n, bool smooth = false) {
  const Frame a = texture(w, h, dx, dy, 2 * n, 7, smooth);
  const Frame b = texture(w, h, dx, dy, 2 * n + 1, 7, smooth);
  Frame f = a;
  for (uint32_t y = 1; y < h; y += 2) std::copy_n(&b[size_t{y} * w], w, &f[size_t{y} * w]);
  for (size_t off : {size_t{w} * h, size_t{w} * h * 5 / 4}) {
    for (uint32_t y = 1; y < h / 2; y += 2) {
      std::copy_n(&b[off + size_t{y} * w / 2], w / 2, &f[off + size_t{y} * w / 2]);
    }
  }
  return f;
}

test::GuardedBuffer run(uint32_t flags, uint32_t w, uint32_t h, const Frame* prev, const Frame& cur,
                        const Frame* next, bool top, bool first) {
  cpuSetMask(flags);
  TemporalDeinterlacer t;
  t.init(w, h);
  test::GuardedBuffer out(cur.size());
  t.process(prev ? prev->data() : nullptr, cur.data(), next ? next->data() : nullptr, out.data(),
            top, first);
  cpuSetMask(kCpuAllFlags);
  return out;
}

Frame runAll(uint32_t w, uint32_t h, const Frame* prev, const Frame& cur, const Frame* next,
             bool top, bool first) {
  const test::GuardedBuffer out = run(kCpuAllFlags, w, h, prev, cur, next, top, first);
  return Frame(out.data(), out.data() + out.size());
}

class TemporalLevel : public test::LevelTest {};

// Random noise (every edge value of the arithmetic), moving and still content, every kept
// field and field order, every combination of missing neighbours, three sizes.
TEST_P(TemporalLevel, GivesTheScalarBytes) {
  // 96 columns: chroma ends in a whole pair of blocks, whose reads must stay inside.
  for (const auto& [w, h] : {std::pair<uint32_t, uint32_t>{16, 16}, {80, 48}, {96, 32}}) {
    for (const auto& [dx, dy] : {std::pair{0, 0}, {3, 2}, {-7, 0}, {1, -4}}) {
      const Frame f0 = woven(w, h, dx, dy, 0), f1 = woven(w, h, dx, dy, 1),
                  f2 = woven(w, h, dx, dy, 2);
      std::mt19937 rng(w + dx);
      Frame noise(f1.size());
      for (auto& v : noise) v = static_cast<uint8_t>(rng() % 3 == 0 ? (rng() & 1) * 255 : rng());
      // Sparse changes: groups of pixels that are partly still.
      Frame sparse = f1;
      for (size_t i = 0; i < sparse.size(); i += 1 + rng() % 41)
        sparse[i] ^= static_cast<uint8_t>(1 + (rng() & 15));
      for (int ends = 0; ends < 4; ++ends) {
        for (int mode = 0; mode < 4; ++mode) {
          const bool top = mode & 1, first = mode & 2;
          const Frame* prev = ends & 1 ? &f0 : nullptr;
          const Frame* next = ends & 2 ? &f2 : nullptr;
          SCOPED_TRACE(testing::Message() << w << "x" << h << " motion " << dx << "," << dy
                                          << " ends " << ends << " mode " << mode);
          EXPECT_TRUE(test::sameBytes(run(0, w, h, prev, f1, next, top, first),
                                      run(flags_, w, h, prev, f1, next, top, first), w));
          EXPECT_TRUE(test::sameBytes(run(0, w, h, &f0, noise, &f2, top, first),
                                      run(flags_, w, h, &f0, noise, &f2, top, first), w));
          EXPECT_TRUE(test::sameBytes(run(0, w, h, prev, sparse, next, top, first),
                                      run(flags_, w, h, prev, sparse, next, top, first), w));
        }
      }
    }
  }
}

// The span kernel alone on random rows: bytes clustered round one value (so that lanes are
// still, nearly still or moving), at 0 and 255, with and without displacement, and runs of
// every length the planes make.
TEST_P(TemporalLevel, SpanGivesTheScalarBytesOnRandomRows) {
  constexpr int32_t kMaxRun = 96;
  std::mt19937 rng(11);
  std::vector<std::vector<uint8_t>> rows(20, std::vector<uint8_t>(kMaxRun + 2 * kTemporalMargin));
  const TemporalKernels level = makeTemporalKernels(flags_);
  for (int round = 0; round < 2000; ++round) {
    const int base = static_cast<int>(rng() & 255), spread = 1 << (rng() % 8);
    for (auto& row : rows) {
      for (auto& v : row) {
        const uint32_t kind = rng() % 8;
        v = static_cast<uint8_t>(
            kind == 0   ? (rng() & 1) * 255
            : kind == 1 ? rng()
                        : std::clamp(base + static_cast<int>(rng() % spread) - spread / 2, 0, 255));
      }
    }
    auto at = [&](int i) { return rows[static_cast<size_t>(i)].data() + kTemporalMargin; };
    const bool displaced = round & 1;
    TemporalRows r{at(0),  at(1),  at(2),  at(3),  at(4),  at(5),  at(6),
                   at(7),  at(8),  at(9),  at(10), at(11), at(12), at(13),
                   at(14), at(15), at(16), at(17), at(18), at(19), nullptr};
    if (!displaced) {
      r.b = r.b0, r.a = r.a0, r.bUp = r.bUp0, r.aUp = r.aUp0, r.bDown = r.bDown0;
      r.aDown = r.aDown0;
    }
    const int32_t n = 8 * static_cast<int32_t>(1 + rng() % (kMaxRun / 8));
    test::GuardedBuffer want(static_cast<size_t>(n)), got(static_cast<size_t>(n));
    r.out = want.data();
    temporalSpanC(r, 0, n);
    r.out = got.data();
    level.span(r, 0, n);
    ASSERT_TRUE(test::sameBytes(want, got)) << "round " << round << ", run of " << n;
  }
}

TEST_P(TemporalLevel, TakesADiagonalAtAVerticalCostOf17) {
  // Flat rows but for a diagonal of cost 0 at pixel p - 1 (odd and even) whose vertical
  // cost is 17, the least at which a diagonal is taken (2 * 0 + 16 < 17); the cubic
  // there is 101.
  constexpr int32_t kRun = 32;
  for (const int p : {16, 17}) {
    std::vector<std::vector<uint8_t>> rows(20,
                                           std::vector<uint8_t>(kRun + 2 * kTemporalMargin, 100));
    auto at = [&](int i) { return rows[static_cast<size_t>(i)].data() + kTemporalMargin; };
    at(1)[p - 1] = at(2)[p - 3] = 101;
    at(1)[p] = at(2)[p - 2] = 108;
    std::fill(rows[14].begin(), rows[14].end(), 90);   // b0: d = 104, wide bounds
    std::fill(rows[15].begin(), rows[15].end(), 118);  // a0
    TemporalRows r{at(0),  at(1),  at(2),  at(3),  at(4),  at(5),  at(6),
                   at(7),  at(14), at(15), at(16), at(17), at(18), at(19),
                   at(14), at(15), at(16), at(17), at(18), at(19), nullptr};
    test::GuardedBuffer got(kRun);
    r.out = got.data();
    makeTemporalKernels(flags_).span(r, 0, kRun);
    EXPECT_EQ(got.data()[p - 1], 108) << "pixel " << p - 1;
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, TemporalLevel, WDI_SIMD_KERNEL_LEVELS, test::levelName);

TEST(Temporal, KeepsAStillPictureExactlyAndItsKeptRowsAlways) {
  const uint32_t w = 64, h = 32;
  const Frame still = woven(w, h, 0, 0, 0);  // the same picture in both fields
  for (int mode = 0; mode < 4; ++mode) {
    // A lone frame, the first and the last of a stream, and one inside it.
    EXPECT_EQ(runAll(w, h, nullptr, still, nullptr, mode & 1, mode & 2), still);
    EXPECT_EQ(runAll(w, h, nullptr, still, &still, mode & 1, mode & 2), still);
    EXPECT_EQ(runAll(w, h, &still, still, nullptr, mode & 1, mode & 2), still);
    const Frame moving = woven(w, h, 5, 2, 1);
    const Frame out = runAll(w, h, &still, moving, &still, mode & 1, mode & 2);
    for (uint32_t y = (mode & 1) ? 0 : 1; y < h; y += 2) {
      ASSERT_TRUE(std::equal(&out[size_t{y} * w], &out[size_t{y} * w] + w, &moving[size_t{y} * w]))
          << "kept row " << y;
    }
  }
}

TEST(Temporal, FindsAPanAndRebuildsItsRowsFromTheNeighbours) {
  // A pan of 2 pixels per picture: B and A lie 4 pixels apart, the vector is (2, 0).
  const uint32_t w = 128, h = 64;
  const Frame f0 = woven(w, h, 2, 0, 0, true), f1 = woven(w, h, 2, 0, 1, true),
              f2 = woven(w, h, 2, 0, 2, true);
  cpuSetMask(kCpuAllFlags);
  TemporalDeinterlacer t;
  t.init(w, h);
  Frame out(f1.size());
  t.process(&f0[0], &f1[0], &f2[0], &out[0], false, false);
  // The inner blocks (the search keeps vectors inside the field).
  for (uint32_t by = 1; by + 1 < t.blocksY(); ++by) {
    for (uint32_t bx = 2; bx + 2 < t.blocksX(); ++bx) {
      const MotionVector v = t.vectors()[by * t.blocksX() + bx];
      EXPECT_EQ(v.x, -2) << bx << "," << by;
      EXPECT_EQ(v.y, 0) << bx << "," << by;
    }
  }
  // Their rebuilt top rows come within 1 on average of picture 3's (the time of the kept
  // bottom field).
  const Frame truth = texture(w, h, 2, 0, 3, 7, true);
  long error = 0, count = 0;
  for (uint32_t y = 16; y < 48; y += 2) {
    for (uint32_t x = 32; x < 96; ++x) {
      error += std::abs(out[y * w + x] - truth[y * w + x]);
      ++count;
    }
  }
  EXPECT_LT(error, count);
}

}  // namespace
}  // namespace wdi
