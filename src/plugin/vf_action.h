// The host's one command entry point: settings dialog, stream lifecycle,
// frames and option-block handling.
#pragma once
#include <cstdint>

#include "plugin/host_records.h"

// The first argument is not used. Never lets an exception through.
extern "C" int32_t WDI_STDCALL vfAction(int32_t unused, wdi::ActionRecord* record);
