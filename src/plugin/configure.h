// vfAction's Configure command: the settings dialog on the host's current
// option block.
#pragma once
#include <cstdint>

#include "plugin/host_records.h"

namespace wdi {

// Copies the host's current option block into dialogParams, runs the
// settings dialog owned by the host's window and copies dialogParams back
// when the dialog ends with 1. Returns 1 for OK or the close box, 0 for
// Cancel or when the dialog cannot be shown.
int32_t ConfigureCommand(const ActionRecord& copy);

}  // namespace wdi
