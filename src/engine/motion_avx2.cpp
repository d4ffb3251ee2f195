// AVX2 motion kernels: one 16-sample row (or two 8-sample rows) widened to sixteen 16-bit
// lanes, differences -255 .. 255, squared and paired by vpmaddwd into exact 32-bit sums.
#include <immintrin.h>

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

// Batches of eight horizontally adjacent candidates. For a tap pair (i, i + 1) of a
// reference row, vpshufb gathers the 16-bit pairs (c[j + i], c[j + i + 1]) of candidates
// j = 0..3 into the low lane and j = 4..7 into the high lane; subtracting the broadcast
// reference pair and one vpmaddwd leave d_i^2 + d_(i+1)^2 (at most 130,050) in dword j.
// The eight sums build up without any horizontal addition, in candidate order.

// Shuffle controls: dword j (lane j / 4) takes the bytes at start(j) and start(j) + 1 of
// its lane, each zero-extended to 16 bits. Built at compile time.
struct ShuffleTables {
  alignas(32) int8_t reduced[4][32];
  alignas(32) int8_t field[8][32];
};

constexpr void setPairs(int8_t* m, int j, int start) {
  m[4 * j + 0] = static_cast<int8_t>(start);
  m[4 * j + 1] = -128;
  m[4 * j + 2] = static_cast<int8_t>(start + 1);
  m[4 * j + 3] = -128;
}

constexpr ShuffleTables makeShuffleTables() {
  ShuffleTables t{};
  for (int q = 0; q < 4; ++q) {
    for (int j = 0; j < 8; ++j) {
      // Reduced rows: pair (b, b + 1) starts at position b while it lies in the first load
      // (b <= 6), and at b + 1 in the second, which holds bytes 7..14 at positions 8..15.
      const int b = 2 * q + j;
      setPairs(t.reduced[q], j, b <= 6 ? b : b + 1);
    }
  }
  for (int q = 0; q < 8; ++q) {
    for (int j = 0; j < 8; ++j) {
      // Field rows: A holds bytes 0..15, B bytes 7..22 (see FieldBatchAvx2::row).
      const bool fromB = j < 4 ? q >= 6 : q >= 4;
      setPairs(t.field[q], j, 2 * q + j - (fromB ? 7 : 0));
    }
  }
  return t;
}

constexpr ShuffleTables kShuffles = makeShuffleTables();

inline __m256i shuffleControl(const int8_t* m) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(m));
}

// True when some lane's sum is below `best`. Sums are below 2^24, so a signed comparison
// against the clamped best is exact.
inline bool anyBelow(__m256i sums, uint32_t best) {
  const __m256i limit =
      _mm256_set1_epi32(static_cast<int32_t>(best < 0x7FFFFFFFu ? best : 0x7FFFFFFFu));
  return _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpgt_epi32(limit, sums))) != 0;
}

// Keeps, in scan order, the candidates x + j whose sum is below the running best.
inline void takeBatch(__m256i sums, int64_t x, int64_t y, uint32_t& best, int64_t& bestX,
                      int64_t& bestY) {
  if (!anyBelow(sums, best)) return;
  uint32_t s[8];
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(s), sums);
  for (int j = 0; j < 8; ++j) {
    if (s[j] < best) {
      best = s[j];
      bestX = x + j;
      bestY = y;
    }
  }
}

// 8x4 blocks: a row of eight candidates spans bytes x .. x + 14, loaded as bytes 0..7 and
// 7..14 (no byte past the last candidate is read) and broadcast to both lanes.
struct ReducedBatchAvx2 {
  __m256i ref[4][4];
  explicit ReducedBatchAvx2(const uint8_t* reference, ptrdiff_t stride) {
    for (int k = 0; k < 4; ++k) {
      // Dword q of the widened row is the pair (r[2q], r[2q + 1]).
      const __m256i wide = _mm256_castsi128_si256(_mm_cvtepu8_epi16(
          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(reference + k * stride))));
      for (int q = 0; q < 4; ++q)
        ref[k][q] = _mm256_permutevar8x32_epi32(wide, _mm256_set1_epi32(q));
    }
  }
  // Sums of the eight candidates at p; once no lane can win any more (every partial sum
  // has reached `best`), the partial sums are returned instead.
  __m256i operator()(const uint8_t* p, ptrdiff_t stride, uint32_t best) const {
    __m256i acc = _mm256_setzero_si256();
    for (int k = 0; k < 4; ++k) {
      if (k != 0 && !anyBelow(acc, best)) break;
      const __m128i lo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + k * stride));
      const __m128i hi = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + k * stride + 7));
      const __m256i src = _mm256_broadcastsi128_si256(_mm_unpacklo_epi64(lo, hi));
      for (int q = 0; q < 4; ++q) {
        const __m256i pairs = _mm256_shuffle_epi8(src, shuffleControl(kShuffles.reduced[q]));
        const __m256i d = _mm256_sub_epi16(pairs, ref[k][q]);
        acc = _mm256_add_epi32(acc, _mm256_madd_epi16(d, d));
      }
    }
    return acc;
  }
};

// 16x8 blocks: a row of eight candidates spans bytes x .. x + 22, loaded as A = 0..15 and
// B = 7..22. Tap pairs 0..3 read A in both lanes, 4..5 A low and B high, 6..7 B in both.
struct FieldBatchAvx2 {
  __m256i ref[8][8];
  explicit FieldBatchAvx2(const uint8_t* reference, ptrdiff_t stride) {
    for (int k = 0; k < 8; ++k) {
      const __m256i wide = loadRow16(reference + k * stride);
      for (int q = 0; q < 8; ++q)
        ref[k][q] = _mm256_permutevar8x32_epi32(wide, _mm256_set1_epi32(q));
    }
  }
  // Tap pairs first .. last - 1 of row k for the candidates at p.
  __m256i taps(const uint8_t* p, int k, int first, int last) const {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m256i aa = _mm256_broadcastsi128_si256(a);
    __m256i ab = aa, bb = aa;
    if (last > 4) {
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 7));
      ab = _mm256_inserti128_si256(aa, b, 1);
      bb = _mm256_broadcastsi128_si256(b);
    }
    __m256i acc = _mm256_setzero_si256();
    for (int q = first; q < last; ++q) {
      const __m256i src = q < 4 ? aa : q < 6 ? ab : bb;
      const __m256i d =
          _mm256_sub_epi16(_mm256_shuffle_epi8(src, shuffleControl(kShuffles.field[q])), ref[k][q]);
      acc = _mm256_add_epi32(acc, _mm256_madd_epi16(d, d));
    }
    return acc;
  }
  __m256i row(const uint8_t* p, int k) const { return taps(p, k, 0, 8); }
};

}  // namespace

uint32_t reducedBlockDistanceAvx2(const uint8_t* candidate, const uint8_t* reference,
                                  uint32_t limit, ptrdiff_t stride) {
  return ReducedAvx2(reference, stride)(candidate, limit);
}

uint32_t fieldBlockDistanceAvx2(const uint8_t* candidate, const uint8_t* reference, uint32_t limit,
                                ptrdiff_t stride) {
  return FieldAvx2(reference, stride)(candidate, limit);
}

namespace {

// The scan of the shared order: batches of eight candidates while a whole batch fits the
// window row, single candidates for the rest and for narrow windows. (A batch holding the
// running best's candidate cannot stop early, so part-filled batches do not pay.)
template <class Single, class BatchOf, class Sums>
void scanBatched(const Single& single, const BatchOf& makeBatch, const Sums& sums,
                 const SearchWindow& w, SearchResult& result) {
  result.best = hintedStart(single, w, result.best);
  if (int64_t{w.xLast} - w.xFirst < 7) {
    scanWindow(single, w, result);
    return;
  }
  const auto batch = makeBatch();
  uint32_t best = result.best;
  int64_t bestX = result.x, bestY = result.y;
  for (int64_t y = w.yFirst; y <= w.yLast; y += w.yStep) {
    const uint8_t* row = w.plane + static_cast<ptrdiff_t>(y) * w.planeStride;
    int64_t x = w.xFirst;
    for (; x + 7 <= w.xLast; x += 8) {
      __m256i s;
      if (sums(batch, row + x, best, s)) takeBatch(s, x, y, best, bestX, bestY);
    }
    for (; x <= w.xLast; ++x) {
      const uint32_t d = single(row + x, best);
      if (d < best) {
        best = d;
        bestX = x;
        bestY = y;
      }
    }
  }
  result = {best, static_cast<int32_t>(bestX), static_cast<int32_t>(bestY)};
}

}  // namespace

void searchReducedBlocksAvx2(const SearchWindow& w, SearchResult& result) {
  const ptrdiff_t stride = w.blockStride;
  scanBatched(
      ReducedAvx2(w.reference, stride), [&] { return ReducedBatchAvx2(w.reference, stride); },
      [stride](const ReducedBatchAvx2& b, const uint8_t* p, uint32_t best, __m256i& s) {
        s = b(p, stride, best);
        return true;
      },
      w, result);
}

void searchFieldBlocksAvx2(const SearchWindow& w, SearchResult& result) {
  const ptrdiff_t stride = w.blockStride;
  scanBatched(
      FieldAvx2(w.reference, stride), [&] { return FieldBatchAvx2(w.reference, stride); },
      [stride](const FieldBatchAvx2& b, const uint8_t* p, uint32_t best, __m256i& s) {
        // Partial sums only grow: once every lane has reached the best, none can win. The
        // check runs after 4, 8 and 16 samples of the first row and after every further
        // row: after a good hint most batches are out early.
        s = b.taps(p, 0, 0, 2);
        if (!anyBelow(s, best)) return false;
        s = _mm256_add_epi32(s, b.taps(p, 0, 2, 4));
        if (!anyBelow(s, best)) return false;
        s = _mm256_add_epi32(s, b.taps(p, 0, 4, 8));
        if (!anyBelow(s, best)) return false;
        s = _mm256_add_epi32(s, b.row(p + stride, 1));
        if (!anyBelow(s, best)) return false;
        for (int k = 2; k < 8; ++k) {
          s = _mm256_add_epi32(s, b.row(p + k * stride, k));
          if (k < 7 && !anyBelow(s, best)) return false;
        }
        return true;
      },
      w, result);
}

}  // namespace wdi
