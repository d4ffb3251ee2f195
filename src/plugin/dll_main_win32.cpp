// The module's load notification. The host refuses a module whose attach
// fails; the reason is in the thread's last error.
#include <windows.h>

#include "platform/entry_guard.h"
#include "plugin/module_attach.h"

namespace {

int32_t loadModuleString(uint32_t id, char* buffer, int32_t size) {
  const int loaded = LoadStringA(static_cast<HINSTANCE>(wdi::moduleInstance), id, buffer, size);
  if (loaded <= 0 && size > 0) buffer[0] = '\0';
  return loaded;
}

}  // namespace

namespace wdi {

FilterDescription filterDescription = {};

}  // namespace wdi

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  // A failure the attach code did not foresee refuses the load as a failed check does.
  return wdi::GuardEntry<BOOL>(FALSE, [instance]() -> BOOL {
    const uint32_t error = wdi::AttachModule(wdi::DetectCpuFeatures(), instance, &loadModuleString,
                                             &wdi::filterDescription);
    if (error != 0) {
      SetLastError(error);
      return FALSE;
    }
    return TRUE;
  });
}
