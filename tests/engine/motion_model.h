// A plain, slow model of the block searches of methods 4 and 5, written loop for loop
// from their definition, for comparing the engine against on arbitrary parameters.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/me_deinterlacer.h"

namespace wdi::test {

// Row-by-row sum of squared differences, stopping after a row once it reaches `limit`.
inline uint32_t modelDistance(const uint8_t* a, const uint8_t* b, int rows, int cols,
                              ptrdiff_t stride, uint32_t limit) {
  uint32_t sum = 0;
  for (int k = 0; k < rows; ++k) {
    for (int c = 0; c < cols; ++c) {
      const int d = int(a[k * stride + c]) - int(b[k * stride + c]);
      sum += uint32_t(d * d);
    }
    if (sum >= limit) return sum;
  }
  return sum;
}

inline std::vector<uint8_t> modelReduced(const uint8_t* luma, int64_t w, int64_t h) {
  std::vector<uint8_t> r(size_t(w / 2 * (h / 4)));
  for (int64_t y = 0; y < h / 4; ++y)
    for (int64_t x = 0; x < w / 2; ++x) r[size_t(y * (w / 2) + x)] = luma[4 * y * w + 2 * x];
  return r;
}

// Method 4 from the reduced images on: `dst` holds the interpolated frame's luma on entry
// and the result on exit; `motion` receives the records.
inline void modelMethod4Search(const uint8_t* src, uint8_t* dst, int64_t w, int64_t h,
                               const uint8_t* counts, int32_t searchArea, int32_t threshold,
                               std::vector<BlockMotion>& motion) {
  const std::vector<uint8_t> srcR = modelReduced(src, w, h);
  const std::vector<uint8_t> dstR = modelReduced(dst, w, h);
  const int64_t rw = w / 2, rh = h / 4, bpr = w / 16, n = bpr * (h / 16);
  const uint32_t thr = uint32_t(threshold);
  motion.assign(size_t(n), BlockMotion{0, 0, 0});
  for (int64_t i = 0; i < n; ++i) {
    if (counts[i] <= 32) continue;
    BlockMotion& m = motion[size_t(i)];
    const int64_t col = i % bpr, row = i / bpr;
    int64_t a = searchArea;
    if (row > 0 && col > 0) {
      const BlockMotion& l = motion[size_t(i - 1)];
      const BlockMotion& u = motion[size_t(i - bpr)];
      const BlockMotion& ul = motion[size_t(i - bpr - 1)];
      const bool good = l.distance != 0 && l.distance < thr && u.distance != 0 &&
                        u.distance < thr && ul.distance != 0 && ul.distance < thr;
      const int64_t s = int64_t(l.dx) * l.dx + int64_t(l.dy) * l.dy + int64_t(u.dx) * u.dx +
                        int64_t(u.dy) * u.dy + int64_t(ul.dx) * ul.dx + int64_t(ul.dy) * ul.dy;
      if (good && s < 64) a = 4;
    }
    // Coarse.
    {
      const int64_t rx = a / 2, ry = a / 4, x = 8 * col, y = 4 * row;
      uint32_t best = 2097152;
      int64_t bx = 0, by = 0;
      for (int64_t oy = std::max(y - ry, int64_t(0)) - y; oy <= std::min(y + ry, rh - 4) - y; ++oy)
        for (int64_t ox = std::max(x - rx, int64_t(0)) - x; ox <= std::min(x + rx, rw - 8) - x;
             ++ox) {
          const uint32_t d = modelDistance(&srcR[size_t((y + oy) * rw + x + ox)],
                                           &dstR[size_t(y * rw + x)], 4, 8, rw, best);
          if (d < best) best = d, bx = ox, by = oy;
        }
      m = {4 * best, int32_t(2 * bx), int32_t(4 * by)};
    }
    // Fine.
    int64_t r = 2;
    if (m.distance >= thr) m.dx = m.dy = 0, r = a;
    {
      const int64_t x = 16 * col + m.dx, y = 16 * row + m.dy;
      uint32_t best = 8388608;
      int64_t bx = 0, by = 0;
      for (int64_t oy = std::max(y - r, int64_t(0)) - y; oy <= std::min(y + r, h - 16) - y; oy += 2)
        for (int64_t ox = std::max(x - r, int64_t(0)) - x; ox <= std::min(x + r, w - 16) - x;
             ++ox) {
          const uint32_t d = modelDistance(src + (y + oy) * w + x + ox,
                                           dst + 16 * row * w + 16 * col, 8, 16, 2 * w, best);
          if (d < best) best = d, bx = ox, by = oy;
        }
      m.dx = int32_t(m.dx + bx);
      m.dy = int32_t(m.dy + by);
      m.distance = best;
    }
    if (m.distance < thr) {
      for (int64_t k = 0; k < 8; ++k)
        std::memcpy(dst + (16 * row + 2 * k) * w + 16 * col,
                    src + (16 * row + m.dy + 2 * k) * w + 16 * col + m.dx, 16);
    }
  }
}

// Method 5 from the search pass on, in place on `dst` (the interpolated luma). Records
// are filled for every block.
inline void modelAdvancedPasses(const uint8_t* src, uint8_t* dst, int64_t w, int64_t h,
                                const uint8_t* counts, const DeinterlaceParameters& p,
                                std::vector<BlockMotion>& motion) {
  const uint8_t* plane = p.searchOnInterpolated ? dst : src + w;
  const int64_t bpr = w / 16, n = bpr * (h / 16);
  const int64_t a = std::max<int64_t>(p.searchArea, 0);
  motion.assign(size_t(n), BlockMotion{0, 0, 0});
  for (int64_t i = 0; i < n; ++i) {
    const int64_t bx = 16 * (i % bpr), by = 16 * (i / bpr);
    const int64_t x0 = std::max(bx - a, int64_t(0)), x1 = std::min(bx + a, w - 16);
    const int64_t y0 = std::max(by - a, int64_t(0)), y1 = std::min(by + a, h - 16);
    uint32_t best = 16777216;
    int64_t cxBest = x0, cyBest = y0;
    for (int64_t cy = y0; cy < y1; cy += 2)
      for (int64_t cx = x0; cx < x1; ++cx) {
        const uint32_t d =
            modelDistance(plane + cy * w + cx, src + by * w + bx, 8, 16, 2 * w, best);
        if (d < best) best = d, cxBest = cx, cyBest = cy;
      }
    motion[size_t(i)] = {best, int32_t(cxBest - bx), int32_t(cyBest - by)};
  }
  for (int64_t i = 0; i < n; ++i) {
    const BlockMotion& m = motion[size_t(i)];
    if (counts[i] <= 32 || m.distance >= uint32_t(p.blockDistanceThreshold)) continue;
    const int64_t bx = 16 * (i % bpr), by = 16 * (i / bpr);
    uint8_t* d = dst + by * w + bx;
    const uint8_t* c = plane + (by + m.dy) * w + bx + m.dx;
    for (int64_t k = 0; k < 8; ++k)
      for (int64_t j = 0; j < 16; ++j) {
        uint8_t& pp = d[k * 2 * w + j];
        const uint8_t q = c[k * 2 * w + j];
        if (uint32_t(std::abs(int(pp) - int(q))) < uint32_t(p.replacementThreshold)) pp = q;
      }
  }
}

// Smooth texture seen through two fields: the odd rows show it in place, the even rows
// shifted by (mx, my), so that nearby field blocks match closely. Values 0 .. 255.
inline std::vector<uint8_t> movingTexture(int64_t w, int64_t h, int mx, int my, std::mt19937& rng) {
  const int64_t gw = w / 4 + 8, gh = h / 4 + 8;
  std::vector<int> grid(size_t(gw * gh));
  std::uniform_int_distribution<int> v(0, 255), noise(0, 3);
  for (int& g : grid) g = v(rng);
  auto texture = [&](int64_t x, int64_t y) {
    x = std::clamp<int64_t>(x + 8, 0, 4 * (gw - 1) - 1);
    y = std::clamp<int64_t>(y + 8, 0, 4 * (gh - 1) - 1);
    const int64_t gx = x / 4, gy = y / 4, fx = x % 4, fy = y % 4;
    const int64_t top = grid[size_t(gy * gw + gx)] * (4 - fx) + grid[size_t(gy * gw + gx + 1)] * fx;
    const int64_t bot =
        grid[size_t((gy + 1) * gw + gx)] * (4 - fx) + grid[size_t((gy + 1) * gw + gx + 1)] * fx;
    return int((top * (4 - fy) + bot * fy) / 16);
  };
  std::vector<uint8_t> luma(size_t(w * h));
  for (int64_t y = 0; y < h; ++y)
    for (int64_t x = 0; x < w; ++x) {
      const int t = (y % 2 == 0) ? texture(x - mx, y - my) : texture(x, y);
      luma[size_t(y * w + x)] = uint8_t(std::clamp(t + noise(rng), 0, 255));
    }
  return luma;
}

// A static smooth background with a moving detailed patch: the even rows of the patch
// show it shifted by (mx, my), so the detection finds combs there and nowhere else.
inline std::vector<uint8_t> combedScene(int64_t w, int64_t h, int mx, int my, std::mt19937& rng) {
  std::vector<uint8_t> luma = movingTexture(w, h, 0, 0, rng);
  const int64_t pw = w + 16, ph = h + 16;
  std::vector<uint8_t> detail(size_t(pw * ph));
  for (int64_t y = 0; y < ph; ++y)
    for (int64_t x = 0; x < pw; ++x)
      detail[size_t(y * pw + x)] = uint8_t(((x / 3 + y / 2) % 2) * 160 + rng() % 40);
  for (int64_t y = h / 4; y < 3 * h / 4; ++y)
    for (int64_t x = w / 4; x < 3 * w / 4; ++x) {
      const int64_t sx = y % 2 == 0 ? x - mx + 8 : x + 8, sy = y % 2 == 0 ? y - my + 8 : y + 8;
      luma[size_t(y * w + x)] = detail[size_t(sy * pw + sx)];
    }
  return luma;
}

// Statistics of an end-to-end comparison, so tests can tell a vacuous run.
struct EndToEndStats {
  int frames = 0;
  int wholeFrame = 0;      // detection found the frame interlaced all over
  int searchedBlocks = 0;  // blocks with more than 32 comb hits
  int changedPixels = 0;   // luma pixels where the result differs from method 3's
};

// Runs method 4 or 5 through process() on `frame` and compares all three planes with
// method 3's output (same detection and interpolation) followed by the model. Returns an
// empty string on success, else a description of the first difference.
inline std::string compareWithModel(uint32_t flags, uint32_t w, uint32_t h,
                                    const std::vector<uint8_t>& frame, DeinterlaceParameters p,
                                    EndToEndStats& stats) {
  const size_t lumaSize = size_t(w) * h, frameSize = lumaSize * 3 / 2;
  MEDeinterlacer engine(flags);
  engine.init(w, h);
  // Method 3 without the restore: exactly the frame after detectAndInterpolate.
  DeinterlaceParameters p3 = p;
  p3.method = 3;
  p3.replaceOnlyInterlaced = 0;
  std::vector<uint8_t> want(frameSize, 0x5A);
  engine.process(frame.data(), want.data(), &p3);
  // The detection's verdict, map and counts, from the same kernel table.
  std::vector<uint8_t> map(lumaSize), counts(engine.blockCount);
  const int whole = engine.kernels().detectInterlace(map.data(), counts.data(), frame.data(), w, h,
                                                     p.detectionThreshold);
  const std::vector<uint8_t> method3 = want;
  std::vector<BlockMotion> motion;
  if (whole == 0) {
    if (p.method == 4) {
      modelMethod4Search(frame.data(), want.data(), w, h, counts.data(), p.searchArea,
                         p.blockDistanceThreshold, motion);
    } else {
      modelAdvancedPasses(frame.data(), want.data(), w, h, counts.data(), p, motion);
    }
    if (p.replaceOnlyInterlaced != 0) {
      for (size_t j = 0; j < lumaSize; ++j)
        if (map[j] == 0) want[j] = frame[j];
    }
    for (uint8_t c : counts) stats.searchedBlocks += c > 32;
  }
  ++stats.frames;
  stats.wholeFrame += whole != 0;
  for (size_t j = 0; j < lumaSize; ++j) stats.changedPixels += want[j] != method3[j];

  std::vector<uint8_t> got(frameSize, 0xA5);
  engine.process(frame.data(), got.data(), &p);
  for (size_t j = 0; j < frameSize; ++j) {
    if (got[j] != want[j]) {
      return "first difference at byte " + std::to_string(j) + " (row " + std::to_string(j / w) +
             "): got " + std::to_string(got[j]) + ", want " + std::to_string(want[j]);
    }
  }
  if (whole == 0) {
    for (uint32_t i = 0; i < engine.blockCount; ++i) {
      if (counts[i] <= 32) continue;
      const BlockMotion& a = engine.blockMotion[i];
      const BlockMotion& b = motion[i];
      if (a.distance != b.distance || a.dx != b.dx || a.dy != b.dy)
        return "record of block " + std::to_string(i) + " differs";
    }
  }
  return "";
}

}  // namespace wdi::test
