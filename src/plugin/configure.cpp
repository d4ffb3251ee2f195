#include "plugin/configure.h"

#include <cstring>

#include "plugin/dialog_params.h"
#include "plugin/module_attach.h"
#include "region/rect_list.h"
#include "ui/dialog_host.h"

namespace wdi {

int32_t ConfigureCommand(const ActionRecord& copy) {
  const HostFilterRecord* filter = copy.filter;
  if (filter == nullptr || filter->current == nullptr || filter->current->block == nullptr) {
    return 0;
  }
  DeinterlaceParameters* hostBlock = filter->current->block;
  std::memcpy(&dialogParams, hostBlock, sizeof(DeinterlaceParameters));
  intptr_t result = RunSettingsDialog(moduleInstance, copy.ownerWindow, dialogParams, regionList);
  // -1: the dialog could not be shown, which is no OK.
  if (result == -1) return 0;
  if (result == 1) std::memcpy(hostBlock, &dialogParams, sizeof(DeinterlaceParameters));
  return static_cast<int32_t>(result & 1);
}

}  // namespace wdi
