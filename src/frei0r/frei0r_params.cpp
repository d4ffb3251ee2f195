#include "frei0r/frei0r_params.h"

#include <cmath>
#include <limits>

namespace wdi::frei0r {

namespace {

constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int64_t kUint32Max = std::numeric_limits<uint32_t>::max();

// The explanations are the settings dialog's tool tips; the method's joins
// those of its six radio buttons.
constexpr ParamDescription kParams[kParamCount] = {
    {"method", ParamKind::Number,
     "Deinterlace method, 0-6 (default 4). "
     "0 None: Does not perform any actions on the frame. "
     "1 Only even rows: Makes fields doubling. "
     "2 Simple interpolation: Perform cubic interpolation for luma component. "
     "3 Area based interpolation: Perform cubic interpolation for luma component. Performing "
     "analyze of interlaced areas on the frame, select them, and after all interpolate only areas "
     "corrupted by interlace . "
     "4 Area based motion estimation: Performing analyze of interlaced areas on the frame, select "
     "them, and after all interpolate only areas corrupted by interlace, then find best matching "
     "blocks from original odd rows that correspond to interpolated odd rows in the best way. "
     "5 Advanced method: Use advanced method. Method is slow so it can be unusable for real-time "
     "deinterlacing. "
     "6 Temporal area based: rebuilds from the frame before too (motion-compensated, "
     "edge-following; still areas keep their rows); give 6 itself, host values 0-1 reach 0-5.",
     5.0, 0, 6},
    {"search_area", ParamKind::Number, "Search area", 64.0, kInt32Min, kInt32Max},
    {"detection_threshold", ParamKind::Number, "Interlace detection threshold", 255.0, 0,
     kUint32Max},
    {"block_distance_threshold", ParamKind::Number,
     "Block distance threshold (search Mean Squared Error)", 65536.0, 0, kUint32Max},
    {"replacement_threshold", ParamKind::Number, "Replacement threshold (0-32)", 32.0, kInt32Min,
     kInt32Max},
    {"replace_only_interlaced", ParamKind::Flag, "Replace only interlace pixels", 0, 0, 1},
    {"search_on_interpolated", ParamKind::Flag, "Motion estimation search on interpolated images",
     0, 0, 1},
    {"region_file", ParamKind::Text,
     "Region file (.rect); empty: the whole frame. Processing region is a list of rectangles that "
     "can be processed and unprocessed. If pixel is in processed rectangle it will be processed, "
     "else it won't. If pixel is in several rectangles it will be processed depending on type of "
     "last rectangle in order of the queue.If pixel do not hit any rectangle it will be processed.",
     0, 0, 0},
    {"keep_top_field", ParamKind::Flag,
     "Keep the top field (rows 0, 2, 4, ...) and rebuild the bottom one; off (the default) keeps "
     "the bottom field and rebuilds the top one",
     0, 0, 1},
};

}  // namespace

const ParamDescription* DescribeParam(int index) {
  if (index < 0 || index >= kParamCount) return nullptr;
  return &kParams[index];
}

int64_t HostNumberToField(const ParamDescription& param, double value, int64_t fallback) {
  if (std::isnan(value)) return fallback;
  if (value > 0.0 && value < 1.0) value *= param.sliderMax;
  // Clamping before the conversion keeps infinities and huge values defined.
  if (value <= static_cast<double>(param.minimum)) return param.minimum;
  if (value >= static_cast<double>(param.maximum)) return param.maximum;
  const int64_t rounded = std::llround(value);
  if (rounded < param.minimum) return param.minimum;
  if (rounded > param.maximum) return param.maximum;
  return rounded;
}

bool SetParamField(DeinterlaceParameters* params, int index, double value) {
  const ParamDescription* param = DescribeParam(index);
  if (param == nullptr || param->kind == ParamKind::Text || index == kKeepTopField ||
      std::isnan(value)) {
    return false;
  }
  switch (index) {
    case kMethod:
      params->method = static_cast<int32_t>(HostNumberToField(*param, value, params->method));
      break;
    case kSearchArea:
      params->searchArea =
          static_cast<int32_t>(HostNumberToField(*param, value, params->searchArea));
      break;
    case kDetectionThreshold:
      // Unsigned in the option block: stored with the bits of its uint32 value.
      params->detectionThreshold = static_cast<int32_t>(static_cast<uint32_t>(
          HostNumberToField(*param, value, static_cast<uint32_t>(params->detectionThreshold))));
      break;
    case kBlockDistanceThreshold:
      params->blockDistanceThreshold = static_cast<int32_t>(static_cast<uint32_t>(
          HostNumberToField(*param, value, static_cast<uint32_t>(params->blockDistanceThreshold))));
      break;
    case kReplacementThreshold:
      params->replacementThreshold =
          static_cast<int32_t>(HostNumberToField(*param, value, params->replacementThreshold));
      break;
    case kReplaceOnlyInterlaced:
      params->replaceOnlyInterlaced = HostFlag(value) ? 1 : 0;
      break;
    case kSearchOnInterpolated:
      params->searchOnInterpolated = HostFlag(value) ? 1 : 0;
      break;
  }
  return true;
}

double DefaultHostValue(int index) {
  const ParamDescription* param = DescribeParam(index);
  if (param == nullptr || param->kind != ParamKind::Number) return 0.0;
  const DeinterlaceParameters& d = kDefaultParameters;
  const int32_t fields[] = {d.method, d.searchArea, d.detectionThreshold, d.blockDistanceThreshold,
                            d.replacementThreshold};
  return fields[index] / param->sliderMax;
}

}  // namespace wdi::frei0r
