#include "engine/temporal.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/cpu.h"

namespace wdi {

namespace {

constexpr int32_t kBlockWidth = 16;  // luma columns
constexpr int32_t kBlockRows = 8;    // luma field rows
constexpr int32_t kRangeX = 16;
constexpr int32_t kRangeY = 4;
constexpr uint32_t kCoarseAbove = 8192;
constexpr int kMaxSteps = 16;
constexpr int kStillChange = 0;
constexpr int kKeptShift = 3;
constexpr int kDiagonalMargin = 16;

constexpr MotionVector kCoarse[] = {{-8, 0},  {8, 0},  {-4, 0}, {4, 0},
                                    {-12, 0}, {12, 0}, {0, -2}, {0, 2}};
constexpr MotionVector kSteps[] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};

inline int absDiff(int a, int b) { return a > b ? a - b : b - a; }

// Row r of a plane of h rows, or the nearest row of the kept parity inside it.
inline int32_t keptRowOf(int32_t r, int keptParity, int32_t h) {
  return std::clamp(r, keptParity, h - 2 + keptParity);
}

// The edge-following spatial prediction of pixel x from the kept rows.
inline int spatial(const TemporalRows& r, int32_t x) {
  const uint8_t* u = r.up;
  const uint8_t* l = r.down;
  auto cost = [&](int k) {
    return absDiff(u[x - 1 + k], l[x - 1 - k]) + absDiff(u[x + k], l[x - k]) +
           absDiff(u[x + 1 + k], l[x + 1 - k]);
  };
  // The first least diagonal, taken only where it fits clearly better.
  int best = INT32_MAX;
  int bestK = 0;
  for (const int k : {-1, 1, -2, 2}) {
    const int c = cost(k);
    if (c < best) {
      best = c;
      bestK = k;
    }
  }
  if (2 * best + kDiagonalMargin < cost(0)) return (u[x + bestK] + l[x - bestK] + 1) >> 1;
  const int cubic = (-r.up3[x] + 9 * (u[x] + l[x]) - r.down3[x] + 8) >> 4;
  return std::clamp(cubic, 0, 255);
}

}  // namespace

uint32_t temporalBlockSadC(const uint8_t* b, const uint8_t* a, ptrdiff_t stride,
                           const uint8_t* guide, ptrdiff_t guideStride) {
  uint32_t sum = 0;
  for (int row = 0; row < kBlockRows; ++row) {
    for (int x = 0; x < kBlockWidth; ++x) {
      sum += static_cast<uint32_t>(absDiff(b[x], a[x]));
      sum += static_cast<uint32_t>(absDiff((b[x] + a[x] + 1) >> 1, guide[x]));
    }
    b += stride;
    a += stride;
    guide += guideStride;
  }
  return sum;
}

void temporalSpanC(const TemporalRows& r, int32_t x0, int32_t n) {
  for (int32_t j = 0; j < n; ++j) {
    const int32_t x = x0 + j;
    const int c = r.up[x];
    const int e = r.down[x];
    const int change0 = absDiff(r.b0[j], r.a0[j]);
    const int changeM = absDiff(r.b[j], r.a[j]);
    // Not displaced where the block does not move or where standing still matches.
    const bool still = r.b0 == r.b || change0 <= kStillChange;
    const int change = still ? change0 : changeM;
    const int d = still ? (r.b0[j] + r.a0[j] + 1) >> 1 : (r.b[j] + r.a[j] + 1) >> 1;
    const int pu = absDiff(r.prevUp[x], c), pd = absDiff(r.prevDown[x], e);
    const int nu = absDiff(r.nextUp[x], c), nd = absDiff(r.nextDown[x], e);
    if (still && std::max({change, pu, pd, nu, nd}) <= kStillChange) {
      r.out[x] = static_cast<uint8_t>(d);
      continue;
    }
    const int bu = still ? (r.bUp0[j] + r.aUp0[j] + 1) >> 1 : (r.bUp[j] + r.aUp[j] + 1) >> 1;
    const int fd =
        still ? (r.bDown0[j] + r.aDown0[j] + 1) >> 1 : (r.bDown[j] + r.aDown[j] + 1) >> 1;
    const int hi = std::max({d - e, d - c, std::min(bu - c, fd - e)});
    const int lo = std::min({d - e, d - c, std::max(bu - c, fd - e)});
    // Not displaced, the kept field's own change in time counts too.
    const int kept = still ? std::max((pu + pd) >> kKeptShift, (nu + nd) >> kKeptShift) : 0;
    const int diff = std::max({change >> 1, kept, lo, -hi});
    r.out[x] = static_cast<uint8_t>(std::clamp(spatial(r, x), d - diff, d + diff));
  }
}

TemporalKernels makeTemporalKernels(uint32_t flags) {
  TemporalKernels k{temporalBlockSadC, temporalSpanC};
  if (flags & kCpuSse2) k = {temporalBlockSadSse2, temporalSpanSse2};
  if (flags & kCpuAvx2) k = {temporalBlockSadAvx2, temporalSpanAvx2};
  return k;
}

void TemporalDeinterlacer::init(uint32_t width, uint32_t height) {
  width_ = width;
  height_ = height;
  vectors_.reset(new MotionVector[static_cast<size_t>(blocksX()) * blocksY()]);
  runs_.reset(new Run[2 * static_cast<size_t>(blocksX())]);
  // Two rows per plane: the luma's, then the two chroma planes' (half as wide).
  edgeRows_.reset(new uint8_t[2 * (2 * static_cast<size_t>(width) + 6 * kTemporalMargin)]);
  guide_.reset(new uint8_t[static_cast<size_t>(width) * kBlockRows]);
}

namespace {

// The vectors of the luma blocks, one row of blocks at a time in raster
// order; b and a are the first rows of the missing fields B and A, cur the
// current frame (its kept rows make the guide).
class BlockSearch {
 public:
  BlockSearch(const uint8_t* b, const uint8_t* a, const uint8_t* cur, int keptParity, int32_t w,
              int32_t h, MotionVector* field, uint8_t* guide)
      : b_(b),
        a_(a),
        cur_(cur),
        keptParity_(keptParity),
        w_(w),
        h_(h),
        field_(field),
        guide_(guide) {}

  void row(const TemporalKernels& k, int32_t by) {
    const int32_t bw = w_ / kBlockWidth;
    const int32_t fieldStride = 2 * w_;
    const int32_t fieldRows = h_ / 2;
    const int32_t top = by * kBlockRows;
    // The guide of this row of blocks only: it is read while still in cache.
    for (int32_t i = 0; i < kBlockRows; ++i) {
      const int32_t y = 2 * (top + i) + 1 - keptParity_;
      const uint8_t* up = cur_ + keptRowOf(y - 1, keptParity_, h_) * w_;
      const uint8_t* down = cur_ + keptRowOf(y + 1, keptParity_, h_) * w_;
      uint8_t* g = guide_ + static_cast<ptrdiff_t>(i) * w_;
      for (int32_t x = 0; x < w_; ++x) g[x] = static_cast<uint8_t>((up[x] + down[x] + 1) >> 1);
    }
    for (int32_t bx = 0; bx < bw; ++bx) {
      const int32_t left = bx * kBlockWidth;
      const ptrdiff_t origin = static_cast<ptrdiff_t>(top) * fieldStride + left;
      const uint8_t* guide = guide_ + left;
      uint32_t best = UINT32_MAX;
      MotionVector bestV{0, 0};
      // A vector tried once cannot win again: each is measured once.
      ++blockStamp_;
      // The vectors whose blocks in B and A stay inside the range and the field.
      const int32_t xLimit = std::min({kRangeX, left, w_ - left - kBlockWidth});
      const int32_t yLimit = std::min({kRangeY, top, fieldRows - top - kBlockRows});
      auto tryVector = [&](MotionVector v) {
        if (best == 0) return;  // nothing can be lower
        const int32_t mx = v.x;
        const int32_t my = v.y;
        if (std::abs(mx) > xLimit || std::abs(my) > yLimit ||
            tried_[my + kRangeY][mx + kRangeX] == blockStamp_) {
          return;
        }
        tried_[my + kRangeY][mx + kRangeX] = blockStamp_;
        const ptrdiff_t shift = static_cast<ptrdiff_t>(my) * fieldStride + mx;
        const uint32_t sad =
            k.blockSad(b_ + origin - shift, a_ + origin + shift, fieldStride, guide, w_);
        if (sad < best) {
          best = sad;
          bestV = v;
        }
      };
      MotionVector* f = field_;
      tryVector({0, 0});
      if (bx > 0) tryVector(f[by * bw + bx - 1]);
      if (by > 0) tryVector(f[(by - 1) * bw + bx]);
      if (by > 0 && bx + 1 < bw) tryVector(f[(by - 1) * bw + bx + 1]);
      if (best > kCoarseAbove) {
        for (const MotionVector v : kCoarse) tryVector(v);
      }
      for (int step = 0; step < kMaxSteps; ++step) {
        const MotionVector from = bestV;
        for (const MotionVector s : kSteps) {
          tryVector({static_cast<int8_t>(from.x + s.x), static_cast<int8_t>(from.y + s.y)});
        }
        if (bestV.x == from.x && bestV.y == from.y) break;
      }
      f[by * bw + bx] = bestV;
    }
  }

 private:
  const uint8_t *b_, *a_, *cur_;
  int keptParity_;
  int32_t w_, h_;
  MotionVector* field_;
  uint8_t* guide_;
  // Which vectors a block has measured: the block's number where it did, so
  // that nothing is cleared from one block to the next.
  uint32_t tried_[2 * kRangeY + 1][2 * kRangeX + 1] = {};
  uint32_t blockStamp_ = 0;
};

}  // namespace

// The missing rows of one plane (shift 0 luma, 1 chroma), rebuilt a row of
// blocks at a time, with the kept rows copied alongside.
class TemporalDeinterlacer::PlanePass {
 public:
  PlanePass(const Plane& p, int keptParity, bool keptFirst, int shift, uint8_t* edgeRows)
      : p_(p),
        keptParity_(keptParity),
        missing_(1 - keptParity),
        shift_(shift),
        fieldB_(keptFirst ? p.prev : p.cur),
        fieldA_(keptFirst ? p.cur : p.next),
        edge_{edgeRows + kTemporalMargin, edgeRows + p.width + 3 * kTemporalMargin} {}

  // The field rows of row of blocks `by`, whose runs of equal vectors are given.
  void rebuild(const TemporalKernels& k, int32_t by, const Run* runs, int32_t runCount) {
    const int32_t w = p_.width;
    const int32_t fieldRows = p_.height / 2;
    const int32_t blockRows = kBlockRows >> shift_;
    auto missingRow = [&](int32_t i) { return 2 * std::clamp(i, 0, fieldRows - 1) + missing_; };
    TemporalRows& rows = rows_;
    for (int32_t i = by * blockRows; i < (by + 1) * blockRows; ++i) {
      const int32_t y = 2 * i + missing_;
      const int32_t up = keptRow(y - 1);
      const int32_t down = keptRow(y + 1);
      rows.up = edgeOf(up);
      rows.down = edgeOf(down);
      // The kept row of this field row is one of the two, in cache now.
      const int32_t kept = 2 * i + keptParity_;
      std::memcpy(p_.out + static_cast<ptrdiff_t>(kept) * w, kept == up ? rows.up : rows.down, w);
      rows.up3 = row(p_.cur, keptRow(y - 3));
      rows.down3 = row(p_.cur, keptRow(y + 3));
      rows.prevUp = row(p_.prev, up);
      rows.prevDown = row(p_.prev, down);
      rows.nextUp = row(p_.next, up);
      rows.nextDown = row(p_.next, down);
      rows.out = p_.out + static_cast<ptrdiff_t>(y) * w;
      // The rows of B and A from i - 5 to i + 5 (a vector and one row more).
      const uint8_t* rowsB[2 * kRangeY + 3];
      const uint8_t* rowsA[2 * kRangeY + 3];
      for (int32_t d = -kRangeY - 1; d <= kRangeY + 1; ++d) {
        rowsB[d + kRangeY + 1] = row(fieldB_, missingRow(i + d));
        rowsA[d + kRangeY + 1] = row(fieldA_, missingRow(i + d));
      }
      const uint8_t* const* b = rowsB + kRangeY + 1;  // b[d]: the row i + d of B
      const uint8_t* const* a = rowsA + kRangeY + 1;
      for (int32_t n = 0; n < runCount; ++n) {
        const Run& run = runs[n];
        const int32_t x0 = run.x0, mx = run.v.x, my = run.v.y;
        rows.b0 = b[0] + x0;
        rows.a0 = a[0] + x0;
        rows.bUp0 = b[-1] + x0;
        rows.aUp0 = a[-1] + x0;
        rows.bDown0 = b[1] + x0;
        rows.aDown0 = a[1] + x0;
        rows.b = b[-my] + x0 - mx;
        rows.a = a[my] + x0 + mx;
        rows.bUp = b[-1 - my] + x0 - mx;
        rows.aUp = a[-1 + my] + x0 + mx;
        rows.bDown = b[1 - my] + x0 - mx;
        rows.aDown = a[1 + my] + x0 + mx;
        k.span(rows, x0, run.n);
      }
    }
  }

 private:
  const uint8_t* row(const uint8_t* plane, int32_t r) const {
    return plane + static_cast<ptrdiff_t>(r) * p_.width;
  }
  int32_t keptRow(int32_t r) const { return keptRowOf(r, keptParity_, p_.height); }

  // Kept row r with its edge columns repeated, so the kernels never clamp a
  // column; the row below one missing row is the row above the next.
  const uint8_t* edgeOf(int32_t r) {
    for (int s = 0; s < 2; ++s) {
      if (edgeRow_[s] == r) return edge_[s];
    }
    // Replace the slot not holding the other row in use.
    const int s = edgeRow_[0] == r - 2 || edgeRow_[0] == r + 2 ? 1 : 0;
    const int32_t w = p_.width;
    const uint8_t* src = row(p_.cur, r);
    std::memcpy(edge_[s], src, w);
    std::memset(edge_[s] - kTemporalMargin, src[0], kTemporalMargin);
    std::memset(edge_[s] + w, src[w - 1], kTemporalMargin);
    edgeRow_[s] = r;
    return edge_[s];
  }

  Plane p_;
  int keptParity_, missing_, shift_;
  const uint8_t *fieldB_, *fieldA_;
  uint8_t* edge_[2];
  int32_t edgeRow_[2] = {-1, -1};
  TemporalRows rows_{};
};

// Runs of blocks with the same vector, for one call each. Chroma goes by
// pairs of blocks (16 columns), each with the vector of its left block
// halved, or none where that would read outside the plane (the search kept
// only the left block inside).
int32_t TemporalDeinterlacer::runsOf(const MotionVector* blockRow, int shift, Run* runs) const {
  const auto bw = static_cast<int32_t>(blocksX());
  const int32_t w = static_cast<int32_t>(width_) >> shift;
  const int32_t step = 1 << shift;
  auto vectorOf = [&](int32_t bx) {
    const MotionVector v = blockRow[bx];
    if (shift == 0) return v;
    const int32_t x0 = bx * kBlockWidth / 2;
    const int32_t span = std::min(kBlockWidth, w - x0);
    const auto cmx = static_cast<int8_t>(v.x / 2);
    if (x0 - std::abs(cmx) < 0 || x0 + span + std::abs(cmx) > w) return MotionVector{0, 0};
    return MotionVector{cmx, static_cast<int8_t>(v.y / 2)};
  };
  int32_t count = 0;
  for (int32_t bx = 0; bx < bw;) {
    const MotionVector v = vectorOf(bx);
    int32_t end = bx + step;
    for (; end < bw; end += step) {
      const MotionVector u = vectorOf(end);
      if (u.x != v.x || u.y != v.y) break;
    }
    end = std::min(end, bw);
    runs[count++] = {(bx * kBlockWidth) >> shift, ((end - bx) * kBlockWidth) >> shift, v};
    bx = end;
  }
  return count;
}

void TemporalDeinterlacer::process(const uint8_t* prev, const uint8_t* cur, const uint8_t* next,
                                   uint8_t* out, bool keepTop, bool keptFirst) {
  // A missing neighbour: the current frame stands in for it, so the field
  // on that side is the frame's own (never one from the wrong side in time).
  if (prev == nullptr) prev = cur;
  if (next == nullptr) next = cur;
  const auto w = static_cast<int32_t>(width_);
  const auto h = static_cast<int32_t>(height_);
  const int keptParity = keepTop ? 0 : 1;
  const int missing = 1 - keptParity;
  const uint8_t* fieldB = keptFirst ? prev : cur;
  const uint8_t* fieldA = keptFirst ? cur : next;
  // The CPU mask is read per frame, as the engine's kernels do.
  const TemporalKernels k = makeTemporalKernels(cpuFlags());
  BlockSearch search(fieldB + missing * w, fieldA + missing * w, cur, keptParity, w, h,
                     vectors_.get(), guide_.get());

  const size_t luma = static_cast<size_t>(w) * h;
  const size_t v = luma, u = luma + luma / 4;
  uint8_t* edge = edgeRows_.get();
  PlanePass planes[3] = {{{prev, cur, next, out, w, h}, keptParity, keptFirst, 0, edge},
                         {{prev + v, cur + v, next + v, out + v, w / 2, h / 2},
                          keptParity,
                          keptFirst,
                          1,
                          edge + 2 * w + 4 * kTemporalMargin},
                         {{prev + u, cur + u, next + u, out + u, w / 2, h / 2},
                          keptParity,
                          keptFirst,
                          1,
                          edge + 3 * w + 8 * kTemporalMargin}};
  // Each row of blocks is searched and at once rebuilt, while its rows are
  // still in cache.
  const auto bw = static_cast<int32_t>(blocksX());
  Run* lumaRuns = runs_.get();
  Run* chromaRuns = runs_.get() + bw;
  for (int32_t by = 0; by < static_cast<int32_t>(blocksY()); ++by) {
    search.row(k, by);
    const MotionVector* blockRow = vectors_.get() + by * bw;
    planes[0].rebuild(k, by, lumaRuns, runsOf(blockRow, 0, lumaRuns));
    const int32_t chromaCount = runsOf(blockRow, 1, chromaRuns);
    planes[1].rebuild(k, by, chromaRuns, chromaCount);
    planes[2].rebuild(k, by, chromaRuns, chromaCount);
  }
}

}  // namespace wdi
