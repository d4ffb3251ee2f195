// Placement of a 4:2:0 picture of any size inside the engine's frame, whose
// sides are multiples of 16, and the padding that fills the rest.
#pragma once
#include <cstddef>
#include <cstdint>

namespace wdi {

// One plane of `width` x `height` bytes, rows `stride` bytes apart.
struct PlaneRef {
  uint8_t* data;
  size_t stride;
  uint32_t width;
  uint32_t height;
};

struct FrameGeometry {
  uint32_t width = 0;  // picture luma size
  uint32_t height = 0;
  uint32_t chromaWidth = 0;  // (width + 1) / 2: 4:2:0 rounds odd sizes up
  uint32_t chromaHeight = 0;
  uint32_t paddedWidth = 0;  // engine size, next multiples of 16
  uint32_t paddedHeight = 0;

  // Bytes of one picture in Y4M order (Y, Cb, Cr), unpadded.
  size_t pictureBytes() const;
  // Bytes of one engine frame (Y, V, U), padded.
  size_t engineBytes() const;
  bool needsPadding() const { return paddedWidth != width || paddedHeight != height; }
};

// Sizes must be at least 1 and at most 16384.
FrameGeometry makeGeometry(uint32_t width, uint32_t height);

// The picture's planes inside an engine frame, in Y4M order: Y, Cb (the
// engine's U plane), Cr (the engine's V plane). Strides are the engine's.
void pictureInEngineFrame(uint8_t* frame, const FrameGeometry& g, PlaneRef planes[3]);

// The planes of a picture packed in Y4M order (Y, Cb, Cr), strides = widths.
void packedPicture(uint8_t* picture, const FrameGeometry& g, PlaneRef planes[3]);

// Fills the part of a plane (rows `stride` apart, `paddedHeight` rows)
// that lies right of `width` or below `height`: each row repeats its last
// pixel, and rows below the picture repeat the last two picture rows
// alternately, so that each padded row continues the field of its own
// parity.
void padPlane(uint8_t* plane, size_t stride, uint32_t width, uint32_t height,
              uint32_t paddedHeight);

// The same rule for an image of `pixelBytes`-byte pixels whose picture row r
// starts at firstRow + r * rowStep (a negative step for a bottom-up image):
// rows of `paddedWidth` pixels, `paddedHeight` rows in all.
void padImage(uint8_t* firstRow, ptrdiff_t rowStep, size_t pixelBytes, uint32_t width,
              uint32_t height, uint32_t paddedWidth, uint32_t paddedHeight);

// Pads all three planes of an engine frame whose picture area is filled.
void padEngineFrame(uint8_t* frame, const FrameGeometry& g);

}  // namespace wdi
