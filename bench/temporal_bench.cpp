// Method 6 per kernel level at SD and HD sizes: a detailed texture panning
// 1.5 pixels per field (every pixel moves, the block search follows it), and
// the same texture still.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "bench_content.h"
#include "engine/temporal.h"
#include "platform/cpu.h"

namespace {

uint8_t texture(double x, double y) {
  const double v = 128.0 + 45.0 * std::sin(x * 0.37 + 0.06 * y) * std::cos(y * 0.09) +
                   30.0 * std::sin((x - 0.5 * y) * 0.71) + 20.0 * std::cos(x * 1.1 + y * 0.05);
  return wdi::bench::clampToByte(v);
}

// Interlaced frame n: row y shows the picture of field time 2n + (y & 1).
std::vector<uint8_t> frame(uint32_t w, uint32_t h, int n, double speed) {
  return wdi::bench::paintFrame(w, h, [&](uint8_t* p, uint32_t pw, uint32_t ph, double scale) {
    for (uint32_t y = 0; y < ph; ++y) {
      const double shift = speed * (2 * n + static_cast<int>(y & 1));
      for (uint32_t x = 0; x < pw; ++x) {
        p[static_cast<size_t>(y) * pw + x] = texture((x + shift / scale) * scale, y * scale);
      }
    }
  });
}

void temporal(benchmark::State& state, const char* level, uint32_t w, uint32_t h, double speed) {
  uint32_t flags = 0;
  if (!wdi::bench::levelFlags(state, level, &flags)) return;
  wdi::cpuSetMask(flags);
  wdi::TemporalDeinterlacer t;
  t.init(w, h);
  const std::vector<uint8_t> prev = frame(w, h, 0, speed), cur = frame(w, h, 1, speed),
                             next = frame(w, h, 2, speed);
  std::vector<uint8_t> out(cur.size());
  bool top = false;
  for (auto _ : state) {
    // Both kept fields in turn, as at field rate.
    t.process(prev.data(), cur.data(), next.data(), out.data(), top, top);
    top = !top;
    benchmark::ClobberMemory();
  }
  wdi::cpuSetMask(wdi::kCpuAllFlags);
  state.SetLabel(wdi::bench::sizeLabel(level, w, h));
}

const bool kRegistered = [] {
  for (const wdi::bench::FrameSize& s : wdi::bench::kFrameSizes) {
    for (const auto& [name, speed] : {std::pair{"pan", 1.5}, {"still", 0.0}}) {
      for (const char* level : wdi::bench::kLevels) {
        const std::string label = std::string("temporal/") + name + "/" + level + "/" +
                                  std::to_string(s.w) + "x" + std::to_string(s.h);
        benchmark::RegisterBenchmark(label.c_str(), temporal, level, s.w, s.h, speed);
      }
    }
  }
  return true;
}();

}  // namespace
