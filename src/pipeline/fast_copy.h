// Byte copy used for every frame and row copy of the pipeline.
#pragma once
#include <cstddef>

namespace wdi {

// Copies n bytes: n/64 blocks of 64 bytes, then the tail. The ranges must not overlap.
void FastCopy(void* dst, const void* src, size_t n);

}  // namespace wdi
