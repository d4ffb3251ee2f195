// One engine at a kernel level and a pair of frames of exactly the frame size (a
// sanitizer sees any read past them), for the method 4 and 5 tests.
#pragma once
#include <cstdint>
#include <vector>

#include "engine/kernel_levels.h"
#include "engine/me_deinterlacer.h"

namespace wdi::test {

struct Rig {
  Rig(const KernelLevel& level, uint32_t w, uint32_t h)
      : ok(levelFlags(level, &flags)),
        engine(flags),
        src(size_t(w) * h * 3 / 2),
        dst(size_t(w) * h * 3 / 2) {
    engine.init(w, h);
    engine.setFrame(src.data(), dst.data());
  }
  uint32_t flags = 0;  // declared before `ok`, which fills it
  bool ok;
  MEDeinterlacer engine;
  std::vector<uint8_t> src;
  std::vector<uint8_t> dst;
};

}  // namespace wdi::test
