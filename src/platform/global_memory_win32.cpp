#include <windows.h>

#include "platform/global_memory.h"

namespace wdi {

void* globalAllocLocked(size_t bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  if (block == nullptr) return nullptr;
  void* address = GlobalLock(block);
  if (address == nullptr) GlobalFree(block);
  return address;
}

GlobalBlock globalHandle(const void* address) {
  return address == nullptr ? nullptr : GlobalHandle(address);
}

void globalUnlock(GlobalBlock block) {
  if (block != nullptr) GlobalUnlock(block);
}

void globalFree(GlobalBlock block) {
  if (block != nullptr) GlobalFree(block);
}

}  // namespace wdi
