// SSE2 colour conversion: 16 pixels of a row pair per step, 16-bit lanes for
// luma and the RGB results, 32-bit lanes for the chroma sums.
#include <emmintrin.h>

#include "pipeline/colour.h"
#include "pipeline/colour_internal.h"

namespace wdi {

namespace {

// With h0..h5 the 8-byte halves of (a0, a1, a2), yields h0/h3, h1/h4, h2/h5
// interleaved byte by byte. Four rounds turn 16 packed B, G, R pixels into 16
// B, 16 G and 16 R bytes.
inline void deinterleaveRound(__m128i& a0, __m128i& a1, __m128i& a2) {
  const __m128i r0 = _mm_unpacklo_epi8(a0, _mm_unpackhi_epi64(a1, a1));
  const __m128i r1 = _mm_unpacklo_epi8(_mm_unpackhi_epi64(a0, a0), a2);
  const __m128i r2 = _mm_unpacklo_epi8(a1, _mm_unpackhi_epi64(a2, a2));
  a0 = r0;
  a1 = r1;
  a2 = r2;
}

// The inverse round: four of them turn 16 B, 16 G and 16 R bytes into 48 bytes
// of packed pixels.
inline void interleaveRound(__m128i& a0, __m128i& a1, __m128i& a2) {
  const __m128i lowBytes = _mm_set1_epi16(0x00FF);
  const __m128i e0 = _mm_and_si128(a0, lowBytes);
  const __m128i e1 = _mm_and_si128(a1, lowBytes);
  const __m128i e2 = _mm_and_si128(a2, lowBytes);
  const __m128i o0 = _mm_srli_epi16(a0, 8);
  const __m128i o1 = _mm_srli_epi16(a1, 8);
  const __m128i o2 = _mm_srli_epi16(a2, 8);
  a0 = _mm_packus_epi16(e0, e1);
  a1 = _mm_packus_epi16(e2, o0);
  a2 = _mm_packus_epi16(o1, o2);
}

inline void loadPixels16(const uint8_t* p, __m128i& b, __m128i& g, __m128i& r) {
  b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
  r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
  for (int round = 0; round < 4; ++round) deinterleaveRound(b, g, r);
}

// 16 + floor((66R + 129G + 25B) / 256) on 8 pixels in 16-bit lanes. The sum is
// at most 56100: it fits an unsigned lane, and the logical shift floors it.
inline __m128i luma8(__m128i b, __m128i g, __m128i r) {
  const __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(b, _mm_set1_epi16(25)),
                                                  _mm_mullo_epi16(g, _mm_set1_epi16(129))),
                                    _mm_mullo_epi16(r, _mm_set1_epi16(66)));
  return _mm_add_epi16(_mm_srli_epi16(sum, 8), _mm_set1_epi16(16));
}

inline void storeLuma16(uint8_t* dst, __m128i b, __m128i g, __m128i r) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i lo =
      luma8(_mm_unpacklo_epi8(b, zero), _mm_unpacklo_epi8(g, zero), _mm_unpacklo_epi8(r, zero));
  const __m128i hi =
      luma8(_mm_unpackhi_epi8(b, zero), _mm_unpackhi_epi8(g, zero), _mm_unpackhi_epi8(r, zero));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_packus_epi16(lo, hi));
}

// Sums of horizontally adjacent pixels of two rows: 8 words of 0..1020.
inline __m128i blockSums(__m128i top, __m128i bottom) {
  const __m128i lowBytes = _mm_set1_epi16(0x00FF);
  return _mm_add_epi16(_mm_add_epi16(_mm_and_si128(top, lowBytes), _mm_srli_epi16(top, 8)),
                       _mm_add_epi16(_mm_and_si128(bottom, lowBytes), _mm_srli_epi16(bottom, 8)));
}

// floor((c0*S0 + c1*S1 + c2*S2) / 1024) + 128 for 4 blocks in 32-bit lanes:
// `pairs01` holds (S0, S1) word pairs, `pairs2` holds (S2, 1024), so the second
// multiply-add also adds 128 * 1024. |sum| <= 114240 + 131072, exact in 32 bits;
// the arithmetic shift floors.
inline __m128i chroma4(__m128i pairs01, __m128i pairs2, __m128i c01, __m128i c2) {
  return _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(pairs01, c01), _mm_madd_epi16(pairs2, c2)),
                        10);
}

}  // namespace

void RgbToYuvRowPairSse2(uint8_t* y0, uint8_t* y1, uint8_t* u, uint8_t* v, const uint8_t* top,
                         const uint8_t* bottom, uint32_t pairs) {
  const uint32_t bulk = (2 * pairs) & ~15u;
  const __m128i uBG = _mm_setr_epi16(112, -74, 112, -74, 112, -74, 112, -74);
  const __m128i uR = _mm_setr_epi16(-38, 128, -38, 128, -38, 128, -38, 128);
  const __m128i vBG = _mm_setr_epi16(-18, -94, -18, -94, -18, -94, -18, -94);
  const __m128i vR = _mm_setr_epi16(112, 128, 112, 128, 112, 128, 112, 128);
  const __m128i k1024 = _mm_set1_epi16(1024);
  for (uint32_t x = 0; x < bulk; x += 16) {
    __m128i b0, g0, r0, b1, g1, r1;
    loadPixels16(top + 3 * static_cast<size_t>(x), b0, g0, r0);
    loadPixels16(bottom + 3 * static_cast<size_t>(x), b1, g1, r1);
    storeLuma16(y0 + x, b0, g0, r0);
    storeLuma16(y1 + x, b1, g1, r1);
    const __m128i sb = blockSums(b0, b1);
    const __m128i sg = blockSums(g0, g1);
    const __m128i sr = blockSums(r0, r1);
    const __m128i bgLo = _mm_unpacklo_epi16(sb, sg);
    const __m128i bgHi = _mm_unpackhi_epi16(sb, sg);
    const __m128i rLo = _mm_unpacklo_epi16(sr, k1024);
    const __m128i rHi = _mm_unpackhi_epi16(sr, k1024);
    // Results are 16..239, so the signed and unsigned packs never saturate.
    const __m128i u16 = _mm_packs_epi32(chroma4(bgLo, rLo, uBG, uR), chroma4(bgHi, rHi, uBG, uR));
    const __m128i v16 = _mm_packs_epi32(chroma4(bgLo, rLo, vBG, vR), chroma4(bgHi, rHi, vBG, vR));
    const __m128i uv = _mm_packus_epi16(u16, v16);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(u + x / 2), uv);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(v + x / 2), _mm_srli_si128(uv, 8));
  }
  RgbToYuvRowPairC(y0 + bulk, y1 + bulk, u + bulk / 2, v + bulk / 2,
                   top + 3 * static_cast<size_t>(bulk), bottom + 3 * static_cast<size_t>(bulk),
                   pairs - bulk / 2);
}

void RgbToYuv420Sse2(uint8_t* Y, uint8_t* U, uint8_t* V, const uint8_t* rgb, uint32_t w, uint32_t h,
                     uint32_t lumaStride) {
  RgbToYuv420ByRowPairs(RgbToYuvRowPairSse2, Y, U, V, rgb, w, h, lumaStride);
}

namespace {

struct ChromaTerms {
  __m128i bu, guv, rv;  // 129u, 25u + 52v, 102v, one word per pixel
};

// Converts 16 pixels of one row; the chroma terms cover pixels 0-7 and 8-15.
inline void storeRgb16(uint8_t* out, const uint8_t* luma, const ChromaTerms& lo,
                       const ChromaTerms& hi) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i k74 = _mm_set1_epi16(74);
  // Y' = max(Y - 16, 0) by the saturating byte subtraction; t = 74Y' <= 17686.
  const __m128i yp =
      _mm_subs_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(luma)), _mm_set1_epi8(16));
  const __m128i tLo = _mm_mullo_epi16(_mm_unpacklo_epi8(yp, zero), k74);
  const __m128i tHi = _mm_mullo_epi16(_mm_unpackhi_epi8(yp, zero), k74);
  // Red (-13056..30640) and green (-9779..27542) fit a signed lane exactly. Blue
  // reaches 34069 for large U with bright luma: the saturating add caps it at
  // 32767, which shifts to 511 and clamps to 255 like the exact sum.
  __m128i b = _mm_packus_epi16(_mm_srai_epi16(_mm_adds_epi16(tLo, lo.bu), 6),
                               _mm_srai_epi16(_mm_adds_epi16(tHi, hi.bu), 6));
  __m128i g = _mm_packus_epi16(_mm_srai_epi16(_mm_sub_epi16(tLo, lo.guv), 6),
                               _mm_srai_epi16(_mm_sub_epi16(tHi, hi.guv), 6));
  __m128i r = _mm_packus_epi16(_mm_srai_epi16(_mm_add_epi16(tLo, lo.rv), 6),
                               _mm_srai_epi16(_mm_add_epi16(tHi, hi.rv), 6));
  for (int round = 0; round < 4; ++round) interleaveRound(b, g, r);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), b);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), g);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), r);
}

}  // namespace

void YuvToRgbRowsSse2(uint8_t* out0, uint8_t* out1, const uint8_t* luma0, const uint8_t* luma1,
                      const uint8_t* cu, const uint8_t* cv, uint32_t pixels) {
  const uint32_t bulk = pixels & ~15u;
  const __m128i zero = _mm_setzero_si128();
  const __m128i k128 = _mm_set1_epi16(128);
  for (uint32_t x = 0; x < bulk; x += 16) {
    // u, v in -128..127: 129u, 102v and 25u + 52v all fit a signed lane.
    const __m128i u = _mm_sub_epi16(
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cu + x / 2)), zero),
        k128);
    const __m128i v = _mm_sub_epi16(
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cv + x / 2)), zero),
        k128);
    const __m128i bu = _mm_mullo_epi16(u, _mm_set1_epi16(129));
    const __m128i guv = _mm_add_epi16(_mm_mullo_epi16(u, _mm_set1_epi16(25)),
                                      _mm_mullo_epi16(v, _mm_set1_epi16(52)));
    const __m128i rv = _mm_mullo_epi16(v, _mm_set1_epi16(102));
    // Each chroma word serves two neighbouring pixels.
    const ChromaTerms lo{_mm_unpacklo_epi16(bu, bu), _mm_unpacklo_epi16(guv, guv),
                         _mm_unpacklo_epi16(rv, rv)};
    const ChromaTerms hi{_mm_unpackhi_epi16(bu, bu), _mm_unpackhi_epi16(guv, guv),
                         _mm_unpackhi_epi16(rv, rv)};
    storeRgb16(out0 + 3 * static_cast<size_t>(x), luma0 + x, lo, hi);
    if (out1 != nullptr) storeRgb16(out1 + 3 * static_cast<size_t>(x), luma1 + x, lo, hi);
  }
  YuvToRgbRowC(out0 + 3 * static_cast<size_t>(bulk), luma0 + bulk, cu + bulk / 2, cv + bulk / 2,
               pixels - bulk);
  if (out1 != nullptr) {
    YuvToRgbRowC(out1 + 3 * static_cast<size_t>(bulk), luma1 + bulk, cu + bulk / 2, cv + bulk / 2,
                 pixels - bulk);
  }
}

void Yuv420ToRgbSse2(const uint8_t* Y, const uint8_t* U, const uint8_t* V, uint32_t w, uint32_t h,
                     uint32_t lumaStride, uint32_t chromaStride, uint8_t* firstOutputRow,
                     ptrdiff_t rowStep) {
  for (uint32_t y = 0; y < h; y += 2) {
    const uint8_t* luma0 = Y + static_cast<size_t>(y) * lumaStride;
    uint8_t* out0 = firstOutputRow + static_cast<ptrdiff_t>(y) * rowStep;
    const bool pair = y + 1 < h;
    YuvToRgbRowsSse2(out0, pair ? out0 + rowStep : nullptr, luma0, luma0 + lumaStride,
                     U + static_cast<size_t>(y / 2) * chromaStride,
                     V + static_cast<size_t>(y / 2) * chromaStride, w);
  }
}

}  // namespace wdi
