// The YUV4MPEG2 reader of wdeint: any bytes as the input stream, read as the
// tool reads it (header, then frames into the padded engine frame).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "cli/padding.h"
#include "cli/y4m.h"

namespace {

void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "y4m fuzz: %s\n", what);
  std::abort();
}

// Larger pictures are legal but would only measure the allocator.
constexpr size_t kMaxFrameBytes = size_t{4} << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace wdi::cli;
  if (size == 0) return 0;
  FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (f == nullptr) return 0;
  Y4mReader reader(f, "input");
  std::string error;
  if (!reader.readHeader(&error)) {
    check(!error.empty() && error.find('\n') == std::string::npos,
          "a refused header has no one-line message");
    std::fclose(f);
    return 0;
  }
  const Y4mHeader& h = reader.header();
  check(h.width >= 1 && h.width <= kMaxDimension && h.height >= 1 && h.height <= kMaxDimension,
        "an accepted header has a size out of range");
  const std::string out = progressiveHeaderLine(h);
  check(out.compare(0, 9, "YUV4MPEG2") == 0 && out.back() == '\n', "bad output header");

  const FrameGeometry g = makeGeometry(h.width, h.height);
  check(g.paddedWidth % 16 == 0 && g.paddedHeight % 16 == 0 && g.paddedWidth >= g.width &&
            g.paddedHeight >= g.height,
        "bad padded geometry");
  if (g.engineBytes() > kMaxFrameBytes) {
    std::fclose(f);
    return 0;
  }
  // Exactly one engine frame, so that any write beyond it is caught.
  std::unique_ptr<uint8_t[]> frame(new uint8_t[g.engineBytes()]);
  for (int n = 0; n < 64; ++n) {
    PlaneRef planes[3];
    pictureInEngineFrame(frame.get(), g, planes);
    const Y4mReader::Result r = reader.readFrame(planes, &error);
    if (r == Y4mReader::Result::Error) {
      check(!error.empty() && error.find('\n') == std::string::npos,
            "a refused frame has no one-line message");
      break;
    }
    if (r == Y4mReader::Result::End) break;
    padEngineFrame(frame.get(), g);
  }
  std::fclose(f);
  return 0;
}
