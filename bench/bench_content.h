// What the engine and motion benchmarks share: the kernel levels, the frame sizes, the
// level check and the painting of a synthetic frame plane by plane.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pipeline/yuv420_frame.h"
#include "platform/cpu.h"

namespace wdi::bench {

// The level names, from the one table of levels.
inline const std::vector<const char*> kLevels = [] {
  std::vector<const char*> names;
  for (const KernelLevel& l : kKernelLevels) names.push_back(l.name);
  return names;
}();

struct FrameSize {
  uint32_t w;
  uint32_t h;
};
inline const FrameSize kFrameSizes[] = {{720, 576}, {1920, 1088}};

// CPU flags of a level; marks the benchmark skipped when this CPU lacks the level.
inline bool levelFlags(benchmark::State& state, const char* level, uint32_t* flags) {
  const KernelLevel* l = cpuFindLevel(level);
  if (l == nullptr || !cpuHasLevel(*l)) {
    state.SkipWithError("level not supported by this CPU");
    return false;
  }
  *flags = cpuDetect() & l->mask;
  return true;
}

inline uint8_t clampToByte(double v) {
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// A YUV 4:2:0 frame: `paint(plane, w, h, scale)` fills the luma at scale 1, then V and U
// at half size and scale 2, so the chroma shows the same picture.
template <typename Paint>
std::vector<uint8_t> paintFrame(uint32_t w, uint32_t h, Paint paint) {
  std::vector<uint8_t> f(Yuv420Frame::bytes(w, h));
  paint(f.data(), w, h, 1.0);
  paint(f.data() + Yuv420Frame::vOffset(w, h), w / 2, h / 2, 2.0);
  paint(f.data() + Yuv420Frame::uOffset(w, h), w / 2, h / 2, 2.0);
  return f;
}

inline std::string sizeLabel(const char* level, uint32_t w, uint32_t h) {
  return std::string(level) + " " + std::to_string(w) + "x" + std::to_string(h);
}

}  // namespace wdi::bench
