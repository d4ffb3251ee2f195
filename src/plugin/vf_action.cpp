#include "plugin/vf_action.h"

#include <cstring>

#include "platform/entry_guard.h"
#include "plugin/configure.h"
#include "plugin/option_blocks.h"
#include "plugin/stream_state.h"
#include "region/rect_list.h"

extern "C" int32_t WDI_STDCALL vfAction(int32_t, wdi::ActionRecord* record) {
  // -1: what a failed command reports (a failed StartStream leaves the stream copying).
  return wdi::GuardEntry<int32_t>(-1, [record]() -> int32_t {
    using namespace wdi;
    if (record == nullptr) return 1;
    // Commands read their arguments from a private copy; what the filter writes
    // (offsets 4 and 64) goes to the host's record.
    ActionRecord copy;
    std::memcpy(&copy, record, sizeof copy);
    if (regionList == nullptr) regionList = CRectList::Create();
    switch (copy.command) {
      case Configure:
        return ConfigureCommand(copy);
      case StartStream:
        return StartStreamCommand(record);
      case ProcessFrame:
        return ProcessFrameCommand(record);
      case EndStream:
        return EndStreamCommand(record);
      case CompareOptions:
        return CompareOptionsCommand(copy);
      case LoadKeyOptions:
        return LoadKeyOptionsCommand(record, copy);
      default:
        return 1;
    }
  });
}
