#include "platform/cpu.h"

#include <array>
#include <atomic>
#include <cstring>
#include <string>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace wdi {
namespace {

std::atomic<uint32_t> gMask{kCpuAllFlags};

#if defined(__i386__) || defined(__x86_64__)
uint64_t readXcr0() {
  uint32_t lo = 0;
  uint32_t hi = 0;
  __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
  return (static_cast<uint64_t>(hi) << 32) | lo;
}

uint32_t detectNow() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  // __get_cpuid tests the identification flag first on 32-bit processors.
  if (!__get_cpuid(1, &a, &b, &c, &d)) return 0;
  uint32_t flags = 0;
  if (d & (1u << 23)) flags |= kCpuMmx;
  if (d & (1u << 25)) flags |= kCpuSse;
  if (d & (1u << 26)) flags |= kCpuSse2;
  if (c & (1u << 9)) flags |= kCpuSsse3;
  if (c & (1u << 19)) flags |= kCpuSse41;
  const bool osxsave = (c & (1u << 27)) != 0;
  const bool avx = (c & (1u << 28)) != 0;
  if (osxsave && avx && (readXcr0() & 6) == 6 && __get_cpuid_max(0, nullptr) >= 7) {
    __cpuid_count(7, 0, a, b, c, d);
    if (b & (1u << 5)) flags |= kCpuAvx2;
  }
  return flags;
}
#else
uint32_t detectNow() { return 0; }
#endif

}  // namespace

uint32_t cpuDetect() {
  static const uint32_t detected = detectNow();
  return detected;
}

uint32_t cpuFlags() { return cpuDetect() & gMask.load(std::memory_order_relaxed); }

void cpuSetMask(uint32_t mask) { gMask.store(mask, std::memory_order_relaxed); }

const KernelLevel* cpuFindLevel(const char* name) {
  for (const KernelLevel& level : kKernelLevels)
    if (std::strcmp(name, level.name) == 0) return &level;
  return nullptr;
}

bool cpuLevelMask(const char* name, uint32_t* mask) {
  const KernelLevel* level = cpuFindLevel(name);
  if (level == nullptr) return false;
  *mask = level->mask;
  return true;
}

const KernelLevel& cpuLevelOf(uint32_t flags) {
  const KernelLevel* best = &kKernelLevels[0];
  for (const KernelLevel& level : kKernelLevels)
    if ((flags & level.needs) == level.needs) best = &level;
  return *best;
}

const char* cpuLevelList(bool withOr) {
  // Built once from the table; the two spellings differ only before the last name.
  static const std::array<std::string, 2> lists = [] {
    std::array<std::string, 2> l;
    for (int i = 0; i < kKernelLevelCount; ++i) {
      if (i > 0) {
        l[0] += ", ";
        l[1] += i == kKernelLevelCount - 1 ? " or " : ", ";
      }
      l[0] += kKernelLevels[i].name;
      l[1] += kKernelLevels[i].name;
    }
    return l;
  }();
  return lists[withOr ? 1 : 0].c_str();
}

}  // namespace wdi
