// Methods 4 and 5 end to end through process(), with the real detection and
// interpolation, on every kernel level.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "engine/kernel_levels.h"
#include "engine/me_deinterlacer.h"
#include "engine/motion_model.h"
#include "support/guarded_buffer.h"

namespace wdi {
namespace {

using test::fillRandom;
using test::KernelLevel;
using test::seededRng;

// (method, kernel level)
using SearchCase = std::tuple<int32_t, KernelLevel>;

class SearchMethodLevel : public ::testing::TestWithParam<SearchCase> {
 protected:
  int32_t method() const { return std::get<0>(GetParam()); }
  const KernelLevel& level() const { return std::get<1>(GetParam()); }
};

std::string caseName(const ::testing::TestParamInfo<SearchCase>& p) {
  return "method" + std::to_string(std::get<0>(p.param)) + "_" + std::get<1>(p.param).name;
}

// Whole frames against method 3 followed by the model.
TEST_P(SearchMethodLevel, ProcessMatchesMethod3AndTheModel) {
  uint32_t flags = 0;
  if (!test::levelFlags(level(), &flags)) GTEST_SKIP() << test::missingLevel(level());
  // Each method keeps its own seed and draws, so it sees the same frames as ever.
  auto rng = seededRng(method() == 4 ? 404 : 505);
  const int32_t areas[] = {-1, 0, 3, 4, 16, 17};
  const int32_t thresholds[] = {0, 8192, 100000, 16777217};
  const int32_t replacements[] = {-1, 0, 12, 256};
  const uint32_t sizes[][2] = {{48, 48}, {80, 48}, {160, 96}, {320, 240}};
  test::EndToEndStats stats;
  for (const auto& size : sizes) {
    const uint32_t w = size[0], h = size[1];
    for (int trial = 0; trial < 12; ++trial) {
      std::vector<uint8_t> frame =
          test::combedScene(w, h, int(rng() % 13) - 6, 2 * (int(rng() % 5) - 2), rng);
      frame.resize(size_t(w) * h * 3 / 2);
      fillRandom(frame.data() + size_t(w) * h, frame.size() - size_t(w) * h, rng);
      DeinterlaceParameters p = kDefaultParameters;
      p.method = method();
      p.searchArea = areas[rng() % 6];
      p.blockDistanceThreshold = thresholds[rng() % 4];
      p.replaceOnlyInterlaced = uint8_t(rng() % 2);
      if (method() == 5) {  // only method 5 reads these
        p.replacementThreshold = replacements[rng() % 4];
        p.searchOnInterpolated = uint8_t(rng() % 2);
      }
      const std::string diff = test::compareWithModel(flags, w, h, frame, p, stats);
      EXPECT_EQ(diff, "") << w << "x" << h << " area " << p.searchArea << " threshold "
                          << p.blockDistanceThreshold << " restore "
                          << int(p.replaceOnlyInterlaced);
    }
  }
  std::printf("frames %d, whole-frame %d, searched blocks %d, changed pixels %d\n", stats.frames,
              stats.wholeFrame, stats.searchedBlocks, stats.changedPixels);
  EXPECT_LT(stats.wholeFrame, stats.frames / 2);
  EXPECT_GT(stats.searchedBlocks, 100);
  EXPECT_GT(stats.changedPixels, 1000);
}

// A frame combed all over: the full interpolation of method 2, no search, no restore.
TEST_P(SearchMethodLevel, FrameInterlacedAllOverIsFullyInterpolated) {
  uint32_t flags = 0;
  if (!test::levelFlags(level(), &flags)) GTEST_SKIP() << test::missingLevel(level());
  const uint32_t w = 64, h = 32;
  std::vector<uint8_t> frame(w * h * 3 / 2);
  for (uint32_t y = 0; y < h; ++y) std::memset(&frame[y * w], y % 2 ? 255 : 0, w);
  auto rng = seededRng(64);
  fillRandom(frame.data() + w * h, w * h / 2, rng);
  MEDeinterlacer engine(flags);
  engine.init(w, h);
  DeinterlaceParameters p = kDefaultParameters;
  p.method = 2;
  std::vector<uint8_t> want(frame.size()), got(frame.size(), 0x33);
  engine.process(frame.data(), want.data(), &p);
  p.method = method();
  p.replaceOnlyInterlaced = 1;
  p.blockDistanceThreshold = -1;
  p.replacementThreshold = -1;
  engine.process(frame.data(), got.data(), &p);
  EXPECT_EQ(got, want);
  for (uint32_t i = 0; i < engine.blockCount; ++i) {
    EXPECT_EQ(engine.blockMotion[i].distance, 0u);
    EXPECT_EQ(engine.blockMotion[i].dx, 0);
    EXPECT_EQ(engine.blockMotion[i].dy, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, SearchMethodLevel,
                         ::testing::Combine(::testing::Values(4, 5), WDI_ALL_KERNEL_LEVELS),
                         caseName);

}  // namespace
}  // namespace wdi
