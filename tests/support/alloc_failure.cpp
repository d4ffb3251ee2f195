#include "support/alloc_failure.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace wdi::test {
namespace {

std::atomic<int64_t> countdown{-1};
std::atomic<bool> failed{false};

void* allocate(std::size_t n) {
  int64_t c = countdown.load(std::memory_order_relaxed);
  while (c >= 0) {
    if (countdown.compare_exchange_weak(c, c - 1, std::memory_order_relaxed)) {
      if (c == 0) {
        failed.store(true, std::memory_order_relaxed);
        throw std::bad_alloc();
      }
      break;
    }
  }
  void* p = std::malloc(n == 0 ? 1 : n);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

void FailAllocationAfter(int64_t n) {
  failed.store(false, std::memory_order_relaxed);
  countdown.store(n, std::memory_order_relaxed);
}

bool AllocationFailed() { return failed.load(std::memory_order_relaxed); }

}  // namespace wdi::test

void* operator new(std::size_t n) { return wdi::test::allocate(n); }
void* operator new[](std::size_t n) { return wdi::test::allocate(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return wdi::test::allocate(n);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return wdi::test::allocate(n);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
