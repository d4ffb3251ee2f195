#include "pipeline/padding.h"

#include <gtest/gtest.h>

#include <vector>

#include "pipeline/yuv420_frame.h"

namespace wdi {
namespace {

TEST(Padding, GeometryRoundsUpToMultiplesOf16) {
  const FrameGeometry g = makeGeometry(720, 486);
  EXPECT_EQ(g.paddedWidth, 720u);
  EXPECT_EQ(g.paddedHeight, 496u);
  EXPECT_EQ(g.chromaWidth, 360u);
  EXPECT_EQ(g.chromaHeight, 243u);
  EXPECT_TRUE(g.needsPadding());
  EXPECT_EQ(g.pictureBytes(), 720u * 486 + 2u * 360 * 243);
  EXPECT_EQ(g.engineBytes(), 720u * 496 * 3 / 2);
  const FrameGeometry odd = makeGeometry(17, 5);
  EXPECT_EQ(odd.chromaWidth, 9u);
  EXPECT_EQ(odd.chromaHeight, 3u);
  EXPECT_EQ(odd.paddedWidth, 32u);
  EXPECT_EQ(odd.paddedHeight, 16u);
  EXPECT_FALSE(makeGeometry(1920, 1088).needsPadding());
}

TEST(Padding, PictureLandsInYThenCrAsVThenCbAsU) {
  const FrameGeometry g = makeGeometry(32, 16);
  std::vector<uint8_t> frame(g.engineBytes());
  PlaneRef planes[3];
  pictureInEngineFrame(frame.data(), g, planes);
  EXPECT_EQ(planes[0].data, frame.data());
  // Y4M's second plane (Cb) is the engine's U plane, which comes last.
  EXPECT_EQ(planes[1].data, frame.data() + Yuv420Frame::uOffset(32, 16));
  EXPECT_EQ(planes[2].data, frame.data() + Yuv420Frame::vOffset(32, 16));
  EXPECT_EQ(Yuv420Frame::vOffset(32, 16), 512u);
  EXPECT_EQ(Yuv420Frame::uOffset(32, 16), 640u);
  EXPECT_EQ(planes[1].stride, 16u);
  EXPECT_EQ(planes[1].width, 16u);
}

TEST(Padding, RowsRepeatTheLastRowOfTheirFieldAndColumnsTheLastColumn) {
  // 3x5 picture in a 4-wide, 9-row plane: rows 5..8 must come from rows 3, 4, 3, 4.
  const size_t stride = 4;
  std::vector<uint8_t> plane(stride * 9, 0xEE);
  for (uint32_t y = 0; y < 5; ++y) {
    for (uint32_t x = 0; x < 3; ++x) plane[y * stride + x] = static_cast<uint8_t>(10 * y + x);
  }
  padPlane(plane.data(), stride, 3, 5, 9);
  for (uint32_t y = 0; y < 9; ++y) {
    const uint32_t from = y < 5 ? y : (y % 2 == 0 ? 4 : 3);
    for (uint32_t x = 0; x < 4; ++x) {
      EXPECT_EQ(plane[y * stride + x], 10 * from + (x < 3 ? x : 2)) << x << "," << y;
    }
  }
}

TEST(Padding, EvenHeightKeepsParity) {
  std::vector<uint8_t> plane(16 * 16);
  for (uint32_t y = 0; y < 6; ++y) {
    for (uint32_t x = 0; x < 16; ++x) plane[y * 16 + x] = static_cast<uint8_t>(y);
  }
  padPlane(plane.data(), 16, 16, 6, 16);
  for (uint32_t y = 6; y < 16; ++y) EXPECT_EQ(plane[y * 16 + 5], y % 2 ? 5 : 4) << y;
}

TEST(Padding, SingleRowRepeats) {
  std::vector<uint8_t> plane(8 * 4, 0);
  plane[0] = 1;
  plane[1] = 2;
  padPlane(plane.data(), 8, 2, 1, 4);
  for (uint32_t y = 0; y < 4; ++y) {
    EXPECT_EQ(plane[y * 8], 1);
    for (uint32_t x = 1; x < 8; ++x) EXPECT_EQ(plane[y * 8 + x], 2);
  }
}

TEST(Padding, ChromaIsPaddedByItsOwnRowParity) {
  // 720x486: chroma has 243 rows (odd) and is padded to 248.
  const FrameGeometry g = makeGeometry(720, 486);
  std::vector<uint8_t> frame(g.engineBytes(), 0);
  PlaneRef planes[3];
  pictureInEngineFrame(frame.data(), g, planes);
  for (int p = 0; p < 3; ++p) {
    for (uint32_t y = 0; y < planes[p].height; ++y) {
      for (uint32_t x = 0; x < planes[p].width; ++x) {
        planes[p].data[y * planes[p].stride + x] = static_cast<uint8_t>((y % 2) * 100 + p);
      }
    }
  }
  padEngineFrame(frame.data(), g);
  for (int p = 0; p < 3; ++p) {
    const uint32_t rows = p == 0 ? g.paddedHeight : g.paddedHeight / 2;
    for (uint32_t y = planes[p].height; y < rows; ++y) {
      EXPECT_EQ(planes[p].data[y * planes[p].stride], (y % 2) * 100 + p) << p << " row " << y;
    }
  }
}

TEST(Padding, AlignedFramesAreLeftAlone) {
  const FrameGeometry g = makeGeometry(16, 16);
  std::vector<uint8_t> frame(g.engineBytes(), 7);
  padEngineFrame(frame.data(), g);
  for (uint8_t b : frame) ASSERT_EQ(b, 7);
}

}  // namespace
}  // namespace wdi
