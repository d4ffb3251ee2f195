// Method 6, temporal area based: rebuilds the missing field of a frame from the
// frame itself and its neighbours in time, on frames in the engine's layout
// (Y w x h, then V and U w/2 x h/2; w, h multiples of 16).
//
// The algorithm, per frame (t is the time of the kept field; one field period
// is one unit):
//
// 1. The two fields of the missing parity nearest in time, B at t-1 and A at
//    t+1: when the kept field is the earlier of its frame, B is the previous
//    frame's missing field and A the current frame's own; else B is the
//    current frame's and A the next frame's. The kept field of the previous
//    and the next frame (t-2, t+2) are Kp and Kn.
// 2. Motion, on luma, per block of 16 columns x 8 field rows, in raster
//    order: a vector m = (mx, my) (columns, field rows) whose cost
//    sum |B(x - m) - A(x + m)| + |((B(x - m) + A(x + m) + 1) >> 1) - G(x)|
//    over the block (G the average (up + down + 1) >> 1 of the kept rows
//    above and below: the prediction must also fit the current field) is
//    least among the candidates tried, in this order, a candidate replacing
//    the best only when its cost is strictly lower: (0,0); the vectors of
//    the left, upper and upper-right blocks; when the best cost is then above 8192, the
//    coarse set (-8,0) (8,0) (-4,0) (4,0) (-12,0) (12,0) (0,-2) (0,2); then
//    steps from the best to its four neighbours (-1,0) (1,0) (0,-1) (0,1),
//    moving to the best improving one, at most 16 times. Only vectors with
//    |mx| <= 16, |my| <= 4 and both displaced blocks inside the field are
//    tried; a vector already measured is not measured again. Chroma goes in
//    blocks of 16 columns x 4 field rows, each with the vector of the left
//    one of its two luma blocks, halved (rounded toward zero), or (0,0)
//    where the displaced block would leave the plane.
// 3. Per missing pixel, with c, e the kept pixels above and below: b0, a0
//    the pixels of B and A at its place, r0 = |b0 - a0|; bm, am those
//    displaced by -m and +m, rm = |bm - am|. The pixel is not displaced when
//    m = 0 or r0 = 0 (what stands still beside a moving edge): then
//    d = (b0 + a0 + 1) >> 1, r = r0; else d = (bm + am + 1) >> 1, r = rm.
//    Still: not displaced and r, |Kp - c|, |Kp - e|, |Kn - c|, |Kn - e| (the
//    kept rows above and below in the frames before and after) all 0: the
//    result is d (a still area keeps its woven rows: B = A = the woven row).
//    Otherwise: bu, fd = the same prediction one field row above and below;
//    hi = max(d - e, d - c, min(bu - c, fd - e)), lo = min(d - e, d - c,
//    max(bu - c, fd - e)); k = max((|Kp - c| + |Kp - e|) >> 3,
//    (|Kn - c| + |Kn - e|) >> 3) when not displaced, else 0;
//    diff = max(r >> 1, k, lo, -hi); the result is the spatial prediction sp
//    clamped to [d - diff, d + diff] (no overshoot beyond what the
//    neighbours in time and space allow).
//    sp follows edges: the cubic (-U3 + 9U + 9L - L3 + 8) >> 4 clipped to
//    0..255 (U, L the kept rows above and below, U3, L3 three rows away),
//    unless the first least of the diagonal costs |U(x-1+k) - L(x-1-k)| +
//    |U(x+k) - L(x-k)| + |U(x+1+k) - L(x+1-k)|, k = -1, 1, -2, 2, is clearly
//    lower (2 * cost + 16 < the cost of k = 0): then (U(x+k) + L(x-k) + 1) >> 1.
//    Rows outside the plane are replaced by the nearest row of the same
//    parity inside it, columns outside it by the nearest column.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

namespace wdi {

// The rows a run of missing pixels x0 .. x0+n-1 reads. up and down are
// indexed by column and readable from -16 to width+15 (edge columns
// repeated); up3 .. nextDown are indexed by column; b .. aDown start at the
// run's first pixel, displaced by the vector: b[j] = B(x0 + j - mx) in field
// row i - my, a[j] = A(x0 + j + mx) in row i + my.
struct TemporalRows {
  const uint8_t *up3, *up, *down, *down3;                  // kept rows y-3, y-1, y+1, y+3
  const uint8_t *prevUp, *prevDown;                        // Kp rows y-1, y+1
  const uint8_t *nextUp, *nextDown;                        // Kn rows y-1, y+1
  const uint8_t *b, *a;                                    // displaced B, A in row y
  const uint8_t *bUp, *aUp, *bDown, *aDown;                // the same one field row above and below
  const uint8_t *b0, *a0, *bUp0, *aUp0, *bDown0, *aDown0;  // the same not displaced
  uint8_t* out;                                            // indexed by column
};

// Columns readable left and right of a plane row in TemporalRows::up, down.
constexpr int32_t kTemporalMargin = 16;

struct TemporalKernels {
  // The cost of a vector on a 16 x 8 block: sum |b - a| + |((b + a + 1) >> 1) - guide|,
  // rows of b and a `stride` bytes apart, of guide `guideStride`.
  uint32_t (*blockSad)(const uint8_t* b, const uint8_t* a, ptrdiff_t stride, const uint8_t* guide,
                       ptrdiff_t guideStride);
  // Builds pixels x0 .. x0+n-1 of a missing row.
  void (*span)(const TemporalRows& rows, int32_t x0, int32_t n);
};

uint32_t temporalBlockSadC(const uint8_t* b, const uint8_t* a, ptrdiff_t stride,
                           const uint8_t* guide, ptrdiff_t guideStride);
void temporalSpanC(const TemporalRows& rows, int32_t x0, int32_t n);
uint32_t temporalBlockSadSse2(const uint8_t* b, const uint8_t* a, ptrdiff_t stride,
                              const uint8_t* guide, ptrdiff_t guideStride);
void temporalSpanSse2(const TemporalRows& rows, int32_t x0, int32_t n);
uint32_t temporalBlockSadAvx2(const uint8_t* b, const uint8_t* a, ptrdiff_t stride,
                              const uint8_t* guide, ptrdiff_t guideStride);
void temporalSpanAvx2(const TemporalRows& rows, int32_t x0, int32_t n);

TemporalKernels makeTemporalKernels(uint32_t cpuFlags);

struct MotionVector {
  int8_t x, y;
};

class TemporalDeinterlacer {
 public:
  // Allocates the vector field; throws std::bad_alloc.
  void init(uint32_t width, uint32_t height);
  // prev and next may be null (the first and last frame): the current frame
  // stands in for a missing one.
  // `keepTop`: rows 0, 2, ... are kept; `keptFirst`: the kept field is the
  // earlier of its frame in time. `out` may not overlap the inputs.
  void process(const uint8_t* prev, const uint8_t* cur, const uint8_t* next, uint8_t* out,
               bool keepTop, bool keptFirst);
  // The vectors of the last frame, blocksX() x blocksY() in raster order.
  const MotionVector* vectors() const { return vectors_.get(); }
  uint32_t blocksX() const { return width_ / 16; }
  uint32_t blocksY() const { return height_ / 16; }

 private:
  struct Plane {
    const uint8_t *prev, *cur, *next;
    uint8_t* out;
    int32_t width, height;
  };
  // Blocks side by side with the same vector, rebuilt in one kernel call.
  struct Run {
    int32_t x0, n;
    MotionVector v;
  };
  class PlanePass;
  // The runs of one row of blocks, for luma (shift 0) or chroma (1); returns their count.
  int32_t runsOf(const MotionVector* blockRow, int shift, Run* runs) const;

  uint32_t width_ = 0, height_ = 0;
  std::unique_ptr<MotionVector[]> vectors_;
  std::unique_ptr<Run[]> runs_;          // of one row of blocks, luma then chroma
  std::unique_ptr<uint8_t[]> edgeRows_;  // two kept rows per plane with repeated edge columns
  std::unique_ptr<uint8_t[]> guide_;     // the kept rows' averages, one row of blocks
};

}  // namespace wdi
