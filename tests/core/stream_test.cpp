// The core stream against its definition, step by step: pad, (mirror), run
// the engine, (mirror back), the block mask of the region, crop.
#include "core/stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "pipeline/yuv420_frame.h"
#include "region/block_mask.h"
#include "support/guarded_buffer.h"
#include "support/temp_dir.h"

namespace wdi::core {
namespace {

// A picture in Y4M order (Y, Cb, Cr packed): a still texture with bars that
// move between the two fields, so every method finds combs to work on.
std::vector<uint8_t> combedPicture(const FrameGeometry& g, uint32_t seed) {
  std::mt19937 rng = test::seededRng(seed);
  std::vector<uint8_t> p(g.pictureBytes());
  test::fillRandom(p.data(), p.size(), rng);
  for (uint32_t y = 0; y < g.height; ++y) {
    for (uint32_t x = 0; x < g.width; ++x) {
      const bool bar = ((x + 5 * (y & 1)) / 7) % 2 == 0;
      uint8_t& v = p[size_t{y} * g.width + x];
      v = static_cast<uint8_t>(bar ? 220 - (v & 15) : 30 + (v & 31));
    }
  }
  return p;
}

void mirror(uint8_t* frame, uint32_t w, uint32_t h) {
  auto flip = [](uint8_t* plane, size_t stride, size_t rows) {
    for (size_t r = 0; r < rows / 2; ++r) {
      std::swap_ranges(plane + r * stride, plane + (r + 1) * stride,
                       plane + (rows - 1 - r) * stride);
    }
  };
  flip(frame, w, h);
  flip(frame + Yuv420Frame::vOffset(w, h), w / 2, h / 2);
  flip(frame + Yuv420Frame::uOffset(w, h), w / 2, h / 2);
}

// The definition written out with the bare engine and the region functions.
std::vector<uint8_t> model(const std::vector<uint8_t>& picture, const FrameGeometry& g,
                           const DeinterlaceParameters& params, bool top, const CRectList* region) {
  std::vector<uint8_t> in(g.engineBytes()), out(g.engineBytes()), work(g.engineBytes());
  PlaneRef planes[3], packed[3];
  pictureInEngineFrame(in.data(), g, planes);
  packedPicture(const_cast<uint8_t*>(picture.data()), g, packed);
  for (int p = 0; p < 3; ++p) {
    for (uint32_t r = 0; r < planes[p].height; ++r) {
      std::memcpy(planes[p].data + r * planes[p].stride, packed[p].data + r * packed[p].stride,
                  planes[p].width);
    }
  }
  padEngineFrame(in.data(), g);
  MEDeinterlacer engine;
  engine.init(g.paddedWidth, g.paddedHeight);
  work = in;
  if (top) mirror(work.data(), g.paddedWidth, g.paddedHeight);
  engine.process(work.data(), out.data(), &params);
  if (top) mirror(out.data(), g.paddedWidth, g.paddedHeight);
  const auto w = static_cast<int32_t>(g.paddedWidth);
  const auto h = static_cast<int32_t>(g.paddedHeight);
  std::vector<int32_t> mask(BlockMaskEntries(w, h), 1);
  BuildBlockMask(mask.data(), region, w, h);
  ApplyBlockMask(mask.data(), in.data(), out.data(), w, h);
  std::vector<uint8_t> result(g.pictureBytes());
  packedPicture(result.data(), g, packed);
  pictureInEngineFrame(out.data(), g, planes);
  for (int p = 0; p < 3; ++p) {
    for (uint32_t r = 0; r < planes[p].height; ++r) {
      std::memcpy(packed[p].data + r * packed[p].stride, planes[p].data + r * planes[p].stride,
                  planes[p].width);
    }
  }
  return result;
}

// Runs the stream on a packed picture through strided planes with gaps, and
// checks that the gaps stay as they were.
std::vector<uint8_t> runStream(Stream& s, const std::vector<uint8_t>& picture) {
  const FrameGeometry& g = s.geometry();
  PlaneRef packed[3];
  packedPicture(const_cast<uint8_t*>(picture.data()), g, packed);
  std::vector<uint8_t> result(g.pictureBytes());
  PlaneRef outPacked[3];
  packedPicture(result.data(), g, outPacked);
  InPlane in[3];
  OutPlane out[3];
  std::vector<std::vector<uint8_t>> outBuffers(3);
  for (int p = 0; p < 3; ++p) {
    in[p] = {packed[p].data, static_cast<ptrdiff_t>(packed[p].stride)};
    const size_t stride = packed[p].width + 7;
    outBuffers[p].assign(stride * packed[p].height, 0xA5);
    out[p] = {outBuffers[p].data(), static_cast<ptrdiff_t>(stride)};
  }
  s.process(in, out);
  for (int p = 0; p < 3; ++p) {
    const size_t stride = packed[p].width + 7;
    for (uint32_t r = 0; r < packed[p].height; ++r) {
      const uint8_t* row = outBuffers[p].data() + r * stride;
      std::memcpy(outPacked[p].data + r * packed[p].width, row, packed[p].width);
      for (size_t x = packed[p].width; x < stride; ++x) EXPECT_EQ(row[x], 0xA5);
    }
  }
  return result;
}

// One stream per case keeps the fields in turn, on a new picture each time:
// nothing of the other orientation's frame may show through.
TEST(CoreStream, BothFieldsEqualTheirDefinitionForEveryMethodSizeAndRegion) {
  CRectList region;
  region.AddRect(false, 8, 0, 40, 23);
  region.AddRect(true, 16, 8, 23, 15);
  for (const auto& size : {std::pair<uint32_t, uint32_t>{48, 32}, {50, 38}}) {
    for (int32_t method = 0; method <= 5; ++method) {
      for (const CRectList* r :
           {static_cast<const CRectList*>(nullptr), static_cast<const CRectList*>(&region)}) {
        Status status = Status::Internal;
        auto s = Stream::create(size.first, size.second, &status);
        ASSERT_EQ(status, Status::Ok);
        DeinterlaceParameters params = kDefaultParameters;
        params.method = method;
        params.replacementThreshold = method == 5 ? 20 : 0;
        params.blockDistanceThreshold = 1 << 20;
        s->setParameters(params);
        if (r != nullptr) {
          ASSERT_EQ(s->setRegion(*r), Status::Ok);
        }
        uint32_t seed = 7u + 3u * static_cast<uint32_t>(method);
        for (const bool top : {false, true, false, true}) {
          s->setKeptField(top ? Field::Top : Field::Bottom);
          const auto picture = combedPicture(s->geometry(), seed++);
          EXPECT_EQ(runStream(*s, picture), model(picture, s->geometry(), params, top, r))
              << size.first << "x" << size.second << " method " << method << " top " << top
              << " region " << (r != nullptr);
        }
      }
    }
  }
}

TEST(CoreStream, TopFieldKeepsTheEvenRows) {
  auto s = Stream::create(64, 32, nullptr);
  s->setKeptField(Field::Top);
  const auto picture = combedPicture(s->geometry(), 3);
  const auto out = runStream(*s, picture);
  for (uint32_t y = 0; y < 32; y += 2) {
    EXPECT_EQ(std::memcmp(&out[y * 64], &picture[y * 64], 64), 0) << y;
  }
  EXPECT_NE(out, picture);
}

TEST(CoreStream, RefusesSizesAndRectanglesAndKeepsTheRegionOnAFailedLoad) {
  Status status = Status::Ok;
  EXPECT_EQ(Stream::create(0, 16, &status), nullptr);
  EXPECT_EQ(status, Status::BadSize);
  EXPECT_EQ(Stream::create(16, kMaxSide + 1, &status), nullptr);
  EXPECT_EQ(status, Status::BadSize);
  auto s = Stream::create(1, 1, &status);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->addRect(true, 3, 3, 3, 3), Status::RectRefused);
  EXPECT_EQ(s->addRect(true, -1, 0, 3, 3), Status::RectRefused);
  EXPECT_EQ(s->addRect(false, 0, 0, 7, 7), Status::Ok);

  test::TempDir dir;
  const std::string bad = dir.path() + "/bad.rect";
  std::FILE* f = std::fopen(bad.c_str(), "wb");
  std::fputs("[[(0,0)-(x,7)]]\r\npresent=1\r\n", f);
  std::fclose(f);
  EXPECT_EQ(s->loadRegion(bad.c_str()), Status::RegionFileInvalid);
  EXPECT_EQ(s->loadRegion((dir.path() + "/missing.rect").c_str()), Status::RegionFileUnreadable);
  ASSERT_EQ(s->region().entries.size(), 1u);
  EXPECT_FALSE(s->region().entries.front().include);
  s->clearRegion();
  EXPECT_TRUE(s->region().entries.empty());
}

TEST(CoreStream, StreamsOnSeveralThreadsAtOnceGiveTheBytesOfOneAtATime) {
  const FrameGeometry g = makeGeometry(96, 64);
  std::vector<std::vector<uint8_t>> pictures;
  for (uint32_t i = 0; i < 6; ++i) pictures.push_back(combedPicture(g, 100 + i));
  auto runAll = [&](int method) {
    auto s = Stream::create(g.width, g.height, nullptr);
    DeinterlaceParameters params = kDefaultParameters;
    params.method = method;
    s->setParameters(params);
    s->setKeptField(method % 2 == 0 ? Field::Top : Field::Bottom);
    std::vector<std::vector<uint8_t>> out;
    for (int round = 0; round < 5; ++round) {
      for (const auto& p : pictures) out.push_back(runStream(*s, p));
    }
    return out;
  };
  std::vector<std::vector<std::vector<uint8_t>>> alone, together(4);
  for (int m = 2; m < 6; ++m) alone.push_back(runAll(m));
  std::vector<std::thread> threads;
  for (int m = 2; m < 6; ++m) threads.emplace_back([&, m] { together[m - 2] = runAll(m); });
  for (auto& t : threads) t.join();
  EXPECT_EQ(together, alone);
}

}  // namespace
}  // namespace wdi::core
