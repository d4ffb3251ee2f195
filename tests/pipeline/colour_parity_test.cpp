// Every kernel level against the scalar reference, byte for byte, guards included.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "pipeline/colour.h"
#include "support/guarded_buffer.h"
#include "support/kernel_levels.h"

namespace wdi {
namespace {

using test::GuardedBuffer;

struct Size {
  uint32_t w, h, lumaStride;
};

// Widths with and without a tail after the 32- and 16-pixel steps (56 = 32 +
// 16 + 8, 720 = 22 x 32 + 16), strides with gaps.
constexpr Size kSizes[] = {{8, 2, 8},    {16, 2, 16},   {24, 6, 24},   {40, 4, 64},    {56, 4, 56},
                           {64, 16, 72}, {120, 2, 128}, {720, 8, 720}, {1920, 4, 1920}};

enum class Fill { kRandom, kZero, kFull, kAlternatingRows };

void fill(uint8_t* p, size_t n, size_t row, Fill f, std::mt19937& rng) {
  switch (f) {
    case Fill::kRandom:
      test::fillRandom(p, n, rng);
      break;
    case Fill::kZero:
      std::memset(p, 0, n);
      break;
    case Fill::kFull:
      std::memset(p, 255, n);
      break;
    case Fill::kAlternatingRows:
      for (size_t i = 0; i < n; ++i) p[i] = (i / row) % 2 ? 255 : 0;
      break;
  }
}

class ColourParity : public test::LevelTest {};

TEST_P(ColourParity, RgbToYuv420MatchesScalar) {
  auto rng = test::seededRng(20261207);
  const ColourKernels ref = makeColourKernels(0);
  const ColourKernels k = makeColourKernels(flags_);
  for (const Size& s : kSizes) {
    for (Fill f : {Fill::kRandom, Fill::kZero, Fill::kFull, Fill::kAlternatingRows}) {
      SCOPED_TRACE(testing::Message()
                   << s.w << "x" << s.h << " stride " << s.lumaStride << " fill " << int(f));
      GuardedBuffer rgb(size_t{s.w} * s.h * 3);
      fill(rgb.data(), rgb.size(), size_t{s.w} * 3, f, rng);
      const auto rgbBefore = rgb.storage();
      const size_t lumaBytes = size_t{s.lumaStride} * s.h;
      const size_t chromaBytes = size_t{s.lumaStride / 2} * (s.h / 2);
      GuardedBuffer y0(lumaBytes), u0(chromaBytes), v0(chromaBytes);
      GuardedBuffer y1(lumaBytes), u1(chromaBytes), v1(chromaBytes);
      ref.rgbToYuv420(y0.data(), u0.data(), v0.data(), rgb.data(), s.w, s.h, s.lumaStride);
      k.rgbToYuv420(y1.data(), u1.data(), v1.data(), rgb.data(), s.w, s.h, s.lumaStride);
      EXPECT_TRUE(test::sameBytes(y0, y1, s.lumaStride));
      EXPECT_TRUE(test::sameBytes(u0, u1, s.lumaStride / 2));
      EXPECT_TRUE(test::sameBytes(v0, v1, s.lumaStride / 2));
      EXPECT_EQ(rgb.storage(), rgbBefore);
    }
  }
}

// The row-pair entry takes its two rows from anywhere; every block count up
// to a few 32-pixel steps, so each step width meets each tail.
TEST_P(ColourParity, RgbToYuvRowPairMatchesScalar) {
  auto rng = test::seededRng(8122026);
  const ColourKernels ref = makeColourKernels(0);
  const ColourKernels k = makeColourKernels(flags_);
  for (uint32_t pairs = 1; pairs <= 72; ++pairs) {
    for (Fill f : {Fill::kRandom, Fill::kFull}) {
      SCOPED_TRACE(testing::Message() << pairs << " pairs, fill " << int(f));
      GuardedBuffer top(size_t{pairs} * 6), bottom(size_t{pairs} * 6);
      fill(top.data(), top.size(), top.size(), f, rng);
      fill(bottom.data(), bottom.size(), bottom.size(), Fill::kRandom, rng);
      GuardedBuffer y0[2] = {GuardedBuffer(2 * pairs), GuardedBuffer(2 * pairs)};
      GuardedBuffer y1[2] = {GuardedBuffer(2 * pairs), GuardedBuffer(2 * pairs)};
      GuardedBuffer u[2] = {GuardedBuffer(pairs), GuardedBuffer(pairs)};
      GuardedBuffer v[2] = {GuardedBuffer(pairs), GuardedBuffer(pairs)};
      const ColourKernels* levels[2] = {&ref, &k};
      for (int i = 0; i < 2; ++i) {
        levels[i]->rgbToYuvRowPair(y0[i].data(), y1[i].data(), u[i].data(), v[i].data(), top.data(),
                                   bottom.data(), pairs);
      }
      EXPECT_TRUE(test::sameBytes(y0[0], y0[1]));
      EXPECT_TRUE(test::sameBytes(y1[0], y1[1]));
      EXPECT_TRUE(test::sameBytes(u[0], u[1]));
      EXPECT_TRUE(test::sameBytes(v[0], v[1]));
    }
  }
}

TEST_P(ColourParity, Yuv420ToRgbMatchesScalar) {
  auto rng = test::seededRng(7122026);
  const ColourKernels ref = makeColourKernels(0);
  const ColourKernels k = makeColourKernels(flags_);
  for (const Size& s : kSizes) {
    for (Fill f : {Fill::kRandom, Fill::kZero, Fill::kFull, Fill::kAlternatingRows}) {
      for (bool bottomUp : {true, false}) {
        SCOPED_TRACE(testing::Message() << s.w << "x" << s.h << " stride " << s.lumaStride
                                        << " fill " << int(f) << " bottomUp " << bottomUp);
        const uint32_t chromaStride = s.lumaStride / 2;
        GuardedBuffer y(size_t{s.lumaStride} * s.h), u(size_t{chromaStride} * s.h / 2),
            v(size_t{chromaStride} * s.h / 2);
        fill(y.data(), y.size(), s.lumaStride, f, rng);
        fill(u.data(), u.size(), chromaStride, f, rng);
        fill(v.data(), v.size(), chromaStride, Fill::kRandom, rng);
        const auto yBefore = y.storage(), uBefore = u.storage(), vBefore = v.storage();
        // Output rows 3w + 16 bytes apart, so the gaps show stray writes too.
        const size_t pitchBytes = size_t{s.w} * 3 + 16;
        const auto pitch = static_cast<ptrdiff_t>(pitchBytes);
        GuardedBuffer out0(pitchBytes * s.h), out1(pitchBytes * s.h);
        const ptrdiff_t first = bottomUp ? pitch * (s.h - 1) : 0;
        const ptrdiff_t step = bottomUp ? -pitch : pitch;
        ref.yuv420ToRgb(y.data(), u.data(), v.data(), s.w, s.h, s.lumaStride, chromaStride,
                        out0.data() + first, step);
        k.yuv420ToRgb(y.data(), u.data(), v.data(), s.w, s.h, s.lumaStride, chromaStride,
                      out1.data() + first, step);
        EXPECT_TRUE(test::sameBytes(out0, out1));
        EXPECT_TRUE(y.storage() == yBefore && u.storage() == uBefore && v.storage() == vBefore);
      }
    }
  }
}

// Every (Y, U, V) triple: one image per U, a chroma row per V, 64 blocks of
// four luma values per row. Covers the saturating blue sum for large U with
// bright luma and luma below 16.
TEST_P(ColourParity, Yuv420ToRgbEveryTriple) {
  const uint32_t w = 128, h = 512;
  std::vector<uint8_t> y(w * h), u(w / 2 * h / 2), v(w / 2 * h / 2);
  for (uint32_t cv = 0; cv < 256; ++cv) {
    for (uint32_t i = 0; i < w / 2; ++i) {
      v[cv * w / 2 + i] = static_cast<uint8_t>(cv);
      for (uint32_t k = 0; k < 4; ++k)
        y[(2 * cv + k / 2) * w + 2 * i + k % 2] = static_cast<uint8_t>(4 * i + k);
    }
  }
  std::vector<uint8_t> ref(w * h * 3), out(w * h * 3);
  const ColourKernels k = makeColourKernels(flags_);
  for (uint32_t cu = 0; cu < 256; ++cu) {
    std::memset(u.data(), static_cast<int>(cu), u.size());
    Yuv420ToRgbC(y.data(), u.data(), v.data(), w, h, w, w / 2, ref.data(), w * 3);
    k.yuv420ToRgb(y.data(), u.data(), v.data(), w, h, w, w / 2, out.data(), w * 3);
    ASSERT_EQ(ref, out) << "U=" << cu;
  }
}

// Every RGB triple once as a pixel (its luma exhaustively), in strips of 4096 x 16.
TEST_P(ColourParity, RgbToYuv420EveryTriple) {
  const uint32_t w = 4096, h = 16;
  std::vector<uint8_t> rgb(w * h * 3);
  std::vector<uint8_t> ref(w * h * 3 / 2), out(w * h * 3 / 2);
  const ColourKernels k = makeColourKernels(flags_);
  for (uint32_t strip = 0; strip < 256; ++strip) {
    for (uint32_t p = 0; p < w * h; ++p) {
      const uint32_t n = strip * w * h + p;
      rgb[3 * p] = static_cast<uint8_t>(n);
      rgb[3 * p + 1] = static_cast<uint8_t>(n >> 8);
      rgb[3 * p + 2] = static_cast<uint8_t>(n >> 16);
    }
    RgbToYuv420C(ref.data(), ref.data() + w * h + w * h / 4, ref.data() + w * h, rgb.data(), w, h,
                 w);
    k.rgbToYuv420(out.data(), out.data() + w * h + w * h / 4, out.data() + w * h, rgb.data(), w, h,
                  w);
    ASSERT_EQ(ref, out) << "strip " << strip;
  }
}

// Solid 2x2 blocks of extreme colours reach the ends of the chroma sums.
TEST_P(ColourParity, RgbToYuv420ExtremeBlocks) {
  const uint32_t w = 16 * 27, h = 2;
  std::vector<uint8_t> rgb(w * h * 3);
  // Each 2x2 block is one of the 27 combinations of 0, 128, 255 per channel.
  const uint8_t levels[3] = {0, 128, 255};
  for (uint32_t x = 0; x < w; ++x) {
    const uint32_t c = (x / 2) % 27;
    for (uint32_t r = 0; r < h; ++r) {
      rgb[(r * w + x) * 3] = levels[c % 3];
      rgb[(r * w + x) * 3 + 1] = levels[c / 3 % 3];
      rgb[(r * w + x) * 3 + 2] = levels[c / 9];
    }
  }
  std::vector<uint8_t> ref(w * h * 3 / 2), out(w * h * 3 / 2);
  RgbToYuv420C(ref.data(), ref.data() + w * h + w * h / 4, ref.data() + w * h, rgb.data(), w, h, w);
  makeColourKernels(flags_).rgbToYuv420(out.data(), out.data() + w * h + w * h / 4,
                                        out.data() + w * h, rgb.data(), w, h, w);
  EXPECT_EQ(ref, out);
}

INSTANTIATE_TEST_SUITE_P(Levels, ColourParity, WDI_SIMD_KERNEL_LEVELS, test::levelName);

}  // namespace
}  // namespace wdi
