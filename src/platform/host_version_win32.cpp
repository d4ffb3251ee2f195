// The version resource of the process's executable, not of this module.
#include <windows.h>

#include <memory>
#include <new>

#include "platform/host_version.h"

namespace wdi {

int32_t GetHostMajorVersion() {
  char path[MAX_PATH] = {};
  if (GetModuleFileNameA(nullptr, path, MAX_PATH) == 0) return kCurrentHostMajorVersion;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  // A host without version information counts as current.
  if (size == 0) return kCurrentHostMajorVersion;
  // No exception may leave for the host: a refused block counts as current.
  std::unique_ptr<char[]> block(new (std::nothrow) char[size]);
  if (block == nullptr || !GetFileVersionInfoA(path, 0, size, block.get())) {
    return kCurrentHostMajorVersion;
  }
  VS_FIXEDFILEINFO* info = nullptr;
  UINT infoSize = 0;
  if (!VerQueryValueA(block.get(), "\\", reinterpret_cast<void**>(&info), &infoSize) ||
      info == nullptr || infoSize < sizeof(VS_FIXEDFILEINFO)) {
    return kCurrentHostMajorVersion;
  }
  return static_cast<int32_t>(HIWORD(info->dwFileVersionMS));
}

}  // namespace wdi
