// Global memory on the C++ heap: each block carries a small header before the
// address handed out, so the handle of an address is found without a table.
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

#include "platform/global_memory.h"
#include "platform/native_hooks.h"

namespace wdi {
namespace {

constexpr uint32_t kBlockMagic = 0x57444942;  // "WDIB"

// 32 bytes keep the data as aligned as the heap's blocks.
struct alignas(32) BlockHeader {
  size_t bytes;
  uint32_t magic;
  uint32_t locks;
};
static_assert(sizeof(BlockHeader) == 32, "data follows a 32-byte header");

size_t liveBlocks = 0;
int64_t refuseCountdown = -1;

BlockHeader* headerOf(GlobalBlock block) { return static_cast<BlockHeader*>(block); }

}  // namespace

void* globalAllocLocked(size_t bytes) {
  if (refuseCountdown == 0) {
    refuseCountdown = -1;
    return nullptr;
  }
  if (refuseCountdown > 0) --refuseCountdown;
  if (bytes > std::numeric_limits<size_t>::max() - sizeof(BlockHeader)) return nullptr;
  void* raw = ::operator new (sizeof(BlockHeader) + bytes, std::align_val_t{alignof(BlockHeader)},
                              std::nothrow);
  if (raw == nullptr) return nullptr;
  std::memset(raw, 0, sizeof(BlockHeader) + bytes);
  BlockHeader* header = ::new (raw) BlockHeader{bytes, kBlockMagic, 1};
  ++liveBlocks;
  return header + 1;
}

GlobalBlock globalHandle(const void* address) {
  if (address == nullptr) return nullptr;
  const BlockHeader* header = static_cast<const BlockHeader*>(address) - 1;
  return const_cast<BlockHeader*>(header);
}

void globalUnlock(GlobalBlock block) {
  if (block == nullptr) return;
  BlockHeader* header = headerOf(block);
  if (header->locks > 0) --header->locks;
}

void globalFree(GlobalBlock block) {
  if (block == nullptr) return;
  BlockHeader* header = headerOf(block);
  header->magic = 0;  // a second free of the same block shows up under ASan
  ::operator delete (header, std::align_val_t{alignof(BlockHeader)});
  --liveBlocks;
}

size_t globalLiveBlocks() { return liveBlocks; }

size_t globalBlockBytes(const void* address) {
  return address == nullptr ? 0 : headerOf(globalHandle(address))->bytes;
}

void globalRefuseAfter(int64_t successes) { refuseCountdown = successes < 0 ? -1 : successes; }

}  // namespace wdi
