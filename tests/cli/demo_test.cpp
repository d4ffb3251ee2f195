#include "cli/demo.h"

#include <gtest/gtest.h>

#include <vector>

namespace wdi::cli {
namespace {

TEST(Demo, WeaveTakesEvenRowsOfEveryPlaneFromTheTopPicture) {
  const uint32_t w = 4, h = 4;  // Y 16 bytes, Cb and Cr 2x2 each
  std::vector<uint8_t> top(24, 1), bottom(24, 2), frame(24, 0);
  weaveFields(top.data(), bottom.data(), w, h, frame.data());
  for (uint32_t y = 0; y < 4; ++y) {
    for (uint32_t x = 0; x < 4; ++x) EXPECT_EQ(frame[y * 4 + x], y % 2 ? 2 : 1);
  }
  for (size_t plane = 16; plane < 24; plane += 4) {
    EXPECT_EQ(frame[plane + 0], 1);
    EXPECT_EQ(frame[plane + 1], 1);
    EXPECT_EQ(frame[plane + 2], 2);
    EXPECT_EQ(frame[plane + 3], 2);
  }
}

TEST(Demo, ScenesMoveAndStayInRange) {
  const DemoScene scene(64, 48);
  std::vector<uint8_t> a(scene.pictureBytes()), b(scene.pictureBytes()), again(a.size());
  scene.render(10, a.data());
  scene.render(11, b.data());
  scene.render(10, again.data());
  EXPECT_EQ(a, again);  // deterministic
  EXPECT_NE(a, b);      // something moves between fields
  for (size_t i = 0; i < 64 * 48; ++i) {
    ASSERT_GE(a[i], 16);
    ASSERT_LE(a[i], 235);
  }
  for (size_t i = 64 * 48; i < a.size(); ++i) {
    ASSERT_GE(a[i], 16);
    ASSERT_LE(a[i], 240);
  }
}

TEST(Demo, Bt601StudioRangeToRgb) {
  // 2x2 picture: black, white; one chroma sample each.
  const uint8_t cases[][5] = {
      // Y, Cb, Cr -> R, G, B
      {16, 128, 128, 0, 0},
      {235, 128, 128, 255, 255},
      {126, 128, 128, 128, 128},
      {82, 90, 240, 255, 0},  // studio red
  };
  for (const auto& c : cases) {
    const uint8_t picture[6] = {c[0], c[0], c[0], c[0], c[1], c[2]};
    uint8_t rgb[12] = {};
    pictureToRgb(picture, 2, 2, rgb, 6);
    EXPECT_EQ(rgb[0], c[3]) << int(c[0]);
    EXPECT_EQ(rgb[9], c[3]);
    if (c[1] == 128) {
      EXPECT_EQ(rgb[1], c[4]);
      EXPECT_EQ(rgb[2], c[4]);
    } else {
      EXPECT_LE(rgb[1], 2);  // green of studio red
      EXPECT_LE(rgb[2], 2);
    }
  }
}

}  // namespace
}  // namespace wdi::cli
