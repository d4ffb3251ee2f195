// The host's handling of option blocks: the two callbacks that the host gets
// through MakeFilm and IsSameOption, the host records they see, and the
// vfAction commands CompareOptions and LoadKeyOptions.
#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/deinterlace_parameters.h"
#include "plugin/host_records.h"

namespace wdi {

// A key entry of the host (8 bytes on the module): key position, then the
// key's option block. Same shape as HostOptionRef.
using HostKeyEntry = HostOptionRef;

// The host's key list.
struct HostKeyList {
  uint32_t reserved0;
  int32_t lastPosition;   // 4: not read; our own list puts its last key here
  int32_t count;          // 8: number of keys, signed
  HostKeyEntry* entries;  // 12
};

// The host's film record; only the key list pointer is ours to touch.
struct HostFilmRecord {
  uint32_t reserved[2];
  HostKeyList* keys;  // 8: null when the host has no list yet
};

// What FrameCopyCallback gets: copies rowBytes * rows bytes.
struct HostFrameCopyRecord {
  const uint8_t* source;  // 0
  uint8_t* destination;   // 4
  uint32_t reserved8[4];
  int32_t rowBytes;  // 24
  uint32_t reserved28;
  int32_t rows;  // 32
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(HostKeyEntry) == 8, "key entry is 8 bytes");
static_assert(offsetof(HostKeyList, lastPosition) == 4, "host layout");
static_assert(offsetof(HostKeyList, count) == 8, "host layout");
static_assert(offsetof(HostKeyList, entries) == 12, "host layout");
static_assert(offsetof(HostFilmRecord, keys) == 8, "host layout");
static_assert(offsetof(HostFrameCopyRecord, destination) == 4, "host layout");
static_assert(offsetof(HostFrameCopyRecord, rowBytes) == 24, "host layout");
static_assert(offsetof(HostFrameCopyRecord, rows) == 32, "host layout");
#endif

// OptionBlockCallback selectors (only the low 16 bits of the first argument
// count).
enum OptionBlockSelector : uint32_t {
  kCopyOptionFields = 0,     // six 32-bit fields from the source's block into *block
  kAllocateOptionBlock = 1,  // 24 zeroed bytes of locked global memory into *block
  kFreeOptionBlock = 2,      // unlock and free *block, unless null
  kCopyOptionBytes = 3,      // 24 bytes from the source's block into *block
};

using OptionBlockCallbackFn = int32_t(WDI_STDCALL*)(uint32_t selector, uint32_t unusedB,
                                                    void** block, const HostOptionRef* source,
                                                    const void* unusedE);
using FrameCopyCallbackFn = int32_t(WDI_STDCALL*)(const HostFrameCopyRecord* record);

// `block` is the address of the host's pointer to an option block. A null
// block pointer or source makes selectors 0, 2 and 3 do nothing (result 1).
// Selector 1 returns 0 (and leaves *block null) when the memory is refused.
int32_t WDI_STDCALL OptionBlockCallback(uint32_t selector, uint32_t unusedB, void** block,
                                        const HostOptionRef* source, const void* unusedE);

// Copies rowBytes * rows bytes from source to destination; nothing for a null
// record or address or a count that is not positive. Returns 1.
int32_t WDI_STDCALL FrameCopyCallback(const HostFrameCopyRecord* record);

// vfAction command 4: IsSameOption on the filter record of the private copy
// of the command record; its result goes back to the host unchanged.
int32_t CompareOptionsCommand(const ActionRecord& copy);

// vfAction command 5: fetches a key through vft32FindKey and copies its
// option block; into the block at offset 64 of the host's record (multi-key,
// keyValue > 1) or at offset 44 of the copy. Without a key entry nothing is
// copied. Returns 1.
int32_t LoadKeyOptionsCommand(ActionRecord* host, const ActionRecord& copy);

}  // namespace wdi
