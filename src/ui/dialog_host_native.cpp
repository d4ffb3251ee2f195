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

intptr_t RunSettingsDialog(void*, void* owner, DeinterlaceParameters& params, CRectList* region) {
  if (!driver()) return -1;
  return driver()(owner, params, region);
}

}  // namespace wdi
