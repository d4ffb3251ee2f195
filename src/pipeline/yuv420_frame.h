// Planar 4:2:0 frame shared by the pipeline and the engine: one block of
// 3*w*h/2 bytes, Y (w x h), then V = Cr, then U = Cb (each w/2 x h/2), rows packed.
#pragma once
#include <cstddef>
#include <cstdint>

namespace wdi {

struct Yuv420Frame {
  static size_t bytes(uint32_t w, uint32_t h) { return static_cast<size_t>(w) * h * 3 / 2; }
  static size_t vOffset(uint32_t w, uint32_t h) { return static_cast<size_t>(w) * h; }
  static size_t uOffset(uint32_t w, uint32_t h) {
    return static_cast<size_t>(w) * h + static_cast<size_t>(w) * h / 4;
  }
};

}  // namespace wdi
