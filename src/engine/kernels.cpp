#include "engine/kernels.h"

namespace wdi {

EngineKernels makeEngineKernels(uint32_t cpuFlags) {
  EngineKernels k{};
  initInterpolationKernels(k, cpuFlags);
  initMotionKernels(k, cpuFlags);
  return k;
}

}  // namespace wdi
