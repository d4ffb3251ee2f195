// Running the settings dialog: the platform's modal dialog on Windows, a
// stand-in that tests drive elsewhere.
#pragma once
#include <cstdint>

#include "engine/deinterlace_parameters.h"
#include "region/rect_list.h"

namespace wdi {

// Runs dialog 104 of the module `instance` modally, owned by `owner`, on the
// option values `params` and the region `region` (may be null), which it
// edits in place. Returns the dialog's end result, or -1 when it cannot be
// shown.
intptr_t RunSettingsDialog(void* instance, void* owner, DeinterlaceParameters& params,
                           CRectList* region);

}  // namespace wdi
