// The kernel levels a test runs over, from the one table of levels. A level the CPU
// lacks is skipped with the reason.
#pragma once
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "engine/kernels.h"
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

}  // namespace test
}  // namespace wdi

#define WDI_ALL_KERNEL_LEVELS ::testing::ValuesIn(::wdi::kKernelLevels)
// Every level above the scalar reference.
#define WDI_SIMD_KERNEL_LEVELS \
  ::testing::ValuesIn(::wdi::kKernelLevels + 1, ::wdi::kKernelLevels + ::wdi::kKernelLevelCount)
