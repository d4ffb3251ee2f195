// Field-pair streams: each call brings one field image of w x h/2 (RGB24,
// bottom-up); the first of a pair is held, the second is joined with it. w and
// h are the whole frame's width and height, multiples of 16. heldField holds
// 3*w*h/2 bytes, rgbWork 3*w*h, yuvIn/yuvOut/yuvWork a Yuv420Frame of w x h.
#pragma once
#include <cstddef>
#include <cstdint>

namespace wdi {

// Stores the first 3*w*h/2 bytes of the source field in heldField and passes
// `imageSize` bytes of the source unchanged to the destination.
void HoldFirstField(uint8_t* heldField, const uint8_t* source, uint8_t* destination,
                    size_t imageSize, uint32_t w, uint32_t h);

// Joins the held (first) field and the source (second) field into rgbWork,
// converts and interleaves it into yuvIn: even rows from the second field,
// odd rows from the held one.
void CombineFieldPair(const uint8_t* heldField, const uint8_t* source, uint8_t* yuvIn,
                      uint8_t* rgbWork, uint8_t* yuvWork, uint32_t w, uint32_t h);

// Converts yuvOut into rgbWork and writes the h/2 rows of the second field's
// positions into the destination field image.
void FieldOutput(const uint8_t* yuvOut, uint8_t* rgbWork, uint8_t* destination, uint32_t w,
                 uint32_t h);

}  // namespace wdi
