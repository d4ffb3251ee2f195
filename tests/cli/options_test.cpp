#include "cli/options.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace wdi::cli {
namespace {

// Parses "wdeint <args...>"; returns the error text, empty on success.
std::string parse(std::vector<const char*> args, CliOptions* o) {
  args.insert(args.begin(), "wdeint");
  std::string error;
  const bool ok = parseCommandLine(static_cast<int>(args.size()), args.data(), o, &error);
  EXPECT_EQ(ok, error.empty());
  return error;
}

uint32_t pattern(int32_t v) {
  uint32_t u;
  std::memcpy(&u, &v, sizeof u);
  return u;
}

TEST(Options, DefaultsAreTheEngineDefaults) {
  CliOptions o;
  ASSERT_EQ(parse({"in.y4m", "out.y4m"}, &o), "");
  EXPECT_EQ(std::memcmp(&o.params, &kDefaultParameters, sizeof o.params), 0);
  EXPECT_EQ(o.input, "in.y4m");
  EXPECT_EQ(o.output, "out.y4m");
  EXPECT_EQ(o.threads, 0u);
}

TEST(Options, EachOptionSetsItsField) {
  CliOptions o;
  ASSERT_EQ(
      parse({"--method", "2", "--search-area=-7", "--detection-threshold", "4294967295",
             "--block-distance-threshold=2147483648", "--replacement-threshold", "-2147483648",
             "--replace-only-interlaced", "--search-on-interpolated", "-", "-"},
            &o),
      "");
  EXPECT_EQ(o.params.method, 2);
  EXPECT_EQ(o.params.searchArea, -7);
  EXPECT_EQ(pattern(o.params.detectionThreshold), 4294967295u);
  EXPECT_EQ(pattern(o.params.blockDistanceThreshold), 2147483648u);
  EXPECT_EQ(o.params.replacementThreshold, INT32_MIN);
  EXPECT_EQ(o.params.replaceOnlyInterlaced, 1);
  EXPECT_EQ(o.params.searchOnInterpolated, 1);
  EXPECT_EQ(o.input, "-");
  EXPECT_EQ(o.output, "-");
}

TEST(Options, RangeEdgesAccepted) {
  CliOptions o;
  ASSERT_EQ(parse({"--method", "0", "--search-area", "2147483647", "--detection-threshold", "0",
                   "--replacement-threshold", "2147483647", "a", "b"},
                  &o),
            "");
  EXPECT_EQ(o.params.method, 0);
  EXPECT_EQ(o.params.searchArea, INT32_MAX);
  EXPECT_EQ(o.params.detectionThreshold, 0);
  ASSERT_EQ(parse({"--method=5", "a", "b"}, &o), "");
  EXPECT_EQ(o.params.method, 5);
}

TEST(Options, OutOfRangeValuesRefusedWithTheirName) {
  const std::vector<std::vector<const char*>> bad = {
      {"--method", "7"},
      {"--method", "-1"},
      {"--method", "4x"},
      {"--search-area", "2147483648"},
      {"--search-area", "-2147483649"},
      {"--search-area", ""},
      {"--search-area", "+3"},
      {"--replacement-threshold", "99999999999999999999"},
      {"--detection-threshold", "4294967296"},
      {"--detection-threshold", "-1"},
      {"--block-distance-threshold", "0x10"},
      {"--block-distance-threshold", " 5"},
      {"--threads", "0"},
      {"--cpu", "avx512"},
  };
  for (auto args : bad) {
    CliOptions o;
    const std::string name = args[0];
    args.push_back("in");
    args.push_back("out");
    const std::string error = parse(args, &o);
    EXPECT_NE(error.find(name), std::string::npos) << name << " " << args[1] << ": " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
}

TEST(Options, UsageErrors) {
  CliOptions o;
  EXPECT_NE(parse({}, &o), "");
  EXPECT_NE(parse({"in"}, &o), "");
  EXPECT_NE(parse({"a", "b", "c"}, &o), "");
  EXPECT_NE(parse({"--bogus", "a", "b"}, &o), "");
  EXPECT_NE(parse({"a", "b", "--method"}, &o), "");
  EXPECT_NE(parse({"--quiet=1", "a", "b"}, &o), "");
  EXPECT_NE(parse({"--demo", "d", "a", "b"}, &o), "");
  EXPECT_NE(parse({"--demo-progressive", "a", "b"}, &o), "");
  EXPECT_EQ(parse({"--rect", "+0,0,15,15", "a", "b"}, &o), "");  // YUV4MPEG2 takes it too
  EXPECT_EQ(parse({"--field-type", "1", "a", "b"}, &o), "--field-type needs --bgr24");
  EXPECT_EQ(parse({"--keep-field", "top", "a", "b"}, &o), "");
  EXPECT_TRUE(o.keepTop);
  EXPECT_NE(parse({"--keep-field", "left", "a", "b"}, &o), "");
  EXPECT_NE(parse({"--bgr24", "16x16", "--keep-field", "top", "a", "b"}, &o), "");
  // The host's own stream has no method 6.
  EXPECT_NE(parse({"--bgr24", "16x16", "--method", "6", "a", "b"}, &o), "");
  EXPECT_EQ(parse({"--method", "6", "a", "b"}, &o), "");
  EXPECT_EQ(parse({"--rate", "field", "--field-order", "bff", "--frames", "5:", "a", "b"}, &o), "");
  EXPECT_TRUE(o.fieldRate);
  EXPECT_EQ(o.fieldOrder, FieldOrder::Bff);
  EXPECT_EQ(o.firstFrame, 5u);
  EXPECT_EQ(o.frameCount, kAllFrames);
  EXPECT_EQ(parse({"--frames", "2:9", "a", "b"}, &o), "");
  EXPECT_EQ(o.frameCount, 9u);
  for (const char* bad : {"", ":3", "x", "1:-2", "99999999999999999999"}) {
    EXPECT_NE(parse({"--frames", bad, "a", "b"}, &o), "") << bad;
  }
  EXPECT_NE(parse({"--rate", "double", "a", "b"}, &o), "");
  EXPECT_NE(parse({"--frames", "1", "--demo", "d"}, &o), "");
  EXPECT_NE(parse({"--quiet", "--verbose", "a", "b"}, &o), "");
  EXPECT_NE(parse({"--demo-size", "721x576", "--demo", "d"}, &o), "");
  EXPECT_EQ(parse({"--help"}, &o), "");
  EXPECT_TRUE(o.help);
  // "--" ends the options, so a file may start with '-'.
  EXPECT_EQ(parse({"--", "-in", "--out"}, &o), "");
  EXPECT_EQ(o.input, "-in");
  EXPECT_EQ(o.output, "--out");
}

TEST(Options, NumberParsers) {
  uint32_t u = 7;
  EXPECT_TRUE(parseUint32("0", &u));
  EXPECT_EQ(u, 0u);
  EXPECT_TRUE(parseUint32("0004294967295", &u));
  EXPECT_EQ(u, 4294967295u);
  EXPECT_FALSE(parseUint32("", &u));
  EXPECT_FALSE(parseUint32("-0", &u));
  int32_t i = 0;
  EXPECT_TRUE(parseInt32("-2147483648", &i));
  EXPECT_EQ(i, INT32_MIN);
  EXPECT_TRUE(parseInt32("-0", &i));
  EXPECT_EQ(i, 0);
  EXPECT_FALSE(parseInt32("-", &i));
  EXPECT_FALSE(parseInt32("2147483648", &i));
  uint32_t w = 0, h = 0;
  EXPECT_TRUE(parseSize("720x576", &w, &h));
  EXPECT_EQ(w, 720u);
  EXPECT_EQ(h, 576u);
  EXPECT_FALSE(parseSize("0x576", &w, &h));
  EXPECT_FALSE(parseSize("720x", &w, &h));
  EXPECT_FALSE(parseSize("720*576", &w, &h));
}

TEST(Options, Rectangles) {
  RectOption r{};
  ASSERT_TRUE(parseRect("+1,2,300,-4", &r));
  EXPECT_TRUE(r.include);
  EXPECT_EQ(r.left, 1);
  EXPECT_EQ(r.top, 2);
  EXPECT_EQ(r.right, 300);
  EXPECT_EQ(r.bottom, -4);
  ASSERT_TRUE(parseRect("-0,0,15,15", &r));
  EXPECT_FALSE(r.include);
  EXPECT_FALSE(parseRect("0,0,15,15", &r));
  EXPECT_FALSE(parseRect("+0,0,15", &r));
  EXPECT_FALSE(parseRect("+0,0,15,15,", &r));
  EXPECT_FALSE(parseRect("+0,0,15,15,1", &r));
  EXPECT_FALSE(parseRect("+0,,15,15", &r));
}

}  // namespace
}  // namespace wdi::cli
