#include "cli/y4m.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace wdi::cli {
namespace {

// A read-only stdio stream over `bytes` (a temporary file, so the reader
// sees a real stream with its own buffering).
class MemoryFile {
 public:
  explicit MemoryFile(const std::string& bytes) : file_(std::tmpfile()) {
    std::fwrite(bytes.data(), 1, bytes.size(), file_);
    std::rewind(file_);
  }
  ~MemoryFile() { std::fclose(file_); }
  std::FILE* get() { return file_; }

 private:
  std::FILE* file_;
};

std::string refusal(const std::string& line) {
  Y4mHeader h;
  std::string error;
  EXPECT_FALSE(parseY4mHeader(line, &h, &error)) << line;
  EXPECT_EQ(error.find('\n'), std::string::npos);
  return error;
}

TEST(Y4mHeader, AcceptsThe8Bit420Variants) {
  for (const char* c : {"", " C420", " C420jpeg", " C420paldv", " C420mpeg2"}) {
    Y4mHeader h;
    std::string error;
    const std::string line = std::string("YUV4MPEG2 W720 H576 F25:1 It A16:15") + c + " XYSCSS=420";
    ASSERT_TRUE(parseY4mHeader(line, &h, &error)) << line << ": " << error;
    EXPECT_EQ(h.width, 720u);
    EXPECT_EQ(h.height, 576u);
  }
}

TEST(Y4mHeader, OddAndLimitSizesAccepted) {
  Y4mHeader h;
  std::string error;
  ASSERT_TRUE(parseY4mHeader("YUV4MPEG2 W1 H16384", &h, &error)) << error;
  EXPECT_EQ(h.width, 1u);
  EXPECT_EQ(h.height, 16384u);
}

TEST(Y4mHeader, RefusalsNameTheCause) {
  EXPECT_NE(refusal("YUV4MPEG W720 H576").find("not a YUV4MPEG2"), std::string::npos);
  EXPECT_NE(refusal("YUV4MPEG2W720 H576").find("not a YUV4MPEG2"), std::string::npos);
  EXPECT_NE(refusal("YUV4MPEG2 H576").find("no W"), std::string::npos);
  EXPECT_NE(refusal("YUV4MPEG2 W720").find("no H"), std::string::npos);
  EXPECT_NE(refusal("YUV4MPEG2 W0 H576").find("width"), std::string::npos);
  EXPECT_NE(refusal("YUV4MPEG2 W-720 H576").find("width"), std::string::npos);
  EXPECT_NE(refusal("YUV4MPEG2 W720 H16385").find("height"), std::string::npos);
  EXPECT_NE(refusal("YUV4MPEG2 W4294967297 H16").find("width"), std::string::npos);
  EXPECT_NE(refusal("YUV4MPEG2 W720x H576").find("width"), std::string::npos);
  EXPECT_NE(refusal("YUV4MPEG2 W720 H576 W720").find("twice"), std::string::npos);
  EXPECT_NE(refusal("YUV4MPEG2 W720 H576 C420 C420").find("twice"), std::string::npos);
  EXPECT_NE(refusal("YUV4MPEG2 W720  H576").find("empty tag"), std::string::npos);
  EXPECT_NE(refusal("YUV4MPEG2 W720 H576 ").find("empty tag"), std::string::npos);
  EXPECT_NE(refusal("YUV4MPEG2 W720 H576 Ix").find("interlace"), std::string::npos);
  EXPECT_NE(refusal("YUV4MPEG2 W720 H576 I").find("interlace"), std::string::npos);
  EXPECT_NE(refusal("YUV4MPEG2 W720 H576 Fx").find("frame rate"), std::string::npos);
  EXPECT_NE(refusal("YUV4MPEG2 W720 H576 F25").find("frame rate"), std::string::npos);
  EXPECT_NE(refusal("YUV4MPEG2 W720 H576 A1:").find("aspect"), std::string::npos);
  EXPECT_NE(refusal("YUV4MPEG2 W720 H576 1").find("bad tag"), std::string::npos);
  EXPECT_NE(refusal("YUV4MPEG2 W720 H576\r").find("height"), std::string::npos);
  for (const char* c : {"C420p10", "C420p16", "Cmono", "C444alpha", "C420JPEG", "C"}) {
    const std::string error = refusal(std::string("YUV4MPEG2 W720 H576 ") + c);
    EXPECT_NE(error.find("colour space"), std::string::npos) << c;
    EXPECT_NE(error.find(c), std::string::npos) << c;
  }
}

TEST(Y4mHeader, OutputHeaderIsTheInputsWithIp) {
  Y4mHeader h;
  std::string error;
  ASSERT_TRUE(parseY4mHeader(
      "YUV4MPEG2 W720 H576 F30000:1001 It A10:11 C420jpeg XCOLORRANGE=LIMITED", &h, &error));
  EXPECT_EQ(progressiveHeaderLine(h),
            "YUV4MPEG2 W720 H576 F30000:1001 Ip A10:11 C420jpeg XCOLORRANGE=LIMITED\n");
  ASSERT_TRUE(parseY4mHeader("YUV4MPEG2 W720 H576 F25:1", &h, &error));
  EXPECT_EQ(progressiveHeaderLine(h), "YUV4MPEG2 W720 H576 F25:1 Ip\n");
  ASSERT_TRUE(parseY4mHeader("YUV4MPEG2 Ip W16 H16", &h, &error));
  EXPECT_EQ(progressiveHeaderLine(h), "YUV4MPEG2 Ip W16 H16\n");
}

// 4x2 picture: Y 8 bytes, Cb 2, Cr 2.
struct Picture {
  uint8_t bytes[12];
  PlaneRef planes[3];
  Picture() {
    for (uint8_t& b : bytes) b = 0xEE;
    planes[0] = {bytes, 4, 4, 2};
    planes[1] = {bytes + 8, 2, 2, 1};
    planes[2] = {bytes + 10, 2, 2, 1};
  }
};

std::string frameData(char base) {
  std::string s;
  for (int i = 0; i < 12; ++i) s += static_cast<char>(base + i);
  return s;
}

TEST(Y4mReader, ReadsFramesWithParametersUntilACleanEnd) {
  MemoryFile f("YUV4MPEG2 W4 H2 Im\nFRAME\n" + frameData('a') + "FRAME Ib XSTAMP=1\n" +
               frameData('A'));
  Y4mReader r(f.get(), "in.y4m");
  std::string error;
  ASSERT_TRUE(r.readHeader(&error)) << error;
  Picture p;
  ASSERT_EQ(r.readFrame(p.planes, &error), Y4mReader::Result::Frame) << error;
  EXPECT_EQ(std::string(reinterpret_cast<char*>(p.bytes), 12), frameData('a'));
  ASSERT_EQ(r.readFrame(p.planes, &error), Y4mReader::Result::Frame) << error;
  EXPECT_EQ(std::string(reinterpret_cast<char*>(p.bytes), 12), frameData('A'));
  EXPECT_EQ(r.readFrame(p.planes, &error), Y4mReader::Result::End);
  EXPECT_EQ(r.framesRead(), 2u);
}

TEST(Y4mReader, ReadsIntoStridedPlanes) {
  MemoryFile f("YUV4MPEG2 W4 H2\nFRAME\n" + frameData('a'));
  Y4mReader r(f.get(), "in.y4m");
  std::string error;
  ASSERT_TRUE(r.readHeader(&error));
  uint8_t buf[40];
  for (uint8_t& b : buf) b = 0xEE;
  const PlaneRef planes[3] = {{buf, 8, 4, 2}, {buf + 16, 4, 2, 1}, {buf + 24, 4, 2, 1}};
  ASSERT_EQ(r.readFrame(planes, &error), Y4mReader::Result::Frame) << error;
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 4), "abcd");
  EXPECT_EQ(buf[4], 0xEE);  // the stride gap is left alone
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf + 8), 4), "efgh");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf + 16), 2), "ij");
  EXPECT_EQ(buf[18], 0xEE);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf + 24), 2), "kl");
}

Y4mReader::Result secondFrame(const std::string& tail, std::string* error) {
  MemoryFile f("YUV4MPEG2 W4 H2\nFRAME\n" + frameData('a') + tail);
  Y4mReader r(f.get(), "in.y4m");
  EXPECT_TRUE(r.readHeader(error));
  Picture p;
  EXPECT_EQ(r.readFrame(p.planes, error), Y4mReader::Result::Frame);
  return r.readFrame(p.planes, error);
}

TEST(Y4mReader, DamagedFramesAreErrors) {
  std::string error;
  EXPECT_EQ(secondFrame("FRAME\n" + frameData('a').substr(0, 11), &error),
            Y4mReader::Result::Error);
  EXPECT_NE(error.find("in.y4m: frame 2 truncated (11 of 12 bytes)"), std::string::npos) << error;
  EXPECT_EQ(secondFrame("FRAME\n", &error), Y4mReader::Result::Error);
  EXPECT_NE(error.find("truncated (0 of 12"), std::string::npos) << error;
  EXPECT_EQ(secondFrame("FRA", &error), Y4mReader::Result::Error);
  EXPECT_NE(error.find("frame 2: truncated FRAME line"), std::string::npos) << error;
  EXPECT_EQ(secondFrame("FRAMES\n" + frameData('a'), &error), Y4mReader::Result::Error);
  EXPECT_NE(error.find("expected FRAME"), std::string::npos) << error;
  EXPECT_EQ(secondFrame("\n", &error), Y4mReader::Result::Error);
  EXPECT_EQ(secondFrame("FRAME " + std::string(kMaxLineBytes, 'X'), &error),
            Y4mReader::Result::Error);
  EXPECT_NE(error.find("too long"), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos);
}

// Regular files are read with pread, pipes through stdio: both must give the
// same frames, the same ends and the same messages.
TEST(Y4mReader, PipesAndFilesReadAlike) {
  const std::string head = "YUV4MPEG2 W4 H2\nFRAME\n" + frameData('a');
  for (const std::string& tail :
       {std::string(), "FRAME X\n" + frameData('b'), "FRAME\n" + frameData('a').substr(0, 11),
        std::string("FRAME\n"), std::string("FRA"), "FRAMES\n" + frameData('a'),
        "FRAME\n" + frameData('c') + "FRAME " + std::string(kMaxLineBytes, 'X'),
        "FRAME " + std::string(kMaxLineBytes - 7, 'X') + "\n" + frameData('d')}) {
    char path[] = "/tmp/wdi_y4m_pipe.XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    {
      std::FILE* w = std::fopen(path, "wb");
      std::fwrite(head.data(), 1, head.size(), w);
      std::fwrite(tail.data(), 1, tail.size(), w);
      std::fclose(w);
    }
    std::string results[2];
    for (int piped = 0; piped < 2; ++piped) {
      std::FILE* f =
          piped ? popen(("cat " + std::string(path)).c_str(), "r") : std::fopen(path, "rb");
      ASSERT_NE(f, nullptr);
      Y4mReader r(f, "in.y4m");
      std::string error;
      ASSERT_TRUE(r.readHeader(&error)) << error;
      Picture p;
      for (;;) {
        const Y4mReader::Result result = r.readFrame(p.planes, &error);
        if (result != Y4mReader::Result::Frame) {
          results[piped] += result == Y4mReader::Result::End ? "end" : "error: " + error;
          break;
        }
        results[piped] += std::string(reinterpret_cast<char*>(p.bytes), 12) + ";";
      }
      piped ? pclose(f) : std::fclose(f);
    }
    std::remove(path);
    EXPECT_EQ(results[0], results[1]) << tail.substr(0, 12);
  }
}

// Frames of a few MiB, larger than any stdio buffer, come whole.
TEST(Y4mReader, LargeFramesReadWhole) {
  const uint32_t w = 1024, h = 1024;
  const size_t lumaBytes = size_t{w} * h, frameBytes = lumaBytes * 3 / 2;
  std::string bytes = "YUV4MPEG2 W1024 H1024\n";
  for (int n = 0; n < 6; ++n) {
    bytes += "FRAME\n";
    for (size_t i = 0; i < frameBytes; ++i) bytes += static_cast<char>((i * 7 + n * 13) & 0xFF);
  }
  MemoryFile f(bytes);
  Y4mReader r(f.get(), "in.y4m");
  std::string error;
  ASSERT_TRUE(r.readHeader(&error)) << error;
  std::vector<uint8_t> frame(frameBytes);
  const PlaneRef planes[3] = {{frame.data(), w, w, h},
                              {frame.data() + lumaBytes, w / 2, w / 2, h / 2},
                              {frame.data() + lumaBytes * 5 / 4, w / 2, w / 2, h / 2}};
  for (int n = 0; n < 6; ++n) {
    ASSERT_EQ(r.readFrame(planes, &error), Y4mReader::Result::Frame) << error;
    for (size_t i = 0; i < frameBytes; i += 4093)
      ASSERT_EQ(frame[i], static_cast<uint8_t>((i * 7 + n * 13) & 0xFF)) << n << " " << i;
    ASSERT_EQ(frame[frameBytes - 1], static_cast<uint8_t>(((frameBytes - 1) * 7 + n * 13) & 0xFF));
  }
  EXPECT_EQ(r.readFrame(planes, &error), Y4mReader::Result::End);
}

// Planes with gaps between rows (a padded engine frame) take one read per
// row: 20x1500 has 3000 rows, more than one batch of reads holds.
TEST(Y4mReader, TallFramesIntoRowsWithGaps) {
  const uint32_t w = 20, h = 1500, stride = 32;
  const size_t frameBytes = size_t{w} * h * 3 / 2;
  std::string bytes = "YUV4MPEG2 W20 H1500\n";
  for (int n = 0; n < 2; ++n) {
    bytes += "FRAME\n";
    for (size_t i = 0; i < frameBytes; ++i) bytes += static_cast<char>((i * 11 + n) & 0xFF);
  }
  MemoryFile f(bytes);
  Y4mReader r(f.get(), "in.y4m");
  std::string error;
  ASSERT_TRUE(r.readHeader(&error)) << error;
  std::vector<uint8_t> frame(size_t{stride} * h * 2, 0xEE);
  const PlaneRef planes[3] = {
      {frame.data(), stride, w, h},
      {frame.data() + size_t{stride} * h, stride / 2, w / 2, h / 2},
      {frame.data() + size_t{stride} * h * 3 / 2, stride / 2, w / 2, h / 2}};
  for (int n = 0; n < 2; ++n) {
    ASSERT_EQ(r.readFrame(planes, &error), Y4mReader::Result::Frame) << error;
    size_t i = 0;
    for (const PlaneRef& pl : planes) {
      for (uint32_t y = 0; y < pl.height; ++y) {
        for (uint32_t x = 0; x < pl.width; ++x, ++i) {
          ASSERT_EQ(pl.data[size_t{y} * pl.stride + x], static_cast<uint8_t>((i * 11 + n) & 0xFF))
              << n << " " << y << " " << x;
        }
        // The gap after each row is left alone.
        if (pl.stride > pl.width) {
          ASSERT_EQ(pl.data[size_t{y} * pl.stride + pl.width], 0xEE);
        }
      }
    }
  }
  EXPECT_EQ(r.readFrame(planes, &error), Y4mReader::Result::End);
}

// A frame located in a file that is cut short before its planes are copied:
// a clear failure, not a frame of stale bytes.
TEST(Y4mReader, FileCutShortAfterLocating) {
  MemoryFile f("YUV4MPEG2 W4 H2\nFRAME\n" + frameData('a') + "FRAME\n" + frameData('b'));
  Y4mReader r(f.get(), "in.y4m");
  std::string error;
  ASSERT_TRUE(r.readHeader(&error)) << error;
  Picture p;
  bool located = false;
  uint64_t position = 0;
  ASSERT_EQ(r.nextFrame(p.planes, &located, &position, &error), Y4mReader::Result::Frame);
  ASSERT_EQ(r.nextFrame(p.planes, &located, &position, &error), Y4mReader::Result::Frame);
  ASSERT_TRUE(located);
  ASSERT_EQ(ftruncate(fileno(f.get()), static_cast<off_t>(position + 5)), 0);
  EXPECT_FALSE(r.readPlanesAt(position, p.planes, &error));
  EXPECT_EQ(error, "in.y4m: the input file was cut short while being read");
}

TEST(Y4mReader, HeaderRefusals) {
  for (const std::string& bytes :
       {std::string(""), std::string("YUV4"), std::string("RIFF....WAVEfmt "),
        std::string("YUV4MPEG2 W4 H2"), std::string("YUV4MPEG2 W4 H2 C422p10\n"),
        "YUV4MPEG2 X" + std::string(kMaxLineBytes, 'a') + "\n"}) {
    MemoryFile f(bytes);
    Y4mReader r(f.get(), "in.y4m");
    std::string error;
    EXPECT_FALSE(r.readHeader(&error)) << bytes.substr(0, 20);
    EXPECT_EQ(error.rfind("in.y4m: ", 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
}

TEST(Y4mWriter, WritesFrameMarkerAndPlanesInOrder) {
  std::FILE* f = std::tmpfile();
  Y4mWriter w(f, "out.y4m");
  std::string error;
  uint8_t buf[40];
  for (int i = 0; i < 40; ++i) buf[i] = static_cast<uint8_t>('0' + i);
  const PlaneRef planes[3] = {{buf, 8, 4, 2}, {buf + 16, 4, 2, 1}, {buf + 24, 4, 2, 1}};
  ASSERT_TRUE(w.writeHeader("YUV4MPEG2 W4 H2 Ip\n", &error));
  ASSERT_TRUE(w.writeFrame(planes, &error));
  ASSERT_TRUE(w.flush(&error));
  std::rewind(f);
  char out[64] = {};
  const size_t n = std::fread(out, 1, sizeof out, f);
  std::fclose(f);
  EXPECT_EQ(std::string(out, n), "YUV4MPEG2 W4 H2 Ip\nFRAME\n012389:;@AHI");
}

TEST(Y4mWriter, ReportsAFullDevice) {
  std::FILE* f = std::fopen("/dev/full", "wb");
  if (f == nullptr) GTEST_SKIP() << "no /dev/full";
  Y4mWriter w(f, "/dev/full");
  std::string error;
  bool ok = w.writeHeader("YUV4MPEG2 W4 H2 Ip\n", &error) && w.flush(&error);
  std::fclose(f);
  EXPECT_FALSE(ok);
  EXPECT_NE(error.find("/dev/full: write error"), std::string::npos) << error;
}

}  // namespace
}  // namespace wdi::cli
