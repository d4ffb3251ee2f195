// Stream lifecycle and frame dispatch: StartStream, ProcessFrame, EndStream.
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "engine/me_deinterlacer.h"
#include "pipeline/fast_copy.h"
#include "pipeline/field_pairs.h"
#include "pipeline/frame_path.h"
#include "platform/global_memory.h"
#include "platform/host_version.h"
#include "platform/message_box.h"
#include "plugin/dialog_params.h"
#include "plugin/stream_state.h"
#include "region/block_mask.h"
#include "region/rect_list.h"

namespace wdi {
namespace {

template <typename T>
T* allocBlock(size_t bytes) {
  return static_cast<T*>(globalAllocLocked(bytes));
}

template <typename T>
void freeBlock(T*& block) {
  globalFreeLocked(block);
  block = nullptr;
}

void freeState(StreamState* state) {
  delete state->engine;
  state->engine = nullptr;
  freeBlock(state->blockMask);
  freeBlock(state->yuvIn);
  freeBlock(state->yuvOut);
  freeBlock(state->yuvWork);
  freeBlock(state->rgbWork);
  freeBlock(state->heldField);
  globalFreeLocked(state);
}

// Allocates the engine and every buffer of a w x frameHeight stream. On a
// refusal the caller frees what was taken.
bool allocateStream(StreamState* state, uint32_t w, uint32_t frameHeight) {
  try {
    state->engine = new MEDeinterlacer();
  } catch (const std::bad_alloc&) {
    return false;
  }
  const size_t pixels = static_cast<size_t>(w) * frameHeight;
  state->blockMask = allocBlock<int32_t>(pixels * 4 / 64);
  if (state->blockMask == nullptr) return false;
  BuildBlockMask(state->blockMask, regionList, static_cast<int32_t>(w),
                 static_cast<int32_t>(frameHeight));
  try {
    state->engine->init(w, frameHeight);
  } catch (const std::bad_alloc&) {
    return false;
  }
  const size_t rgbSize = 3 * pixels;
  const size_t yuvSize = rgbSize / 2;
  state->yuvIn = allocBlock<uint8_t>(yuvSize);
  if (state->yuvIn == nullptr) return false;
  state->yuvOut = allocBlock<uint8_t>(yuvSize);
  if (state->yuvOut == nullptr) return false;
  state->rgbWork = allocBlock<uint8_t>(rgbSize);
  if (state->rgbWork == nullptr) return false;
  state->yuvWork = allocBlock<uint8_t>(yuvSize);
  if (state->yuvWork == nullptr) return false;
  state->heldField = allocBlock<uint8_t>(yuvSize);
  return state->heldField != nullptr;
}

// Whether this frame goes through the engine; otherwise it is copied.
bool frameIsProcessed(const StreamState* state, const BitmapInfoHeader& src, int32_t fieldType) {
  if (state == nullptr || dialogParams.method == 0) return false;
  if (state->hostMajorVersion < 6 || state->startFieldType == FieldOrderB) return false;
  if (src.biWidth % 16 != 0 || src.biHeight % 16 != 0) return false;
  // An image that is not 24 bits per pixel holds fewer bytes than the stages
  // read; it is copied like any other image the filter cannot take.
  if (src.biBitCount != 24) return false;
  // The input stages read, and the output stages write, images of the
  // stream's size: a frame, or a field of half its height.
  const MEDeinterlacer& engine = *state->engine;
  const uint32_t imageHeight = fieldType == FrameBased ? engine.height : engine.height / 2;
  return static_cast<int64_t>(src.biWidth) == engine.width &&
         static_cast<int64_t>(src.biHeight) == imageHeight;
}

}  // namespace

size_t PassThroughBytes(const BitmapInfoHeader& header) {
  if (header.biSizeImage != 0) return header.biSizeImage;
  // Uncompressed images may leave the size 0: their rows are padded to 4 bytes.
  if (header.biWidth <= 0 || header.biBitCount == 0) return 0;
  const uint64_t rowBytes =
      (static_cast<uint64_t>(header.biWidth) * header.biBitCount + 31) / 32 * 4;
  const int64_t rows = header.biHeight < 0 ? -static_cast<int64_t>(header.biHeight)
                                           : static_cast<int64_t>(header.biHeight);
  return static_cast<size_t>(rowBytes * static_cast<uint64_t>(rows));
}

int32_t StartStreamCommand(ActionRecord* record) {
  record->state = nullptr;
  const BitmapInfoHeader* src = record->srcHeader;
  const BitmapInfoHeader* dst = record->dstHeader;
  if (src == nullptr || dst == nullptr) return -1;
  const int32_t w = src->biWidth;
  const int32_t h = src->biHeight;
  const int32_t dw = dst->biWidth;
  const int32_t dh = dst->biHeight;
  // A destination size of 0 counts as the source's.
  if (dw != 0 && dh != 0 && (dw != w || dh != h)) return -1;
  // Empty images, and negative heights (top-down images), are not taken.
  if (w <= 0 || h <= 0 || dw < 0 || dh < 0) return -1;
  if (w % 16 != 0 || h % 16 != 0) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "Width(%d) and height(%d) of image must be divided by 16.\nFilter will be only "
                  "copy image.",
                  w, h);
    showFocusMessageBox(text, "Wyndvale Deinterlace. Error");
    return -1;
  }
  if (src->biBitCount != 24) return -3;
  const int64_t frameHeight = record->fieldType != FrameBased ? 2 * int64_t{h} : int64_t{h};
  // Buffer sizes are 32-bit quantities on the host's side.
  if (3 * int64_t{w} * frameHeight > std::numeric_limits<int32_t>::max()) return -1;

  StreamState* state = allocBlock<StreamState>(sizeof(StreamState));
  if (state == nullptr) return -1;
  state->hostMajorVersion = GetHostMajorVersion();
  if (!allocateStream(state, static_cast<uint32_t>(w), static_cast<uint32_t>(frameHeight))) {
    freeState(state);
    return -1;
  }
  record->state = state;
  state->startFieldType = record->fieldType;
  return 1;
}

int32_t ProcessFrameCommand(ActionRecord* record) {
  // Every frame, processed or not, brings the host's current (possibly
  // interpolated) option block.
  const HostFilterRecord* filter = record->filter;
  if (filter != nullptr && filter->current != nullptr && filter->current->block != nullptr) {
    std::memcpy(&dialogParams, filter->current->block, sizeof(DeinterlaceParameters));
  }
  const BitmapInfoHeader* src = record->srcHeader;
  const uint8_t* srcPixels = record->srcPixels;
  uint8_t* dstPixels = record->dstPixels;
  if (src == nullptr || srcPixels == nullptr || dstPixels == nullptr) return 1;

  StreamState* state = static_cast<StreamState*>(record->state);
  if (!frameIsProcessed(state, *src, record->fieldType)) {
    FastCopy(dstPixels, srcPixels, PassThroughBytes(*src));
    return 1;
  }
  const uint32_t w = state->engine->width;
  const uint32_t h = state->engine->height;

  // Hosts of major version 6 mark both fields of a pair alike; the flags
  // word tells them apart.
  if (state->hostMajorVersion == 6 && record->fieldType != FrameBased &&
      state->startFieldType == FieldOrderA) {
    record->fieldType = (record->flags & 1u) != 0 ? FieldOrderB : FieldOrderA;
  }
  const bool fieldStream = record->fieldType != FrameBased;
  const bool secondField = (record->flags & 1u) != 0;
  if (!fieldStream) {
    SplitFrame(srcPixels, state->yuvIn, state->rgbWork, state->yuvWork, w, h);
  } else if (secondField) {
    CombineFieldPair(state->heldField, srcPixels, state->yuvIn, state->rgbWork, state->yuvWork, w,
                     h);
  } else {
    HoldFirstField(state->heldField, srcPixels, dstPixels, PassThroughBytes(*src), w, h);
    return 1;
  }
  state->engine->process(state->yuvIn, state->yuvOut, &dialogParams);
  ApplyBlockMask(state->blockMask, state->yuvIn, state->yuvOut, static_cast<int32_t>(w),
                 static_cast<int32_t>(h));
  if (!fieldStream) {
    FrameOutput(state->yuvOut, dstPixels, w, h);
  } else {
    FieldOutput(state->yuvOut, state->rgbWork, dstPixels, w, h);
  }
  return 1;
}

int32_t EndStreamCommand(ActionRecord* record) {
  StreamState* state = static_cast<StreamState*>(record->state);
  if (state != nullptr) freeState(state);
  record->state = nullptr;
  return 1;
}

}  // namespace wdi
