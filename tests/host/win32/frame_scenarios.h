// Stream scenarios that run the same way through the native build and through
// the Windows module under Wine, so that their frame bytes can be compared.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/host_records.h"

namespace wdi::scenario {

using VfActionFn = int32_t(WDI_STDCALL*)(int32_t, ActionRecord*);

struct Scenario {
  std::string name;
  int32_t width;
  int32_t height;  // of each image: a field's height for field streams
  FieldType type;
  int32_t method;
  int32_t calls;  // ProcessFrame calls; field streams alternate first and second field
};

// FrameBased 720x576 and FieldOrderA 720x288, every method; one FieldOrderB.
std::vector<Scenario> AllScenarios();

// The BGR24 image of one call: moving shapes whose two fields are taken at
// different times (so that they comb), over a gradient with some noise.
std::vector<uint8_t> MakeInput(const Scenario& scenario, int32_t call);

struct StreamResult {
  int32_t start = 0;
  std::vector<int32_t> process;
  std::vector<int32_t> fieldTypeAfter;  // the record's FieldType after each call
  int32_t end = 0;
  std::vector<uint8_t> output;  // every destination image, one after the other
};

// StartStream, the calls, EndStream, through `action`, as a host of the given
// major version would; destinations start as 0xCD bytes.
StreamResult RunScenario(VfActionFn action, const Scenario& scenario);

}  // namespace wdi::scenario
