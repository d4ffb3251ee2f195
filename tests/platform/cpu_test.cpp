#include "platform/cpu.h"

#include <gtest/gtest.h>

namespace wdi {

TEST(Cpu, MaskLimitsDetectedFlags) {
  const uint32_t detected = cpuDetect();
  cpuSetMask(0);
  EXPECT_EQ(cpuFlags(), 0u);
  cpuSetMask(kCpuSse2);
  EXPECT_EQ(cpuFlags(), detected & kCpuSse2);
  cpuSetMask(kCpuAllFlags);
  EXPECT_EQ(cpuFlags(), detected);
}

TEST(Cpu, LevelNames) {
  uint32_t mask = 123;
  ASSERT_TRUE(cpuLevelMask("scalar", &mask));
  EXPECT_EQ(mask, 0u);
  ASSERT_TRUE(cpuLevelMask("sse2", &mask));
  EXPECT_EQ(mask & kCpuAvx2, 0u);
  EXPECT_NE(mask & kCpuSse2, 0u);
  ASSERT_TRUE(cpuLevelMask("avx2", &mask));
  EXPECT_NE(mask & kCpuAvx2, 0u);
  EXPECT_FALSE(cpuLevelMask("avx512", &mask));
  EXPECT_STREQ(cpuLevelList(false), "scalar, sse2, avx2");
  EXPECT_STREQ(cpuLevelList(true), "scalar, sse2 or avx2");
}

// Each level's mask keeps what it needs and every lower level's flags, and the flags of a
// forced level name that level again.
TEST(Cpu, LevelTableIsOrdered) {
  for (int i = 0; i < kKernelLevelCount; ++i) {
    const KernelLevel& l = kKernelLevels[i];
    SCOPED_TRACE(l.name);
    EXPECT_EQ(l.mask & l.needs, l.needs);
    if (i > 0) {
      EXPECT_EQ(l.mask & kKernelLevels[i - 1].mask, kKernelLevels[i - 1].mask);
    }
    EXPECT_EQ(&cpuLevelOf(l.mask), &l);
    EXPECT_EQ(cpuFindLevel(l.name), &l);
  }
  EXPECT_STREQ(cpuLevelOf(kCpuSse2 | kCpuMmx).name, "sse2");
}

}  // namespace wdi
