#include "pipeline/frame_path.h"

#include <cstddef>

#include "pipeline/colour.h"
#include "pipeline/fast_copy.h"
#include "pipeline/yuv420_frame.h"

namespace wdi {

void Interleave(const uint8_t* yuvWork, uint8_t* yuvIn, uint32_t w, uint32_t h) {
  const size_t halfRows = h / 2;
  for (size_t k = 0; k < halfRows; ++k) {
    FastCopy(yuvIn + 2 * k * w, yuvWork + k * w, w);
    FastCopy(yuvIn + (2 * k + 1) * w, yuvWork + (halfRows + k) * w, w);
  }
  const size_t cw = w / 2;
  const size_t quarterRows = h / 4;
  const uint8_t* srcV = yuvWork + Yuv420Frame::vOffset(w, h);
  const uint8_t* srcU = yuvWork + Yuv420Frame::uOffset(w, h);
  uint8_t* dstV = yuvIn + Yuv420Frame::vOffset(w, h);
  uint8_t* dstU = yuvIn + Yuv420Frame::uOffset(w, h);
  for (size_t j = 0; j < quarterRows; ++j) {
    FastCopy(dstV + 2 * j * cw, srcV + j * cw, cw);
    FastCopy(dstV + (2 * j + 1) * cw, srcV + (quarterRows + j) * cw, cw);
    FastCopy(dstU + 2 * j * cw, srcU + j * cw, cw);
    FastCopy(dstU + (2 * j + 1) * cw, srcU + (quarterRows + j) * cw, cw);
  }
}

void SplitFrame(const uint8_t* source, uint8_t* yuvIn, uint8_t* rgbWork, uint8_t* yuvWork,
                uint32_t w, uint32_t h) {
  const size_t row = static_cast<size_t>(w) * 3;
  const size_t halfRows = h / 2;
  // Even memory rows to the lower half of rgbWork, odd ones to the upper half:
  // in picture order the top field ends up above the bottom field.
  for (size_t k = 0; k < halfRows; ++k) {
    FastCopy(rgbWork + k * row, source + 2 * k * row, row);
    FastCopy(rgbWork + (halfRows + k) * row, source + (2 * k + 1) * row, row);
  }
  RgbToYuv420(yuvWork, yuvWork + Yuv420Frame::uOffset(w, h), yuvWork + Yuv420Frame::vOffset(w, h),
              rgbWork, w, h, w);
  Interleave(yuvWork, yuvIn, w, h);
}

void FrameOutput(const uint8_t* yuvOut, uint8_t* destination, uint32_t w, uint32_t h) {
  const ptrdiff_t row = static_cast<ptrdiff_t>(w) * 3;
  Yuv420ToRgb(yuvOut, yuvOut + Yuv420Frame::uOffset(w, h), yuvOut + Yuv420Frame::vOffset(w, h), w,
              h, w, w / 2, destination + row * (static_cast<ptrdiff_t>(h) - 1), -row);
}

}  // namespace wdi
