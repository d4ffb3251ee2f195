// Colour conversion per kernel level at SD and HD frame sizes.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "pipeline/colour.h"
#include "pipeline/yuv420_frame.h"
#include "platform/cpu.h"

namespace {

using wdi::Yuv420Frame;

bool kernelsFor(benchmark::State& state, wdi::ColourKernels* k) {
  const wdi::KernelLevel& level = wdi::kKernelLevels[state.range(0)];
  if (!wdi::cpuHasLevel(level)) {
    state.SkipWithError("level not supported by this CPU");
    return false;
  }
  *k = wdi::makeColourKernels(wdi::cpuDetect() & level.mask);
  state.SetLabel(level.name);
  return true;
}

std::vector<uint8_t> randomBytes(size_t n) {
  std::mt19937 rng(1);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

void BM_RgbToYuv420(benchmark::State& state) {
  wdi::ColourKernels k;
  if (!kernelsFor(state, &k)) return;
  const auto w = static_cast<uint32_t>(state.range(1));
  const auto h = static_cast<uint32_t>(state.range(2));
  const auto rgb = randomBytes(size_t{w} * h * 3);
  std::vector<uint8_t> yuv(Yuv420Frame::bytes(w, h));
  for (auto _ : state) {
    k.rgbToYuv420(yuv.data(), yuv.data() + Yuv420Frame::uOffset(w, h),
                  yuv.data() + Yuv420Frame::vOffset(w, h), rgb.data(), w, h, w);
    benchmark::DoNotOptimize(yuv.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * w * h);
}

void BM_Yuv420ToRgb(benchmark::State& state) {
  wdi::ColourKernels k;
  if (!kernelsFor(state, &k)) return;
  const auto w = static_cast<uint32_t>(state.range(1));
  const auto h = static_cast<uint32_t>(state.range(2));
  const auto yuv = randomBytes(Yuv420Frame::bytes(w, h));
  std::vector<uint8_t> rgb(size_t{w} * h * 3);
  const auto row = static_cast<ptrdiff_t>(w) * 3;
  for (auto _ : state) {
    k.yuv420ToRgb(yuv.data(), yuv.data() + Yuv420Frame::uOffset(w, h),
                  yuv.data() + Yuv420Frame::vOffset(w, h), w, h, w, w / 2,
                  rgb.data() + row * (h - 1), -row);
    benchmark::DoNotOptimize(rgb.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * w * h);
}

void colourArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"level", "w", "h"});
  for (int level = 0; level < wdi::kKernelLevelCount; ++level) {
    b->Args({level, 720, 576});
    b->Args({level, 1920, 1088});
  }
}

}  // namespace

BENCHMARK(BM_RgbToYuv420)->Apply(colourArgs);
BENCHMARK(BM_Yuv420ToRgb)->Apply(colourArgs);
