// What the host reads about the filter: the 288-byte description, the
// one-line description text and the default option blocks given to its keys.
#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/deinterlace_parameters.h"
#include "plugin/host_records.h"

namespace wdi {

// Character fields are NUL-terminated and zero-padded.
struct FilterDescription {
  uint32_t interfaceVersion;  // 0x00040000
  char shortName[16];         // string 300
  char name[64];              // string 310
  char menuName[64];          // string 360, with its accelerator mark
  char maker[64];             // string 320
  char menuMaker[64];         // string 370, with its accelerator mark
  int32_t hostValues[3];      // 24, 100, 29
};
static_assert(sizeof(FilterDescription) == 288, "the host reads 288 bytes");
static_assert(offsetof(FilterDescription, shortName) == 4, "host layout");
static_assert(offsetof(FilterDescription, name) == 20, "host layout");
static_assert(offsetof(FilterDescription, menuName) == 84, "host layout");
static_assert(offsetof(FilterDescription, maker) == 148, "host layout");
static_assert(offsetof(FilterDescription, menuMaker) == 212, "host layout");
static_assert(offsetof(FilterDescription, hostValues) == 276, "host layout");

constexpr uint32_t kFilterInterfaceVersion = 0x00040000u;

// vfGetInfo selector 2 hands out this text with its NUL (26 bytes).
constexpr char kFilterDescriptionText[] = "Removes interlace effect.";
static_assert(sizeof(kFilterDescriptionText) == 26, "26 bytes with the NUL");

// Loads string `id` into `buffer` of `size` characters, NUL-terminated (an
// empty string when there is none); returns the characters loaded.
using StringLoader = int32_t (*)(uint32_t id, char* buffer, int32_t size);

// The module's string table as text constants; what the native build uses.
int32_t BuiltinString(uint32_t id, char* buffer, int32_t size);

// Fills a zeroed description: the interface version, strings 300, 310, 360,
// 320 and 370 (each through a 64-character buffer, cut to its slot), then
// the three host values.
void FillFilterDescription(FilterDescription* description, StringLoader load);

// Process-wide, filled once at load (module attach; natively at start-up).
extern FilterDescription filterDescription;

// The defaults of a film's first key and of every later key: both are
// kDefaultParameters. Keys built by vfGetInfo point at them.
extern DeinterlaceParameters firstKeyDefaultBlock;
extern DeinterlaceParameters laterKeyDefaultBlock;

}  // namespace wdi

// Copies the 288-byte description into `buffer` unless it is null; 1.
extern "C" int32_t WDI_STDCALL vfExpress(void* buffer);

// The first two arguments are not used. Selector 0: default blocks into a key
// list; 1: MakeFilm on a film record (with a key list of our own when it has
// none); 2: the description text into a buffer of 26 bytes or more; 3: 0;
// others: 1. A null record for 0, 1 or 2 does nothing and returns 1.
extern "C" int32_t WDI_STDCALL vfGetInfo(int32_t unusedA, int32_t unusedB, int32_t selector,
                                         void* record);
