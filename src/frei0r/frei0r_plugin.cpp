// wdeinterlace.so: the filter as a frei0r plug-in. Each instance is one
// FrameBased stream driven through vfAction exactly as a host of major
// version 7 drives the module, so its RGB bytes are the module's.

// frei0r.h declares its functions without C linkage of its own.
extern "C" {
#include <frei0r.h>
}

#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "cli/padding.h"
#include "frei0r/frei0r_frames.h"
#include "frei0r/frei0r_params.h"
#include "plugin/host_records.h"
#include "plugin/stream_state.h"
#include "plugin/vf_action.h"
#include "region/block_mask.h"
#include "region/rect_list.h"

namespace {

using namespace wdi;

// Sides above this are refused at construction (the same limit as wdeint's).
constexpr uint32_t kMaxSide = 16384;

// The stream code keeps process-wide data (the working option block that
// every ProcessFrame fills and the engine reads, the global-memory
// bookkeeping), while frei0r hosts may run different instances on different
// threads at once. Every call into it is therefore serialised.
std::mutex streamMutex;

struct Instance {
  cli::FrameGeometry geometry;
  std::vector<uint8_t> hostIn;   // bottom-up BGR24, padded: the host's source image
  std::vector<uint8_t> hostOut;  // and its destination image

  // The records a host keeps for its stream, alive as long as the instance.
  DeinterlaceParameters params = kDefaultParameters;
  HostOptionRef current{0, &params};
  HostFilterRecord filter{{0, 0, 0}, &current};
  BitmapInfoHeader header{};
  ActionRecord record{};

  // The numbers and flags as the host last set them, for reading back.
  double hostValues[frei0r::kRegionFile];

  // The region is the instance's own; the process-wide one stays empty.
  std::string regionFile;
  CRectList region;
  bool regionChanged = true;
};

BitmapInfoHeader hostImageHeader(const cli::FrameGeometry& g) {
  BitmapInfoHeader h{};
  h.biSize = sizeof h;
  h.biWidth = static_cast<int32_t>(g.paddedWidth);
  h.biHeight = static_cast<int32_t>(g.paddedHeight);
  h.biPlanes = 1;
  h.biBitCount = 24;
  h.biSizeImage = static_cast<uint32_t>(frei0r::HostImageBytes(g));
  return h;
}

void clearRegion(CRectList& region) {
  region.entries.clear();
  region.lastId = 0;
}

// Loads the instance's region; a file that cannot be loaded leaves the
// whole frame processed. Called with the file name already stored.
void loadRegion(Instance* in) {
  clearRegion(in->region);
  if (!in->regionFile.empty() && in->region.LoadFromFile(in->regionFile.c_str()) != 0) {
    clearRegion(in->region);
    std::fprintf(stderr,
                 "wdeinterlace: %s: not a region file this filter takes; the whole frame "
                 "is processed\n",
                 in->regionFile.c_str());
  }
  in->regionChanged = true;
}

}  // namespace

extern "C" {

int f0r_init() {
  // The first vfAction call creates the process-wide region; later calls
  // from several threads then only read it.
  std::lock_guard<std::mutex> lock(streamMutex);
  ActionRecord record{};
  record.command = -1;
  vfAction(0, &record);
  return 1;
}

void f0r_deinit() {
  // The module is about to be unloaded (ffmpeg unloads it with its filter
  // graph): the process-wide region goes with it.
  std::lock_guard<std::mutex> lock(streamMutex);
  delete regionList;
  regionList = nullptr;
}

void f0r_get_plugin_info(f0r_plugin_info_t* info) {
  info->name = "wdeinterlace";
  info->author = "Wyndvale";
  info->plugin_type = F0R_PLUGIN_TYPE_FILTER;
  info->color_model = F0R_COLOR_MODEL_BGRA8888;
  info->frei0r_version = FREI0R_MAJOR_VERSION;
  info->major_version = 1;
  info->minor_version = 0;
  info->num_params = frei0r::kParamCount;
  info->explanation = "Removes interlace effect.";
}

void f0r_get_param_info(f0r_param_info_t* info, int index) {
  const frei0r::ParamDescription* param = frei0r::DescribeParam(index);
  if (param == nullptr) return;
  info->name = param->name;
  switch (param->kind) {
    case frei0r::ParamKind::Number:
      info->type = F0R_PARAM_DOUBLE;
      break;
    case frei0r::ParamKind::Flag:
      info->type = F0R_PARAM_BOOL;
      break;
    case frei0r::ParamKind::Text:
      info->type = F0R_PARAM_STRING;
      break;
  }
  info->explanation = param->explanation;
}

f0r_instance_t f0r_construct(unsigned int width, unsigned int height) {
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return nullptr;
  Instance* in = new (std::nothrow) Instance;
  if (in == nullptr) return nullptr;
  in->geometry = cli::makeGeometry(width, height);
  for (int i = 0; i < frei0r::kRegionFile; ++i) in->hostValues[i] = frei0r::DefaultHostValue(i);
  try {
    in->hostIn.resize(frei0r::HostImageBytes(in->geometry));
    in->hostOut.resize(frei0r::HostImageBytes(in->geometry));
  } catch (const std::bad_alloc&) {
    delete in;
    return nullptr;
  }
  in->header = hostImageHeader(in->geometry);
  in->record.command = StartStream;
  in->record.fieldType = FrameBased;
  in->record.filter = &in->filter;
  in->record.srcHeader = &in->header;
  in->record.dstHeader = &in->header;
  std::lock_guard<std::mutex> lock(streamMutex);
  // A refused stream (no memory) has its frames copied, as the host would.
  vfAction(0, &in->record);
  return in;
}

void f0r_destruct(f0r_instance_t instance) {
  Instance* in = static_cast<Instance*>(instance);
  if (in == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(streamMutex);
    in->record.command = EndStream;
    vfAction(0, &in->record);
  }
  delete in;
}

void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int index) {
  Instance* in = static_cast<Instance*>(instance);
  if (in == nullptr || param == nullptr) return;
  if (index == frei0r::kRegionFile) {
    const char* text = *static_cast<const f0r_param_string*>(param);
    if (text == nullptr) text = "";
    // MLT sets every parameter before every frame: load only what changed.
    if (in->regionFile == text) return;
    try {
      in->regionFile = text;
    } catch (const std::bad_alloc&) {
      in->regionFile.clear();
    }
    loadRegion(in);
    return;
  }
  const double value = *static_cast<const double*>(param);
  if (frei0r::SetParamField(&in->params, index, value)) in->hostValues[index] = value;
}

void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int index) {
  const Instance* in = static_cast<const Instance*>(instance);
  if (in == nullptr || param == nullptr) return;
  if (index == frei0r::kRegionFile) {
    *static_cast<f0r_param_string*>(param) = const_cast<char*>(in->regionFile.c_str());
    return;
  }
  if (index < 0 || index >= frei0r::kRegionFile) return;
  *static_cast<double*>(param) = in->hostValues[index];
}

void f0r_update(f0r_instance_t instance, double, const uint32_t* inframe, uint32_t* outframe) {
  Instance* in = static_cast<Instance*>(instance);
  if (in == nullptr || inframe == nullptr || outframe == nullptr) return;
  const auto* src = reinterpret_cast<const uint8_t*>(inframe);
  auto* dst = reinterpret_cast<uint8_t*>(outframe);
  frei0r::BgraToHostImage(src, in->hostIn.data(), in->geometry);
  {
    std::lock_guard<std::mutex> lock(streamMutex);
    auto* state = static_cast<StreamState*>(in->record.state);
    if (in->regionChanged && state != nullptr) {
      // The mask is built once per stream and per region, never per frame.
      BuildBlockMask(state->blockMask, &in->region, in->header.biWidth, in->header.biHeight);
      in->regionChanged = false;
    }
    in->record.command = ProcessFrame;
    in->record.fieldType = FrameBased;
    in->record.flags = 0;
    in->record.srcPixels = in->hostIn.data();
    in->record.dstPixels = in->hostOut.data();
    vfAction(0, &in->record);
  }
  frei0r::HostImageToBgra(in->hostOut.data(), src, dst, in->geometry);
}

}  // extern "C"
