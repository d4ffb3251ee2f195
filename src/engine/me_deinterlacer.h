// The deinterlace engine: keeps the odd rows of a planar 4:2:0 frame and
// rebuilds the even rows by one of six methods.
#pragma once
#include <cstdint>
#include <memory>

#include "engine/deinterlace_parameters.h"
#include "engine/kernels.h"
#include "engine/video_processing.h"

namespace wdi {

// Result of the block search of methods 4 and 5 for one 16x16 block.
struct BlockMotion {
  uint32_t distance;
  int32_t dx;
  int32_t dy;
};
static_assert(sizeof(BlockMotion) == 12, "BlockMotion is a 12-byte record");

struct BlockPosition {
  int32_t x;
  int32_t y;
};

// 32 one-byte entries indexed by a 5-bit row history (bit 0 the newest row).
extern const uint8_t combPatternTable[32];

class MEDeinterlacer : public VideoProcessing<DeinterlaceParameters> {
 public:
  // Kernels from the CPU flags in force (cpuFlags()).
  MEDeinterlacer();
  // Kernels for explicit CPU flags; tests use it to run every level.
  explicit MEDeinterlacer(uint32_t cpuFlags);
  ~MEDeinterlacer() override;
  MEDeinterlacer(const MEDeinterlacer&) = delete;
  MEDeinterlacer& operator=(const MEDeinterlacer&) = delete;

  // width and height are multiples of 16.
  void init(uint32_t width, uint32_t height) override;
  void release() override;
  // `source` and `destination` are distinct Yuv420Frames of the size given to init.
  void process(const uint8_t* source, uint8_t* destination,
               const DeinterlaceParameters* parameters) override;

  // Steps of the methods, public so that tests can drive them one by one.
  void setFrame(const uint8_t* source, uint8_t* destination);
  void restoreUnmarked();
  int detectAndInterpolate();
  void coarseSearch(uint32_t i, int32_t rx, int32_t ry);
  void fineSearch(uint32_t i, int32_t rx, int32_t ry);
  void estimateBlockMotion(uint32_t i, int32_t area);
  void processAdvanced();
  // Steps 4 to 6 of the advanced method (search pass, replacement pass), after the
  // detection and interpolation have filled the destination and the block counts.
  void searchAndReplaceAdvanced();
  void replaceSimilarPixels(uint8_t* destination, const uint8_t* candidate, uint32_t threshold);

  const EngineKernels& kernels() const { return kernels_; }

  // With `on`, the searches of methods 4 and 5 keep only what decides a copy:
  // they start from the block distance threshold instead of above every
  // distance, so a candidate stops being measured once it reaches the
  // threshold. The output is the same; the records of blocks that take no
  // copy then hold that starting value (and their starting vector) instead
  // of their least distance. Off by default: the records are exact.
  void setCopiesOnly(bool on) { copiesOnly_ = on; }

  // Members in the engine's declaration order. Readable by the owner and by tests.
  DeinterlaceParameters params;
  const uint8_t* srcY = nullptr;
  const uint8_t* srcV = nullptr;
  const uint8_t* srcU = nullptr;
  std::unique_ptr<uint8_t[]> srcReduced;
  uint8_t* dstY = nullptr;
  uint8_t* dstV = nullptr;
  uint8_t* dstU = nullptr;
  std::unique_ptr<uint8_t[]> dstReduced;
  uint32_t blocksPerRow = 0;
  uint32_t blockRows = 0;
  uint32_t blockCount = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t lumaSize = 0;
  int32_t doubleStride = 0;
  uint32_t reducedWidth = 0;
  uint32_t reducedHeight = 0;
  int32_t chromaWidth = 0;
  int32_t chromaHeight = 0;
  int32_t chromaSize = 0;
  std::unique_ptr<int32_t[]> blockOffsets;
  std::unique_ptr<int32_t[]> reducedBlockOffsets;
  std::unique_ptr<BlockPosition[]> blockPositions;
  std::unique_ptr<BlockPosition[]> reducedBlockPositions;
  std::unique_ptr<BlockMotion[]> blockMotion;
  std::unique_ptr<uint8_t[]> interlaceMap;
  std::unique_ptr<uint8_t[]> blockInterlaceCounts;
  // What the last detection returned (nonzero: the whole frame was
  // interpolated and no block searched). Read by views of a frame's work only.
  int lastDetection = 0;

 private:
  // Points a method 5 search window's hint at a likely match (speed only).
  void pickAdvancedHint(uint32_t i, SearchWindow& window) const;
  // Points a non-empty window's hint at its candidate nearest to (x, y).
  static void setHint(SearchWindow& window, int64_t x, int64_t y);

  EngineKernels kernels_;
  bool copiesOnly_ = false;
  // Coarse vector of the block being estimated, kept as a starting guess for its
  // full-range fine search (a speed-up only; results never depend on it).
  int32_t coarseDx_ = 0;
  int32_t coarseDy_ = 0;
};

}  // namespace wdi
