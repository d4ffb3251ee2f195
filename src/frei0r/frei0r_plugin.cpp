// wdeinterlace.so: the filter as a frei0r plug-in. Each instance is one core
// stream at the padded size, fed through the host's own colour path (the
// field-separating conversion and the output stage), so its RGB bytes are the
// module's for the same frames. Instances share nothing: a host may run any
// number of them on different threads at once.

// frei0r.h declares its functions without C linkage of its own.
extern "C" {
#include <frei0r.h>
}

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/stream.h"
#include "frei0r/frei0r_frames.h"
#include "frei0r/frei0r_params.h"
#include "pipeline/frame_path.h"
#include "pipeline/padding.h"
#include "pipeline/yuv420_frame.h"
#include "platform/entry_guard.h"
#include "region/rect_list.h"

namespace {

using namespace wdi;

struct Instance {
  FrameGeometry geometry;
  std::unique_ptr<core::Stream> stream;  // at the padded size
  std::vector<uint8_t> hostIn;           // bottom-up BGR24, padded: the host's source image
  std::vector<uint8_t> hostOut;          // and its destination image
  std::vector<uint8_t> yuvIn;            // Yuv420Frames at the padded size
  std::vector<uint8_t> yuvOut;
  // Method 6: the frame before, while the host's times run forward.
  std::vector<uint8_t> yuvPrev;
  bool havePrev = false;
  double lastTime = 0;

  DeinterlaceParameters params = kDefaultParameters;
  bool keepTop = false;

  // The numbers and flags as the host last set them, for reading back.
  double hostValues[frei0r::kRegionFile];

  std::string regionFile;
};

// Loads the instance's region; a file that cannot be loaded leaves the
// whole frame processed. Called with the file name already stored.
void loadRegion(Instance* in) {
  in->stream->clearRegion();
  if (!in->regionFile.empty() &&
      in->stream->loadRegion(in->regionFile.c_str()) != core::Status::Ok) {
    std::fprintf(stderr,
                 "wdeinterlace: %s: not a region file this filter takes; the whole frame "
                 "is processed\n",
                 in->regionFile.c_str());
  }
}

}  // namespace

extern "C" {

int f0r_init() { return 1; }

void f0r_deinit() {}

void f0r_get_plugin_info(f0r_plugin_info_t* info) {
  wdi::GuardEntryVoid([&] {
    info->name = "wdeinterlace";
    info->author = "Wyndvale";
    info->plugin_type = F0R_PLUGIN_TYPE_FILTER;
    info->color_model = F0R_COLOR_MODEL_BGRA8888;
    info->frei0r_version = FREI0R_MAJOR_VERSION;
    info->major_version = 1;
    info->minor_version = 0;
    info->num_params = frei0r::kParamCount;
    info->explanation = "Removes interlace effect.";
  });
}

void f0r_get_param_info(f0r_param_info_t* info, int index) {
  wdi::GuardEntryVoid([&] {
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
  });
}

f0r_instance_t f0r_construct(unsigned int width, unsigned int height) {
  return wdi::GuardEntry<f0r_instance_t>(nullptr, [&]() -> f0r_instance_t {
    if (width == 0 || height == 0 || width > core::kMaxSide || height > core::kMaxSide) {
      return nullptr;
    }
    // ffmpeg's frei0r filter hands frames with rows padded to 64 bytes but no
    // stride: widths that are no multiple of 16 come out sheared. Said once.
    static std::atomic<bool> warned{false};
    if (width % 16 != 0 && !warned.exchange(true)) {
      std::fprintf(stderr,
                   "wdeinterlace: width %u is not a multiple of 16: ffmpeg's frei0r filter passes "
                   "such frames wrongly (sheared); with ffmpeg pad them first, see the README\n",
                   width);
    }
    // A failed allocation ends in the guard: no instance.
    std::unique_ptr<Instance> in(new Instance);
    in->geometry = makeGeometry(width, height);
    const FrameGeometry& g = in->geometry;
    for (int i = 0; i < frei0r::kRegionFile; ++i) in->hostValues[i] = frei0r::DefaultHostValue(i);
    in->stream = core::Stream::create(g.paddedWidth, g.paddedHeight, nullptr);
    if (in->stream == nullptr) return nullptr;
    in->hostIn.resize(frei0r::HostImageBytes(g));
    in->hostOut.resize(frei0r::HostImageBytes(g));
    in->yuvIn.resize(Yuv420Frame::bytes(g.paddedWidth, g.paddedHeight));
    in->yuvOut.resize(in->yuvIn.size());
    in->yuvPrev.resize(in->yuvIn.size());
    return in.release();
  });
}

// Destruction frees memory only and cannot fail.
void f0r_destruct(f0r_instance_t instance) { delete static_cast<Instance*>(instance); }

void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int index) {
  wdi::GuardEntryVoid([&] {
    Instance* in = static_cast<Instance*>(instance);
    if (in == nullptr || param == nullptr) return;
    if (index == frei0r::kKeepTopField) {
      const double value = *static_cast<const double*>(param);
      if (value == value) in->keepTop = frei0r::HostFlag(value);
      return;
    }
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
  });
}

void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int index) {
  wdi::GuardEntryVoid([&] {
    const Instance* in = static_cast<const Instance*>(instance);
    if (in == nullptr || param == nullptr) return;
    if (index == frei0r::kRegionFile) {
      *static_cast<f0r_param_string*>(param) = const_cast<char*>(in->regionFile.c_str());
      return;
    }
    if (index == frei0r::kKeepTopField) {
      *static_cast<double*>(param) = in->keepTop ? 1.0 : 0.0;
      return;
    }
    if (index < 0 || index >= frei0r::kRegionFile) return;
    *static_cast<double*>(param) = in->hostValues[index];
  });
}

void f0r_update(f0r_instance_t instance, double time, const uint32_t* inframe, uint32_t* outframe) {
  wdi::GuardEntryVoid([&] {
    Instance* in = static_cast<Instance*>(instance);
    if (in == nullptr || inframe == nullptr || outframe == nullptr) return;
    const auto* src = reinterpret_cast<const uint8_t*>(inframe);
    auto* dst = reinterpret_cast<uint8_t*>(outframe);
    const FrameGeometry& g = in->geometry;
    if (in->params.method == 0) {
      // The host's stream copies such frames without converting them.
      if (dst != src) std::memcpy(dst, src, size_t{4} * g.width * g.height);
      return;
    }
    frei0r::BgraToHostImage(src, in->hostIn.data(), g);
    // The conversion writes yuvIn only; the two work images it names are unused.
    SplitFrame(in->hostIn.data(), in->yuvIn.data(), nullptr, nullptr, g.paddedWidth,
               g.paddedHeight);
    in->stream->setParameters(in->params);
    in->stream->setKeptField(in->keepTop ? core::Field::Top : core::Field::Bottom);
    // A filter sees no frame ahead: method 6 reads the frame before only, and
    // none after a jump back in time (some hosts give every frame the same
    // time). The stream's default order, top field first, is that of the
    // hosts' interlaced material; so the top field, kept, has both its
    // neighbouring fields.
    const bool temporal = in->params.method == core::kTemporalMethod;
    if (temporal && in->havePrev && time < in->lastTime) in->havePrev = false;
    in->stream->processPadded(in->yuvIn.data(), in->yuvOut.data(),
                              temporal && in->havePrev ? in->yuvPrev.data() : nullptr, nullptr);
    if (temporal) {
      in->yuvPrev.swap(in->yuvIn);
      in->havePrev = true;
      in->lastTime = time;
    }
    FrameOutput(in->yuvOut.data(), in->hostOut.data(), g.paddedWidth, g.paddedHeight);
    frei0r::HostImageToBgra(in->hostOut.data(), src, dst, g);
  });
}

}  // extern "C"
