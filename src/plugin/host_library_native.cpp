#include "plugin/host_library.h"

namespace wdi {
namespace {

HostLibraryHooks gHooks;

}  // namespace

void setHostLibraryHooks(const HostLibraryHooks& hooks) { gHooks = hooks; }

}  // namespace wdi

extern "C" {

int32_t WDI_STDCALL MakeFilm(wdi::HostFilmRecord* film, wdi::OptionBlockCallbackFn options,
                             wdi::FrameCopyCallbackFn frames, int32_t mode) {
  if (wdi::gHooks.makeFilm != nullptr) return wdi::gHooks.makeFilm(film, options, frames, mode);
  return 1;
}

int32_t WDI_STDCALL IsSameOption(wdi::HostFilterRecord* filter, wdi::OptionBlockCallbackFn options,
                                 uint32_t value, uint32_t flags, int32_t blockSize) {
  if (wdi::gHooks.isSameOption != nullptr) {
    return wdi::gHooks.isSameOption(filter, options, value, flags, blockSize);
  }
  return 1;
}

int32_t WDI_STDCALL vft32FindKey(wdi::HostFilterRecord* filter, wdi::HostKeyEntry** key,
                                 uint32_t keyValue, uint32_t flags) {
  if (wdi::gHooks.findKey != nullptr) return wdi::gHooks.findKey(filter, key, keyValue, flags);
  return 0;
}

}  // extern "C"
