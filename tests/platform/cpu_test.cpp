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
}

}  // namespace wdi
