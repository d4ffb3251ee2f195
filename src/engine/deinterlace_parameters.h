// The filter's option block. The host stores it with the project, so its
// layout is fixed: 24 bytes, little-endian.
#pragma once
#include <cstddef>
#include <cstdint>

namespace wdi {

enum class DeinterlaceMethod : int32_t {
  None = 0,
  OnlyEvenRows = 1,
  SimpleInterpolation = 2,
  AreaBasedInterpolation = 3,
  AreaBasedMotionEstimation = 4,
  AdvancedMethod = 5,
};

struct DeinterlaceParameters {
  int32_t method;
  int32_t searchArea;
  int32_t detectionThreshold;
  int32_t blockDistanceThreshold;
  int32_t replacementThreshold;
  uint8_t replaceOnlyInterlaced;
  uint8_t searchOnInterpolated;
  uint8_t padding[2];
};

static_assert(sizeof(DeinterlaceParameters) == 24, "option block is 24 bytes");
static_assert(offsetof(DeinterlaceParameters, replacementThreshold) == 16, "host layout");
static_assert(offsetof(DeinterlaceParameters, replaceOnlyInterlaced) == 20, "host layout");
static_assert(offsetof(DeinterlaceParameters, searchOnInterpolated) == 21, "host layout");

// {4, 16, 48, 8192, 0, off, off}: the engine's and the plug-in's defaults.
constexpr DeinterlaceParameters kDefaultParameters = {4, 16, 48, 8192, 0, 0, 0, {0, 0}};

}  // namespace wdi
