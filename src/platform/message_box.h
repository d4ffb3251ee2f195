// The user sees messages in a modal box with one OK button, owned by the
// window that has the keyboard focus.
#pragma once

namespace wdi {

// Shows `text` under `caption` and returns when the user has closed the box.
void showFocusMessageBox(const char* text, const char* caption);

}  // namespace wdi
