#include <windows.h>

#include <string>

#include "platform/file_replace.h"

namespace wdi {
namespace {

// A temporary file in the target's directory (so the move stays on one
// volume), created exclusively.
HANDLE createTemporary(const std::string& target, std::string* tempPath) {
  static LONG counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *tempPath = target + ".tmp" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(InterlockedIncrement(&counter));
    HANDLE file = CreateFileA(tempPath->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

bool replaceFileContents(const char* path, const void* data, size_t size) {
  if (path == nullptr || *path == '\0') return false;
  std::string tempPath;
  HANDLE file = createTemporary(path, &tempPath);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  const char* bytes = static_cast<const char*>(data);
  while (ok && size > 0) {
    DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    ok = WriteFile(file, bytes, chunk, &written, nullptr) != 0 && written == chunk;
    bytes += written;
    size -= written;
  }
  if (ok) ok = FlushFileBuffers(file) != 0;
  if (!CloseHandle(file)) ok = false;
  if (ok) {
    ok = MoveFileExA(tempPath.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
         0;
  }
  if (!ok) DeleteFileA(tempPath.c_str());
  return ok;
}

}  // namespace wdi
