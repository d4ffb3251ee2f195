// Replacing a file as a whole: the new contents go to a temporary file beside
// the target, which is then renamed over it, so readers see either the old
// file or the new one and a failed write leaves the old file as it was.
#pragma once
#include <cstddef>

namespace wdi {

// Writes `size` bytes from `data` as the new contents of `path`, creating it
// when it does not exist. Returns false, with the old file (if any) and no
// temporary file left behind, when any step fails.
bool replaceFileContents(const char* path, const void* data, size_t size);

}  // namespace wdi
