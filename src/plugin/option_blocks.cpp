#include "plugin/option_blocks.h"

#include <cstring>

#include "platform/global_memory.h"
#include "plugin/host_library.h"

namespace wdi {

int32_t WDI_STDCALL OptionBlockCallback(uint32_t selector, uint32_t, void** block,
                                        const HostOptionRef* source, const void*) {
  // The host may pass junk in the upper half of the selector.
  switch (selector & 0xFFFFu) {
    case kCopyOptionFields:
    case kCopyOptionBytes:
      // Both copy the whole 24-byte block: six 32-bit fields are all of it.
      if (block == nullptr || *block == nullptr || source == nullptr || source->block == nullptr) {
        return 1;
      }
      std::memcpy(*block, source->block, sizeof(DeinterlaceParameters));
      return 1;
    case kAllocateOptionBlock: {
      if (block == nullptr) return 0;
      *block = globalAllocLocked(sizeof(DeinterlaceParameters));
      return *block != nullptr ? 1 : 0;
    }
    case kFreeOptionBlock:
      // The host clears its own pointer.
      if (block != nullptr) globalFreeLocked(*block);
      return 1;
    default:
      return 1;
  }
}

int32_t WDI_STDCALL FrameCopyCallback(const HostFrameCopyRecord* record) {
  if (record == nullptr || record->source == nullptr || record->destination == nullptr ||
      record->rowBytes <= 0 || record->rows <= 0) {
    return 1;
  }
  // Both factors are below 2^31, so the product fits 62 bits.
  const uint64_t bytes =
      static_cast<uint64_t>(record->rowBytes) * static_cast<uint64_t>(record->rows);
  if (bytes > SIZE_MAX) return 1;
  std::memcpy(record->destination, record->source, static_cast<size_t>(bytes));
  return 1;
}

int32_t CompareOptionsCommand(const ActionRecord& copy) {
  return IsSameOption(copy.filter, &OptionBlockCallback, copy.compareValue, copy.flags,
                      static_cast<int32_t>(sizeof(DeinterlaceParameters)));
}

int32_t LoadKeyOptionsCommand(ActionRecord* host, const ActionRecord& copy) {
  HostKeyEntry* key = nullptr;
  vft32FindKey(copy.filter, &key, copy.keyValue, copy.flags);
  // A host that found no key leaves the pointer null: there is nothing to copy.
  if (key == nullptr) return 1;
  if (copy.keyValue > 1) {
    // Several keys: the block of the entry before the found one goes to the
    // block that the host's offset 64 points to.
    return OptionBlockCallback(kCopyOptionFields, copy.flags, &host->state, key - 1, key);
  }
  if (copy.keyOptions != nullptr && key->block != nullptr) {
    std::memcpy(copy.keyOptions, key->block, sizeof(DeinterlaceParameters));
  }
  return 1;
}

}  // namespace wdi
