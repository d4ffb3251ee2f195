// Interpolation and detection kernels of every instruction-set level. The
// scalar versions (suffix C) are the definition; the SIMD versions give the
// same bytes on every input.
//
// Preconditions shared by all kernels (validated once by the stream code):
// luma width and height are multiples of 16 and height >= 16; chroma planes
// are half that in each direction (multiples of 8). Planes are packed rows.
#pragma once
#include <cstddef>
#include <cstdint>

namespace wdi {

// The rows of one level. Every level frames a plane the same way (which rows
// are copied, averaged or interpolated), so the plane drivers below do that
// once and call these for the rows; a SIMD row leaves the rest of a row that
// its width does not fill to the next narrower level.
struct InterpolationRows {
  // (a + b) >> 1 of each pixel.
  void (*average)(uint8_t* out, const uint8_t* a, const uint8_t* b, uint32_t width);
  // The cubic of an even luma row from the odd rows p, a, b, q (y-3 .. y+3);
  // unless `all`, only where `mask` is 0xFF and `own` elsewhere.
  void (*cubic)(uint8_t* out, const uint8_t* p, const uint8_t* a, const uint8_t* b,
                const uint8_t* q, const uint8_t* own, const uint8_t* mask, uint32_t width, int all);
  // The chroma rule on an even row between `above` and `below`.
  void (*chroma)(uint8_t* out, const uint8_t* above, const uint8_t* own, const uint8_t* below,
                 int32_t width, int all);
};

// The plane drivers: the whole of interpolateLuma and interpolateChroma with
// the rows of the given level.
void interpolateLumaPlanes(const InterpolationRows& rows, uint8_t* dst, const uint8_t* src,
                           const uint8_t* map, uint32_t width, uint32_t height, int all);
void interpolateChromaPlanes(const InterpolationRows& rows, uint8_t* dstV, uint8_t* dstU,
                             const uint8_t* srcV, const uint8_t* srcU, int32_t chromaWidth,
                             int32_t chromaHeight, int all);

// The SSE2 rows, which the AVX2 rows finish with. Widths are multiples of 8.
void averageRowSse2(uint8_t* out, const uint8_t* a, const uint8_t* b, uint32_t width);
void cubicRowSse2(uint8_t* out, const uint8_t* p, const uint8_t* a, const uint8_t* b,
                  const uint8_t* q, const uint8_t* own, const uint8_t* mask, uint32_t width,
                  int all);
void chromaRowSse2(uint8_t* out, const uint8_t* above, const uint8_t* own, const uint8_t* below,
                   int32_t width, int all);

// Scalar references.
void doubleFieldsC(uint8_t* plane, uint32_t width, uint32_t height);
void interpolateLumaC(uint8_t* dst, const uint8_t* src, const uint8_t* map, uint32_t width,
                      uint32_t height, int all);
void interpolateChromaC(uint8_t* dstV, uint8_t* dstU, const uint8_t* srcV, const uint8_t* srcU,
                        int32_t chromaWidth, int32_t chromaHeight, int all);
int detectInterlaceC(uint8_t* map, uint8_t* counts, const uint8_t* luma, uint32_t width,
                     uint32_t height, int32_t threshold);

// Pieces of the detection that the SIMD versions share with the reference.
struct DetectionSetup {
  int16_t compare;  // threshold halved rounding down, low 16 bits read as signed
  int32_t scale;    // floor(2^28 / (width * height))
};

// The early return fires once total * scale exceeds this.
constexpr int64_t kDetectionLimit = int64_t{1} << 26;

// Clears map and counts, sets the border marks and derives the comparison
// value and the scale factor.
DetectionSetup beginDetection(uint8_t* map, uint8_t* counts, uint32_t width, uint32_t height,
                              int32_t threshold);

// Scans the strip of four columns at `x` top to bottom, adding to `total`,
// `map` and `counts` exactly as the strip-order scan does. Returns 1 at the
// early-return point (that step's marks and counts not applied), else 0.
int detectStripC(uint8_t* map, uint8_t* counts, const uint8_t* luma, uint32_t width,
                 uint32_t height, uint32_t x, const DetectionSetup& setup, int32_t* total);

// SSE2.
// One 16-column group of the detection (block column b), which the AVX2 scan
// takes for its single groups: its total of comb hits; with `write` its marks
// and counts too.
int32_t detectGroupSse2(uint8_t* map, uint8_t* counts, const uint8_t* luma, uint32_t width,
                        uint32_t height, uint32_t b, int16_t compare, bool write);
void doubleFieldsSse2(uint8_t* plane, uint32_t width, uint32_t height);
void interpolateLumaSse2(uint8_t* dst, const uint8_t* src, const uint8_t* map, uint32_t width,
                         uint32_t height, int all);
void interpolateChromaSse2(uint8_t* dstV, uint8_t* dstU, const uint8_t* srcV, const uint8_t* srcU,
                           int32_t chromaWidth, int32_t chromaHeight, int all);
int detectInterlaceSse2(uint8_t* map, uint8_t* counts, const uint8_t* luma, uint32_t width,
                        uint32_t height, int32_t threshold);

// AVX2.
void doubleFieldsAvx2(uint8_t* plane, uint32_t width, uint32_t height);
void interpolateLumaAvx2(uint8_t* dst, const uint8_t* src, const uint8_t* map, uint32_t width,
                         uint32_t height, int all);
void interpolateChromaAvx2(uint8_t* dstV, uint8_t* dstU, const uint8_t* srcV, const uint8_t* srcU,
                           int32_t chromaWidth, int32_t chromaHeight, int all);
int detectInterlaceAvx2(uint8_t* map, uint8_t* counts, const uint8_t* luma, uint32_t width,
                        uint32_t height, int32_t threshold);

}  // namespace wdi
