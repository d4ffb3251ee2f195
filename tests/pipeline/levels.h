// The kernel levels the colour tests run over, from the one table of levels. A level the
// processor lacks is skipped with the reason.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "platform/cpu.h"

namespace wdi {

inline void PrintTo(const KernelLevel& l, std::ostream* os) { *os << l.name; }

namespace test {

// A test over the levels: flags_ holds the level's flags on this processor.
class LevelTest : public ::testing::TestWithParam<KernelLevel> {
 protected:
  void SetUp() override {
    const KernelLevel& l = GetParam();
    if (!cpuHasLevel(l)) GTEST_SKIP() << l.name << ": this processor lacks the level";
    flags_ = cpuDetect() & l.mask;
  }
  uint32_t flags_ = 0;
};

inline std::string levelName(const ::testing::TestParamInfo<KernelLevel>& p) {
  return p.param.name;
}

}  // namespace test
}  // namespace wdi
