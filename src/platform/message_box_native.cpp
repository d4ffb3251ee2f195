// Without a desktop, messages go to standard error unless a test takes them.
#include <cstdio>
#include <utility>

#include "platform/message_box.h"
#include "platform/native_hooks.h"

namespace wdi {
namespace {
MessageBoxHook& hook() {
  static MessageBoxHook instance;
  return instance;
}
}  // namespace

void showFocusMessageBox(const char* text, const char* caption) {
  if (hook()) {
    hook()(text, caption);
    return;
  }
  std::fprintf(stderr, "%s: %s\n", caption, text);
}

void setMessageBoxHook(MessageBoxHook newHook) { hook() = std::move(newHook); }

}  // namespace wdi
