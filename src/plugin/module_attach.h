// What happens when the host loads the module: the processor probe, the
// refusal without MMX, the module handle and the filter description.
#pragma once
#include <cstdint>

#include "plugin/filter_description.h"

namespace wdi {

struct CpuFeatures {
  bool mmx;
  bool sse;  // reported, not used
};

// The probe's decision from its raw results: whether the identification flag
// (bit 21 of the processor flags) could be set, and the standard feature word
// of leaf 1 (MMX bit 23, SSE bit 25). Without the instruction, neither.
CpuFeatures DecodeCpuFeatures(bool identificationAvailable, uint32_t leaf1Edx);

// Probes the running processor.
CpuFeatures DetectCpuFeatures();

constexpr char kNoMmxText[] = "Your processor must support MMX instructions";
constexpr char kLoadRefusedCaption[] = "Wyndvale Deinterlace";
constexpr uint32_t kNoMmxLastError = 0x8004025Bu;

// The module handle received at load; strings and dialogs come from it.
extern void* moduleInstance;

// The attach sequence after the probe. Without MMX: shows the refusal message
// and returns kNoMmxLastError, changing nothing else. Otherwise remembers
// `instance`, fills `description` from `load` and returns 0.
uint32_t AttachModule(const CpuFeatures& cpu, void* instance, StringLoader load,
                      FilterDescription* description);

}  // namespace wdi
