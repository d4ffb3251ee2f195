#include "cli/host_run.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/interrupt.h"
#include "cli/mapped_file.h"
#include "cli/progress.h"
#include "cli/region_options.h"
#include "cli/y4m.h"
#include "platform/cpu.h"
#include "platform/native_hooks.h"
#include "plugin/host_records.h"
#include "plugin/vf_action.h"
#include "region/rect_list.h"

namespace wdi::cli {

namespace {

// The host's own major version: frames are processed from version 6 on, and
// 7 takes the record's field type as it stands.
constexpr int32_t kHostVersion = 7;

BitmapInfoHeader imageHeader(int32_t width, int32_t height) {
  BitmapInfoHeader h{};
  h.biSize = sizeof h;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = 24;
  h.biSizeImage = static_cast<uint32_t>(3 * width * height);
  return h;
}

// The module's message boxes become warnings on one line each.
void warnMessage(const char* text, const char* caption) {
  std::string line = text;
  for (char& c : line) {
    if (c == '\n') c = ' ';
  }
  std::fprintf(stderr, "wdeint: %s: %s\n", caption, line.c_str());
}

class Streams {
 public:
  ~Streams() {
    if (in != nullptr && in != stdin) std::fclose(in);
    if (out != nullptr && out != stdout) std::fclose(out);
  }
  std::FILE* in = nullptr;
  std::FILE* out = nullptr;
};

// The host images of the input: taken where they lie in a mapped regular
// file, which spares every image a copy; read into a buffer from pipes and
// for whatever the mapping does not hold whole (a cut image at the end).
class ImageInput {
 public:
  enum class Result { Image, End, Error };

  ImageInput(std::FILE* file, std::string name, size_t imageBytes)
      : file_(file), name_(std::move(name)), imageBytes_(imageBytes) {}

  // The next image, valid until the next call.
  Result next(const uint8_t** image, std::string* error) {
    if (!started_) {
      started_ = true;
      start_ = std::ftell(file_);
      if (imageBytes_ > 0 && start_ >= 0) map_.map(file_);
    }
    if (map_.mapped()) {
      if (map_.size() - offset_ >= imageBytes_) {
        map_.release(offset_);  // the images before this one are done with
        *image = map_.data() + offset_;
        offset_ += imageBytes_;
        ++images_;
        return Result::Image;
      }
      // The rest, and anything written since the mapping, comes through stdio.
      map_.unmap();
      if (std::fseek(file_, start_ + static_cast<long>(offset_), SEEK_SET) != 0) {
        *error = name_ + ": read error: " + std::strerror(errno);
        return Result::Error;
      }
    }
    if (buffer_.size() != imageBytes_) {
      try {
        buffer_.resize(imageBytes_);
      } catch (const std::bad_alloc&) {
        *error = "out of memory for the images";
        return Result::Error;
      }
    }
    const size_t got = std::fread(buffer_.data(), 1, imageBytes_, file_);
    if (got == 0 && !std::ferror(file_)) return Result::End;
    if (got == imageBytes_) {
      *image = buffer_.data();
      ++images_;
      return Result::Image;
    }
    *error = std::ferror(file_)
                 ? name_ + ": read error: " + std::strerror(errno)
                 : name_ + ": image " + std::to_string(images_ + 1) + " truncated (" +
                       std::to_string(got) + " of " + std::to_string(imageBytes_) + " bytes)";
    return Result::Error;
  }

 private:
  std::FILE* file_;
  std::string name_;
  size_t imageBytes_;
  MappedFile map_;
  bool started_ = false;
  long start_ = 0;
  size_t offset_ = 0;
  std::vector<uint8_t> buffer_;
  uint64_t images_ = 0;
};

}  // namespace

bool processBgr24(const CliOptions& o, std::string* error) {
  const auto start = std::chrono::steady_clock::now();
  if (o.bgrWidth > kMaxDimension || o.bgrHeight > kMaxDimension) {
    *error = "--bgr24: frame sizes up to " + std::to_string(kMaxDimension) + " are taken";
    return false;
  }
  if (o.fieldType != 0 && o.bgrHeight % 2 != 0) {
    *error = "--bgr24: a field stream needs an even frame height";
    return false;
  }
  const auto width = static_cast<int32_t>(o.bgrWidth);
  const auto imageHeight = static_cast<int32_t>(o.fieldType != 0 ? o.bgrHeight / 2 : o.bgrHeight);
  const size_t imageBytes = static_cast<size_t>(width) * 3 * static_cast<size_t>(imageHeight);

  setHostMajorVersion(kHostVersion);
  setMessageBoxHook(warnMessage);

  // The host's records, alive for the whole stream as the host keeps them.
  DeinterlaceParameters options = o.params;
  HostOptionRef current{0, &options};
  HostFilterRecord filter{{0, 0, 0}, &current};
  BitmapInfoHeader srcHeader = imageHeader(width, imageHeight);
  BitmapInfoHeader dstHeader = srcHeader;
  ActionRecord record{};

  // Any first call creates the process-wide region; an unknown command does nothing else.
  record.command = -1;
  vfAction(0, &record);
  if (!buildRegion(o, regionList, error)) return false;

  Streams s;
  s.in = o.input == "-" ? stdin : std::fopen(o.input.c_str(), "rb");
  if (s.in == nullptr) {
    *error = o.input + ": cannot open: " + std::strerror(errno);
    return false;
  }
  s.out = o.output == "-" ? stdout : std::fopen(o.output.c_str(), "wb");
  if (s.out == nullptr) {
    *error = o.output + ": cannot open: " + std::strerror(errno);
    return false;
  }
  const std::string inName = o.input == "-" ? "standard input" : o.input;
  const std::string outName = o.output == "-" ? "standard output" : o.output;

  ImageInput input(s.in, inName, imageBytes);
  std::vector<uint8_t> dst;
  try {
    dst.resize(imageBytes);
  } catch (const std::bad_alloc&) {
    *error = "out of memory for the images";
    return false;
  }

  record = ActionRecord{};
  record.command = StartStream;
  record.fieldType = o.fieldType;
  record.filter = &filter;
  record.srcHeader = &srcHeader;
  record.dstHeader = &dstHeader;
  vfAction(0, &record);  // a refused stream has its images copied, as in the host

  ProgressLine progress(!o.quiet && isatty(STDERR_FILENO) == 1, stderr);
  uint64_t images = 0;
  bool ok = true;
  for (;;) {
    if (interruptSignal() != 0) {
      // The images written so far are whole; none is cut.
      *error = std::string("interrupted by ") + signalName(interruptSignal()) + ": " + outName +
               " holds " + std::to_string(images) + " whole images";
      ok = false;
      break;
    }
    const uint8_t* src = nullptr;
    const ImageInput::Result r = input.next(&src, error);
    if (r == ImageInput::Result::End) break;
    if (r == ImageInput::Result::Error) {
      ok = false;
      break;
    }
    record.command = ProcessFrame;
    record.fieldType = o.fieldType;
    record.flags = o.fieldType != 0 ? static_cast<uint32_t>(images & 1) : 0u;
    // The module only reads the source image.
    record.srcPixels = const_cast<uint8_t*>(src);
    record.dstPixels = dst.data();
    vfAction(0, &record);
    if (std::fwrite(dst.data(), 1, imageBytes, s.out) != imageBytes) {
      *error = outName + ": write error: " + std::strerror(errno);
      ok = false;
      break;
    }
    ++images;
    progress.update(images);
  }
  record.command = EndStream;
  vfAction(0, &record);
  setMessageBoxHook(nullptr);
  progress.finish(images);
  if (!ok) return false;

  const bool flushed = std::fflush(s.out) == 0 && !std::ferror(s.out);
  const bool closed = s.out == stdout || std::fclose(s.out) == 0;
  if (s.out != stdout) s.out = nullptr;
  if (!flushed || !closed) {
    *error = outName + ": write error: " + std::strerror(errno);
    return false;
  }
  if (o.verbose) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "wdeint: %llu %s of %dx%d through vfAction, method %d: %.3f s, %.1f fps\n",
                 static_cast<unsigned long long>(images), o.fieldType != 0 ? "fields" : "frames",
                 width, imageHeight, static_cast<int>(o.params.method), seconds,
                 framesPerSecond(images, seconds));
  }
  return true;
}

}  // namespace wdi::cli
