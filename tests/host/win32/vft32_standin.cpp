#include "vft32_standin.h"

#include <windows.h>

#include <cstring>

#include "plugin/host_library.h"

using namespace wdi;
using wdi::standin::CallLog;

namespace {

CallLog gLog;

// What a host does with a key: a block of its own from the filter, the key's
// option block copied in (selector 0) and again (selector 3), then freed.
bool roundTrip(OptionBlockCallbackFn options, const HostKeyEntry& key) {
  void* block = nullptr;
  if (options(kAllocateOptionBlock, 0, &block, nullptr, nullptr) != 1 || block == nullptr) {
    return false;
  }
  static const uint8_t kZero[sizeof(DeinterlaceParameters)] = {};
  bool ok = std::memcmp(block, kZero, sizeof kZero) == 0;  // zeroed
  ok = ok && GlobalHandle(block) != nullptr;               // locked global memory
  // Junk in the upper half of the selector must not matter.
  ok = ok && options(0xABCD0000u | kCopyOptionFields, 0, &block, &key, nullptr) == 1;
  ok = ok && std::memcmp(block, key.block, sizeof(DeinterlaceParameters)) == 0;
  std::memset(block, 0, sizeof(DeinterlaceParameters));
  ok = ok && options(kCopyOptionBytes, 0, &block, &key, nullptr) == 1;
  ok = ok && std::memcmp(block, key.block, sizeof(DeinterlaceParameters)) == 0;
  ok = ok && options(kFreeOptionBlock, 0, &block, nullptr, nullptr) == 1;
  return ok;
}

bool frameCopy(FrameCopyCallbackFn frames) {
  uint8_t source[48];
  uint8_t destination[48];
  for (int i = 0; i < 48; ++i) source[i] = static_cast<uint8_t>(i * 7 + 1);
  std::memset(destination, 0xEE, sizeof destination);
  HostFrameCopyRecord record{};
  record.source = source;
  record.destination = destination;
  record.rowBytes = 8;
  record.rows = 5;
  if (frames(&record) != 1) return false;
  return std::memcmp(destination, source, 40) == 0 && destination[40] == 0xEE &&
         destination[47] == 0xEE;
}

}  // namespace

extern "C" CallLog* __cdecl standinLog() { return &gLog; }

extern "C" int32_t WDI_STDCALL MakeFilm(HostFilmRecord* film, OptionBlockCallbackFn options,
                                        FrameCopyCallbackFn frames, int32_t mode) {
  ++gLog.makeFilmCalls;
  gLog.film = film;
  gLog.mode = mode;
  gLog.options = options;
  gLog.frames = frames;
  gLog.filmKeys = film != nullptr ? film->keys : nullptr;
  gLog.roundTrips = 0;
  gLog.frameCopiesOk = 0;
  if (gLog.filmKeys != nullptr) {
    gLog.keyListSeen = *gLog.filmKeys;
    for (int32_t i = 0; i < gLog.keyListSeen.count && i < 4; ++i) {
      const HostKeyEntry& key = gLog.keyListSeen.entries[i];
      gLog.keyEntriesSeen[i] = key;
      if (key.block != nullptr) gLog.keyBlocksSeen[i] = *key.block;
      if (options != nullptr && key.block != nullptr && roundTrip(options, key)) ++gLog.roundTrips;
    }
  }
  if (frames != nullptr && frameCopy(frames)) ++gLog.frameCopiesOk;
  return gLog.makeFilmResult;
}

extern "C" int32_t WDI_STDCALL IsSameOption(HostFilterRecord* filter, OptionBlockCallbackFn options,
                                            uint32_t value, uint32_t flags, int32_t blockSize) {
  ++gLog.isSameOptionCalls;
  gLog.isSameFilter = filter;
  gLog.isSameCallback = options;
  gLog.isSameValue = value;
  gLog.isSameFlags = flags;
  gLog.isSameBlockSize = blockSize;
  if (gLog.isSameOptionResult != -1) return gLog.isSameOptionResult;
  if (filter == nullptr || filter->current == nullptr || options == nullptr) return 0;
  // Compares through blocks of the filter's own making, as a host would.
  void* current = nullptr;
  void* stored = nullptr;
  options(kAllocateOptionBlock, 0, &current, nullptr, nullptr);
  options(kAllocateOptionBlock, 0, &stored, nullptr, nullptr);
  HostOptionRef storedRef{0, &gLog.storedBlock};
  options(kCopyOptionFields, flags, &current, filter->current, nullptr);
  options(kCopyOptionBytes, flags, &stored, &storedRef, nullptr);
  const bool same = current != nullptr && stored != nullptr &&
                    std::memcmp(current, stored, sizeof(DeinterlaceParameters)) == 0;
  options(kFreeOptionBlock, 0, &current, nullptr, nullptr);
  options(kFreeOptionBlock, 0, &stored, nullptr, nullptr);
  return same ? 1 : 0;
}

extern "C" int32_t WDI_STDCALL vft32FindKey(HostFilterRecord* filter, HostKeyEntry** key,
                                            uint32_t keyValue, uint32_t flags) {
  ++gLog.findKeyCalls;
  gLog.findFilter = filter;
  gLog.findTarget = key;
  gLog.findKeyValue = keyValue;
  gLog.findFlags = flags;
  if (key == nullptr || gLog.findKeyIndex < 0 || gLog.findKeyIndex >= 4) return 0;
  for (int i = 0; i < 4; ++i) gLog.keys[i].block = &gLog.keyBlocks[i];
  *key = &gLog.keys[gLog.findKeyIndex];
  return 1;
}
