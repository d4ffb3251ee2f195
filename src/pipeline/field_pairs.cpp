#include "pipeline/field_pairs.h"

#include "pipeline/colour.h"
#include "pipeline/fast_copy.h"
#include "pipeline/frame_path.h"
#include "pipeline/yuv420_frame.h"

namespace wdi {

void HoldFirstField(uint8_t* heldField, const uint8_t* source, uint8_t* destination,
                    size_t imageSize, uint32_t w, uint32_t h) {
  FastCopy(heldField, source, static_cast<size_t>(w) * h * 3 / 2);
  FastCopy(destination, source, imageSize);
}

void CombineFieldPair(const uint8_t* heldField, const uint8_t* source, uint8_t* yuvIn,
                      uint8_t* rgbWork, uint8_t* yuvWork, uint32_t w, uint32_t h) {
  const size_t fieldBytes = static_cast<size_t>(w) * h * 3 / 2;
  // Bottom-up: the held field fills the lower half of the picture, the current
  // one the upper half, which Interleave puts on the even rows.
  FastCopy(rgbWork, heldField, fieldBytes);
  FastCopy(rgbWork + fieldBytes, source, fieldBytes);
  RgbToYuv420(yuvWork, yuvWork + Yuv420Frame::uOffset(w, h), yuvWork + Yuv420Frame::vOffset(w, h),
              rgbWork, w, h, w);
  Interleave(yuvWork, yuvIn, w, h);
}

void FieldOutput(const uint8_t* yuvOut, uint8_t* rgbWork, uint8_t* destination, uint32_t w,
                 uint32_t h) {
  const size_t row = static_cast<size_t>(w) * 3;
  Yuv420ToRgb(yuvOut, yuvOut + Yuv420Frame::uOffset(w, h), yuvOut + Yuv420Frame::vOffset(w, h), w,
              h, w, w / 2, rgbWork + row * (h - 1), -static_cast<ptrdiff_t>(row));
  // Odd memory rows of the bottom-up frame are its even picture rows: the
  // positions the current field took in yuvIn.
  for (size_t k = 0; k < h / 2; ++k)
    FastCopy(destination + k * row, rgbWork + (2 * k + 1) * row, row);
}

}  // namespace wdi
