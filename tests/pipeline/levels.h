// Kernel levels the tests run on; a level the processor lacks is skipped.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/cpu.h"

namespace wdi::test {

struct Level {
  const char* name;
  uint32_t flags;
};

inline std::vector<Level> availableLevels() {
  std::vector<Level> levels;
  for (const char* name : {"scalar", "sse2", "avx2"}) {
    uint32_t mask = 0;
    cpuLevelMask(name, &mask);
    if ((cpuDetect() & mask) == mask) levels.push_back({name, mask});
  }
  return levels;
}

}  // namespace wdi::test
