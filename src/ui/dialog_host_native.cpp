#include <utility>

#include "ui/dialog_host.h"
#include "ui/native_dialog_driver.h"

namespace wdi {
namespace {
SettingsDialogDriver& driver() {
  static SettingsDialogDriver instance;
  return instance;
}
}  // namespace

void SetSettingsDialogDriver(SettingsDialogDriver newDriver) { driver() = std::move(newDriver); }

intptr_t RunSettingsDialog(void* owner, const ActionRecord*) {
  if (!driver()) return -1;
  return driver()(owner);
}

}  // namespace wdi
