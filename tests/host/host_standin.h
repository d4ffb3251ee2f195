// A native stand-in for the host video editor: builds the records and images
// the host hands to vfAction and drives streams through it.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "engine/deinterlace_parameters.h"
#include "plugin/host_records.h"
#include "plugin/stream_state.h"

namespace wdi::test {

// A 24-bit (or other depth) bottom-up bitmap header as the host fills it.
BitmapInfoHeader MakeBitmapHeader(int32_t width, int32_t height, uint16_t bitCount = 24);

// Bytes of a bottom-up BGR24 image: 3 * width bytes per row.
inline size_t Bgr24Bytes(int32_t width, int32_t height) {
  return static_cast<size_t>(width) * 3 * static_cast<size_t>(height);
}

// A random BGR24 image (no row padding: widths are multiples of 4 here).
std::vector<uint8_t> RandomBgr24(int32_t width, int32_t height, std::mt19937& rng);

// A BGR24 image whose picture row r (counted from the top) is given by
// colour(r) as {R, G, B}.
std::vector<uint8_t> RowColouredBgr24(int32_t width, int32_t height,
                                      const std::function<std::array<uint8_t, 3>(int32_t)>& colour);

// One host with one open stream at a time. The record persists across calls
// as the host's does, so the state at offset 64 travels from call to call.
class HostStandin {
 public:
  // Sets the host major version that the next StartStream sees.
  explicit HostStandin(int32_t hostMajorVersion = 7);
  ~HostStandin();
  HostStandin(const HostStandin&) = delete;
  HostStandin& operator=(const HostStandin&) = delete;

  // Option block the host currently hands out (it may interpolate between keys).
  DeinterlaceParameters options = kDefaultParameters;

  // Image width and height of each call (a field's height for field streams).
  // A destination size of -1 means "the same as the source".
  int32_t Start(int32_t width, int32_t height, FieldType type, uint16_t bitCount = 24,
                int32_t dstWidth = -1, int32_t dstHeight = -1);
  // One image: a whole frame, or a field (secondField sets flags bit 0).
  int32_t Process(const uint8_t* source, uint8_t* destination, bool secondField = false);
  int32_t End();
  // Any command with the stream's record.
  int32_t Send(int32_t command);

  StreamState* state() const { return static_cast<StreamState*>(record.state); }

  ActionRecord record{};
  BitmapInfoHeader srcHeader{};
  BitmapInfoHeader dstHeader{};
  FieldType streamType = FrameBased;

 private:
  HostOptionRef current_{};
  HostFilterRecord filter_{};
};

}  // namespace wdi::test
