// The process-wide working copy of the option block: the settings dialog edits
// it and every frame copies the host's current block into it for the engine.
#pragma once
#include "engine/deinterlace_parameters.h"

namespace wdi {

extern DeinterlaceParameters dialogParams;

}  // namespace wdi
