// The picture of what a frame's processing did (wdeint --show-detection).
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/stream.h"
#include "pipeline/yuv420_frame.h"

namespace wdi::core {

namespace {

// BT.601 studio-range colours.
constexpr uint8_t kMarkCb = 90, kMarkCr = 240;                  // red
constexpr uint8_t kBlockY = 150, kBlockCb = 44, kBlockCr = 21;  // green

inline uint8_t dimLuma(uint8_t y) { return static_cast<uint8_t>((y >> 1) + 8); }
inline uint8_t dimChroma(uint8_t c) { return static_cast<uint8_t>((c >> 1) + 64); }

}  // namespace

void Stream::showDetection(uint8_t* out) const {
  const uint32_t w = geometry_.paddedWidth;
  const uint32_t h = geometry_.paddedHeight;
  const uint32_t cw = w / 2;
  uint8_t* Y = out;
  uint8_t* V = out + Yuv420Frame::vOffset(w, h);
  uint8_t* U = out + Yuv420Frame::uOffset(w, h);
  const bool top = keptField_ == Field::Top;
  // Engine rows run upside down when the top field is kept.
  const auto engineRow = [&](uint32_t y) { return top ? h - 1 - y : y; };
  const int32_t method = params_.method;
  const bool searched = engine_.lastDetection == 0 && (method == 4 || method == 5);
  const bool everything =
      method == 1 || method == 2 || (method >= 3 && method <= 5 && engine_.lastDetection != 0);
  const uint8_t* map = engine_.interlaceMap.get();
  // Outside the region the output is the input: nothing there is marked.
  const uint32_t maskRow = (w + 7) / 8;
  const auto processed = [&](uint32_t x, uint32_t y) {
    return regionEmpty_ || mask_[size_t{y / 8} * maskRow + x / 8] != 0;
  };

  const auto outline = [&](uint32_t bx, uint32_t by) {
    for (uint32_t k = 0; k < 16; ++k) {
      for (const auto& [x, y] :
           {std::pair{bx + k, by}, {bx + k, by + 15}, {bx, by + k}, {bx + 15, by + k}}) {
        if (!processed(x, y)) continue;
        Y[size_t{y} * w + x] = kBlockY;
        U[size_t{y / 2} * cw + x / 2] = kBlockCb;
        V[size_t{y / 2} * cw + x / 2] = kBlockCr;
      }
    }
  };

  if (method >= 1 && method <= 5) {
    for (uint32_t cy = 0; cy < h / 2; ++cy) {
      uint8_t* u = U + size_t{cy} * cw;
      uint8_t* v = V + size_t{cy} * cw;
      if (everything && regionEmpty_) {
        std::memset(u, kMarkCb, cw);
        std::memset(v, kMarkCr, cw);
        continue;
      }
      const uint8_t* m0 = map + size_t{engineRow(2 * cy)} * w;
      const uint8_t* m1 = map + size_t{engineRow(2 * cy + 1)} * w;
      for (uint32_t cx = 0; cx < cw; ++cx) {
        if (!everything && cx % 4 == 0 && cx + 4 <= cw) {
          // Most of a map is unmarked: four groups at a time.
          uint64_t a, b;
          std::memcpy(&a, m0 + 2 * cx, 8);
          std::memcpy(&b, m1 + 2 * cx, 8);
          if ((a | b) == 0) {
            cx += 3;
            continue;
          }
        }
        const bool marked =
            everything || (m0[2 * cx] | m0[2 * cx + 1] | m1[2 * cx] | m1[2 * cx + 1]) != 0;
        if (!marked || !processed(2 * cx, 2 * cy)) continue;
        u[cx] = kMarkCb;
        v[cx] = kMarkCr;
      }
    }
  }

  if (method == kTemporalMethod) {
    // Rebuilt pixels that differ from the woven ones, and the blocks taken
    // from moved places.
    for (uint32_t cy = 0; cy < h / 2; ++cy) {
      for (uint32_t cx = 0; cx < cw; ++cx) {
        bool marked = false;
        for (const uint32_t y : {2 * cy, 2 * cy + 1}) {
          const size_t at = size_t{y} * w + 2 * cx;
          marked = marked || Y[at] != lastIn_[at] || Y[at + 1] != lastIn_[at + 1];
        }
        if (!marked || !processed(2 * cx, 2 * cy)) continue;
        U[size_t{cy} * cw + cx] = kMarkCb;
        V[size_t{cy} * cw + cx] = kMarkCr;
      }
    }
    const MotionVector* v = temporal_.vectors();
    for (uint32_t by = 0; by < temporal_.blocksY(); ++by) {
      for (uint32_t bx = 0; bx < temporal_.blocksX(); ++bx, ++v) {
        if (v->x != 0 || v->y != 0) outline(bx * 16, by * 16);
      }
    }
  }

  if (searched) {
    const uint32_t blockThreshold = static_cast<uint32_t>(params_.blockDistanceThreshold);
    // Method 5 changes pixels only with a replacement threshold above 0.
    const bool copies = method == 4 || static_cast<uint32_t>(params_.replacementThreshold) > 0;
    for (uint32_t i = 0; copies && i < engine_.blockCount; ++i) {
      if (engine_.blockInterlaceCounts[i] <= 32 ||
          engine_.blockMotion[i].distance >= blockThreshold)
        continue;
      const uint32_t bx = static_cast<uint32_t>(engine_.blockPositions[i].x);
      const uint32_t ey = static_cast<uint32_t>(engine_.blockPositions[i].y);
      outline(bx, top ? h - 16 - ey : ey);
    }
  }

  if (!regionEmpty_) {
    // Blocks of 8x8 luma and 4x4 chroma that the region leaves as they were.
    for (uint32_t y = 0; y < h; ++y) {
      for (uint32_t x = 0; x < w; ++x) {
        if (processed(x, y)) continue;
        uint8_t& l = Y[size_t{y} * w + x];
        l = dimLuma(l);
        if ((x | y) & 1) continue;
        uint8_t& u = U[size_t{y / 2} * cw + x / 2];
        uint8_t& v = V[size_t{y / 2} * cw + x / 2];
        u = dimChroma(u);
        v = dimChroma(v);
      }
    }
  }
}

}  // namespace wdi::core
