#include "engine/me_deinterlacer.h"

#include <cstring>

#include "platform/cpu.h"

namespace wdi {

const uint8_t combPatternTable[32] = {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1,
                                      0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 1, 1};

MEDeinterlacer::MEDeinterlacer() : MEDeinterlacer(cpuFlags()) {}

MEDeinterlacer::MEDeinterlacer(uint32_t cpuFlags)
    : params(kDefaultParameters), kernels_(makeEngineKernels(cpuFlags)) {}

MEDeinterlacer::~MEDeinterlacer() { release(); }

void MEDeinterlacer::init(uint32_t w, uint32_t h) {
  release();
  width = w;
  height = h;
  blocksPerRow = w / 16;
  blockRows = h / 16;
  blockCount = blocksPerRow * blockRows;
  lumaSize = w * h;
  doubleStride = static_cast<int32_t>(2 * w);
  reducedWidth = w / 2;
  reducedHeight = h / 4;
  chromaWidth = static_cast<int32_t>(w / 2);
  chromaHeight = static_cast<int32_t>(h / 2);
  chromaSize = chromaWidth * chromaHeight;

  blockOffsets.reset(new int32_t[blockCount]);
  blockPositions.reset(new BlockPosition[blockCount]);
  uint32_t i = 0;
  for (uint32_t y = 0; y < h; y += 16) {
    for (uint32_t x = 0; x < w; x += 16, ++i) {
      blockPositions[i] = {static_cast<int32_t>(x), static_cast<int32_t>(y)};
      blockOffsets[i] = static_cast<int32_t>(y * w + x);
    }
  }
  reducedBlockOffsets.reset(new int32_t[blockCount]);
  reducedBlockPositions.reset(new BlockPosition[blockCount]);
  i = 0;
  for (uint32_t y = 0; y < reducedHeight; y += 4) {
    for (uint32_t x = 0; x < reducedWidth; x += 8, ++i) {
      reducedBlockPositions[i] = {static_cast<int32_t>(x), static_cast<int32_t>(y)};
      reducedBlockOffsets[i] = static_cast<int32_t>(y * reducedWidth + x);
    }
  }
  blockMotion.reset(new BlockMotion[blockCount]);
  interlaceMap.reset(new uint8_t[lumaSize]);
  blockInterlaceCounts.reset(new uint8_t[blockCount]);
  srcReduced.reset(new uint8_t[lumaSize / 8]);
  dstReduced.reset(new uint8_t[lumaSize / 8]);
}

void MEDeinterlacer::release() {
  srcReduced.reset();
  dstReduced.reset();
  blockOffsets.reset();
  reducedBlockOffsets.reset();
  blockPositions.reset();
  reducedBlockPositions.reset();
  blockMotion.reset();
  interlaceMap.reset();
  blockInterlaceCounts.reset();
}

void MEDeinterlacer::setFrame(const uint8_t* source, uint8_t* destination) {
  srcY = source;
  srcV = source + lumaSize;
  srcU = source + lumaSize + chromaSize;
  dstY = destination;
  dstV = destination + lumaSize;
  dstU = destination + lumaSize + chromaSize;
}

void MEDeinterlacer::restoreUnmarked() {
  const uint8_t* map = interlaceMap.get();
  for (uint32_t i = 0; i < lumaSize; ++i) {
    if (map[i] == 0) dstY[i] = srcY[i];
  }
}

int MEDeinterlacer::detectAndInterpolate() {
  const int r = kernels_.detectInterlace(interlaceMap.get(), blockInterlaceCounts.get(), srcY,
                                         width, height, params.detectionThreshold);
  const int all = r != 0 ? 1 : 0;
  lastDetection = all;
  kernels_.interpolateLuma(dstY, srcY, interlaceMap.get(), width, height, all);
  kernels_.interpolateChroma(dstV, dstU, srcV, srcU, chromaWidth, chromaHeight, all);
  return all;
}

void MEDeinterlacer::process(const uint8_t* source, uint8_t* destination,
                             const DeinterlaceParameters* parameters) {
  if (parameters != nullptr) {
    // The six 32-bit words; the two flag bytes travel with the padding word.
    std::memcpy(&params, parameters, sizeof(DeinterlaceParameters));
  }
  // Never sized (or released): there are no tables, and the kernels would
  // divide by the zero frame area.
  if (interlaceMap == nullptr) return;
  const size_t frameBytes = static_cast<size_t>(lumaSize) + 2u * static_cast<size_t>(chromaSize);
  switch (params.method) {
    case 0:
      std::memcpy(destination, source, frameBytes);
      break;
    case 1:
      std::memcpy(destination, source, frameBytes);
      kernels_.doubleFields(destination, width, height);
      break;
    case 2:
      // The frame copy of methods 2 and 3 is left out: the two interpolation
      // kernels write every row of all three planes (odd rows as copies), so
      // the destination comes out byte for byte the same without it.
      setFrame(source, destination);
      kernels_.interpolateLuma(dstY, srcY, interlaceMap.get(), width, height, 1);
      kernels_.interpolateChroma(dstV, dstU, srcV, srcU, chromaWidth, chromaHeight, 1);
      break;
    case 3:
      setFrame(source, destination);
      if (detectAndInterpolate() == 0 && params.replaceOnlyInterlaced != 0) restoreUnmarked();
      break;
    case 4: {
      setFrame(source, destination);
      const int r = detectAndInterpolate();
      kernels_.buildReducedImage(srcReduced.get(), srcY, width, height);
      kernels_.buildReducedImage(dstReduced.get(), dstY, width, height);
      std::memset(blockMotion.get(), 0, sizeof(BlockMotion) * blockCount);
      if (r == 1) break;
      for (uint32_t i = 0; i < blockCount; ++i) {
        if (blockInterlaceCounts[i] > 32) estimateBlockMotion(i, params.searchArea);
      }
      if (params.replaceOnlyInterlaced != 0) restoreUnmarked();
      break;
    }
    case 5:
      setFrame(source, destination);
      processAdvanced();
      break;
    default:
      // Unknown methods leave the destination untouched.
      break;
  }
}

}  // namespace wdi
