// AVX2 colour conversion: 32 pixels of a row pair per step. Each 128-bit lane
// holds a group of 16 pixels, so the in-lane byte shuffles that gather and
// scatter B, G, R work on both groups at once.
#include <immintrin.h>

#include "pipeline/colour.h"
#include "pipeline/colour_internal.h"

namespace wdi {

namespace {

// pshufb masks between 48 packed bytes (three 16-byte registers q) and 16 bytes
// of one channel c; -128 writes a zero.
struct ShuffleMasks {
  alignas(16) int8_t gather[3][3][16];   // [channel][register q][pixel k]
  alignas(16) int8_t scatter[3][3][16];  // [register q][channel][byte i]
};

constexpr ShuffleMasks makeMasks() {
  ShuffleMasks m{};
  for (int c = 0; c < 3; ++c) {
    for (int q = 0; q < 3; ++q) {
      for (int k = 0; k < 16; ++k) {
        const int index = 3 * k + c - 16 * q;
        m.gather[c][q][k] = static_cast<int8_t>(index >= 0 && index < 16 ? index : -128);
      }
      for (int i = 0; i < 16; ++i) {
        const int n = 16 * q + i;
        m.scatter[q][c][i] = static_cast<int8_t>(n % 3 == c ? n / 3 : -128);
      }
    }
  }
  return m;
}

constexpr ShuffleMasks kMasks = makeMasks();

inline __m256i mask(const int8_t* m) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(m)));
}

inline __m256i loadTwo(const uint8_t* lo, const uint8_t* hi) {
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lo))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(hi)), 1);
}

// 32 packed pixels into B, G, R bytes: lane 0 pixels 0-15, lane 1 pixels 16-31.
inline void loadPixels32(const uint8_t* p, __m256i& b, __m256i& g, __m256i& r) {
  const __m256i a0 = loadTwo(p, p + 48);
  const __m256i a1 = loadTwo(p + 16, p + 64);
  const __m256i a2 = loadTwo(p + 32, p + 80);
  __m256i* out[3] = {&b, &g, &r};
  for (int c = 0; c < 3; ++c) {
    *out[c] = _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(a0, mask(kMasks.gather[c][0])),
                                              _mm256_shuffle_epi8(a1, mask(kMasks.gather[c][1]))),
                              _mm256_shuffle_epi8(a2, mask(kMasks.gather[c][2])));
  }
}

// 16 + floor((66R + 129G + 25B) / 256) in 16-bit lanes. The sum is at most
// 56100: it fits an unsigned lane, and the logical shift floors it.
inline __m256i luma16(__m256i b, __m256i g, __m256i r) {
  const __m256i sum =
      _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(b, _mm256_set1_epi16(25)),
                                        _mm256_mullo_epi16(g, _mm256_set1_epi16(129))),
                       _mm256_mullo_epi16(r, _mm256_set1_epi16(66)));
  return _mm256_add_epi16(_mm256_srli_epi16(sum, 8), _mm256_set1_epi16(16));
}

inline void storeLuma32(uint8_t* dst, __m256i b, __m256i g, __m256i r) {
  const __m256i zero = _mm256_setzero_si256();
  // Unpack and pack are both in-lane, so the pixel order comes back unchanged.
  const __m256i lo = luma16(_mm256_unpacklo_epi8(b, zero), _mm256_unpacklo_epi8(g, zero),
                            _mm256_unpacklo_epi8(r, zero));
  const __m256i hi = luma16(_mm256_unpackhi_epi8(b, zero), _mm256_unpackhi_epi8(g, zero),
                            _mm256_unpackhi_epi8(r, zero));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), _mm256_packus_epi16(lo, hi));
}

// Sums of horizontally adjacent pixels of two rows: 16 words of 0..1020.
inline __m256i blockSums(__m256i top, __m256i bottom) {
  const __m256i lowBytes = _mm256_set1_epi16(0x00FF);
  return _mm256_add_epi16(
      _mm256_add_epi16(_mm256_and_si256(top, lowBytes), _mm256_srli_epi16(top, 8)),
      _mm256_add_epi16(_mm256_and_si256(bottom, lowBytes), _mm256_srli_epi16(bottom, 8)));
}

// floor((c0*S0 + c1*S1 + c2*S2) / 1024) + 128 in 32-bit lanes: `pairs01` holds
// (S0, S1) word pairs, `pairs2` holds (S2, 1024), so the second multiply-add
// also adds 128 * 1024. |sum| <= 114240 + 131072, exact in 32 bits; the
// arithmetic shift floors.
inline __m256i chroma8(__m256i pairs01, __m256i pairs2, __m256i c01, __m256i c2) {
  return _mm256_srai_epi32(
      _mm256_add_epi32(_mm256_madd_epi16(pairs01, c01), _mm256_madd_epi16(pairs2, c2)), 10);
}

// Coefficients for a multiply-add: `first` in the even words, `second` in the odd ones.
inline __m256i wordPairs(int16_t first, int16_t second) {
  return _mm256_set1_epi32(static_cast<int32_t>(
      (static_cast<uint32_t>(static_cast<uint16_t>(second)) << 16) | static_cast<uint16_t>(first)));
}

}  // namespace

void RgbToYuvRowPairAvx2(uint8_t* y0, uint8_t* y1, uint8_t* u, uint8_t* v, const uint8_t* top,
                         const uint8_t* bottom, uint32_t pairs) {
  const uint32_t bulk = (2 * pairs) & ~31u;
  const __m256i uBG = wordPairs(112, -74);
  const __m256i uR = wordPairs(-38, 128);
  const __m256i vBG = wordPairs(-18, -94);
  const __m256i vR = wordPairs(112, 128);
  const __m256i k1024 = _mm256_set1_epi16(1024);
  for (uint32_t x = 0; x < bulk; x += 32) {
    __m256i b0, g0, r0, b1, g1, r1;
    loadPixels32(top + 3 * static_cast<size_t>(x), b0, g0, r0);
    loadPixels32(bottom + 3 * static_cast<size_t>(x), b1, g1, r1);
    storeLuma32(y0 + x, b0, g0, r0);
    storeLuma32(y1 + x, b1, g1, r1);
    const __m256i sb = blockSums(b0, b1);
    const __m256i sg = blockSums(g0, g1);
    const __m256i sr = blockSums(r0, r1);
    const __m256i bgLo = _mm256_unpacklo_epi16(sb, sg);
    const __m256i bgHi = _mm256_unpackhi_epi16(sb, sg);
    const __m256i rLo = _mm256_unpacklo_epi16(sr, k1024);
    const __m256i rHi = _mm256_unpackhi_epi16(sr, k1024);
    // Results are 16..239, so the packs never saturate. In-lane packing gives
    // lane 0 = U 0-7, V 0-7 and lane 1 = U 8-15, V 8-15.
    const __m256i u16 =
        _mm256_packs_epi32(chroma8(bgLo, rLo, uBG, uR), chroma8(bgHi, rHi, uBG, uR));
    const __m256i v16 =
        _mm256_packs_epi32(chroma8(bgLo, rLo, vBG, vR), chroma8(bgHi, rHi, vBG, vR));
    const __m256i uv = _mm256_permute4x64_epi64(_mm256_packus_epi16(u16, v16), 0xD8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(u + x / 2), _mm256_castsi256_si128(uv));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(v + x / 2), _mm256_extracti128_si256(uv, 1));
  }
  // A 16-pixel rest (720 = 22 x 32 + 16) in 128-bit steps, then the scalar tail.
  RgbToYuvRowPairSse2(y0 + bulk, y1 + bulk, u + bulk / 2, v + bulk / 2,
                      top + 3 * static_cast<size_t>(bulk), bottom + 3 * static_cast<size_t>(bulk),
                      pairs - bulk / 2);
}

void RgbToYuv420Avx2(uint8_t* Y, uint8_t* U, uint8_t* V, const uint8_t* rgb, uint32_t w, uint32_t h,
                     uint32_t lumaStride) {
  RgbToYuv420ByRowPairs(RgbToYuvRowPairAvx2, Y, U, V, rgb, w, h, lumaStride);
}

namespace {

struct ChromaTerms {
  __m256i bu, guv, rv;  // 129u, 25u + 52v, 102v, one word per pixel
};

// Converts 32 pixels of one row; `lo` covers pixels 0-7 and 16-23, `hi` pixels
// 8-15 and 24-31, the order of an in-lane unpack of the luma.
inline void storeRgb32(uint8_t* out, const uint8_t* luma, const ChromaTerms& lo,
                       const ChromaTerms& hi) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i k74 = _mm256_set1_epi16(74);
  // Y' = max(Y - 16, 0) by the saturating byte subtraction; t = 74Y' <= 17686.
  const __m256i yp = _mm256_subs_epu8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(luma)),
                                      _mm256_set1_epi8(16));
  const __m256i tLo = _mm256_mullo_epi16(_mm256_unpacklo_epi8(yp, zero), k74);
  const __m256i tHi = _mm256_mullo_epi16(_mm256_unpackhi_epi8(yp, zero), k74);
  // Red (-13056..30640) and green (-9779..27542) fit a signed lane exactly. Blue
  // reaches 34069 for large U with bright luma: the saturating add caps it at
  // 32767, which shifts to 511 and clamps to 255 like the exact sum.
  const __m256i b = _mm256_packus_epi16(_mm256_srai_epi16(_mm256_adds_epi16(tLo, lo.bu), 6),
                                        _mm256_srai_epi16(_mm256_adds_epi16(tHi, hi.bu), 6));
  const __m256i g = _mm256_packus_epi16(_mm256_srai_epi16(_mm256_sub_epi16(tLo, lo.guv), 6),
                                        _mm256_srai_epi16(_mm256_sub_epi16(tHi, hi.guv), 6));
  const __m256i r = _mm256_packus_epi16(_mm256_srai_epi16(_mm256_add_epi16(tLo, lo.rv), 6),
                                        _mm256_srai_epi16(_mm256_add_epi16(tHi, hi.rv), 6));
  // Each lane now scatters its 16 pixels into 48 bytes, 16 per register.
  __m256i o[3];
  for (int q = 0; q < 3; ++q) {
    o[q] = _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(b, mask(kMasks.scatter[q][0])),
                                           _mm256_shuffle_epi8(g, mask(kMasks.scatter[q][1]))),
                           _mm256_shuffle_epi8(r, mask(kMasks.scatter[q][2])));
  }
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permute2x128_si256(o[0], o[1], 0x20));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32),
                      _mm256_permute2x128_si256(o[2], o[0], 0x30));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 64),
                      _mm256_permute2x128_si256(o[1], o[2], 0x31));
}

inline __m256i loadChroma16(const uint8_t* p) {
  // u or v - 128 in -128..127, chroma 0-7 in lane 0 and 8-15 in lane 1.
  return _mm256_sub_epi16(
      _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
      _mm256_set1_epi16(128));
}

}  // namespace

void Yuv420ToRgbAvx2(const uint8_t* Y, const uint8_t* U, const uint8_t* V, uint32_t w, uint32_t h,
                     uint32_t lumaStride, uint32_t chromaStride, uint8_t* firstOutputRow,
                     ptrdiff_t rowStep) {
  const uint32_t bulk = w & ~31u;
  for (uint32_t y = 0; y < h; y += 2) {
    const uint8_t* luma0 = Y + static_cast<size_t>(y) * lumaStride;
    const uint8_t* cu = U + static_cast<size_t>(y / 2) * chromaStride;
    const uint8_t* cv = V + static_cast<size_t>(y / 2) * chromaStride;
    uint8_t* out0 = firstOutputRow + static_cast<ptrdiff_t>(y) * rowStep;
    const bool pair = y + 1 < h;
    for (uint32_t x = 0; x < bulk; x += 32) {
      const __m256i u = loadChroma16(cu + x / 2);
      const __m256i v = loadChroma16(cv + x / 2);
      // 129u, 102v and 25u + 52v all fit a signed lane.
      const __m256i bu = _mm256_mullo_epi16(u, _mm256_set1_epi16(129));
      const __m256i guv = _mm256_add_epi16(_mm256_mullo_epi16(u, _mm256_set1_epi16(25)),
                                           _mm256_mullo_epi16(v, _mm256_set1_epi16(52)));
      const __m256i rv = _mm256_mullo_epi16(v, _mm256_set1_epi16(102));
      // Doubling each word in-lane: chroma 0-3 | 8-11 serve pixels 0-7 | 16-23.
      const ChromaTerms lo{_mm256_unpacklo_epi16(bu, bu), _mm256_unpacklo_epi16(guv, guv),
                           _mm256_unpacklo_epi16(rv, rv)};
      const ChromaTerms hi{_mm256_unpackhi_epi16(bu, bu), _mm256_unpackhi_epi16(guv, guv),
                           _mm256_unpackhi_epi16(rv, rv)};
      storeRgb32(out0 + 3 * static_cast<size_t>(x), luma0 + x, lo, hi);
      if (pair)
        storeRgb32(out0 + rowStep + 3 * static_cast<size_t>(x), luma0 + lumaStride + x, lo, hi);
    }
    // A 16-pixel rest in 128-bit steps, then the scalar tail.
    YuvToRgbRowsSse2(out0 + 3 * static_cast<size_t>(bulk),
                     pair ? out0 + rowStep + 3 * static_cast<size_t>(bulk) : nullptr, luma0 + bulk,
                     luma0 + lumaStride + bulk, cu + bulk / 2, cv + bulk / 2, w - bulk);
  }
}

}  // namespace wdi
