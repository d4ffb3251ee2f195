// What a stream returns, byte for byte: the pipeline, the engine and the
// block mask called directly in the order of a frame are the reference.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <random>

#include "engine/me_deinterlacer.h"
#include "pipeline/fast_copy.h"
#include "pipeline/field_pairs.h"
#include "pipeline/frame_path.h"
#include "pipeline/yuv420_frame.h"
#include "plugin/dialog_params.h"
#include "plugin/stream_fixture.h"
#include "region/block_mask.h"
#include "support/guarded_buffer.h"

namespace wdi::test {
namespace {

// One stream's work done by hand.
class ReferenceStream {
 public:
  ReferenceStream(uint32_t w, uint32_t frameHeight, const CRectList* region)
      : w_(w),
        h_(frameHeight),
        mask_(BlockMaskEntries(static_cast<int32_t>(w), static_cast<int32_t>(frameHeight)), 0),
        yuvIn_(Yuv420Frame::bytes(w, frameHeight)),
        yuvOut_(yuvIn_.size()),
        yuvWork_(yuvIn_.size()),
        rgbWork_(3 * static_cast<size_t>(w) * frameHeight),
        heldField_(yuvIn_.size()) {
    BuildBlockMask(mask_.data(), region, static_cast<int32_t>(w), static_cast<int32_t>(h_));
    engine_.init(w, frameHeight);
  }

  void frame(const uint8_t* src, uint8_t* dst, const DeinterlaceParameters& p) {
    SplitFrame(src, yuvIn_.data(), rgbWork_.data(), yuvWork_.data(), w_, h_);
    run(p);
    FrameOutput(yuvOut_.data(), dst, w_, h_);
  }
  void firstField(const uint8_t* src, uint8_t* dst) {
    FastCopy(heldField_.data(), src, heldField_.size());
    FastCopy(dst, src, heldField_.size());
  }
  void secondField(const uint8_t* src, uint8_t* dst, const DeinterlaceParameters& p) {
    CombineFieldPair(heldField_.data(), src, yuvIn_.data(), rgbWork_.data(), yuvWork_.data(), w_,
                     h_);
    run(p);
    FieldOutput(yuvOut_.data(), rgbWork_.data(), dst, w_, h_);
  }

 private:
  void run(const DeinterlaceParameters& p) {
    engine_.process(yuvIn_.data(), yuvOut_.data(), &p);
    ApplyBlockMask(mask_.data(), yuvIn_.data(), yuvOut_.data(), static_cast<int32_t>(w_),
                   static_cast<int32_t>(h_));
  }
  uint32_t w_, h_;
  MEDeinterlacer engine_;
  std::vector<int32_t> mask_;
  std::vector<uint8_t> yuvIn_, yuvOut_, yuvWork_, rgbWork_, heldField_;
};

// An interlaced picture: a smooth background with a square that moves between
// the two fields, plus noise, so every method has combs and matches to find.
std::vector<uint8_t> interlacedFrame(int32_t w, int32_t h, int t, std::mt19937& rng) {
  std::vector<uint8_t> image(Bgr24Bytes(w, h));
  std::uniform_int_distribution<int> noise(-6, 6);
  for (int32_t r = 0; r < h; ++r) {
    const int phase = 2 * t + (r & 1);  // odd rows are the later field
    const int32_t sx = 40 + 9 * phase, sy = 30 + 3 * phase;
    uint8_t* row = image.data() + static_cast<size_t>(h - 1 - r) * 3 * w;
    for (int32_t x = 0; x < w; ++x) {
      const bool inSquare = x >= sx && x < sx + 120 && r >= sy && r < sy + 100;
      int base[3] = {(x * 3 + r) & 255, (r * 2 + 40) & 255, (x + r * 3) / 5 & 255};
      if (inSquare) base[0] = 250, base[1] = 240 - (x - sx), base[2] = 20;
      for (int c = 0; c < 3; ++c) {
        const int v = base[c] + noise(rng);
        row[3 * x + c] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
      }
    }
  }
  return image;
}

// Picture rows 0, 2, 4 ... (first field) or 1, 3, 5 ... of a frame, bottom-up.
std::vector<uint8_t> fieldOf(const std::vector<uint8_t>& frame, int32_t w, int32_t h, int parity) {
  const size_t rowBytes = 3 * static_cast<size_t>(w);
  std::vector<uint8_t> field(frame.size() / 2);
  for (int32_t i = 0; i < h / 2; ++i) {
    const int32_t pictureRow = 2 * i + parity;
    std::memcpy(field.data() + static_cast<size_t>(h / 2 - 1 - i) * rowBytes,
                frame.data() + static_cast<size_t>(h - 1 - pictureRow) * rowBytes, rowBytes);
  }
  return field;
}

void useRegion(bool withRegion) {
  regionList->entries.clear();
  regionList->lastId = 0;
  if (!withRegion) return;
  regionList->AddRect(false, 0, 0, 719, 575);
  regionList->AddRect(true, 100, 50, 500, 400);
  regionList->AddRect(false, 203, 101, 300, 207);
}

class FrameBytes : public StreamTest {
 protected:
  // Runs a stream and its reference side by side and compares every image.
  void compareStream(FieldType type, int32_t version, int32_t method, bool withRegion, int images) {
    SCOPED_TRACE(::testing::Message() << "type " << type << " host " << version << " method "
                                      << method << (withRegion ? " with region" : ""));
    const int32_t w = 720, h = 576;
    const int32_t imageHeight = type == FrameBased ? h : h / 2;
    useRegion(withRegion);
    HostStandin host(version);
    host.options.method = method;
    ASSERT_EQ(host.Start(w, imageHeight, type), 1);
    ReferenceStream reference(w, h, regionList);
    const bool copies = method == 0 || version < 6 || type == FieldOrderB;
    std::mt19937 rng = seededRng(static_cast<uint32_t>(1000 * method + 10 * version + type));
    for (int n = 0; n < images; ++n) {
      // The host may hand a different block every frame.
      host.options.detectionThreshold = n % 2 == 0 ? 48 : 30;
      host.options.replaceOnlyInterlaced = static_cast<uint8_t>(n % 2);
      const DeinterlaceParameters params = host.options;
      const std::vector<uint8_t> frame = interlacedFrame(w, h, n, rng);
      const size_t bytes = Bgr24Bytes(w, imageHeight);
      GuardedBuffer got(bytes), expected(bytes);
      if (type == FrameBased) {
        ASSERT_EQ(host.Process(frame.data(), got.data()), 1);
        if (copies) {
          std::memcpy(expected.data(), frame.data(), bytes);
        } else {
          reference.frame(frame.data(), expected.data(), params);
        }
        ASSERT_EQ(got.storage(), expected.storage()) << "frame " << n;
      } else {
        for (int parity = 0; parity < 2; ++parity) {
          const std::vector<uint8_t> field = fieldOf(frame, w, h, parity);
          GuardedBuffer fieldGot(bytes), fieldExpected(bytes);
          ASSERT_EQ(host.Process(field.data(), fieldGot.data(), parity == 1), 1);
          if (copies) {
            std::memcpy(fieldExpected.data(), field.data(), bytes);
          } else if (parity == 0) {
            reference.firstField(field.data(), fieldExpected.data());
          } else {
            reference.secondField(field.data(), fieldExpected.data(), params);
          }
          ASSERT_EQ(fieldGot.storage(), fieldExpected.storage())
              << "frame " << n << " field " << parity;
        }
      }
      EXPECT_EQ(0, std::memcmp(&dialogParams, &params, sizeof params));
    }
  }
};

TEST_F(FrameBytes, FrameBasedEveryMethod) {
  for (int32_t method = 0; method <= 5; ++method) {
    compareStream(FrameBased, 7, method, false, 2);
    compareStream(FrameBased, 7, method, true, 2);
  }
}

TEST_F(FrameBytes, FieldOrderAEveryMethod) {
  for (int32_t method = 0; method <= 5; ++method) {
    compareStream(FieldOrderA, 7, method, false, 2);
    compareStream(FieldOrderA, 7, method, true, 2);
  }
}

TEST_F(FrameBytes, HostVersions) {
  for (int32_t version : {5, 6}) {
    compareStream(FrameBased, version, 4, true, 2);
    compareStream(FieldOrderA, version, 4, true, 2);
  }
  compareStream(FieldOrderB, 7, 4, false, 1);
}

TEST_F(FrameBytes, RunningStreamKeepsItsMask) {
  useRegion(true);
  HostStandin host;
  ASSERT_EQ(host.Start(720, 576, FrameBased), 1);
  ReferenceStream reference(720, 576, regionList);
  regionList->AddRect(true, 0, 0, 719, 575);
  std::mt19937 rng = seededRng(77);
  const std::vector<uint8_t> frame = interlacedFrame(720, 576, 0, rng);
  GuardedBuffer got(Bgr24Bytes(720, 576)), expected(Bgr24Bytes(720, 576));
  host.Process(frame.data(), got.data());
  reference.frame(frame.data(), expected.data(), host.options);
  EXPECT_EQ(got.storage(), expected.storage());
}

// Random frames, not only pictures: every byte value reaches the path.
TEST_F(FrameBytes, RandomFrames) {
  std::mt19937 rng = seededRng(4242);
  HostStandin host;
  ASSERT_EQ(host.Start(720, 576, FrameBased), 1);
  ReferenceStream reference(720, 576, regionList);
  for (int n = 0; n < 2; ++n) {
    const std::vector<uint8_t> frame = RandomBgr24(720, 576, rng);
    GuardedBuffer got(Bgr24Bytes(720, 576)), expected(Bgr24Bytes(720, 576));
    host.Process(frame.data(), got.data());
    reference.frame(frame.data(), expected.data(), host.options);
    ASSERT_EQ(got.storage(), expected.storage());
  }
}

// Solid 16x16 frames whose blocks all keep their input come back as the
// colour round trip gives them.
TEST_F(FrameBytes, ColourTableThroughTheStream) {
  struct Row {
    std::array<uint8_t, 3> in, yuv, back;  // R, G, B / Y, U, V / R, G, B
  };
  const Row table[] = {
      {{255, 255, 255}, {235, 128, 128}, {253, 253, 253}},
      {{0, 0, 0}, {16, 128, 128}, {0, 0, 0}},
      {{255, 0, 0}, {81, 90, 239}, {252, 0, 0}},
      {{0, 255, 0}, {144, 54, 34}, {0, 253, 0}},
      {{0, 0, 255}, {40, 239, 110}, {0, 0, 251}},
      {{128, 128, 128}, {126, 128, 128}, {127, 127, 127}},
  };
  regionList->AddRect(false, 0, 0, 15, 15);
  HostStandin host;
  host.options.method = 2;
  ASSERT_EQ(host.Start(16, 16, FrameBased), 1);
  for (const Row& row : table) {
    const std::vector<uint8_t> frame = RowColouredBgr24(16, 16, [&](int32_t) { return row.in; });
    std::vector<uint8_t> out(frame.size());
    host.Process(frame.data(), out.data());
    const uint8_t* yuvIn = host.state()->yuvIn;
    EXPECT_EQ(yuvIn[0], row.yuv[0]);
    EXPECT_EQ(yuvIn[Yuv420Frame::uOffset(16, 16)], row.yuv[1]);
    EXPECT_EQ(yuvIn[Yuv420Frame::vOffset(16, 16)], row.yuv[2]);
    for (size_t p = 0; p < 256; ++p) {
      ASSERT_EQ(out[3 * p + 2], row.back[0]) << p;
      ASSERT_EQ(out[3 * p + 1], row.back[1]) << p;
      ASSERT_EQ(out[3 * p + 0], row.back[2]) << p;
    }
  }
}

TEST_F(FrameBytes, RedBlueRowsKeepTheirChromaApart) {
  HostStandin host;
  ASSERT_EQ(host.Start(16, 16, FrameBased), 1);
  const std::vector<uint8_t> frame = RowColouredBgr24(16, 16, [](int32_t r) {
    return r % 2 == 0 ? std::array<uint8_t, 3>{255, 0, 0} : std::array<uint8_t, 3>{0, 0, 255};
  });
  std::vector<uint8_t> out(frame.size());
  host.Process(frame.data(), out.data());
  const uint8_t* yuvIn = host.state()->yuvIn;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) ASSERT_EQ(yuvIn[y * 16 + x], y % 2 == 0 ? 81 : 40);
  }
  const uint8_t* v = yuvIn + Yuv420Frame::vOffset(16, 16);
  const uint8_t* u = yuvIn + Yuv420Frame::uOffset(16, 16);
  for (int j = 0; j < 8; ++j) {
    for (int i = 0; i < 8; ++i) {
      ASSERT_EQ(u[j * 8 + i], j % 2 == 0 ? 90 : 239);
      ASSERT_EQ(v[j * 8 + i], j % 2 == 0 ? 239 : 110);
    }
  }
}

}  // namespace
}  // namespace wdi::test
