// Processor features, detected once and cached. A mask lets tests and
// `wdeint --cpu` force a lower kernel level.
#pragma once
#include <cstdint>

namespace wdi {

enum CpuFlag : uint32_t {
  kCpuMmx = 1u << 0,
  kCpuSse = 1u << 1,
  kCpuSse2 = 1u << 2,
  kCpuSsse3 = 1u << 3,
  kCpuSse41 = 1u << 4,
  kCpuAvx2 = 1u << 5,
};

// Every flag this build knows of.
constexpr uint32_t kCpuAllFlags = kCpuMmx | kCpuSse | kCpuSse2 | kCpuSsse3 | kCpuSse41 | kCpuAvx2;

// Features of the running processor (CPUID, with XGETBV before AVX2 is trusted).
uint32_t cpuDetect();

// Detected features limited by the mask; what kernel tables are built from.
uint32_t cpuFlags();

// Limits cpuFlags() to `mask`. kCpuAllFlags lifts the limit.
void cpuSetMask(uint32_t mask);

// Flags of a named level: "scalar", "sse2" or "avx2". Returns false for other names.
bool cpuLevelMask(const char* name, uint32_t* mask);

}  // namespace wdi
