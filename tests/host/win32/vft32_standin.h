// Our own Vft32.dll for running the module under Wine: it exports the three
// functions that the module imports, does with them what a host would, and
// records every call for the test host.
#pragma once
#include <cstdint>

#include "plugin/option_blocks.h"

namespace wdi::standin {

struct CallLog {
  // What the next calls do.
  int32_t makeFilmResult = 0x4D46;       // handed back by MakeFilm
  int32_t isSameOptionResult = -1;       // -1: compare the blocks; else returned as is
  DeinterlaceParameters storedBlock{};   // what IsSameOption compares the current block with
  HostKeyEntry keys[4]{};                // what vft32FindKey serves
  DeinterlaceParameters keyBlocks[4]{};  // the keys' option blocks
  int32_t findKeyIndex = 0;              // entry that vft32FindKey hands out; -1: none

  // MakeFilm
  int32_t makeFilmCalls = 0;
  HostFilmRecord* film = nullptr;
  HostKeyList* filmKeys = nullptr;  // the film's key list during the call
  HostKeyList keyListSeen{};        // and a copy of it
  HostKeyEntry keyEntriesSeen[4]{};
  DeinterlaceParameters keyBlocksSeen[4]{};
  int32_t mode = 0;
  OptionBlockCallbackFn options = nullptr;
  FrameCopyCallbackFn frames = nullptr;
  int32_t roundTrips = 0;  // key blocks that survived allocate, copy, compare and free
  int32_t frameCopiesOk = 0;

  // IsSameOption
  int32_t isSameOptionCalls = 0;
  HostFilterRecord* isSameFilter = nullptr;
  OptionBlockCallbackFn isSameCallback = nullptr;
  uint32_t isSameValue = 0;
  uint32_t isSameFlags = 0;
  int32_t isSameBlockSize = 0;

  // vft32FindKey
  int32_t findKeyCalls = 0;
  HostFilterRecord* findFilter = nullptr;
  HostKeyEntry** findTarget = nullptr;
  uint32_t findKeyValue = 0;
  uint32_t findFlags = 0;
};

}  // namespace wdi::standin

// The log of this process; exported by the stand-in (not by a real host).
extern "C" wdi::standin::CallLog* __cdecl standinLog();
