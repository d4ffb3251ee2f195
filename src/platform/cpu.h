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

// The kernel levels, lowest first: the one list that the CPU mask, `--cpu`, the level
// name, the parity tests, the fuzzers and the benchmarks take their levels from.
struct KernelLevel {
  const char* name;
  uint32_t needs;  // flags the level's kernels require of the processor
  uint32_t mask;   // flags left in force when the level is forced (this level and those below)
};

inline constexpr KernelLevel kKernelLevels[] = {
    {"scalar", 0, 0},
    {"sse2", kCpuSse2, kCpuMmx | kCpuSse | kCpuSse2},
    {"avx2", kCpuAvx2, kCpuAllFlags},
};
inline constexpr int kKernelLevelCount = sizeof(kKernelLevels) / sizeof(kKernelLevels[0]);

// The level of a name, or nullptr for an unknown one.
const KernelLevel* cpuFindLevel(const char* name);

// Mask of a named level (KernelLevel::mask). Returns false for unknown names.
bool cpuLevelMask(const char* name, uint32_t* mask);

// The highest level whose needs `flags` meet: what kernel tables built from them run.
const KernelLevel& cpuLevelOf(uint32_t flags);

// True when this processor can run the level's kernels.
inline bool cpuHasLevel(const KernelLevel& level) {
  return (cpuDetect() & level.needs) == level.needs;
}

// The level names for messages: "scalar, sse2, avx2", or with `withOr` "scalar, sse2 or avx2".
const char* cpuLevelList(bool withOr);

}  // namespace wdi
