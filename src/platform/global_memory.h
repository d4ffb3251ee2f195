// Movable, zero-initialised global memory: the memory that the host may see
// (stream state and buffers, option blocks handed to the host, the region
// object). Blocks are locked at once and freed through the block that a
// locked address belongs to.
#pragma once
#include <cstddef>

namespace wdi {

// Opaque handle of one global memory block.
using GlobalBlock = void*;

// Allocates `bytes` zeroed bytes as a movable block and locks it.
// Returns the locked address, or null when the memory is refused.
void* globalAllocLocked(size_t bytes);

// The block that a locked address belongs to; null for null.
GlobalBlock globalHandle(const void* address);

// Undoes one lock of the block.
void globalUnlock(GlobalBlock block);

// Gives the block back to the platform. A null block does nothing.
void globalFree(GlobalBlock block);

// Unlocks and frees the block that `address` belongs to; null does nothing.
inline void globalFreeLocked(void* address) {
  if (address == nullptr) return;
  GlobalBlock block = globalHandle(address);
  globalUnlock(block);
  globalFree(block);
}

}  // namespace wdi
