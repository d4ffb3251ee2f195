#include "frame_scenarios.h"

#include <cstring>

namespace wdi::scenario {
namespace {

uint8_t clampByte(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// A small deterministic generator, the same on every compiler.
uint32_t hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return x;
}

// Picture at time t (one field period per step): row y from the top.
void pixelAt(int32_t t, int32_t x, int32_t y, uint8_t rgb[3]) {
  int32_t r = 40 + x / 4;
  int32_t g = 60 + y / 3;
  int32_t b = 200 - (x + y) / 8;
  // A bar moving right and a box moving down: they comb between the fields.
  const int32_t barLeft = 100 + 9 * t;
  if (x >= barLeft && x < barLeft + 60) {
    r = 250;
    g = 240;
    b = 30;
  }
  const int32_t boxTop = 40 + 5 * t;
  if (x >= 400 && x < 520 && y >= boxTop && y < boxTop + 90) {
    r = 20;
    g = 30 + (x & 31);
    b = 90;
  }
  // Fine texture and noise where the motion search has something to match.
  if (x >= 560) {
    const uint32_t n = hash(static_cast<uint32_t>((x - t * 2) * 7919 + y * 104729));
    const int32_t v = static_cast<int32_t>(n & 63) - 32;
    r += v;
    g += v / 2;
    b -= v;
  }
  rgb[0] = clampByte(r);
  rgb[1] = clampByte(g);
  rgb[2] = clampByte(b);
}

}  // namespace

std::vector<Scenario> AllScenarios() {
  std::vector<Scenario> all;
  for (int32_t method = 0; method <= 5; ++method) {
    all.push_back({"frame720x576_m" + std::to_string(method), 720, 576, FrameBased, method, 3});
    all.push_back({"fieldA720x288_m" + std::to_string(method), 720, 288, FieldOrderA, method, 4});
  }
  // Field order B streams are never processed.
  all.push_back({"fieldB720x288_m4", 720, 288, FieldOrderB, 4, 2});
  return all;
}

std::vector<uint8_t> MakeInput(const Scenario& s, int32_t call) {
  const int32_t w = s.width;
  const int32_t h = s.height;
  std::vector<uint8_t> image(static_cast<size_t>(w) * 3 * static_cast<size_t>(h));
  for (int32_t row = 0; row < h; ++row) {
    // A frame's rows alternate between two times; a field image is one time.
    int32_t t = 0;
    int32_t y = row;
    if (s.type == FrameBased) {
      t = 2 * call + (row & 1);
    } else {
      t = call;
      y = 2 * row + (call & 1);
    }
    uint8_t* line = image.data() + static_cast<size_t>(h - 1 - row) * 3 * static_cast<size_t>(w);
    for (int32_t x = 0; x < w; ++x) {
      uint8_t rgb[3];
      pixelAt(t, x, y, rgb);
      line[3 * x] = rgb[2];
      line[3 * x + 1] = rgb[1];
      line[3 * x + 2] = rgb[0];
    }
  }
  return image;
}

StreamResult RunScenario(VfActionFn action, const Scenario& s) {
  StreamResult result;
  BitmapInfoHeader header{};
  header.biSize = sizeof header;
  header.biWidth = s.width;
  header.biHeight = s.height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biSizeImage = static_cast<uint32_t>(s.width * 3 * s.height);
  BitmapInfoHeader dstHeader = header;

  DeinterlaceParameters options = kDefaultParameters;
  options.method = s.method;
  HostOptionRef current{0, &options};
  HostFilterRecord filter{};
  filter.current = &current;

  ActionRecord record{};
  record.command = StartStream;
  record.fieldType = s.type;
  record.filter = &filter;
  record.srcHeader = &header;
  record.dstHeader = &dstHeader;
  result.start = action(0, &record);

  const size_t imageBytes = header.biSizeImage;
  for (int32_t call = 0; call < s.calls; ++call) {
    std::vector<uint8_t> input = MakeInput(s, call);
    std::vector<uint8_t> output(imageBytes, 0xCD);
    record.command = ProcessFrame;
    record.fieldType = s.type;
    record.flags = s.type == FrameBased ? 0u : static_cast<uint32_t>(call & 1);
    record.srcPixels = input.data();
    record.dstPixels = output.data();
    result.process.push_back(action(0, &record));
    result.fieldTypeAfter.push_back(record.fieldType);
    result.output.insert(result.output.end(), output.begin(), output.end());
  }
  record.command = EndStream;
  result.end = action(0, &record);
  return result;
}

}  // namespace wdi::scenario
