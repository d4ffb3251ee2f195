// Frame path of whole-frame streams: the field-separating input stage and the
// output stage. w and h are the frame's width and height, multiples of 16.
// Buffers: Yuv420Frame of w x h for yuvIn/yuvOut/yuvWork, 3*w*h bytes for
// RGB24 images. Nothing is allocated.
#pragma once
#include <cstdint>

namespace wdi {

// Builds yuvIn from a yuvWork whose planes hold an upper half (rows
// 0..h/2-1, chroma 0..h/4-1) and a lower half: the halves alternate row by row.
void Interleave(const uint8_t* yuvWork, uint8_t* yuvIn, uint32_t w, uint32_t h);

// Separates the fields of a bottom-up RGB24 frame and converts them into
// yuvIn, each field on its own rows, so no chroma sample mixes fields. The
// result equals gathering the fields into the two halves of rgbWork,
// converting into yuvWork and interleaving; neither work buffer is touched.
void SplitFrame(const uint8_t* source, uint8_t* yuvIn, uint8_t* rgbWork, uint8_t* yuvWork,
                uint32_t w, uint32_t h);

// Converts yuvOut into the bottom-up RGB24 destination; every row is written.
void FrameOutput(const uint8_t* yuvOut, uint8_t* destination, uint32_t w, uint32_t h);

}  // namespace wdi
