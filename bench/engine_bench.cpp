// Engine kernels and methods 0-3 per kernel level at SD and HD frame sizes,
// on synthetic interlaced content: a detailed texture, still on the left,
// moving slowly in the middle and fast on the right, with the two fields
// taken at different times so the moving parts comb.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "bench_content.h"
#include "engine/deinterlace_parameters.h"
#include "engine/kernels.h"
#include "engine/me_deinterlacer.h"
#include "pipeline/yuv420_frame.h"

namespace {

using wdi::Yuv420Frame;
using wdi::bench::FrameSize;
using wdi::bench::kFrameSizes;
using wdi::bench::kLevels;
using wdi::bench::levelFlags;

uint8_t texture(double x, double y) {
  const double v = 128.0 + 55.0 * std::sin(x * 0.31) * std::cos(y * 0.23) +
                   35.0 * std::sin((x + 2.0 * y) * 0.9) * std::sin(y * 0.05 + x * 0.02);
  return wdi::bench::clampToByte(v);
}

// Even rows show the picture at time 0, odd rows at time 1.
void paintPlane(uint8_t* p, uint32_t w, uint32_t h, double scale) {
  for (uint32_t y = 0; y < h; ++y) {
    const double t = (y & 1) != 0 ? 1.0 : 0.0;
    for (uint32_t x = 0; x < w; ++x) {
      // Still on the left third and at the top and bottom.
      double shift = 0.0;
      if (y >= h / 4 && y < 3 * h / 4) {
        if (x >= w / 3) shift = 3.0 * t;
        if (x >= 2 * w / 3) shift = 11.0 * t;
      }
      p[static_cast<size_t>(y) * w + x] = texture((x + shift / scale) * scale, y * scale);
    }
  }
}

std::vector<uint8_t> interlacedFrame(uint32_t w, uint32_t h) {
  return wdi::bench::paintFrame(w, h, paintPlane);
}

void setLabel(benchmark::State& state, const char* level, uint32_t w, uint32_t h) {
  state.SetLabel(wdi::bench::sizeLabel(level, w, h));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * w * h);
}

void doubleFields(benchmark::State& state, const char* level, uint32_t w, uint32_t h) {
  uint32_t flags = 0;
  if (!levelFlags(state, level, &flags)) return;
  const wdi::EngineKernels k = wdi::makeEngineKernels(flags);
  std::vector<uint8_t> frame = interlacedFrame(w, h);
  for (auto _ : state) {
    k.doubleFields(frame.data(), w, h);
    benchmark::ClobberMemory();
  }
  setLabel(state, level, w, h);
}

// The map that the detection builds on this content, for the masked runs.
std::vector<uint8_t> detectionMap(const std::vector<uint8_t>& frame, uint32_t w, uint32_t h) {
  const wdi::EngineKernels k = wdi::makeEngineKernels(0);
  std::vector<uint8_t> map(static_cast<size_t>(w) * h), counts((w / 16) * (h / 16));
  k.detectInterlace(map.data(), counts.data(), frame.data(), w, h, 48);
  return map;
}

void interpolateLuma(benchmark::State& state, const char* level, uint32_t w, uint32_t h, int all) {
  uint32_t flags = 0;
  if (!levelFlags(state, level, &flags)) return;
  const wdi::EngineKernels k = wdi::makeEngineKernels(flags);
  const std::vector<uint8_t> frame = interlacedFrame(w, h);
  const std::vector<uint8_t> map = detectionMap(frame, w, h);
  std::vector<uint8_t> out(frame.size());
  for (auto _ : state) {
    k.interpolateLuma(out.data(), frame.data(), map.data(), w, h, all);
    benchmark::ClobberMemory();
  }
  setLabel(state, level, w, h);
}

void interpolateChroma(benchmark::State& state, const char* level, uint32_t w, uint32_t h,
                       int all) {
  uint32_t flags = 0;
  if (!levelFlags(state, level, &flags)) return;
  const wdi::EngineKernels k = wdi::makeEngineKernels(flags);
  const std::vector<uint8_t> frame = interlacedFrame(w, h);
  std::vector<uint8_t> out(frame.size());
  const size_t v = Yuv420Frame::vOffset(w, h), u = Yuv420Frame::uOffset(w, h);
  const auto cw = static_cast<int32_t>(w / 2), ch = static_cast<int32_t>(h / 2);
  for (auto _ : state) {
    k.interpolateChroma(out.data() + v, out.data() + u, frame.data() + v, frame.data() + u, cw, ch,
                        all);
    benchmark::ClobberMemory();
  }
  setLabel(state, level, w, h);
}

void detectInterlace(benchmark::State& state, const char* level, uint32_t w, uint32_t h) {
  uint32_t flags = 0;
  if (!levelFlags(state, level, &flags)) return;
  const wdi::EngineKernels k = wdi::makeEngineKernels(flags);
  const std::vector<uint8_t> frame = interlacedFrame(w, h);
  std::vector<uint8_t> map(static_cast<size_t>(w) * h), counts((w / 16) * (h / 16));
  int result = 0;
  for (auto _ : state) {
    result = k.detectInterlace(map.data(), counts.data(), frame.data(), w, h, 48);
    benchmark::DoNotOptimize(result);
    benchmark::ClobberMemory();
  }
  size_t marked = 0;
  for (uint8_t b : map) marked += b != 0 ? 1 : 0;
  state.counters["marked%"] = 100.0 * static_cast<double>(marked) / static_cast<double>(map.size());
  state.counters["early"] = result;
  setLabel(state, level, w, h);
}

void method(benchmark::State& state, const char* level, uint32_t w, uint32_t h, int32_t m) {
  uint32_t flags = 0;
  if (!levelFlags(state, level, &flags)) return;
  wdi::MEDeinterlacer engine(flags);
  engine.init(w, h);
  const std::vector<uint8_t> frame = interlacedFrame(w, h);
  std::vector<uint8_t> out(frame.size());
  wdi::DeinterlaceParameters p = wdi::kDefaultParameters;
  p.method = m;
  for (auto _ : state) {
    engine.process(frame.data(), out.data(), &p);
    benchmark::ClobberMemory();
  }
  setLabel(state, level, w, h);
}

// Names read kernel/variant/level/size, registered so that the levels of one
// kernel and size stand side by side.
template <typename Fn, typename... Args>
void registerLevels(const std::string& kernel, const FrameSize& s, Fn fn, Args... args) {
  for (const char* level : kLevels) {
    const std::string name =
        kernel + "/" + level + "/" + std::to_string(s.w) + "x" + std::to_string(s.h);
    benchmark::RegisterBenchmark(name.c_str(), fn, level, s.w, s.h, args...);
  }
}

const bool kRegistered = [] {
  for (const FrameSize& s : kFrameSizes) {
    registerLevels("doubleFields", s, doubleFields);
    registerLevels("interpolateLuma/masked", s, interpolateLuma, 0);
    registerLevels("interpolateLuma/all", s, interpolateLuma, 1);
    registerLevels("interpolateChroma/tested", s, interpolateChroma, 0);
    registerLevels("interpolateChroma/all", s, interpolateChroma, 1);
    registerLevels("detectInterlace", s, detectInterlace);
    for (int32_t m = 0; m <= 3; ++m) registerLevels("method" + std::to_string(m), s, method, m);
  }
  return true;
}();

}  // namespace
