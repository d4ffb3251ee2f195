// Native build only: there is no dialog manager, so a test plays the user.
#pragma once
#include <cstdint>
#include <functional>

#include "engine/deinterlace_parameters.h"
#include "region/rect_list.h"

namespace wdi {

// Called in place of the modal settings dialog with the owner window and what
// the dialog edits; returns what the dialog would end with. Without a driver
// the dialog cannot be shown.
using SettingsDialogDriver =
    std::function<intptr_t(void* owner, DeinterlaceParameters& params, CRectList* region)>;
void SetSettingsDialogDriver(SettingsDialogDriver driver);

}  // namespace wdi
