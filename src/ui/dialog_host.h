// Running the settings dialog: the platform's modal dialog on Windows, a
// stand-in that tests drive elsewhere.
#pragma once
#include <cstdint>

#include "plugin/host_records.h"

namespace wdi {

// Runs dialog 104 modally on dialogParams and regionList, owned by `owner`;
// `record` is the creation parameter, which the dialog does not use.
// Returns the dialog's end result, or -1 when it cannot be shown.
intptr_t RunSettingsDialog(void* owner, const ActionRecord* record);

}  // namespace wdi
