#include <windows.h>

#include "platform/message_box.h"

namespace wdi {

void showFocusMessageBox(const char* text, const char* caption) {
  MessageBoxA(GetFocus(), text, caption, MB_OK);
}

}  // namespace wdi
