#include "pipeline/padding.h"

#include <cstring>

#include "pipeline/yuv420_frame.h"

namespace wdi {

namespace {
uint32_t roundUp16(uint32_t v) { return (v + 15u) & ~15u; }
}  // namespace

size_t FrameGeometry::pictureBytes() const {
  return static_cast<size_t>(width) * height + 2 * static_cast<size_t>(chromaWidth) * chromaHeight;
}

size_t FrameGeometry::engineBytes() const { return Yuv420Frame::bytes(paddedWidth, paddedHeight); }

FrameGeometry makeGeometry(uint32_t width, uint32_t height) {
  FrameGeometry g;
  g.width = width;
  g.height = height;
  g.chromaWidth = (width + 1) / 2;
  g.chromaHeight = (height + 1) / 2;
  g.paddedWidth = roundUp16(width);
  g.paddedHeight = roundUp16(height);
  return g;
}

void pictureInEngineFrame(uint8_t* frame, const FrameGeometry& g, PlaneRef planes[3]) {
  const size_t chromaStride = g.paddedWidth / 2;
  planes[0] = {frame, g.paddedWidth, g.width, g.height};
  planes[1] = {frame + Yuv420Frame::uOffset(g.paddedWidth, g.paddedHeight), chromaStride,
               g.chromaWidth, g.chromaHeight};
  planes[2] = {frame + Yuv420Frame::vOffset(g.paddedWidth, g.paddedHeight), chromaStride,
               g.chromaWidth, g.chromaHeight};
}

void packedPicture(uint8_t* picture, const FrameGeometry& g, PlaneRef planes[3]) {
  const size_t lumaBytes = static_cast<size_t>(g.width) * g.height;
  const size_t chromaBytes = static_cast<size_t>(g.chromaWidth) * g.chromaHeight;
  planes[0] = {picture, g.width, g.width, g.height};
  planes[1] = {picture + lumaBytes, g.chromaWidth, g.chromaWidth, g.chromaHeight};
  planes[2] = {picture + lumaBytes + chromaBytes, g.chromaWidth, g.chromaWidth, g.chromaHeight};
}

void padPlane(uint8_t* plane, size_t stride, uint32_t width, uint32_t height,
              uint32_t paddedHeight) {
  padImage(plane, static_cast<ptrdiff_t>(stride), 1, width, height, static_cast<uint32_t>(stride),
           paddedHeight);
}

void padImage(uint8_t* firstRow, ptrdiff_t rowStep, size_t pixelBytes, uint32_t width,
              uint32_t height, uint32_t paddedWidth, uint32_t paddedHeight) {
  const size_t rowBytes = static_cast<size_t>(paddedWidth) * pixelBytes;
  if (width < paddedWidth) {
    for (uint32_t y = 0; y < height; ++y) {
      uint8_t* row = firstRow + static_cast<ptrdiff_t>(y) * rowStep;
      const uint8_t* last = row + (width - 1) * pixelBytes;
      if (pixelBytes == 1) {
        std::memset(row + width, *last, paddedWidth - width);
      } else {
        for (uint32_t x = width; x < paddedWidth; ++x) {
          std::memcpy(row + x * pixelBytes, last, pixelBytes);
        }
      }
    }
  }
  for (uint32_t y = height; y < paddedHeight; ++y) {
    // The last picture row of the same parity as y; a one-row picture has only one.
    const uint32_t from = ((y - (height - 1)) % 2 == 0 || height < 2) ? height - 1 : height - 2;
    std::memcpy(firstRow + static_cast<ptrdiff_t>(y) * rowStep,
                firstRow + static_cast<ptrdiff_t>(from) * rowStep, rowBytes);
  }
}

void padEngineFrame(uint8_t* frame, const FrameGeometry& g) {
  if (!g.needsPadding()) return;
  PlaneRef planes[3];
  pictureInEngineFrame(frame, g, planes);
  padPlane(planes[0].data, planes[0].stride, g.width, g.height, g.paddedHeight);
  padPlane(planes[1].data, planes[1].stride, g.chromaWidth, g.chromaHeight, g.paddedHeight / 2);
  padPlane(planes[2].data, planes[2].stride, g.chromaWidth, g.chromaHeight, g.paddedHeight / 2);
}

}  // namespace wdi
