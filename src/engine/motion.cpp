#include "engine/me_deinterlacer.h"

namespace wdi {

// Placeholders until the motion search lands.
void initMotionKernels(EngineKernels&, uint32_t) {}
void MEDeinterlacer::coarseSearch(uint32_t, int32_t, int32_t) {}
void MEDeinterlacer::fineSearch(uint32_t, int32_t, int32_t) {}
void MEDeinterlacer::estimateBlockMotion(uint32_t, int32_t) {}
void MEDeinterlacer::processAdvanced() {}
void MEDeinterlacer::replaceSimilarPixels(uint8_t*, const uint8_t*, uint32_t) {}

}  // namespace wdi
