#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/file_replace.h"

namespace wdi {
namespace {

bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// A temporary file in the target's directory (so the rename stays on one
// file system), created exclusively with the usual permissions.
int createTemporary(const std::string& target, std::string* tempPath) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    *tempPath = target + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    int fd = ::open(tempPath->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

bool replaceFileContents(const char* path, const void* data, size_t size) {
  if (path == nullptr || *path == '\0') return false;
  // Through a symbolic link the file it names is replaced, not the link.
  std::string target = path;
  struct stat old {};
  bool exists = ::stat(path, &old) == 0;
  if (exists) {
    char* real = ::realpath(path, nullptr);
    if (real == nullptr) return false;
    target = real;
    std::free(real);
  }

  std::string tempPath;
  int fd = createTemporary(target, &tempPath);
  if (fd < 0) return false;
  bool ok = writeAll(fd, static_cast<const char*>(data), size);
  // An existing file keeps its permission bits.
  if (ok && exists) ok = ::fchmod(fd, old.st_mode & 07777) == 0;
  // On disk before the rename, so a crash cannot leave an empty file behind.
  if (ok) ok = ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok) ok = std::rename(tempPath.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(tempPath.c_str());
  return ok;
}

}  // namespace wdi
