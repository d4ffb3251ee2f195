#include "cli/png_writer.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace wdi::cli {

namespace {

// Quiet handlers: the caller reports one line of its own.
void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onWarning(png_structp, png_const_charp) {}

// libpng reports errors by longjmp; this frame holds no objects with
// destructors, so the jump skips nothing.
bool writeRows(std::FILE* file, const uint8_t* rgb, uint32_t width, uint32_t height,
               size_t stride) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (uint32_t y = 0; y < height; ++y) {
    png_write_row(png, const_cast<png_bytep>(rgb + y * stride));
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool writePngRgb(const std::string& path, const uint8_t* rgb, uint32_t width, uint32_t height,
                 size_t stride, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    *error = path + ": cannot create: " + std::strerror(errno);
    return false;
  }
  const bool written = writeRows(file, rgb, width, height, stride);
  const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
  const int savedErrno = errno;
  const bool closed = std::fclose(file) == 0;
  if (!written || !flushed || !closed) {
    *error =
        path + ": write error" + (written ? std::string(": ") + std::strerror(savedErrno) : "");
    return false;
  }
  return true;
}

}  // namespace wdi::cli
