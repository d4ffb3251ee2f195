// The kernel levels a test runs over, from the one table of levels. A level the processor
// lacks is skipped with the reason.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "platform/cpu.h"

namespace wdi {

inline void PrintTo(const KernelLevel& l, std::ostream* os) { *os << l.name; }

namespace test {

using ::wdi::KernelLevel;

inline std::string levelName(const ::testing::TestParamInfo<KernelLevel>& p) {
  return p.param.name;
}

// CPU flags of a level, or false when this CPU cannot run it.
inline bool levelFlags(const KernelLevel& l, uint32_t* flags) {
  if (!cpuHasLevel(l)) return false;
  *flags = cpuDetect() & l.mask;
  return true;
}

// The reason a level is skipped, for GTEST_SKIP.
inline std::string missingLevel(const KernelLevel& l) {
  return std::string(l.name) + ": this processor lacks the level";
}

// A test over the levels: flags_ holds the level's flags on this processor.
class LevelTest : public ::testing::TestWithParam<KernelLevel> {
 protected:
  void SetUp() override {
    if (!levelFlags(GetParam(), &flags_)) GTEST_SKIP() << missingLevel(GetParam());
  }
  uint32_t flags_ = 0;
};

}  // namespace test
}  // namespace wdi

#define WDI_ALL_KERNEL_LEVELS ::testing::ValuesIn(::wdi::kKernelLevels)
// Every level above the scalar reference.
#define WDI_SIMD_KERNEL_LEVELS \
  ::testing::ValuesIn(::wdi::kKernelLevels + 1, ::wdi::kKernelLevels + ::wdi::kKernelLevelCount)
