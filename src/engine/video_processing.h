#pragma once
#include <cstdint>

namespace wdi {

// Abstract interface of a frame processor parameterised by its option record.
template <typename Parameters>
class VideoProcessing {
 public:
  // Sizes the processor and allocates its tables and buffers.
  virtual void init(uint32_t width, uint32_t height) = 0;
  // Frees every table and buffer; a second call does nothing.
  virtual void release() = 0;
  // Processes one frame; a null `parameters` keeps the previous ones.
  virtual void process(const uint8_t* source, uint8_t* destination,
                       const Parameters* parameters) = 0;
  virtual ~VideoProcessing() = default;
};

}  // namespace wdi
