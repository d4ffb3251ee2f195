// The engine with any parameters on small frames: every field of the option
// block over its whole range, source bytes from the input, one engine run on
// several frames at once (so that nothing is carried over wrongly). Source
// and destination are exact Yuv420Frames, so that reading the row after a
// plane stays inside the frame and anything beyond it is caught.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/me_deinterlacer.h"
#include "pipeline/yuv420_frame.h"
#include "platform/cpu.h"

namespace {

using namespace wdi;

void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "engine fuzz: %s\n", what);
  std::abort();
}

int32_t anyOr(FuzzedDataProvider& in, std::initializer_list<int32_t> common) {
  // Half the time a value from the whole range, otherwise one that leads somewhere.
  if (in.ConsumeBool()) return in.ConsumeIntegral<int32_t>();
  const int32_t* values = common.begin();
  return values[in.ConsumeIntegralInRange<size_t>(0, common.size() - 1)];
}

DeinterlaceParameters makeParameters(FuzzedDataProvider& in) {
  DeinterlaceParameters p;
  p.method = in.ConsumeIntegralInRange<int>(0, 7) == 0 ? in.ConsumeIntegral<int32_t>()
                                                       : in.ConsumeIntegralInRange<int32_t>(0, 5);
  p.searchArea = anyOr(in, {16, 0, 1, 2, 3, 4, 7, 8, 15, 31, 32, 33, 64, 65, -1, -16});
  p.detectionThreshold = anyOr(in, {48, 0, 1, 2, 3, 255, 256, 510, 511, 512, -1, INT32_MIN});
  p.blockDistanceThreshold = anyOr(in, {8192, 0, 1, 65535, 65536, -1, INT32_MAX, INT32_MIN});
  p.replacementThreshold = anyOr(in, {0, 1, 8, 32, 33, 255, 256, -1, INT32_MIN});
  p.replaceOnlyInterlaced = in.ConsumeIntegral<uint8_t>();
  p.searchOnInterpolated = in.ConsumeIntegral<uint8_t>();
  p.padding[0] = in.ConsumeIntegral<uint8_t>();
  p.padding[1] = in.ConsumeIntegral<uint8_t>();
  return p;
}

// Source pictures: raw input bytes, or a pattern grown from a few of them
// (interlaced stripes, flat areas, moving blocks), which raw bytes rarely give.
void fillSource(FuzzedDataProvider& in, uint8_t* frame, uint32_t w, uint32_t h) {
  const size_t bytes = Yuv420Frame::bytes(w, h);
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: {
      const size_t n = in.ConsumeData(frame, bytes);
      std::memset(frame + n, 0x80, bytes - n);
      break;
    }
    case 1: {
      // Alternating rows of two values: combed all over.
      const uint8_t a = in.ConsumeIntegral<uint8_t>(), b = in.ConsumeIntegral<uint8_t>();
      for (size_t i = 0; i < bytes; ++i) frame[i] = ((i / w) & 1) ? a : b;
      break;
    }
    case 2: {
      // Flat with combed rectangles.
      std::memset(frame, in.ConsumeIntegral<uint8_t>(), bytes);
      const int boxes = in.ConsumeIntegralInRange<int>(0, 6);
      for (int k = 0; k < boxes; ++k) {
        const uint32_t x0 = in.ConsumeIntegralInRange<uint32_t>(0, w - 1);
        const uint32_t y0 = in.ConsumeIntegralInRange<uint32_t>(0, h - 1);
        const uint32_t x1 = in.ConsumeIntegralInRange<uint32_t>(x0, w - 1);
        const uint32_t y1 = in.ConsumeIntegralInRange<uint32_t>(y0, h - 1);
        const uint8_t a = in.ConsumeIntegral<uint8_t>(), b = in.ConsumeIntegral<uint8_t>();
        for (uint32_t y = y0; y <= y1; ++y) {
          for (uint32_t x = x0; x <= x1; ++x) frame[y * w + x] = (y & 1) ? a : b;
        }
      }
      break;
    }
    default: {
      // A seeded pseudo-random picture.
      uint32_t s = in.ConsumeIntegral<uint32_t>() | 1;
      for (size_t i = 0; i < bytes; ++i) {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        frame[i] = static_cast<uint8_t>(s);
      }
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const uint32_t w = 16 * in.ConsumeIntegralInRange<uint32_t>(1, 4);
  const uint32_t h = 16 * in.ConsumeIntegralInRange<uint32_t>(1, 4);
  // Any level above the scalar reference, limited to what this processor has.
  const uint32_t level =
      kKernelLevels[in.ConsumeIntegralInRange<int>(1, kKernelLevelCount - 1)].mask & cpuDetect();
  const size_t bytes = Yuv420Frame::bytes(w, h);

  // The scalar engine is the reference; the SIMD one must give the same bytes.
  MEDeinterlacer engine(0);
  MEDeinterlacer simd(level);
  engine.init(w, h);
  simd.init(w, h);
  std::unique_ptr<uint8_t[]> src(new uint8_t[bytes]);
  std::unique_ptr<uint8_t[]> dst(new uint8_t[bytes]);
  std::unique_ptr<uint8_t[]> simdDst(new uint8_t[bytes]);
  std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes]);
  std::memset(dst.get(), 0x5A, bytes);
  std::memset(simdDst.get(), 0x5A, bytes);

  const int frames = in.ConsumeIntegralInRange<int>(1, 3);
  for (int f = 0; f < frames; ++f) {
    fillSource(in, src.get(), w, h);
    std::memcpy(copy.get(), src.get(), bytes);
    // A null record keeps the previous parameters.
    const bool keep = f > 0 && in.ConsumeIntegralInRange<int>(0, 7) == 0;
    const DeinterlaceParameters p = keep ? engine.params : makeParameters(in);
    engine.process(src.get(), dst.get(), keep ? nullptr : &p);
    simd.process(src.get(), simdDst.get(), keep ? nullptr : &p);
    check(std::memcmp(copy.get(), src.get(), bytes) == 0, "the source was written");
    check(std::memcmp(dst.get(), simdDst.get(), bytes) == 0, "SIMD and scalar results differ");
    if (p.method >= 3 && p.method <= 5) {
      // The kept field is the source's odd rows, in every plane.
      for (uint32_t y = 1; y < h; y += 2) {
        check(std::memcmp(dst.get() + y * w, src.get() + y * w, w) == 0,
              "an odd luma row was changed");
      }
      const uint32_t cw = w / 2, ch = h / 2;
      for (size_t plane = 0; plane < 2; ++plane) {
        const size_t base = Yuv420Frame::vOffset(w, h) + plane * cw * ch;
        for (uint32_t y = 1; y < ch; y += 2) {
          check(std::memcmp(dst.get() + base + y * cw, src.get() + base + y * cw, cw) == 0,
                "an odd chroma row was changed");
        }
      }
    } else if (p.method == 0) {
      check(std::memcmp(dst.get(), src.get(), bytes) == 0, "method 0 is not a copy");
    }
  }
  return 0;
}
