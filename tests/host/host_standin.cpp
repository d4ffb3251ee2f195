#include "host/host_standin.h"

#include "platform/native_hooks.h"
#include "plugin/vf_action.h"

namespace wdi::test {

BitmapInfoHeader MakeBitmapHeader(int32_t width, int32_t height, uint16_t bitCount) {
  BitmapInfoHeader h{};
  h.biSize = sizeof(BitmapInfoHeader);
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = bitCount;
  h.biCompression = 0;
  const int64_t rowBytes = (int64_t{width} * bitCount + 31) / 32 * 4;
  const int64_t size = rowBytes * (height < 0 ? -int64_t{height} : int64_t{height});
  h.biSizeImage = width > 0 ? static_cast<uint32_t>(size) : 0u;
  return h;
}

std::vector<uint8_t> RandomBgr24(int32_t width, int32_t height, std::mt19937& rng) {
  std::vector<uint8_t> image(Bgr24Bytes(width, height));
  std::uniform_int_distribution<int> d(0, 255);
  for (uint8_t& b : image) b = static_cast<uint8_t>(d(rng));
  return image;
}

std::vector<uint8_t> RowColouredBgr24(
    int32_t width, int32_t height, const std::function<std::array<uint8_t, 3>(int32_t)>& colour) {
  std::vector<uint8_t> image(Bgr24Bytes(width, height));
  for (int32_t r = 0; r < height; ++r) {
    const std::array<uint8_t, 3> rgb = colour(r);
    // Bottom-up: picture row r is memory row height - 1 - r.
    uint8_t* row = image.data() + static_cast<size_t>(height - 1 - r) * 3 * width;
    for (int32_t x = 0; x < width; ++x) {
      row[3 * x] = rgb[2];
      row[3 * x + 1] = rgb[1];
      row[3 * x + 2] = rgb[0];
    }
  }
  return image;
}

HostStandin::HostStandin(int32_t hostMajorVersion) {
  setHostMajorVersion(hostMajorVersion);
  current_.position = 0;
  current_.block = &options;
  filter_.current = &current_;
  record.filter = &filter_;
}

HostStandin::~HostStandin() {
  if (record.state != nullptr) End();
}

int32_t HostStandin::Start(int32_t width, int32_t height, FieldType type, uint16_t bitCount,
                           int32_t dstWidth, int32_t dstHeight) {
  streamType = type;
  srcHeader = MakeBitmapHeader(width, height, bitCount);
  dstHeader =
      MakeBitmapHeader(dstWidth == -1 ? width : dstWidth, dstHeight == -1 ? height : dstHeight, 24);
  record.fieldType = type;
  record.flags = 0;
  record.srcHeader = &srcHeader;
  record.dstHeader = &dstHeader;
  record.srcPixels = nullptr;
  record.dstPixels = nullptr;
  return Send(StartStream);
}

int32_t HostStandin::Process(const uint8_t* source, uint8_t* destination, bool secondField) {
  // The host names the stream's own field type on every call.
  record.fieldType = streamType;
  record.flags = secondField ? 1u : 0u;
  record.srcPixels = const_cast<uint8_t*>(source);
  record.dstPixels = destination;
  return Send(ProcessFrame);
}

int32_t HostStandin::End() { return Send(EndStream); }

int32_t HostStandin::Send(int32_t command) {
  record.command = command;
  return vfAction(0, &record);
}

}  // namespace wdi::test
