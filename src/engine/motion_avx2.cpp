// AVX2 motion kernels: distances with one 16-sample row (or two 8-sample rows) widened to
// sixteen 16-bit lanes, differences -255 .. 255, squared and paired by vpmaddwd into exact
// 32-bit sums; window scans that rule candidates out first by their SADs (vpmpsadbw).
#include <immintrin.h>

#include <algorithm>
#include <cmath>

#include "engine/motion_kernels.h"

namespace wdi {

namespace {

inline uint32_t horizontalSum(__m256i v) {
  __m128i s = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
  s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
  return static_cast<uint32_t>(_mm_cvtsi128_si32(s));
}

inline __m256i squares(__m256i a, __m256i b) {
  const __m256i d = _mm256_sub_epi16(a, b);
  return _mm256_madd_epi16(d, d);
}

// Two 8-sample rows, `stride` apart, widened into one register.
inline __m256i loadRowPair(const uint8_t* p, ptrdiff_t stride) {
  const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
  const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + stride));
  return _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(a, b));
}

inline __m256i loadRow16(const uint8_t* p) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// An 8x4 reference; four rows are summed whole (the full sum meets the early-stop contract).
struct ReducedAvx2 {
  __m256i ref01;
  __m256i ref23;
  ptrdiff_t stride;
  ReducedAvx2(const uint8_t* reference, ptrdiff_t s)
      : ref01(loadRowPair(reference, s)), ref23(loadRowPair(reference + 2 * s, s)), stride(s) {}
  uint32_t operator()(const uint8_t* c, uint32_t) const {
    return horizontalSum(_mm256_add_epi32(squares(loadRowPair(c, stride), ref01),
                                          squares(loadRowPair(c + 2 * stride, stride), ref23)));
  }
};

// A 16x8 reference, one register per row.
struct FieldAvx2 {
  __m256i ref[8];
  ptrdiff_t stride;
  FieldAvx2(const uint8_t* reference, ptrdiff_t s) : stride(s) {
    for (int k = 0; k < 8; ++k) ref[k] = loadRow16(reference + k * s);
  }
  __m256i row(const uint8_t* c, int k) const { return squares(loadRow16(c + k * stride), ref[k]); }
  // Checks the running sum after each of the first four rows: once a good match is known
  // most losing candidates are out early, and a check costs a horizontal sum.
  uint32_t operator()(const uint8_t* c, uint32_t limit) const {
    __m256i acc = row(c, 0);
    uint32_t sum = horizontalSum(acc);
    if (sum >= limit) return sum;
    acc = _mm256_add_epi32(acc, row(c, 1));
    sum = horizontalSum(acc);
    if (sum >= limit) return sum;
    acc = _mm256_add_epi32(acc, row(c, 2));
    sum = horizontalSum(acc);
    if (sum >= limit) return sum;
    acc = _mm256_add_epi32(acc, row(c, 3));
    sum = horizontalSum(acc);
    if (sum >= limit) return sum;
    acc = _mm256_add_epi32(acc, _mm256_add_epi32(row(c, 4), row(c, 5)));
    acc = _mm256_add_epi32(acc, _mm256_add_epi32(row(c, 6), row(c, 7)));
    return horizontalSum(acc);
  }
};

// Lower bounds of block distances from sums of absolute differences: by Cauchy-Schwarz
// SAD^2 <= samples * distance, so a candidate whose SAD reaches the least L with
// L * L >= samples * best cannot get below best. On panned pictures this rules out nearly
// every candidate, at a fraction of the cost of its distance. vpmpsadbw
// gives the SADs of a four-sample run at eight adjacent offsets per lane: lane 0 holds
// candidates 0-7 of a batch, lane 1 candidates 8-15. A SAD is at most 128 * 255 = 32640,
// so sixteen-bit lanes hold it exactly.
inline int16_t sadLimit(uint32_t best, uint32_t samples) {
  const uint64_t target = uint64_t{samples} * best;
  // A limit above every SAD lets every candidate through.
  if (target > uint64_t{32767} * 32767) return 32767;
  uint64_t l = static_cast<uint64_t>(std::sqrt(static_cast<double>(target)));
  while (l * l < target) ++l;
  while (l > 0 && (l - 1) * (l - 1) >= target) --l;
  return static_cast<int16_t>(l);
}

// The limits after the first 2 and 4 rows and after all rows of a block of `columns`
// samples a row: the distance is at least that of its first k rows, so SAD^2 >= k * columns
// * best over them already rules a candidate out.
struct SadLimits {
  int16_t rows2, rows4, all;
  SadLimits(uint32_t best, uint32_t columns, uint32_t rows)
      : rows2(sadLimit(best, 2 * columns)),
        rows4(sadLimit(best, 4 * columns)),
        all(sadLimit(best, rows * columns)) {}
};

// 16 bytes at p in lane 0 and at p + 8 in lane 1; with `short1` lane 1 gets only the 15
// bytes at p + 8 (and a zero never read), where a 16th would pass the batch's blocks.
inline __m256i loadLanes8Apart(const uint8_t* p, bool short1) {
  const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i hi =
      short1 ? _mm_bsrli_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 7)), 1)
             : _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
  return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
}

// Control of vpmpsadbw, the same in both lanes: run of the reference (bits 0-1), offset 0
// or 4 into the candidates' bytes (bit 2).
constexpr int sadControl(int run, int offset4) { return (run | offset4 << 2) * 9; }

// SADs of sixteen adjacent 16x8 candidates.
struct FieldSadAvx2 {
  static constexpr uint32_t kColumns = 16, kRows = 8;
  __m256i ref[8];  // reference row k in both lanes
  ptrdiff_t stride;
  FieldSadAvx2(const uint8_t* reference, ptrdiff_t s) : stride(s) {
    for (int k = 0; k < 8; ++k)
      ref[k] = _mm256_broadcastsi128_si256(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(reference + k * s)));
  }
  // Adds rows first .. last - 1 to acc. Reads bytes 0 .. 30 of each row, up to the last
  // byte of the last candidate.
  __m256i rows(const uint8_t* p, int first, int last, __m256i acc) const {
    for (int k = first; k < last; ++k) {
      const uint8_t* r = p + k * stride;
      const __m256i a0 = loadLanes8Apart(r, false);     // runs 0 and 1
      const __m256i a1 = loadLanes8Apart(r + 8, true);  // runs 2 and 3
      acc = _mm256_add_epi16(acc, _mm256_mpsadbw_epu8(a0, ref[k], sadControl(0, 0)));
      acc = _mm256_add_epi16(acc, _mm256_mpsadbw_epu8(a0, ref[k], sadControl(1, 1)));
      acc = _mm256_add_epi16(acc, _mm256_mpsadbw_epu8(a1, ref[k], sadControl(2, 0)));
      acc = _mm256_add_epi16(acc, _mm256_mpsadbw_epu8(a1, ref[k], sadControl(3, 1)));
    }
    return acc;
  }
};

// SADs of sixteen adjacent 8x4 candidates (at most 32 * 255 = 8160).
struct ReducedSadAvx2 {
  static constexpr uint32_t kColumns = 8, kRows = 4;
  __m256i ref[4];  // reference row k (8 bytes) in both lanes
  ptrdiff_t stride;
  ReducedSadAvx2(const uint8_t* reference, ptrdiff_t s) : stride(s) {
    for (int k = 0; k < 4; ++k)
      ref[k] = _mm256_broadcastq_epi64(
          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(reference + k * s)));
  }
  // Reads bytes 0 .. 22 of each row, up to the last byte of the last candidate.
  __m256i rows(const uint8_t* p, int first, int last, __m256i acc) const {
    for (int k = first; k < last; ++k) {
      const __m256i a = loadLanes8Apart(p + k * stride, true);
      acc = _mm256_add_epi16(acc, _mm256_mpsadbw_epu8(a, ref[k], sadControl(0, 0)));
      acc = _mm256_add_epi16(acc, _mm256_mpsadbw_epu8(a, ref[k], sadControl(1, 1)));
    }
    return acc;
  }
};

// Bits 2j and 2j + 1 set: candidate j's SAD lies below `limit`.
inline uint32_t belowLimit(__m256i sads, int16_t limit) {
  return static_cast<uint32_t>(
      _mm256_movemask_epi8(_mm256_cmpgt_epi16(_mm256_set1_epi16(limit), sads)));
}

// The scan of the shared order over windows of at least sixteen candidates a row: batches
// of sixteen, the last one of a row moved back to end at the row's last candidate (its
// lanes done already masked off); a candidate whose SAD leaves it a chance is measured.
template <class Sad, class Single>
void scanSadBounded(const Single& single, const SearchWindow& w, SearchResult& result) {
  const Sad sad(w.reference, w.blockStride);
  const auto limits = [](uint32_t b) { return SadLimits(b, Sad::kColumns, Sad::kRows); };
  uint32_t best = result.best;
  int64_t bestX = result.x, bestY = result.y;
  SadLimits limit = limits(best);
  alignas(32) uint16_t sads[16];
  for (int64_t y = w.yFirst; y <= w.yLast; y += w.yStep) {
    const uint8_t* row = w.plane + static_cast<ptrdiff_t>(y) * w.planeStride;
    const auto measure = [&](int64_t x) {
      const uint32_t d = single(row + x, best);
      if (d < best) {
        best = d;
        limit = limits(best);
        bestX = x;
        bestY = y;
      }
    };
    int64_t next = w.xFirst;
    // A few candidates left over are measured one by one, more in a batch moved back.
    for (; next + 4 <= w.xLast;) {
      const int64_t x = std::min<int64_t>(next, int64_t{w.xLast} - 15);
      const uint32_t lanes = 0xFFFFFFFFu << (2 * (next - x));
      next = x + 16;
      // Most batches are out after two or four rows.
      __m256i s = sad.rows(row + x, 0, 2, _mm256_setzero_si256());
      if ((belowLimit(s, limit.rows2) & lanes) == 0) continue;
      s = sad.rows(row + x, 2, 4, s);
      if (Sad::kRows > 4) {
        if ((belowLimit(s, limit.rows4) & lanes) == 0) continue;
        s = sad.rows(row + x, 4, Sad::kRows, s);
      }
      uint32_t m = belowLimit(s, limit.all) & lanes & 0x55555555u;
      if (m == 0) continue;
      _mm256_store_si256(reinterpret_cast<__m256i*>(sads), s);
      for (; m != 0; m &= m - 1) {
        const int j = __builtin_ctz(m) / 2;
        if (sads[j] < limit.all) measure(x + j);  // else the best has dropped since
      }
    }
    for (; next <= w.xLast; ++next) measure(next);
  }
  result = {best, static_cast<int32_t>(bestX), static_cast<int32_t>(bestY)};
}

// Narrow windows (refinements, narrowed areas, the plane's edges) are measured candidate by
// candidate; wider ones go through the SAD bounds.
template <class Single, class Sad>
void searchWindowAvx2(const SearchWindow& w, SearchResult& result) {
  const Single single(w.reference, w.blockStride);
  result.best = hintedStart(single, w, result.best);
  if (int64_t{w.xLast} - w.xFirst >= 15)
    scanSadBounded<Sad>(single, w, result);
  else
    scanWindow(single, w, result);
}

}  // namespace

uint32_t reducedBlockDistanceAvx2(const uint8_t* candidate, const uint8_t* reference,
                                  uint32_t limit, ptrdiff_t stride) {
  return ReducedAvx2(reference, stride)(candidate, limit);
}

uint32_t fieldBlockDistanceAvx2(const uint8_t* candidate, const uint8_t* reference, uint32_t limit,
                                ptrdiff_t stride) {
  return FieldAvx2(reference, stride)(candidate, limit);
}

void searchReducedBlocksAvx2(const SearchWindow& w, SearchResult& result) {
  searchWindowAvx2<ReducedAvx2, ReducedSadAvx2>(w, result);
}

void searchFieldBlocksAvx2(const SearchWindow& w, SearchResult& result) {
  searchWindowAvx2<FieldAvx2, FieldSadAvx2>(w, result);
}

}  // namespace wdi
