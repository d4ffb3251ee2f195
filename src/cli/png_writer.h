// 8-bit RGB PNG files through libpng.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace wdi::cli {

// `rgb` holds `height` rows of R, G, B bytes, `stride` bytes apart.
bool writePngRgb(const std::string& path, const uint8_t* rgb, uint32_t width, uint32_t height,
                 size_t stride, std::string* error);

}  // namespace wdi::cli
