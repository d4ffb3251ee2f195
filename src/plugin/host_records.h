// Records that cross the host boundary. On the 32-bit module their layout is
// the host's binary interface; natively the same fields hold wider pointers.
#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/deinterlace_parameters.h"

#if defined(_WIN32) && !defined(_WIN64)
#define WDI_STDCALL __stdcall
#else
#define WDI_STDCALL
#endif

namespace wdi {

enum ActionCommand : int32_t {
  Configure = 0,
  StartStream = 1,
  ProcessFrame = 2,
  EndStream = 3,
  CompareOptions = 4,
  LoadKeyOptions = 5,
};

enum FieldType : int32_t {
  FrameBased = 0,
  FieldOrderA = 1,
  FieldOrderB = 2,
};

// The platform's bitmap header (40 bytes).
struct BitmapInfoHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "BITMAPINFOHEADER is 40 bytes");

// A host record whose pointer at offset 4 leads to an option block; key
// entries have the same shape (offset 0: key position).
struct HostOptionRef {
  int32_t position;
  DeinterlaceParameters* block;
};

// The host's filter record: its pointer at offset 12 leads to the record of the
// current option block.
struct HostFilterRecord {
  uint32_t reserved[3];
  HostOptionRef* current;
};

// The 76-byte command record of vfAction.
struct ActionRecord {
  int32_t command;    // 0: ActionCommand
  int32_t fieldType;  // 4: FieldType; ProcessFrame may rewrite it
  void* ownerWindow;  // 8: owner of the settings dialog
  uint32_t unused12;
  uint32_t unused16;
  uint32_t unused20;
  uint32_t keyValue;         // 24: third argument of vft32FindKey
  uint32_t flags;            // 28: bit 0 = second field of a pair
  uint32_t compareValue;     // 32: third argument of IsSameOption
  HostFilterRecord* filter;  // 36
  uint32_t unused40;
  DeinterlaceParameters* keyOptions;  // 44: single-key destination
  BitmapInfoHeader* srcHeader;        // 48
  uint8_t* srcPixels;                 // 52
  BitmapInfoHeader* dstHeader;        // 56
  uint8_t* dstPixels;                 // 60
  void* state;  // 64: the stream's state; multi-key destination for LoadKeyOptions
  uint32_t unused68;
  uint32_t unused72;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(ActionRecord) == 76, "ActionRecord is 76 bytes");
static_assert(offsetof(ActionRecord, keyValue) == 24, "host layout");
static_assert(offsetof(ActionRecord, filter) == 36, "host layout");
static_assert(offsetof(ActionRecord, keyOptions) == 44, "host layout");
static_assert(offsetof(ActionRecord, srcHeader) == 48, "host layout");
static_assert(offsetof(ActionRecord, dstPixels) == 60, "host layout");
static_assert(offsetof(ActionRecord, state) == 64, "host layout");
static_assert(offsetof(HostFilterRecord, current) == 12, "host layout");
static_assert(offsetof(HostOptionRef, block) == 4, "host layout");
#endif

}  // namespace wdi
