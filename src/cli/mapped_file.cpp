#include "cli/mapped_file.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "cli/options.h"

namespace wdi::cli {

namespace {

void inputCutShort(int) {
  static const char kMessage[] = "wdeint: the input file was cut short while being read\n";
  const ssize_t ignored = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  (void)ignored;
  _exit(kExitFailure);
}

}  // namespace

bool MappedFile::map(std::FILE* file) {
  unmap();
  const int fd = fileno(file);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const long position = std::ftell(file);
  if (position < 0 ||
      static_cast<unsigned long long>(position) >= static_cast<unsigned long long>(st.st_size)) {
    return false;
  }
  const auto bytes = static_cast<size_t>(st.st_size);
  void* p = mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE, fd, 0);
  if (p == MAP_FAILED) return false;
  madvise(p, bytes, MADV_SEQUENTIAL);
  struct sigaction action {};
  action.sa_handler = inputCutShort;
  sigemptyset(&action.sa_mask);
  sigaction(SIGBUS, &action, nullptr);
  base_ = static_cast<uint8_t*>(p);
  start_ = static_cast<size_t>(position);
  end_ = bytes;
  released_ = 0;
  return true;
}

void MappedFile::release(size_t offset) {
  // In steps of a few MiB, so that a stream of small frames makes few calls.
  constexpr size_t kStep = size_t{4} << 20;
  const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const size_t upTo = (start_ + offset) / page * page;
  if (base_ == nullptr || upTo < released_ + kStep) return;
  madvise(base_ + released_, upTo - released_, MADV_DONTNEED);
  released_ = upTo;
}

void MappedFile::unmap() {
  if (base_ != nullptr) munmap(base_, end_);
  base_ = nullptr;
  start_ = end_ = released_ = 0;
}

}  // namespace wdi::cli
