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
  // Same bytes as gathering each field into one half of rgbWork, converting
  // the whole into yuvWork and interleaving, without the three frame-sized
  // copies: the converter works on independent 2x2 blocks, so each pair of
  // same-field rows (picture rows 4j + f and 4j + 2 + f) is converted where
  // it lies in the source straight to its places in yuvIn, luma rows 2
  // apart and chroma row 2j + f.
  (void)rgbWork;
  (void)yuvWork;
  const RgbToYuvRowPairFn convert = colourKernels().rgbToYuvRowPair;
  const size_t row = static_cast<size_t>(w) * 3;
  const size_t cw = w / 2;
  uint8_t* U = yuvIn + Yuv420Frame::uOffset(w, h);
  uint8_t* V = yuvIn + Yuv420Frame::vOffset(w, h);
  for (size_t j = 0; j < h / 4; ++j) {
    for (size_t f = 0; f < 2; ++f) {
      const size_t top = 4 * j + f;  // picture row; memory row h - 1 - top
      uint8_t* y0 = yuvIn + top * w;
      convert(y0, y0 + 2 * static_cast<size_t>(w), U + (2 * j + f) * cw, V + (2 * j + f) * cw,
              source + (h - 1 - top) * row, source + (h - 3 - top) * row, w / 2);
    }
  }
}

void FrameOutput(const uint8_t* yuvOut, uint8_t* destination, uint32_t w, uint32_t h) {
  const ptrdiff_t row = static_cast<ptrdiff_t>(w) * 3;
  Yuv420ToRgb(yuvOut, yuvOut + Yuv420Frame::uOffset(w, h), yuvOut + Yuv420Frame::vOffset(w, h), w,
              h, w, w / 2, destination + row * (static_cast<ptrdiff_t>(h) - 1), -row);
}

}  // namespace wdi
