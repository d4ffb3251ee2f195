// One stream of frames: created by StartStream, handed back by the host at
// offset 64 of every ActionRecord, freed by EndStream. The record and every
// buffer live in global memory; the engine is an ordinary object.
#pragma once
#include <cstddef>
#include <cstdint>

#include "plugin/host_records.h"

namespace wdi {

class MEDeinterlacer;

// w = source width; h' = source height for FrameBased, twice it for field
// streams, so h' is always the height of a whole frame.
struct StreamState {
  MEDeinterlacer* engine;  // initialised for w x h'
  int32_t* blockMask;      // w * h' / 64 entries, one per 8x8 luma block
  uint8_t* yuvIn;          // Yuv420Frame w x h': the engine's source
  uint8_t* yuvOut;         // Yuv420Frame w x h': the engine's destination
  uint8_t* yuvWork;        // Yuv420Frame w x h': the field-separated frame
  uint8_t* rgbWork;        // RGB24 w x h' (3 * w * h' bytes)
  uint8_t* heldField;      // 3 * w * h' / 2 bytes: the first field of a pair
  int32_t startFieldType;  // FieldType at StartStream
  int32_t hostMajorVersion;
};

// The stream commands of vfAction. They read and write the host's record.
// 1 on success; -1 for a size that does not fit (or memory refused), -3 for a
// source that is not 24 bits per pixel. A refused stream has no state.
int32_t StartStreamCommand(ActionRecord* record);
// Filters one image, or copies it unchanged when it cannot be processed. 1.
int32_t ProcessFrameCommand(ActionRecord* record);
// Frees the stream's state, if any, and clears offset 64. 1.
int32_t EndStreamCommand(ActionRecord* record);

// Bytes that a pass-through copies: biSizeImage, or for an uncompressed image
// that leaves it 0, the size of its rows.
size_t PassThroughBytes(const BitmapInfoHeader& header);

}  // namespace wdi
