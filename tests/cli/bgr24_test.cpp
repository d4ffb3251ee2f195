// wdeint --bgr24 against the host stand-in driving the same module in
// process: the tool must drive vfAction exactly as a host of version 7 does.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "host/host_standin.h"
#include "region/rect_list.h"
#include "support/temp_dir.h"

namespace wdi {
namespace {

class Bgr24 : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(tmp_.path().empty());
    dir_ = tmp_.path();
  }
  void TearDown() override {
    if (regionList != nullptr) regionList->entries.clear();
  }
  test::TempDir tmp_;
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  int run(const std::string& args) {
    const std::string cmd = "'" WDEINT_PATH "' " + args + " 2>'" + path("err.txt") + "' </dev/null";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::vector<uint8_t> read(const std::string& name) const {
    std::ifstream f(path(name), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
  }
  std::string text(const std::string& name) const {
    const std::vector<uint8_t> v = read(name);
    return std::string(v.begin(), v.end());
  }
  void write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream(path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }

  // Images of w x h through the stand-in: a frame stream, or a field stream
  // whose images alternate first and second field.
  std::vector<uint8_t> expected(const std::vector<uint8_t>& input, int32_t w, int32_t h,
                                bool fields, const DeinterlaceParameters& options) {
    test::HostStandin host(7);
    host.options = options;
    host.Start(w, h, fields ? FieldOrderA : FrameBased);
    const size_t bytes = test::Bgr24Bytes(w, h);
    std::vector<uint8_t> out(input.size());
    for (size_t i = 0; i * bytes < input.size(); ++i) {
      host.Process(input.data() + i * bytes, out.data() + i * bytes, fields && (i & 1));
    }
    host.End();
    return out;
  }

  std::string dir_;
};

std::vector<uint8_t> randomImages(int32_t w, int32_t h, int count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v;
  for (int i = 0; i < count; ++i) {
    const std::vector<uint8_t> image = test::RandomBgr24(w, h, rng);
    v.insert(v.end(), image.begin(), image.end());
  }
  return v;
}

TEST_F(Bgr24, FramesMatchTheHostForEveryMethod) {
  const std::vector<uint8_t> input = randomImages(64, 32, 3, 21);
  write("in.bgr", input);
  for (int method = 0; method <= 5; ++method) {
    DeinterlaceParameters p = kDefaultParameters;
    p.method = method;
    p.replaceOnlyInterlaced = 1;
    ASSERT_EQ(run("--bgr24 64x32 --replace-only-interlaced --method " + std::to_string(method) +
                  " '" + path("in.bgr") + "' '" + path("out.bgr") + "'"),
              0)
        << text("err.txt");
    EXPECT_EQ(read("out.bgr"), expected(input, 64, 32, false, p)) << "method " << method;
  }
  EXPECT_EQ(read("out.bgr") == input, false);
}

TEST_F(Bgr24, FieldPairsMatchTheHost) {
  const std::vector<uint8_t> input = randomImages(48, 16, 5, 22);  // odd count: last one held
  write("in.bgr", input);
  ASSERT_EQ(run("--bgr24 48x32 --field-type 1 '" + path("in.bgr") + "' '" + path("out.bgr") + "'"),
            0)
      << text("err.txt");
  EXPECT_EQ(read("out.bgr"), expected(input, 48, 16, true, kDefaultParameters));
}

TEST_F(Bgr24, RectanglesAndRegionFilesMatchTheHost) {
  const std::vector<uint8_t> input = randomImages(64, 48, 2, 23);
  write("in.bgr", input);
  ASSERT_EQ(run("--bgr24 64x48 --rect -0,0,31,47 --rect +8,8,15,15 --rect +9,9,9,9 '" +
                path("in.bgr") + "' '" + path("rect.bgr") + "'"),
            0);
  EXPECT_EQ(text("err.txt"),
            "wdeint: warning: rectangle +9,9,9,9 refused (negative or inverted edges, or a "
            "single pixel)\n");
  // The same region from a file, then the stand-in with the region in process.
  std::ofstream(path("r.rect")) << "[[(0,0)-(31,47)]]\r\npresent=0\r\n[[(8,8)-(15,15)]]\r\n"
                                   "present=1\r\n";
  ASSERT_EQ(run("--bgr24 64x48 --region '" + path("r.rect") + "' '" + path("in.bgr") + "' '" +
                path("file.bgr") + "'"),
            0)
      << text("err.txt");
  EXPECT_EQ(read("file.bgr"), read("rect.bgr"));

  test::HostStandin first;  // creates the process-wide region
  first.Send(-1);
  ASSERT_NE(regionList, nullptr);
  regionList->entries.clear();
  regionList->AddRect(false, 0, 0, 31, 47);
  regionList->AddRect(true, 8, 8, 15, 15);
  EXPECT_EQ(read("rect.bgr"), expected(input, 64, 48, false, kDefaultParameters));
  regionList->entries.clear();
  EXPECT_NE(read("rect.bgr"), expected(input, 64, 48, false, kDefaultParameters));
}

// A regular file is mapped and a pipe is read: both must give the same images and refusals.
TEST_F(Bgr24, PipedInputMatchesTheFile) {
  const std::vector<uint8_t> input = randomImages(64, 32, 3, 26);
  write("in.bgr", input);
  ASSERT_EQ(run("--bgr24 64x32 '" + path("in.bgr") + "' '" + path("file.bgr") + "'"), 0);
  const std::string piped = "cat '" + path("in.bgr") + "' | '" WDEINT_PATH "' --bgr24 64x32 - '" +
                            path("pipe.bgr") + "' 2>'" + path("err.txt") + "'";
  ASSERT_EQ(std::system(piped.c_str()), 0) << text("err.txt");
  EXPECT_EQ(read("pipe.bgr"), read("file.bgr"));
  EXPECT_EQ(read("file.bgr"), expected(input, 64, 32, false, kDefaultParameters));

  std::vector<uint8_t> cut = input;
  cut.resize(cut.size() - 5);
  write("cut.bgr", cut);
  EXPECT_EQ(run("--bgr24 64x32 '" + path("cut.bgr") + "' '" + path("file.bgr") + "'"), 2);
  const std::string fileError = text("err.txt");
  const std::string pipedCut = "cat '" + path("cut.bgr") +
                               "' | '" WDEINT_PATH "' --bgr24 64x32 - '" + path("pipe.bgr") +
                               "' 2>'" + path("err.txt") + "'";
  EXPECT_NE(std::system(pipedCut.c_str()), 0);
  EXPECT_EQ(read("pipe.bgr"), read("file.bgr"));
  EXPECT_NE(fileError.find("image 3 truncated (6139 of 6144 bytes)"), std::string::npos)
      << fileError;
  EXPECT_NE(text("err.txt").find("image 3 truncated (6139 of 6144 bytes)"), std::string::npos);

  write("empty.bgr", {});
  EXPECT_EQ(run("--bgr24 64x32 '" + path("empty.bgr") + "' '" + path("file.bgr") + "'"), 0);
  EXPECT_TRUE(read("file.bgr").empty());
}

TEST_F(Bgr24, SizesTheModuleRefusesAreCopiedWithItsMessage) {
  const std::vector<uint8_t> input = randomImages(40, 30, 2, 24);
  write("in.bgr", input);
  ASSERT_EQ(run("--bgr24 40x30 '" + path("in.bgr") + "' '" + path("out.bgr") + "'"), 0);
  EXPECT_EQ(read("out.bgr"), input);
  EXPECT_EQ(text("err.txt"),
            "wdeint: Wyndvale Deinterlace. Error: Width(40) and height(30) of image must be "
            "divided by 16. Filter will be only copy image.\n");
}

TEST_F(Bgr24, Refusals) {
  write("in.bgr", randomImages(16, 16, 2, 25));
  std::vector<uint8_t> cut = read("in.bgr");
  cut.pop_back();
  write("cut.bgr", cut);
  EXPECT_EQ(run("--bgr24 16x16 '" + path("cut.bgr") + "' '" + path("out.bgr") + "'"), 2);
  EXPECT_NE(text("err.txt").find("image 2 truncated"), std::string::npos) << text("err.txt");
  EXPECT_EQ(read("out.bgr").size(), 16u * 16 * 3);  // the whole first image only

  EXPECT_EQ(run("--bgr24 16x15 --field-type 1 '" + path("in.bgr") + "' '" + path("o.bgr") + "'"),
            2);
  EXPECT_EQ(run("--bgr24 16x16384000 '" + path("in.bgr") + "' '" + path("o.bgr") + "'"), 2);
  std::ofstream(path("bad.rect")) << "[[(5,5)-(1,1)]]\r\npresent=1\r\n";
  EXPECT_EQ(run("--bgr24 16x16 --region '" + path("bad.rect") + "' '" + path("in.bgr") + "' '" +
                path("o.bgr") + "'"),
            2);
  EXPECT_NE(text("err.txt").find("bad.rect: "), std::string::npos);
  EXPECT_EQ(run("--bgr24 16x16 --region '" + path("none.rect") + "' '" + path("in.bgr") + "' '" +
                path("o.bgr") + "'"),
            2);
  EXPECT_NE(text("err.txt").find("none.rect: cannot open"), std::string::npos);
}

}  // namespace
}  // namespace wdi
