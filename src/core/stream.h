// The filter as a library: one stream of planar 4:2:0 pictures of one size,
// with its own engine, processing region, kept field and work buffers. No
// state is shared between streams, so any number of them may run at once,
// each on its own thread.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/deinterlace_parameters.h"
#include "engine/me_deinterlacer.h"
#include "engine/temporal.h"
#include "pipeline/padding.h"
#include "region/rect_list.h"

namespace wdi::core {

enum class Status : int32_t {
  Ok = 0,
  InvalidArgument = -1,
  BadSize = -2,
  NoMemory = -3,
  RectRefused = -4,
  RegionFileUnreadable = -5,
  RegionFileInvalid = -6,
  Internal = -7,
};

// The field taken over unchanged; the other one is rebuilt.
enum class Field : int32_t { Bottom = 0, Top = 1 };

// Method 6, temporal area based: reads the previous and the next picture too.
constexpr int32_t kTemporalMethod = 6;
constexpr int32_t kLastMethod = kTemporalMethod;

// Sides of 1 to this many pixels are taken.
constexpr uint32_t kMaxSide = 16384;

struct InPlane {
  const uint8_t* data;
  ptrdiff_t stride;
};
struct OutPlane {
  uint8_t* data;
  ptrdiff_t stride;
};

class Stream {
 public:
  // Everything the stream needs is allocated here; null with `status` set
  // (BadSize, NoMemory) on failure.
  static std::unique_ptr<Stream> create(uint32_t width, uint32_t height, Status* status);
  ~Stream();
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  const FrameGeometry& geometry() const { return geometry_; }

  // Any option block; methods outside 0..6 leave the output as it was.
  void setParameters(const DeinterlaceParameters& params) { params_ = params; }
  const DeinterlaceParameters& parameters() const { return params_; }

  void setKeptField(Field field) { keptField_ = field; }
  Field keptField() const { return keptField_; }

  // Which field of a picture comes first in time (default top); only method
  // 6 looks at it, to find the fields nearest the kept one.
  void setTopFieldFirst(bool topFirst) { topFieldFirst_ = topFirst; }
  bool topFieldFirst() const { return topFieldFirst_; }
  // Whether the method reads the neighbours of a picture in time.
  bool usesNeighbours() const { return params_.method == kTemporalMethod; }

  // The processing region, in picture pixels. Rectangles are refused as the
  // region list refuses them; a region file that does not load leaves the
  // region as it was.
  void clearRegion();
  Status addRect(bool include, int32_t left, int32_t top, int32_t right, int32_t bottom);
  Status loadRegion(const char* path);
  // Takes a copy of another list's rectangles (and its last id).
  Status setRegion(const CRectList& region);
  const CRectList& region() const { return region_; }

  // One picture: planes Y, Cb, Cr of the stream's size (chroma (w+1)/2 x
  // (h+1)/2), rows `stride` bytes apart (negative for bottom-up). The output
  // planes may not overlap the input. `prev` and `next` are the pictures
  // before and after (method 6 reads them), null where there is none.
  void process(const InPlane in[3], const OutPlane out[3], const InPlane* prev = nullptr,
               const InPlane* next = nullptr);

  // The same on frames in the engine's layout at the padded size (a
  // Yuv420Frame: Y, V = Cr, U = Cb), whose padding the caller filled with
  // padEngineFrame; `out` gets the whole padded frame. Spares the copies of
  // process() for callers that read straight into such frames. `prev` and
  // `next` as for process(), in the same layout.
  void processPadded(const uint8_t* in, uint8_t* out, const uint8_t* prev = nullptr,
                     const uint8_t* next = nullptr);

  // Turns `out`, the padded result of the last processPadded, into a picture
  // of what the filter did there: the chroma of every 2x2 group with a pixel
  // that the comb detection marked for rebuilding (every rebuilt pixel for
  // methods 1 and 2, or when the whole frame was interpolated) turned red;
  // the 16x16 blocks whose rows the motion search of methods 4 and 5 copied
  // in outlined in green; what lies outside the processing region dimmed.
  void showDetection(uint8_t* out) const;

 private:
  Stream() = default;
  void rebuildMask();
  // The engine and the region on an upside-down padded frame.
  void processMirrored(const uint8_t* in, uint8_t* out);

  FrameGeometry geometry_;
  DeinterlaceParameters params_ = kDefaultParameters;
  Field keptField_ = Field::Bottom;
  bool topFieldFirst_ = true;
  const uint8_t* lastIn_ = nullptr;  // the input of the last processPadded, for the view
  MEDeinterlacer engine_;
  TemporalDeinterlacer temporal_;
  CRectList region_;
  bool regionEmpty_ = true;  // every block processed: the mask changes nothing
  std::unique_ptr<int32_t[]> mask_;
  std::unique_ptr<int32_t[]> mirroredMask_;  // mask_ with its rows reversed
  // Padded frames: the picture and its result for process() (either way up),
  // and the mirrored input and output of processPadded's top field.
  struct FreeDeleter {
    void operator()(uint8_t* p) const;
  };
  using Buffer = std::unique_ptr<uint8_t, FreeDeleter>;
  Buffer paddedIn_, paddedOut_, mirroredIn_, mirroredOut_, paddedPrev_, paddedNext_;
};

}  // namespace wdi::core
