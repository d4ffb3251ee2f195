// The kernel levels a test runs over: scalar, SSE2, AVX2. A level the CPU
// lacks is skipped.
#pragma once
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "engine/kernels.h"
#include "platform/cpu.h"

namespace wdi::test {

struct KernelLevel {
  const char* name;
  uint32_t required;
};

inline void PrintTo(const KernelLevel& l, std::ostream* os) { *os << l.name; }

inline std::string levelName(const ::testing::TestParamInfo<KernelLevel>& p) {
  return p.param.name;
}

// CPU flags of a level, or false when this CPU cannot run it.
inline bool levelFlags(const KernelLevel& l, uint32_t* flags) {
  if ((cpuDetect() & l.required) != l.required) return false;
  uint32_t mask = 0;
  if (!cpuLevelMask(l.name, &mask)) return false;
  *flags = cpuDetect() & mask;
  return true;
}

#define WDI_ALL_KERNEL_LEVELS                                          \
  ::testing::Values(::wdi::test::KernelLevel{"scalar", 0},             \
                    ::wdi::test::KernelLevel{"sse2", ::wdi::kCpuSse2}, \
                    ::wdi::test::KernelLevel{"avx2", ::wdi::kCpuAvx2})

}  // namespace wdi::test
