#include "engine/kernels.h"

namespace wdi {

// Placeholder until the interpolation kernels land.
void initInterpolationKernels(EngineKernels&, uint32_t) {}

}  // namespace wdi
