// The C API's own rules: statuses, option ranges, refusals; its bytes are
// checked against wdeint from a C program (install_test.sh).
#include <gtest/gtest.h>
#include <wdeinterlace.h>

#include <string>
#include <vector>

namespace {

TEST(CApi, StatusesOptionsAndRefusals) {
  EXPECT_STREQ(wdi_version(), "1.0.0");
  for (int s = WDI_ERR_INTERNAL; s <= WDI_OK; ++s) {
    EXPECT_STRNE(wdi_status_text(s), wdi_status_text(42)) << s;
  }
  int status = WDI_OK;
  EXPECT_EQ(wdi_create(0, 10, &status), nullptr);
  EXPECT_EQ(status, WDI_ERR_BAD_SIZE);
  EXPECT_EQ(wdi_create(10, 16385, nullptr), nullptr);
  wdi_stream* s = wdi_create(33, 17, &status);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(status, WDI_OK);

  long v = 0;
  EXPECT_EQ(wdi_get_option(s, WDI_OPTION_METHOD, &v), WDI_OK);
  EXPECT_EQ(v, 4);
  EXPECT_EQ(wdi_set_option(s, WDI_OPTION_METHOD, 7), WDI_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(wdi_set_option(s, WDI_OPTION_METHOD, 6), WDI_OK);
  EXPECT_EQ(wdi_set_field_order(s, WDI_BOTTOM_FIELD_FIRST), WDI_OK);
  EXPECT_EQ(wdi_set_field_order(s, 2), WDI_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(wdi_set_option(s, WDI_OPTION_METHOD, -1), WDI_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(wdi_set_option(s, 99, 0), WDI_ERR_INVALID_ARGUMENT);
  // A negative pattern reads back as its unsigned value.
  EXPECT_EQ(wdi_set_option(s, WDI_OPTION_DETECTION_THRESHOLD, -1), WDI_OK);
  EXPECT_EQ(wdi_get_option(s, WDI_OPTION_DETECTION_THRESHOLD, &v), WDI_OK);
  EXPECT_EQ(v, 4294967295L);
  EXPECT_EQ(wdi_set_option(s, WDI_OPTION_BLOCK_DISTANCE_THRESHOLD, 4294967296L),
            WDI_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(wdi_set_option(s, WDI_OPTION_SEARCH_AREA, 2147483648L), WDI_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(wdi_set_option(s, WDI_OPTION_REPLACE_ONLY_INTERLACED, 2), WDI_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(wdi_set_option(s, WDI_OPTION_SEARCH_ON_INTERPOLATED, 1), WDI_OK);
  EXPECT_EQ(wdi_set_kept_field(s, 2), WDI_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(wdi_set_kept_field(s, WDI_FIELD_TOP), WDI_OK);

  EXPECT_EQ(wdi_add_rect(s, 1, 5, 5, 5, 5), WDI_ERR_RECT_REFUSED);
  EXPECT_EQ(wdi_add_rect(s, 1, 0, 0, 2147483648L, 5), WDI_ERR_RECT_REFUSED);
  EXPECT_EQ(wdi_add_rect(s, 0, 0, 0, 15, 7), WDI_OK);
  EXPECT_EQ(wdi_load_region(s, "/nonexistent/region.rect"), WDI_ERR_REGION_FILE_OPEN);
  EXPECT_EQ(wdi_load_region(s, nullptr), WDI_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(wdi_clear_region(s), WDI_OK);

  std::vector<unsigned char> in(33 * 17 + 2 * 17 * 9, 77), out(in.size());
  const unsigned char* planesIn[3] = {in.data(), in.data() + 33 * 17, in.data() + 33 * 17 + 153};
  unsigned char* planesOut[3] = {out.data(), out.data() + 33 * 17, out.data() + 33 * 17 + 153};
  const ptrdiff_t strides[3] = {33, 17, 17};
  EXPECT_EQ(wdi_process(s, planesIn, strides, planesOut, strides), WDI_OK);
  EXPECT_EQ(out, in);  // a flat picture has no comb
  planesOut[2] = nullptr;
  EXPECT_EQ(wdi_process(s, planesIn, strides, planesOut, strides), WDI_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(wdi_process(nullptr, planesIn, strides, planesOut, strides), WDI_ERR_INVALID_ARGUMENT);
  wdi_destroy(s);
  wdi_destroy(nullptr);
}

}  // namespace
