// Motion search: methods 4 and 5 (with method 3 on the same frames for comparison) per
// kernel level at SD and HD sizes, on a detailed texture moving across most of the frame
// (many blocks searched) and on still content; and the distance kernels on their own.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "bench_content.h"
#include "engine/deinterlace_parameters.h"
#include "engine/kernels.h"
#include "engine/me_deinterlacer.h"

namespace {

using wdi::bench::kFrameSizes;
using wdi::bench::kLevels;
using wdi::bench::levelFlags;

// The content kinds: still; a moving texture whose detail the coarse search's reduced
// images can follow (even displacements, detail coarser than two pixels across); and one
// with finer detail and odd displacements, where the coarse search finds nothing good
// and every searched block falls back to the full-range fine search.
enum class Content { Still, Moving, MovingFine };
const char* const kContentNames[] = {"still", "moving", "moving-fine"};

// Detail across, gentler detail down (as a camera's vertical filtering leaves it), so
// that the two fields of a moving area still match each other.
uint8_t texture(double x, double y, bool fine) {
  const double v = 128.0 + 45.0 * std::sin(x * 0.37 + 0.06 * y) * std::cos(y * 0.09) +
                   30.0 * std::sin((x - 0.5 * y) * 0.71) +
                   20.0 * std::cos(x * (fine ? 1.3 : 0.6) + y * 0.03);
  return wdi::bench::clampToByte(v);
}

// Even rows show the picture at time 0, odd rows at time 1. With motion, the middle half
// of the rows moves at a different speed in each third across: half of the blocks comb
// and are searched, while the detection still sees less than a quarter of the frame
// combed (more would make it interpolate everything).
void paintPlane(uint8_t* p, uint32_t w, uint32_t h, double scale, Content content) {
  const bool fine = content == Content::MovingFine;
  const double speeds[3] = {2.0, fine ? 5.0 : 4.0, fine ? 9.0 : 8.0};
  for (uint32_t y = 0; y < h; ++y) {
    const double t = (y & 1) != 0 ? 1.0 : 0.0;
    for (uint32_t x = 0; x < w; ++x) {
      double shift = 0.0;
      if (content != Content::Still && y >= h / 4 && y < 3 * h / 4)
        shift = speeds[x < w / 3 ? 0 : x < 2 * w / 3 ? 1 : 2] * t;
      p[static_cast<size_t>(y) * w + x] = texture((x + shift / scale) * scale, y * scale, fine);
    }
  }
}

std::vector<uint8_t> frame(uint32_t w, uint32_t h, Content content) {
  return wdi::bench::paintFrame(w, h,
                                [content](uint8_t* p, uint32_t pw, uint32_t ph, double scale) {
                                  paintPlane(p, pw, ph, scale, content);
                                });
}

void method(benchmark::State& state, const char* level, uint32_t w, uint32_t h, Content content,
            int32_t m) {
  uint32_t flags = 0;
  if (!levelFlags(state, level, &flags)) return;
  wdi::MEDeinterlacer engine(flags);
  engine.init(w, h);
  const std::vector<uint8_t> in = frame(w, h, content);
  std::vector<uint8_t> out(in.size());
  wdi::DeinterlaceParameters p = wdi::kDefaultParameters;
  p.method = m;
  for (auto _ : state) {
    engine.process(in.data(), out.data(), &p);
    benchmark::ClobberMemory();
  }
  // How much searching the content asks for.
  uint32_t searched = 0, matched = 0;
  for (uint32_t i = 0; i < engine.blockCount; ++i) {
    if (engine.blockInterlaceCounts[i] <= 32) continue;
    ++searched;
    matched += engine.blockMotion[i].distance < static_cast<uint32_t>(p.blockDistanceThreshold);
  }
  state.counters["blocks"] = engine.blockCount;
  state.counters["searched"] = searched;
  state.counters["matched"] = m >= 4 ? matched : 0;
  // Nonzero records exist only when the detection did not give up on the whole frame.
  uint32_t records = 0;
  for (uint32_t i = 0; i < engine.blockCount; ++i) records += engine.blockMotion[i].distance != 0;
  state.counters["whole"] = m >= 4 && records == 0 && searched != 0 ? 1 : 0;
  state.SetLabel(wdi::bench::sizeLabel(level, w, h));
}

// One distance per candidate of a scan across a random plane.
void distance(benchmark::State& state, const char* level, bool field, uint32_t limit) {
  uint32_t flags = 0;
  if (!levelFlags(state, level, &flags)) return;
  const wdi::EngineKernels k = wdi::makeEngineKernels(flags);
  const ptrdiff_t stride = 1440;
  std::vector<uint8_t> plane(static_cast<size_t>(stride) * 32);
  std::mt19937 rng(1);
  for (uint8_t& b : plane) b = static_cast<uint8_t>(rng());
  const uint8_t* ref = plane.data() + 700;
  uint32_t sum = 0;
  for (auto _ : state) {
    for (ptrdiff_t x = 0; x < 512; ++x) {
      sum += field ? k.fieldBlockDistance(plane.data() + x, ref, limit, stride)
                   : k.reducedBlockDistance(plane.data() + x, ref, limit, stride);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 512);
  state.SetLabel(level);
}

const bool kRegistered = [] {
  for (const wdi::bench::FrameSize& s : kFrameSizes) {
    for (Content content : {Content::Moving, Content::MovingFine, Content::Still}) {
      for (int32_t m = 3; m <= 5; ++m) {
        for (const char* level : kLevels) {
          const std::string name = "motion/method" + std::to_string(m) + "/" +
                                   kContentNames[static_cast<int>(content)] + "/" + level + "/" +
                                   std::to_string(s.w) + "x" + std::to_string(s.h);
          benchmark::RegisterBenchmark(name.c_str(), method, level, s.w, s.h, content, m)
              ->Unit(benchmark::kMillisecond);
        }
      }
    }
  }
  for (bool field : {true, false}) {
    for (uint32_t limit : {UINT32_MAX, 4000u}) {
      for (const char* level : kLevels) {
        const std::string name = std::string("motion/") +
                                 (field ? "fieldBlockDistance" : "reducedBlockDistance") +
                                 (limit == UINT32_MAX ? "/full/" : "/limit4000/") + level;
        benchmark::RegisterBenchmark(name.c_str(), distance, level, field, limit);
      }
    }
  }
  return true;
}();

}  // namespace
