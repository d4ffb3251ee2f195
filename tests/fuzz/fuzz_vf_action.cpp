// vfAction with hostile records: every command, field type, image size, bit
// count, flags word and option block comes from the input; pointers are
// valid and every image buffer is exactly as large as its header says. One
// input is a sequence of commands on one stream, closed by EndStream, after
// which no global memory block may be left behind.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/cpu.h"
#include "platform/native_hooks.h"
#include "plugin/host_library.h"
#include "plugin/option_blocks.h"
#include "plugin/vf_action.h"
#include "region/rect_list.h"

namespace {

using namespace wdi;

void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "vfAction fuzz: %s\n", what);
  std::abort();
}

// Images above this are skipped: the sizes that matter are small.
constexpr uint64_t kMaxImageBytes = uint64_t{1} << 20;

int32_t pickSize(FuzzedDataProvider& in) {
  static const int32_t kSizes[] = {16, 32, 48, 64, 0,  -16, -32,     1,         8,
                                   15, 17, 24, 33, 80, 96,  1 << 30, INT32_MIN, INT32_MAX};
  return in.PickValueInArray(kSizes);
}

int32_t pickInt(FuzzedDataProvider& in, std::initializer_list<int32_t> common) {
  // Mostly the values that lead somewhere, sometimes any value at all.
  if (in.ConsumeIntegralInRange<int>(0, 7) == 0) return in.ConsumeIntegral<int32_t>();
  const int32_t* values = common.begin();
  return values[in.ConsumeIntegralInRange<size_t>(0, common.size() - 1)];
}

uint64_t headerImageBytes(const BitmapInfoHeader& h) {
  // What a host's buffer for this header holds: rows padded to 4 bytes.
  const uint64_t w = h.biWidth < 0 ? 0 : static_cast<uint64_t>(h.biWidth);
  const uint64_t rows = h.biHeight < 0 ? uint64_t{0} - static_cast<int64_t>(h.biHeight)
                                       : static_cast<uint64_t>(h.biHeight);
  const uint64_t bits = h.biBitCount == 0 ? 24 : h.biBitCount;
  return (w * bits + 31) / 32 * 4 * rows;
}

BitmapInfoHeader makeHeader(FuzzedDataProvider& in) {
  BitmapInfoHeader h{};
  h.biSize = sizeof h;
  h.biWidth = pickSize(in);
  h.biHeight = pickSize(in);
  h.biPlanes = 1;
  static const uint16_t kBits[] = {24, 24, 24, 32, 8, 16, 0, 1, 48, 0xFFFF};
  h.biBitCount = in.PickValueInArray(kBits);
  const uint64_t exact = headerImageBytes(h);
  switch (in.ConsumeIntegralInRange<int>(0, 5)) {
    case 0:
      h.biSizeImage = 0;
      break;
    case 1:
    case 2:
      h.biSizeImage = static_cast<uint32_t>(exact);
      break;
    case 3:
      h.biSizeImage = static_cast<uint32_t>(exact == 0 ? 0 : exact - 1);
      break;
    case 4:
      h.biSizeImage = in.ConsumeIntegralInRange<uint32_t>(0, 65536);
      break;
    default:
      h.biSizeImage = in.ConsumeIntegral<uint32_t>();
      break;
  }
  return h;
}

DeinterlaceParameters makeOptions(FuzzedDataProvider& in) {
  DeinterlaceParameters p;
  p.method = pickInt(in, {0, 1, 2, 3, 4, 5, 4, 5, 6, -1});
  p.searchArea = pickInt(in, {16, 0, 1, 2, 3, 7, 8, 32, 64, -1, -16});
  p.detectionThreshold = pickInt(in, {48, 0, 1, 2, 255, 256, -1});
  p.blockDistanceThreshold = pickInt(in, {8192, 0, 1, 65535, -1, INT32_MAX});
  p.replacementThreshold = pickInt(in, {0, 1, 8, 32, 33, 255, -1});
  p.replaceOnlyInterlaced = in.ConsumeIntegral<uint8_t>();
  p.searchOnInterpolated = in.ConsumeIntegral<uint8_t>();
  p.padding[0] = in.ConsumeIntegral<uint8_t>();
  p.padding[1] = in.ConsumeIntegral<uint8_t>();
  return p;
}

// Key list of the host stand-in: vft32FindKey hands out one of these (never
// the first, since the multi-key branch also reads the entry before it).
DeinterlaceParameters keyBlocks[4];
HostKeyEntry keyEntries[4];
int keyChoice = 0;

int32_t WDI_STDCALL findKey(HostFilterRecord*, HostKeyEntry** key, uint32_t, uint32_t) {
  if (keyChoice > 0) *key = &keyEntries[keyChoice];
  return keyChoice;
}

size_t baselineBlocks = 0;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setMessageBoxHook([](const char*, const char*) {});
  HostLibraryHooks hooks;
  hooks.findKey = &findKey;
  setHostLibraryHooks(hooks);
  for (int i = 0; i < 4; ++i) keyEntries[i] = {i * 10, &keyBlocks[i]};
  // The first call creates the process-wide region.
  ActionRecord r{};
  r.command = 99;
  vfAction(0, &r);
  check(regionList != nullptr, "no region after the first call");
  baselineBlocks = globalLiveBlocks();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  // Kernels of every level: engines take the CPU flags in force at StartStream.
  cpuSetMask(kKernelLevels[in.ConsumeIntegralInRange<int>(0, kKernelLevelCount - 1)].mask);

  // The region in force at StartStream, edges from the input.
  regionList->entries.clear();
  const int rects = in.ConsumeIntegralInRange<int>(0, 4);
  for (int i = 0; i < rects; ++i) {
    auto edge = [&in] { return pickInt(in, {0, 1, 7, 8, 15, 16, 31, 32, 63, 64, 100, -1}); };
    const bool include = in.ConsumeBool();
    const int32_t l = edge(), t = edge(), r = edge(), b = edge();
    regionList->AddRect(include, l, t, r, b);
  }

  DeinterlaceParameters current = kDefaultParameters;
  HostOptionRef currentRef{0, &current};
  HostFilterRecord filter{{0, 0, 0}, &currentRef};
  BitmapInfoHeader srcHeader{}, dstHeader{};
  ActionRecord stream{};

  const int commands = in.ConsumeIntegralInRange<int>(1, 12);
  for (int c = 0; c < commands && in.remaining_bytes() > 0; ++c) {
    const int32_t command = pickInt(in, {1, 2, 2, 2, 2, 3, 0, 4, 5, 6, -1});
    if (command == StartStream || command == ProcessFrame || command == EndStream) {
      stream.command = command;
      stream.fieldType = pickInt(in, {0, 1, 2, 0, 1, 3, -1});
      stream.flags = in.ConsumeIntegral<uint32_t>();
      stream.filter = in.ConsumeIntegralInRange<int>(0, 15) == 0 ? nullptr : &filter;
      currentRef.block = in.ConsumeIntegralInRange<int>(0, 15) == 0 ? nullptr : &current;
      current = makeOptions(in);
      srcHeader = makeHeader(in);
      dstHeader = in.ConsumeBool() ? srcHeader : makeHeader(in);
      stream.srcHeader = &srcHeader;
      stream.dstHeader = &dstHeader;
      if (command == StartStream) {
        setHostMajorVersion(pickInt(in, {7, 6, 5, 8, 0}));
        // A state left by an earlier stream is the host's to end first.
        if (stream.state != nullptr) {
          ActionRecord end = stream;
          end.command = EndStream;
          vfAction(0, &end);
          stream.state = end.state;
        }
      }
      // The host's images: as large as their headers say, and no larger.
      const uint64_t srcBytes =
          std::max<uint64_t>(headerImageBytes(srcHeader), srcHeader.biSizeImage);
      const uint64_t dstBytes = std::max<uint64_t>(headerImageBytes(dstHeader), srcBytes);
      if (command == ProcessFrame && dstBytes > kMaxImageBytes) continue;
      std::unique_ptr<uint8_t[]> src, dst;
      if (command == ProcessFrame) {
        src.reset(new uint8_t[srcBytes]);
        dst.reset(new uint8_t[dstBytes]);
        const size_t n = in.ConsumeData(src.get(), static_cast<size_t>(srcBytes));
        std::memset(src.get() + n, static_cast<int>(n), static_cast<size_t>(srcBytes) - n);
      }
      stream.srcPixels = src.get();
      stream.dstPixels = dst.get();
      const int32_t result = vfAction(0, &stream);
      if (command == StartStream) {
        check(result == 1 || result == -1 || result == -3, "StartStream result");
        check((result == 1) == (stream.state != nullptr), "StartStream state");
      } else {
        check(result == 1, "ProcessFrame or EndStream result");
      }
      if (command == EndStream) check(stream.state == nullptr, "EndStream left a state");
      stream.srcPixels = nullptr;
      stream.dstPixels = nullptr;
    } else {
      // Commands without a stream get a record of their own, as the host's.
      DeinterlaceParameters single = makeOptions(in);
      DeinterlaceParameters multi = makeOptions(in);
      keyChoice = in.ConsumeIntegralInRange<int>(0, 3);
      ActionRecord other{};
      other.command = command;
      other.fieldType = in.ConsumeIntegral<int32_t>();
      other.keyValue = in.ConsumeIntegral<uint32_t>();
      other.flags = in.ConsumeIntegral<uint32_t>();
      other.compareValue = in.ConsumeIntegral<uint32_t>();
      other.filter = &filter;
      other.keyOptions = &single;
      other.state = &multi;
      vfAction(0, &other);
    }
  }
  stream.command = EndStream;
  vfAction(0, &stream);
  check(stream.state == nullptr, "EndStream left a state");
  regionList->entries.clear();
  check(globalLiveBlocks() == baselineBlocks, "global memory blocks leaked");
  return 0;
}
