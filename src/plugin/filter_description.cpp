#include "plugin/filter_description.h"

#include <algorithm>
#include <cstring>

#include "platform/entry_guard.h"
#include "plugin/host_library.h"
#include "plugin/option_blocks.h"
#include "ui/resource.h"

namespace wdi {
namespace {

struct StringEntry {
  uint32_t id;
  const char* text;
};

constexpr StringEntry kStringTable[] = {
    {IDS_OUT_OF_MEMORY,
     "Insufficient memory. Please close other programs to free system resources and try again."},
    {IDS_HELP_FILE, "VFILTER.HLP >d"},
    {IDS_SHORT_NAME, "WDeinterlace"},
    {IDS_FILTER_NAME, "Deinterlace"},
    {IDS_MAKER_NAME, "Wyndvale"},
    {IDS_FILTER_MENU_NAME, "D&interlace"},
    {IDS_MAKER_MENU_NAME, "&Wyndvale"},
};

// Strings pass through a buffer of this many characters.
constexpr int32_t kStringBuffer = 64;

template <size_t N>
void loadInto(char (&slot)[N], uint32_t id, StringLoader load) {
  char buffer[kStringBuffer] = {};
  load(id, buffer, kStringBuffer);
  buffer[kStringBuffer - 1] = '\0';
  // The 16-byte slot keeps 15 characters and the NUL; the rest stays zero.
  const size_t length = std::min(std::strlen(buffer), N - 1);
  std::memcpy(slot, buffer, length);
  slot[length] = '\0';
}

}  // namespace

DeinterlaceParameters firstKeyDefaultBlock = kDefaultParameters;
DeinterlaceParameters laterKeyDefaultBlock = kDefaultParameters;

int32_t BuiltinString(uint32_t id, char* buffer, int32_t size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = '\0';
  for (const StringEntry& entry : kStringTable) {
    if (entry.id != id) continue;
    const size_t length = std::min(std::strlen(entry.text), static_cast<size_t>(size) - 1);
    std::memcpy(buffer, entry.text, length);
    buffer[length] = '\0';
    return static_cast<int32_t>(length);
  }
  return 0;
}

void FillFilterDescription(FilterDescription* description, StringLoader load) {
  description->interfaceVersion = kFilterInterfaceVersion;
  loadInto(description->shortName, IDS_SHORT_NAME, load);
  loadInto(description->name, IDS_FILTER_NAME, load);
  loadInto(description->menuName, IDS_FILTER_MENU_NAME, load);
  loadInto(description->maker, IDS_MAKER_NAME, load);
  loadInto(description->menuMaker, IDS_MAKER_MENU_NAME, load);
  description->hostValues[0] = 24;
  description->hostValues[1] = 100;
  description->hostValues[2] = 29;
}

namespace {

int32_t defaultKeyBlocks(HostKeyList* list) {
  if (list == nullptr || list->entries == nullptr) return 1;
  for (int32_t i = 0; i < list->count; ++i) {
    DeinterlaceParameters* block = list->entries[i].block;
    if (block == nullptr) continue;
    std::memcpy(block, i == 0 ? &firstKeyDefaultBlock : &laterKeyDefaultBlock,
                sizeof(DeinterlaceParameters));
  }
  return 1;
}

int32_t makeFilm(HostFilmRecord* film) {
  if (film == nullptr) return 1;
  // A film without keys gets two default keys, at positions 0 and 9, for the
  // duration of the call.
  HostKeyEntry entries[2] = {{0, &firstKeyDefaultBlock}, {9, &laterKeyDefaultBlock}};
  HostKeyList list = {0, 9, 2, entries};
  const bool ownList = film->keys == nullptr;
  if (ownList) film->keys = &list;
  const int32_t result = MakeFilm(film, &OptionBlockCallback, &FrameCopyCallback, -1);
  if (ownList) film->keys = nullptr;
  return result;
}

}  // namespace
}  // namespace wdi

extern "C" int32_t WDI_STDCALL vfExpress(void* buffer) {
  return wdi::GuardEntry<int32_t>(0, [buffer]() -> int32_t {
    if (buffer != nullptr) {
      std::memcpy(buffer, &wdi::filterDescription, sizeof(wdi::FilterDescription));
    }
    return 1;
  });
}

extern "C" int32_t WDI_STDCALL vfGetInfo(int32_t, int32_t, int32_t selector, void* record) {
  using namespace wdi;
  // 0: what a failed key or film request reports.
  return GuardEntry<int32_t>(0, [selector, record]() -> int32_t {
    switch (selector) {
      case 0:
        return defaultKeyBlocks(static_cast<HostKeyList*>(record));
      case 1:
        return makeFilm(static_cast<HostFilmRecord*>(record));
      case 2:
        if (record != nullptr) {
          std::memcpy(record, kFilterDescriptionText, sizeof(kFilterDescriptionText));
        }
        return 1;
      case 3:
        return 0;
      default:
        return 1;
    }
  });
}
