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
