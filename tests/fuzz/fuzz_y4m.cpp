// The YUV4MPEG2 reader of wdeint: any bytes as the input, read as the tool
// reads it (header, then frames into the padded engine frame), once as a
// stream (stdio, as from a pipe) and once as a regular file (whose frames
// are located and then read with pread). Both must give the same frames and
// the same one-line message.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "cli/y4m.h"
#include "pipeline/padding.h"

namespace {

using namespace wdi;
using namespace wdi::cli;

void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "y4m fuzz: %s\n", what);
  std::abort();
}

// Larger pictures are legal but would only measure the allocator.
constexpr size_t kMaxFrameBytes = size_t{4} << 20;

std::string filePath() {
  // Memory-backed when possible.
  const std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return dir + "/wdi_fuzz_y4m_" + std::to_string(getpid()) + ".y4m";
}

void checkMessage(const std::string& error) {
  check(!error.empty() && error.find('\n') == std::string::npos,
        "a refusal without a one-line message");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = filePath();
  static const struct Cleanup {
    ~Cleanup() { std::remove(path.c_str()); }
  } cleanup;
  if (size == 0) return 0;
  FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  FILE* out = std::fopen(path.c_str(), "wb");
  if (stream == nullptr || out == nullptr) std::abort();
  check(std::fwrite(data, 1, size, out) == size && std::fclose(out) == 0, "cannot write the file");
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) std::abort();

  Y4mReader a(stream, "input");
  Y4mReader b(file, "input");
  std::string errorA, errorB;
  const bool headerA = a.readHeader(&errorA);
  const bool headerB = b.readHeader(&errorB);
  check(headerA == headerB && errorA == errorB, "stream and file differ on the header");
  if (!headerA) {
    checkMessage(errorA);
  } else {
    const Y4mHeader& h = a.header();
    check(h.width >= 1 && h.width <= kMaxDimension && h.height >= 1 && h.height <= kMaxDimension,
          "an accepted header has a size out of range");
    const std::string line = progressiveHeaderLine(h);
    check(line.compare(0, 9, "YUV4MPEG2") == 0 && line.back() == '\n', "bad output header");
    const FrameGeometry g = makeGeometry(h.width, h.height);
    check(g.paddedWidth % 16 == 0 && g.paddedHeight % 16 == 0 && g.paddedWidth >= g.width &&
              g.paddedHeight >= g.height,
          "bad padded geometry");
    if (g.engineBytes() <= kMaxFrameBytes) {
      // Exactly one engine frame each, so that any write beyond it is caught.
      const size_t bytes = g.engineBytes();
      std::unique_ptr<uint8_t[]> frameA(new uint8_t[bytes]);
      std::unique_ptr<uint8_t[]> frameB(new uint8_t[bytes]);
      std::memset(frameA.get(), 0, bytes);
      std::memset(frameB.get(), 0, bytes);
      for (int n = 0; n < 64; ++n) {
        PlaneRef planesA[3], planesB[3];
        pictureInEngineFrame(frameA.get(), g, planesA);
        pictureInEngineFrame(frameB.get(), g, planesB);
        const Y4mReader::Result ra = a.readFrame(planesA, &errorA);
        const Y4mReader::Result rb = b.readFrame(planesB, &errorB);
        check(ra == rb, "stream and file differ on a frame's result");
        if (ra == Y4mReader::Result::Error) {
          check(errorA == errorB, "stream and file differ on the message");
          checkMessage(errorA);
          break;
        }
        if (ra == Y4mReader::Result::End) break;
        padEngineFrame(frameA.get(), g);
        padEngineFrame(frameB.get(), g);
        check(std::memcmp(frameA.get(), frameB.get(), bytes) == 0,
              "stream and file differ on a frame's bytes");
      }
      check(a.framesRead() == b.framesRead(), "stream and file differ on the frame count");
    }
  }
  std::fclose(stream);
  std::fclose(file);
  return 0;
}
