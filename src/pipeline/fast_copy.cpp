#include "pipeline/fast_copy.h"

#include <cstring>

namespace wdi {

void FastCopy(void* dst, const void* src, size_t n) {
  auto* d = static_cast<unsigned char*>(dst);
  const auto* s = static_cast<const unsigned char*>(src);
  // Fixed-size blocks let the compiler emit straight vector moves.
  for (size_t blocks = n / 64; blocks != 0; --blocks) {
    std::memcpy(d, s, 64);
    d += 64;
    s += 64;
  }
  for (size_t tail = n % 64; tail != 0; --tail) *d++ = *s++;
}

}  // namespace wdi
