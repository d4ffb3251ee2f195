// The three functions of the host library Vft32.dll that the filter calls.
// The module imports them by these undecorated names; the native build
// links stand-ins whose behaviour tests can replace.
#pragma once
#include <cstdint>

#include "plugin/host_records.h"
#include "plugin/option_blocks.h"

extern "C" {

// Builds the host's film from the record's key list with the two callbacks;
// the filter passes `mode` -1 and hands the result back unchanged.
int32_t WDI_STDCALL MakeFilm(wdi::HostFilmRecord* film, wdi::OptionBlockCallbackFn options,
                             wdi::FrameCopyCallbackFn frames, int32_t mode);

// Compares option blocks of the filter record through the callback; the
// filter passes `blockSize` 24 and hands the result back unchanged.
int32_t WDI_STDCALL IsSameOption(wdi::HostFilterRecord* filter, wdi::OptionBlockCallbackFn options,
                                 uint32_t value, uint32_t flags, int32_t blockSize);

// Stores a pointer to a key entry of the filter record in *key.
int32_t WDI_STDCALL vft32FindKey(wdi::HostFilterRecord* filter, wdi::HostKeyEntry** key,
                                 uint32_t keyValue, uint32_t flags);

}  // extern "C"

#if !defined(_WIN32)
namespace wdi {

// Native build only: what the stand-ins do. A null member keeps the default
// (MakeFilm and IsSameOption return 1, vft32FindKey stores nothing and
// returns 0).
struct HostLibraryHooks {
  decltype(&::MakeFilm) makeFilm = nullptr;
  decltype(&::IsSameOption) isSameOption = nullptr;
  decltype(&::vft32FindKey) findKey = nullptr;
};

// Replaces the stand-ins' behaviour; HostLibraryHooks{} restores the defaults.
void setHostLibraryHooks(const HostLibraryHooks& hooks);

}  // namespace wdi
#endif
