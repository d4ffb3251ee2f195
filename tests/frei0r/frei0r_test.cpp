// The frei0r adapter, loaded from the built wdeinterlace.so: its description
// and parameters, and its frames against the same frames driven through this
// program's own vfAction as a host of major version 7 drives the module.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "frei0r/frei0r_params.h"
#include "frei0r/plugin_loader.h"
#include "host/host_standin.h"
#include "region/rect_list.h"
#include "support/alloc_failure.h"
#include "support/guarded_buffer.h"

namespace wdi::test {
namespace {

constexpr int kParamCount = 9;

class Frei0rTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(plugin().ok) << WDI_FREI0R_PLUGIN << ": " << dlerror(); }
  Frei0rPlugin& p = plugin();
};

// One instance, destroyed at the end of the scope.
class Instance {
 public:
  Instance(unsigned w, unsigned h) : handle(plugin().construct(w, h)) {}
  ~Instance() {
    if (handle != nullptr) plugin().destruct(handle);
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  void set(int index, double value) { plugin().setParam(handle, &value, index); }
  double get(int index) {
    double value = std::numeric_limits<double>::quiet_NaN();
    plugin().getParam(handle, &value, index);
    return value;
  }
  void setRegionFile(const std::string& path) {
    f0r_param_string text = const_cast<char*>(path.c_str());
    plugin().setParam(handle, &text, 7);
  }
  std::string regionFile() {
    f0r_param_string text = nullptr;
    plugin().getParam(handle, &text, 7);
    return text == nullptr ? "<null>" : text;
  }
  void setParams(const DeinterlaceParameters& o) {
    set(0, o.method);
    set(1, o.searchArea);
    set(2, static_cast<uint32_t>(o.detectionThreshold));
    set(3, static_cast<uint32_t>(o.blockDistanceThreshold));
    set(4, o.replacementThreshold);
    set(5, o.replaceOnlyInterlaced);
    set(6, o.searchOnInterpolated);
  }
  std::vector<uint8_t> update(const std::vector<uint8_t>& frame, double time = 0.0) {
    std::vector<uint8_t> out(frame.size(), 0xCD);
    plugin().update(handle, time, reinterpret_cast<const uint32_t*>(frame.data()),
                    reinterpret_cast<uint32_t*>(out.data()));
    return out;
  }

  f0r_instance_t handle;
};

// An interlaced BGRA clip: the two fields of each frame show a pattern at two
// moments, bars moving sideways over a still textured background, so that
// the detection, the searches and the replacement all find work. Alpha is
// random: the plug-in must hand it back untouched.
std::vector<std::vector<uint8_t>> interlacedClip(uint32_t w, uint32_t h, int frames,
                                                 uint32_t seed) {
  std::mt19937 rng = seededRng(seed);
  std::vector<uint8_t> texture(size_t{3} * w * h);
  fillRandom(texture.data(), texture.size(), rng);
  std::vector<std::vector<uint8_t>> clip;
  for (int f = 0; f < frames; ++f) {
    std::vector<uint8_t> frame(size_t{4} * w * h);
    for (uint32_t y = 0; y < h; ++y) {
      const int moment = 2 * f + static_cast<int>(y & 1);
      for (uint32_t x = 0; x < w; ++x) {
        uint8_t* px = &frame[(size_t{y} * w + x) * 4];
        const uint8_t* t = &texture[(size_t{y} * w + x) * 3];
        const bool bar = ((x + 3 * static_cast<uint32_t>(moment)) / 6) % 3 == 0;
        px[0] = static_cast<uint8_t>(bar ? 230u : 40u + t[0] / 4u);
        px[1] = static_cast<uint8_t>(bar ? 200u - y : 60u + t[1] / 4u);
        px[2] = static_cast<uint8_t>(bar ? 30u : x * 255u / w);
        px[3] = static_cast<uint8_t>(rng());
      }
    }
    clip.push_back(std::move(frame));
  }
  return clip;
}

uint32_t padded(uint32_t v) { return (v + 15) / 16 * 16; }

// The picture row that padded row r repeats: the last picture row of r's parity.
uint32_t sourceRow(uint32_t r, uint32_t h) {
  if (r < h) return r;
  return ((r - (h - 1)) % 2 == 0 || h < 2) ? h - 1 : h - 2;
}

// The frames through this program's vfAction: flipped into bottom-up BGR24,
// padded, processed, cropped, the input's alpha put back.
std::vector<std::vector<uint8_t>> reference(const std::vector<std::vector<uint8_t>>& clip,
                                            uint32_t w, uint32_t h,
                                            const DeinterlaceParameters& options,
                                            const std::vector<RectEntry>& region = {}) {
  const uint32_t pw = padded(w);
  const uint32_t ph = padded(h);
  HostStandin host;
  host.options = options;
  host.Send(-1);  // creates the process-wide region
  for (const RectEntry& r : region) {
    regionList->AddRect(r.include, r.left, r.top, r.right, r.bottom);
  }
  EXPECT_EQ(host.Start(static_cast<int32_t>(pw), static_cast<int32_t>(ph), FrameBased), 1);
  regionList->entries.clear();
  regionList->lastId = 0;

  std::vector<std::vector<uint8_t>> out;
  std::vector<uint8_t> src(size_t{3} * pw * ph), dst(src.size());
  for (const std::vector<uint8_t>& frame : clip) {
    for (uint32_t r = 0; r < ph; ++r) {
      for (uint32_t x = 0; x < pw; ++x) {
        const uint8_t* in = &frame[(size_t{sourceRow(r, h)} * w + std::min(x, w - 1)) * 4];
        std::memcpy(&src[(size_t{ph - 1 - r} * pw + x) * 3], in, 3);
      }
    }
    host.Process(src.data(), dst.data());
    std::vector<uint8_t> result(frame);
    for (uint32_t r = 0; r < h; ++r) {
      for (uint32_t x = 0; x < w; ++x) {
        std::memcpy(&result[(size_t{r} * w + x) * 4], &dst[(size_t{ph - 1 - r} * pw + x) * 3], 3);
      }
    }
    out.push_back(std::move(result));
  }
  host.End();
  return out;
}

DeinterlaceParameters withMethod(int32_t method) {
  DeinterlaceParameters o = kDefaultParameters;
  o.method = method;
  return o;
}

// Method 5 with settings under which its replacement changes pixels.
DeinterlaceParameters advancedReplacing() {
  DeinterlaceParameters o = withMethod(5);
  o.replacementThreshold = 24;
  o.replaceOnlyInterlaced = 1;
  o.searchOnInterpolated = 1;
  o.blockDistanceThreshold = 1 << 20;
  return o;
}

void expectClip(const std::vector<std::vector<uint8_t>>& got,
                const std::vector<std::vector<uint8_t>>& want, const char* what) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t f = 0; f < got.size(); ++f) {
    EXPECT_TRUE(got[f] == want[f]) << what << ", frame " << f;
  }
}

std::vector<std::vector<uint8_t>> run(Instance& in, const std::vector<std::vector<uint8_t>>& clip) {
  std::vector<std::vector<uint8_t>> out;
  for (const auto& frame : clip) out.push_back(in.update(frame));
  return out;
}

TEST_F(Frei0rTest, DescribesItselfAndItsParameters) {
  f0r_plugin_info_t info{};
  p.pluginInfo(&info);
  EXPECT_STREQ(info.name, "wdeinterlace");
  EXPECT_STREQ(info.author, "Wyndvale");
  EXPECT_STREQ(info.explanation, "Removes interlace effect.");
  EXPECT_EQ(info.plugin_type, F0R_PLUGIN_TYPE_FILTER);
  EXPECT_EQ(info.color_model, F0R_COLOR_MODEL_BGRA8888);
  EXPECT_EQ(info.frei0r_version, FREI0R_MAJOR_VERSION);
  EXPECT_EQ(info.num_params, kParamCount);

  const struct {
    const char* name;
    int type;
    const char* explanationStart;
  } expected[kParamCount] = {
      {"method", F0R_PARAM_DOUBLE, "Deinterlace method"},
      {"search_area", F0R_PARAM_DOUBLE, "Search area"},
      {"detection_threshold", F0R_PARAM_DOUBLE, "Interlace detection threshold"},
      {"block_distance_threshold", F0R_PARAM_DOUBLE,
       "Block distance threshold (search Mean Squared Error)"},
      {"replacement_threshold", F0R_PARAM_DOUBLE, "Replacement threshold (0-32)"},
      {"replace_only_interlaced", F0R_PARAM_BOOL, "Replace only interlace pixels"},
      {"search_on_interpolated", F0R_PARAM_BOOL, "Motion estimation search on interpolated images"},
      {"region_file", F0R_PARAM_STRING, "Region file (.rect)"},
      {"keep_top_field", F0R_PARAM_BOOL, "Keep the top field"},
  };
  for (int i = 0; i < kParamCount; ++i) {
    f0r_param_info_t param{};
    p.paramInfo(&param, i);
    EXPECT_STREQ(param.name, expected[i].name) << i;
    EXPECT_EQ(param.type, expected[i].type) << i;
    ASSERT_NE(param.explanation, nullptr) << i;
    EXPECT_EQ(std::string(param.explanation).rfind(expected[i].explanationStart, 0), 0u)
        << param.explanation;
  }
  f0r_param_info_t untouched{"x", 42, "y"};
  p.paramInfo(&untouched, kParamCount);
  p.paramInfo(&untouched, -1);
  EXPECT_EQ(untouched.type, 42);
}

TEST_F(Frei0rTest, DefaultsReadBackAsSharesOfTheSliderRanges) {
  const auto clip = interlacedClip(48, 32, 2, 10);
  const auto want = reference(clip, 48, 32, kDefaultParameters);
  Instance fresh(48, 32), sentBack(48, 32);
  ASSERT_NE(fresh.handle, nullptr);
  const double defaults[] = {0.8, 0.25, 48.0 / 255.0, 0.125, 0, 0, 0};
  for (int i = 0; i < 7; ++i) {
    EXPECT_DOUBLE_EQ(fresh.get(i), defaults[i]) << i;
    // A host that keeps to [0, 1] sends the advertised defaults back.
    sentBack.set(i, fresh.get(i));
  }
  EXPECT_EQ(fresh.regionFile(), "");
  expectClip(run(fresh, clip), want, "defaults");
  expectClip(run(sentBack, clip), want, "defaults sent back");
}

// The field that a host number becomes, through the plug-in's own rule.
int64_t field(int index, double value) {
  DeinterlaceParameters o = kDefaultParameters;
  EXPECT_TRUE(frei0r::SetParamField(&o, index, value));
  switch (index) {
    case 0:
      return o.method;
    case 1:
      return o.searchArea;
    case 2:
      return static_cast<uint32_t>(o.detectionThreshold);
    case 3:
      return static_cast<uint32_t>(o.blockDistanceThreshold);
    case 4:
      return o.replacementThreshold;
    case 5:
      return o.replaceOnlyInterlaced;
    default:
      return o.searchOnInterpolated;
  }
}

TEST(Frei0rParams, NumbersAreRawUnlessAFractionBetweenZeroAndOne) {
  const struct {
    int index;
    double value;
    int64_t stored;
  } cases[] = {
      // Raw numbers, as ffmpeg and MLT pass what the user typed.
      {0, 3, 3},
      {0, 0, 0},
      {0, 1, 1},
      {0, 5, 5},
      {0, 6, 6},
      {0, 7, 6},
      {0, -2, 0},
      {0, 2.6, 3},
      {0, 2.4, 2},
      // Fractions: shares of 0..5.
      {0, 0.8, 4},
      {0, 0.1, 1},
      {0, 0.05, 0},
      {0, 0.999, 5},
      {1, 24, 24},
      {1, -5, -5},
      {1, 0.25, 16},
      {1, 1e12, 2147483647},
      {1, -1e12, -2147483648LL},
      {1, std::numeric_limits<double>::infinity(), 2147483647},
      {2, 300, 300},
      {2, 0.5, 128},
      {2, 48.0 / 255.0, 48},
      {2, -7, 0},
      {2, 5e9, 4294967295LL},
      {2, 4294967295.0, 4294967295LL},
      {3, 8192, 8192},
      {3, 0.125, 8192},
      {3, 1e20, 4294967295LL},
      {3, -1, 0},
      {3, -std::numeric_limits<double>::infinity(), 0},
      {4, 0, 0},
      {4, 12, 12},
      {4, -3, -3},
      {4, 0.5, 16},
      {4, 256, 256},
      // Flags: frei0r's rule.
      {5, 1, 1},
      {5, 0.5, 1},
      {5, 0.49, 0},
      {5, 0, 0},
      {6, 1, 1},
      {6, 0.7, 1},
      {6, 0.2, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(field(c.index, c.value), c.stored)
        << "parameter " << c.index << " set to " << c.value;
  }
  // NaN, the region file and unknown indexes change nothing.
  DeinterlaceParameters o = kDefaultParameters;
  EXPECT_FALSE(frei0r::SetParamField(&o, 0, std::numeric_limits<double>::quiet_NaN()));
  EXPECT_FALSE(frei0r::SetParamField(&o, 7, 1));
  EXPECT_FALSE(frei0r::SetParamField(&o, 8, 1));
  EXPECT_FALSE(frei0r::SetParamField(&o, -1, 1));
  EXPECT_EQ(std::memcmp(&o, &kDefaultParameters, sizeof o), 0);
}

TEST_F(Frei0rTest, HostReadsBackWhatItSet) {
  Instance in(32, 32);
  const double values[] = {7, 16, 0.5, 1e20, -3, 0.7, 0};
  for (int i = 0; i < 7; ++i) {
    in.set(i, values[i]);
    EXPECT_EQ(in.get(i), values[i]) << i;
  }
  in.set(0, std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(in.get(0), 7);
  // Unknown indexes change nothing and read nothing.
  in.set(9, 1);
  in.set(-1, 1);
  double untouched = 77;
  p.getParam(in.handle, &untouched, 9);
  p.getParam(in.handle, &untouched, -1);
  EXPECT_EQ(untouched, 77);
}

TEST_F(Frei0rTest, ParametersReachTheStream) {
  // Fractions and raw numbers that mean the same option block give the same bytes.
  const auto clip = interlacedClip(48, 32, 2, 11);
  Instance raw(48, 32), slider(48, 32);
  raw.set(0, 3);
  raw.set(2, 128);
  slider.set(0, 0.6);
  slider.set(2, 0.5);
  DeinterlaceParameters o = withMethod(3);
  o.detectionThreshold = 128;
  const auto want = reference(clip, 48, 32, o);
  expectClip(run(raw, clip), want, "raw");
  expectClip(run(slider, clip), want, "slider");
}

TEST_F(Frei0rTest, EveryMethodGivesTheModulesBytes) {
  const auto clip = interlacedClip(64, 48, 3, 1);
  for (int32_t method = 0; method <= 5; ++method) {
    Instance in(64, 48);
    in.set(0, method);
    expectClip(run(in, clip), reference(clip, 64, 48, withMethod(method)),
               ("method " + std::to_string(method)).c_str());
  }
  Instance in(64, 48);
  in.setParams(advancedReplacing());
  expectClip(run(in, clip), reference(clip, 64, 48, advancedReplacing()), "method 5 replacing");
}

TEST_F(Frei0rTest, DefaultMethodChangesTheCombedFrame) {
  // A guard against an adapter that passes frames through: method 4 must
  // rebuild the combed picture, and alpha must survive.
  const auto clip = interlacedClip(64, 48, 1, 2);
  Instance in(64, 48);
  const auto out = in.update(clip[0]);
  size_t changed = 0;
  for (size_t i = 0; i < out.size(); i += 4) {
    EXPECT_EQ(out[i + 3], clip[0][i + 3]);
    changed += std::memcmp(&out[i], &clip[0][i], 3) != 0;
  }
  EXPECT_GT(changed, out.size() / 16);
}

TEST_F(Frei0rTest, SizesNotMultiplesOf16ArePaddedAndCropped) {
  const struct {
    uint32_t w, h;
  } sizes[] = {{37, 29}, {17, 1}, {1, 17}, {50, 30}, {16, 18}, {720 / 4 + 3, 486 / 4}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h));
    const auto clip = interlacedClip(s.w, s.h, 2, 3);
    for (int32_t method : {2, 4, 5}) {
      Instance in(s.w, s.h);
      ASSERT_NE(in.handle, nullptr);
      in.set(0, method);
      expectClip(run(in, clip), reference(clip, s.w, s.h, withMethod(method)),
                 ("method " + std::to_string(method)).c_str());
    }
  }
}

TEST_F(Frei0rTest, InPlaceUpdateEqualsSeparateFrames) {
  const auto clip = interlacedClip(37, 29, 2, 4);
  Instance a(37, 29), b(37, 29);
  for (const auto& frame : clip) {
    std::vector<uint8_t> inPlace(frame);
    p.update(b.handle, 0.0, reinterpret_cast<const uint32_t*>(inPlace.data()),
             reinterpret_cast<uint32_t*>(inPlace.data()));
    EXPECT_TRUE(inPlace == a.update(frame));
  }
}

TEST_F(Frei0rTest, RefusesSizesItCannotTake) {
  EXPECT_EQ(p.construct(0, 16), nullptr);
  EXPECT_EQ(p.construct(16, 0), nullptr);
  EXPECT_EQ(p.construct(16385, 16), nullptr);
  p.destruct(nullptr);
}

class RegionFile {
 public:
  explicit RegionFile(const std::vector<RectEntry>& rects) {
    path = ::testing::TempDir() + "wdi_frei0r_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".rect";
    CRectList list;
    for (const RectEntry& r : rects) list.AddRect(r.include, r.left, r.top, r.right, r.bottom);
    EXPECT_EQ(list.SaveToFile(path.c_str()), 0);
  }
  ~RegionFile() { std::remove(path.c_str()); }
  std::string path;
};

TEST_F(Frei0rTest, RegionFileLimitsTheInstanceOnly) {
  const std::vector<RectEntry> rects = {{0, true, 0, 0, 40, 30}, {0, false, 16, 8, 23, 23}};
  RegionFile file(rects);
  const auto clip = interlacedClip(64, 48, 2, 5);
  const auto whole = reference(clip, 64, 48, kDefaultParameters);
  const auto limited = reference(clip, 64, 48, kDefaultParameters, rects);
  ASSERT_FALSE(whole == limited);

  Instance withRegion(64, 48), without(64, 48);
  withRegion.setRegionFile(file.path);
  EXPECT_EQ(withRegion.regionFile(), file.path);
  // Frames of both instances interleave: each keeps its own region.
  for (size_t f = 0; f < clip.size(); ++f) {
    EXPECT_TRUE(withRegion.update(clip[f]) == limited[f]) << f;
    EXPECT_TRUE(without.update(clip[f]) == whole[f]) << f;
  }
  // Setting the same name again (MLT does so before every frame) and then
  // clearing it: the whole frame again, from the next frame on.
  withRegion.setRegionFile(file.path);
  withRegion.setRegionFile("");
  EXPECT_TRUE(withRegion.update(clip[0]) != limited[0]);
}

TEST_F(Frei0rTest, RegionFileThatCannotBeLoadedLeavesTheWholeFrame) {
  const auto clip = interlacedClip(32, 32, 1, 6);
  const auto whole = reference(clip, 32, 32, kDefaultParameters);
  Instance in(32, 32);
  in.setRegionFile(::testing::TempDir() + "wdi_frei0r_no_such_file.rect");
  expectClip(run(in, clip), whole, "missing region file");
}

// Each allocation of making an instance and loading its region file, failed in turn: no
// instance (or the region left out), never an exception into the host.
TEST_F(Frei0rTest, AllocationFailuresNeverEscape) {
  RegionFile file({{0, true, 0, 0, 40, 30}});
  bool made = false;
  const int runs = SweepAllocationFailures(
      [&] {
        Instance in(64, 48);
        made = in.handle != nullptr;
        if (made) in.setRegionFile(file.path);
      },
      [](bool) {});
  EXPECT_GT(runs, 2);
  EXPECT_TRUE(made);
}

TEST_F(Frei0rTest, InstancesOnSeveralThreadsKeepTheirOwnSettings) {
  const auto clip = interlacedClip(64, 48, 4, 7);
  std::vector<std::vector<std::vector<uint8_t>>> want, got(3);
  const int32_t methods[3] = {2, 4, 5};
  for (int32_t m : methods) want.push_back(reference(clip, 64, 48, withMethod(m)));
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 5; ++round) {
        Instance in(64, 48);
        in.set(0, methods[t]);
        got[t] = run(in, clip);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (int t = 0; t < 3; ++t) expectClip(got[t], want[t], "thread");
}

// Keeping the top field is keeping the bottom field of the picture upside
// down: the host's conversions treat both fields alike, so for sizes that
// need no padding the two runs are mirror images.
TEST_F(Frei0rTest, TopFieldIsTheBottomFieldOfTheFlippedFrame) {
  const uint32_t w = 64, h = 48;
  auto flip = [&](const std::vector<uint8_t>& frame) {
    std::vector<uint8_t> out(frame.size());
    for (uint32_t r = 0; r < h; ++r) {
      std::memcpy(&out[size_t{4} * w * r], &frame[size_t{4} * w * (h - 1 - r)], size_t{4} * w);
    }
    return out;
  };
  const auto clip = interlacedClip(w, h, 2, 8);
  for (int32_t method : {1, 3, 4, 5}) {
    Instance top(w, h), bottom(w, h);
    top.set(0, method);
    bottom.set(0, method);
    top.set(frei0r::kKeepTopField, 1);
    EXPECT_EQ(top.get(frei0r::kKeepTopField), 1.0);
    for (const auto& frame : clip) {
      const auto kept = top.update(frame);
      EXPECT_TRUE(kept == flip(bottom.update(flip(frame)))) << "method " << method;
      EXPECT_FALSE(kept == bottom.update(frame)) << "method " << method;
    }
  }
}

TEST_F(Frei0rTest, MethodSixReadsTheFrameBeforeUntilTimeRunsBack) {
  const uint32_t w = 64, h = 48;
  const auto clip = interlacedClip(w, h, 3, 8);
  Instance fresh(w, h), a(w, h), b(w, h);
  for (Instance* in : {&fresh, &a, &b}) {
    in->set(0, 6);
    in->set(frei0r::kKeepTopField, 1);
  }
  const auto alone = fresh.update(clip[2], 1.0);
  a.update(clip[0], 0.0);
  b.update(clip[1], 0.0);
  const auto afterA = a.update(clip[2], 0.04);
  EXPECT_FALSE(afterA == alone);
  EXPECT_FALSE(afterA == b.update(clip[2], 0.04));
  // Hosts that give every frame the same time still get the frame before.
  b.update(clip[0], 0.04);
  EXPECT_TRUE(b.update(clip[2], 0.04) == afterA);
  // A seek back: no frame before.
  EXPECT_TRUE(a.update(clip[2], 0.0) == alone);
}

}  // namespace
}  // namespace wdi::test
