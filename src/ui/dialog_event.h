// The messages a dialog's logic answers, and the one place that hands them to it: a dialog
// procedure returns 1 for a message handled and 0 otherwise, also when the logic failed
// (out of memory for a list line, say), so that nothing unwinds into the dialog manager.
#pragma once
#include <cstdint>

#include "platform/entry_guard.h"

namespace wdi {

enum class DialogEvent { Init, Command, Close, Other };

template <class Dialog>
intptr_t HandleDialogEvent(Dialog& dialog, DialogEvent event, int command) noexcept {
  return GuardEntry<intptr_t>(0, [&]() -> intptr_t {
    switch (event) {
      case DialogEvent::Init:
        dialog.onInit();
        return 1;  // the platform sets the focus
      case DialogEvent::Command:
        dialog.onCommand(command);
        return 1;
      case DialogEvent::Close:
        dialog.onClose();
        return 1;
      case DialogEvent::Other:
        break;
    }
    return 0;
  });
}

}  // namespace wdi
