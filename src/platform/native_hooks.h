// Native build only: how tests observe and steer the platform layer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

namespace wdi {

// Global memory blocks allocated and not yet freed.
size_t globalLiveBlocks();

// Size that the block of a locked address was allocated with.
size_t globalBlockBytes(const void* address);

// Refuses one global allocation: the one after `successes` more successful
// ones (0 = the next). A negative value cancels a pending refusal.
void globalRefuseAfter(int64_t successes);

// Every message box goes to `hook` instead of standard error; an empty hook
// restores standard error.
using MessageBoxHook = std::function<void(const char* text, const char* caption)>;
void setMessageBoxHook(MessageBoxHook hook);

// The value GetHostMajorVersion() reports (7 until set).
void setHostMajorVersion(int32_t version);

}  // namespace wdi
