// The built-in sample: a synthetic scene with fine static detail, a slowly
// drifting panel, a fast bouncing disc and a fast vertically moving bar,
// rendered as progressive pictures at field rate and woven into interlaced
// frames (top field first).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace wdi::cli {

class DemoScene {
 public:
  // Even width, height a multiple of 4.
  DemoScene(uint32_t width, uint32_t height);

  // Bytes of one picture in Y4M order (Y, then Cb and Cr of (w/2) x (h/2)).
  size_t pictureBytes() const { return pictureBytes_; }
  // Picture at field time t: interlaced frame n takes its top field from
  // picture 2n and its bottom field from picture 2n + 1.
  void render(uint32_t t, uint8_t* picture) const;

 private:
  uint32_t width_;
  uint32_t height_;
  size_t pictureBytes_;
  std::vector<uint8_t> background_;  // the static picture, Y4M order
};

// Interlaced frame in Y4M order from two pictures of the same size: the even
// rows of every plane from `top`, the odd rows from `bottom`. Chroma rows
// alternate between the fields as the luma rows do, the way the engine reads
// 4:2:0 frames.
void weaveFields(const uint8_t* top, const uint8_t* bottom, uint32_t width, uint32_t height,
                 uint8_t* frame);

// BT.601 studio range to RGB24 (R, G, B bytes), chroma taken from the
// sample above-left. `picture` is in Y4M order with (w+1)/2 x (h+1)/2 chroma.
void pictureToRgb(const uint8_t* picture, uint32_t width, uint32_t height, uint8_t* rgb,
                  size_t rgbStride);

}  // namespace wdi::cli
