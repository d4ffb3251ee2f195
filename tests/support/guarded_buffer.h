// Buffers for kernel tests: a sentinel-filled area between guard bytes, so a
// test sees both wrong results and writes outside the area.
#pragma once
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace wdi::test {

constexpr size_t kGuardBytes = 64;
constexpr uint8_t kGuardValue = 0xA5;

class GuardedBuffer {
 public:
  explicit GuardedBuffer(size_t size, uint8_t fill = 0xCD)
      : size_(size), storage_(size + 2 * kGuardBytes, kGuardValue) {
    std::memset(data(), fill, size);
  }
  uint8_t* data() { return storage_.data() + kGuardBytes; }
  const uint8_t* data() const { return storage_.data() + kGuardBytes; }
  size_t size() const { return size_; }
  bool guardsIntact() const {
    for (size_t i = 0; i < kGuardBytes; ++i) {
      if (storage_[i] != kGuardValue || storage_[kGuardBytes + size_ + i] != kGuardValue)
        return false;
    }
    return true;
  }
  // Whole storage, guards included, so two buffers compare with one memcmp.
  const std::vector<uint8_t>& storage() const { return storage_; }

 private:
  size_t size_;
  std::vector<uint8_t> storage_;
};

// Whole storages equal, or where they first differ: in the area as row and column (with
// `rowBytes`, else as an offset), or in a guard before or after it, with both bytes.
inline ::testing::AssertionResult sameBytes(const GuardedBuffer& want, const GuardedBuffer& got,
                                            size_t rowBytes = 0) {
  if (want.size() != got.size()) {
    return ::testing::AssertionFailure() << "sizes " << want.size() << " and " << got.size();
  }
  const std::vector<uint8_t>& a = want.storage();
  const std::vector<uint8_t>& b = got.storage();
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) continue;
    auto failure = ::testing::AssertionFailure();
    if (i < kGuardBytes) {
      failure << "guard byte " << (kGuardBytes - i) << " before the area";
    } else if (i >= kGuardBytes + want.size()) {
      failure << "guard byte " << (i - kGuardBytes - want.size()) << " after the area";
    } else if (rowBytes != 0) {
      failure << "row " << (i - kGuardBytes) / rowBytes << ", column "
              << (i - kGuardBytes) % rowBytes;
    } else {
      failure << "offset " << (i - kGuardBytes);
    }
    return failure << " first differs: " << int{a[i]} << " wanted, " << int{b[i]} << " got";
  }
  return ::testing::AssertionSuccess();
}

// Fixed seed, printed so a failure can be reproduced.
inline std::mt19937 seededRng(uint32_t seed) {
  std::printf("[ seed     ] %u\n", seed);
  return std::mt19937(seed);
}

inline void fillRandom(uint8_t* p, size_t n, std::mt19937& rng) {
  std::uniform_int_distribution<int> d(0, 255);
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(d(rng));
}

}  // namespace wdi::test
