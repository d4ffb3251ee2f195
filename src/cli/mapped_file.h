// Read-only mapping of the rest of a regular input file. The host path
// (wdeint --bgr24) hands the images to the module where they lie in the page
// cache, without copying each into a buffer first.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace wdi::cli {

class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile() { unmap(); }

  // Maps `file` from its current stream position to its current end, when
  // it is a regular file with bytes left there. False (nothing mapped) for
  // pipes, terminals, empty rests and failed mappings: the caller reads.
  // A mapped file that another process cuts short while it is mapped ends
  // the program with a one-line message (SIGBUS) instead of a crash.
  bool map(std::FILE* file);
  void unmap();

  // Lets go of the pages before data() + offset: they stop counting as
  // resident memory of the process (the page cache keeps them).
  void release(size_t offset);

  bool mapped() const { return base_ != nullptr; }
  // The bytes from the position map() was called at; size() of them.
  const uint8_t* data() const { return base_ + start_; }
  size_t size() const { return end_ - start_; }

 private:
  uint8_t* base_ = nullptr;
  size_t start_ = 0;
  size_t end_ = 0;
  size_t released_ = 0;  // from base_, a multiple of the page size
};

}  // namespace wdi::cli
