// The plug-in's parameters: names, types and explanations, and how a number
// from a frei0r host becomes a field of the option block.
#pragma once
#include <cstdint>

#include "engine/deinterlace_parameters.h"

namespace wdi::frei0r {

enum ParamIndex : int {
  kMethod = 0,
  kSearchArea,
  kDetectionThreshold,
  kBlockDistanceThreshold,
  kReplacementThreshold,
  kReplaceOnlyInterlaced,
  kSearchOnInterpolated,
  kRegionFile,
  // Not a field of the option block: the field the stream keeps.
  kKeepTopField,
  kParamCount,
};

enum class ParamKind { Number, Flag, Text };

struct ParamDescription {
  const char* name;
  ParamKind kind;
  const char* explanation;
  // Numbers only: what a fraction strictly between 0 and 1 is a share of,
  // and the range the option block field takes.
  double sliderMax;
  int64_t minimum;
  int64_t maximum;
};

// Null for an index outside 0 .. kParamCount - 1.
const ParamDescription* DescribeParam(int index);

// A number from the host as the option block field takes it. ffmpeg and MLT
// hand the number the user typed, so integral values and values above 1 are
// taken as they stand (rounded to the nearest integer); a fraction strictly
// between 0 and 1 comes from a host that keeps to the [0, 1] convention and
// is scaled by sliderMax first. The result is clamped to the field's range;
// NaN gives `fallback`.
int64_t HostNumberToField(const ParamDescription& param, double value, int64_t fallback);

// frei0r's rule for flags: 0.5 and above is on.
inline bool HostFlag(double value) { return value >= 0.5; }

// Sets the numeric or flag field `index` of `params`; returns false for the
// region file, unknown indexes and NaN (which change nothing).
bool SetParamField(DeinterlaceParameters* params, int index, double value);

// What the host reads back before it sets anything: the default option
// block as a share of each slider range (method 0.8, search area 0.25, ...).
// MLT clamps the defaults it advertises to [0, 1], and hosts that keep to the
// convention send them back; both kinds of host then get the defaults.
// Afterwards the host reads back what it set.
double DefaultHostValue(int index);

}  // namespace wdi::frei0r
