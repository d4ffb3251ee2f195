// Runs the built wdeint as a user would and checks files, messages and exit
// status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

class Wdeint : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(tmp_.path().empty());
    dir_ = tmp_.path();
  }
  wdi::test::TempDir tmp_;

  std::string path(const std::string& name) const { return dir_ + "/" + name; }

  // Runs a shell command line with $W as the tool; stderr goes to err.txt.
  int run(const std::string& args) {
    const std::string cmd = "export W='" WDEINT_PATH "'; " + args + " 2>'" + path("err.txt") + "'";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string read(const std::string& name) const {
    std::ifstream f(path(name), std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  bool exists(const std::string& name) const { return access(path(name).c_str(), F_OK) == 0; }
  // The whole of stderr: exactly one line.
  std::string errorLine() const {
    const std::string e = read("err.txt");
    EXPECT_FALSE(e.empty());
    EXPECT_EQ(e.find('\n'), e.size() - 1) << e;
    return e;
  }

  std::string dir_;
};

std::string randomFrames(uint32_t w, uint32_t h, int frames, uint32_t seed) {
  std::mt19937 rng(seed);
  const size_t bytes =
      static_cast<size_t>(w) * h + 2 * static_cast<size_t>((w + 1) / 2) * ((h + 1) / 2);
  std::string s;
  for (int f = 0; f < frames; ++f) {
    s += "FRAME\n";
    for (size_t i = 0; i < bytes; ++i) s += static_cast<char>(rng() & 0xFF);
  }
  return s;
}

std::string header(uint32_t w, uint32_t h, const std::string& tags = " F25:1 It C420jpeg") {
  return "YUV4MPEG2 W" + std::to_string(w) + " H" + std::to_string(h) + tags + "\n";
}

TEST_F(Wdeint, HelpExplainsPadding) {
  ASSERT_EQ(run("$W --help >'" + path("help.txt") + "'"), 0);
  EXPECT_NE(read("help.txt").find("multiple of 16"), std::string::npos);
  EXPECT_EQ(run("$W"), 2);
  errorLine();
}

TEST_F(Wdeint, MethodNoneCopiesEverySizeAndSetsIp) {
  for (auto [w, h] : {std::pair{32u, 32u}, {20u, 10u}, {17u, 5u}, {1u, 1u}}) {
    const std::string frames = randomFrames(w, h, 3, w * 100 + h);
    write("in.y4m", header(w, h) + frames);
    ASSERT_EQ(run("$W --method 0 '" + path("in.y4m") + "' '" + path("out.y4m") + "'"), 0)
        << read("err.txt");
    EXPECT_EQ(read("out.y4m"), header(w, h, " F25:1 Ip C420jpeg") + frames) << w << "x" << h;
    EXPECT_EQ(read("err.txt"), "");  // quiet when stderr is not a terminal
  }
}

TEST_F(Wdeint, StandardInputAndOutput) {
  write("in.y4m", header(48, 32) + randomFrames(48, 32, 4, 5));
  ASSERT_EQ(run("$W --method 3 '" + path("in.y4m") + "' '" + path("a.y4m") + "'"), 0);
  ASSERT_EQ(run("cat '" + path("in.y4m") + "' | $W --method 3 - - >'" + path("b.y4m") + "'"), 0);
  EXPECT_EQ(read("a.y4m"), read("b.y4m"));
  EXPECT_EQ(read("a.y4m").size(), read("in.y4m").size());
}

TEST_F(Wdeint, ThreadsAndKernelLevelsGiveTheSameBytes) {
  // 40x30 is padded; the content alternates combed and smooth frames.
  write("in.y4m", header(40, 30) + randomFrames(40, 30, 7, 9));
  for (int method = 1; method <= 6; ++method) {
    const std::string m = " --method " + std::to_string(method) + " '" + path("in.y4m") + "' ";
    ASSERT_EQ(run("$W --threads 1" + m + "'" + path("t1.y4m") + "'"), 0) << read("err.txt");
    ASSERT_EQ(run("$W --threads 3" + m + "'" + path("t3.y4m") + "'"), 0) << read("err.txt");
    ASSERT_EQ(run("$W --cpu scalar" + m + "'" + path("c0.y4m") + "'"), 0) << read("err.txt");
    EXPECT_EQ(read("t1.y4m"), read("t3.y4m")) << "method " << method;
    EXPECT_EQ(read("t1.y4m"), read("c0.y4m")) << "method " << method;
  }
}

TEST_F(Wdeint, TruncatedLastFrameIsAnErrorAndNotWritten) {
  const std::string frames = randomFrames(16, 16, 3, 1);
  write("in.y4m", header(16, 16) + frames.substr(0, frames.size() - 1));
  EXPECT_EQ(run("$W --method 0 '" + path("in.y4m") + "' '" + path("out.y4m") + "'"), 2);
  const std::string e = errorLine();
  EXPECT_NE(e.find("in.y4m: frame 3 truncated"), std::string::npos) << e;
  const size_t frameBytes = 6 + 16 * 16 * 3 / 2;
  EXPECT_EQ(read("out.y4m"),
            header(16, 16, " F25:1 Ip C420jpeg") + frames.substr(0, 2 * frameBytes));
}

TEST_F(Wdeint, RefusedHeadersCreateNoOutput) {
  for (const std::string& h :
       {header(16, 16, " C420p10"), header(100000, 16), header(16384, 16385),
        std::string("YUV4MPEG2 W16 H16 W16\n"), std::string("P6\n16 16\n"), std::string("")}) {
    write("in.y4m", h + "FRAME\n");
    EXPECT_EQ(run("$W '" + path("in.y4m") + "' '" + path("out.y4m") + "'"), 2) << h;
    EXPECT_NE(errorLine().find("in.y4m: "), std::string::npos);
    EXPECT_FALSE(exists("out.y4m")) << h;
  }
}

TEST_F(Wdeint, FileErrors) {
  EXPECT_EQ(run("$W '" + path("missing.y4m") + "' '" + path("out.y4m") + "'"), 2);
  EXPECT_NE(errorLine().find("missing.y4m: cannot open"), std::string::npos);

  const std::string input = header(16, 16) + randomFrames(16, 16, 2, 3);
  write("in.y4m", input);
  EXPECT_EQ(run("$W '" + path("in.y4m") + "' '" + path("in.y4m") + "'"), 2);
  EXPECT_NE(errorLine().find("input file"), std::string::npos);
  EXPECT_EQ(read("in.y4m"), input);

  EXPECT_EQ(run("$W '" + path("in.y4m") + "' '" + path("no/such/dir.y4m") + "'"), 2);
  EXPECT_NE(errorLine().find("cannot open"), std::string::npos);

  if (access("/dev/full", W_OK) == 0) {
    EXPECT_EQ(run("$W '" + path("in.y4m") + "' /dev/full"), 2);
    EXPECT_NE(errorLine().find("/dev/full: write error"), std::string::npos);
    EXPECT_EQ(run("$W '" + path("in.y4m") + "' - >/dev/full"), 2);
    EXPECT_NE(errorLine().find("standard output: write error"), std::string::npos);
  }
}

TEST_F(Wdeint, ClosedPipeIsAWriteError) {
  write("in.y4m", header(64, 64) + randomFrames(64, 64, 200, 4));
  run("bash -c '$W --method 0 \"" + path("in.y4m") + "\" - | head -c 100 >/dev/null; echo " +
      "${PIPESTATUS[0]} >\"" + path("status") + "\"'");
  EXPECT_EQ(read("status"), "2\n");
  EXPECT_NE(read("err.txt").find("Broken pipe"), std::string::npos) << read("err.txt");
}

TEST_F(Wdeint, RegionAndKeptFieldOnYuv4mpeg2) {
  write("in.y4m", header(40, 30) + randomFrames(40, 30, 5, 11));
  const std::string in = " '" + path("in.y4m") + "' ";
  ASSERT_EQ(run("$W" + in + "'" + path("whole.y4m") + "'"), 0);
  ASSERT_EQ(run("$W --rect -0,0,39,15 --threads 1" + in + "'" + path("r1.y4m") + "'"), 0);
  ASSERT_EQ(run("$W --rect -0,0,39,15 --threads 3" + in + "'" + path("r3.y4m") + "'"), 0);
  EXPECT_EQ(read("r1.y4m"), read("r3.y4m"));
  EXPECT_NE(read("r1.y4m"), read("whole.y4m"));
  ASSERT_EQ(run("$W --keep-field top --threads 1" + in + "'" + path("t1.y4m") + "'"), 0);
  ASSERT_EQ(run("$W --keep-field top --threads 3" + in + "'" + path("t3.y4m") + "'"), 0);
  EXPECT_EQ(read("t1.y4m"), read("t3.y4m"));
  EXPECT_NE(read("t1.y4m"), read("whole.y4m"));

  // The refusals and messages of the host path.
  ASSERT_EQ(run("$W --rect +3,3,3,3" + in + "'" + path("o.y4m") + "'"), 0);
  EXPECT_NE(read("err.txt").find("rectangle +3,3,3,3 refused"), std::string::npos);
  EXPECT_EQ(read("o.y4m"), read("whole.y4m"));
  EXPECT_EQ(run("$W --region '" + path("none.rect") + "'" + in + "'" + path("o.y4m") + "'"), 2);
  EXPECT_NE(errorLine().find("none.rect: cannot open"), std::string::npos);
}

// The frame payloads of a YUV4MPEG2 file written by wdeint (plain FRAME lines).
std::vector<std::string> payloads(const std::string& y4m, size_t frameBytes) {
  std::vector<std::string> out;
  for (size_t pos = y4m.find('\n') + 1; pos + 6 + frameBytes <= y4m.size(); pos += 6 + frameBytes) {
    out.push_back(y4m.substr(pos + 6, frameBytes));
  }
  return out;
}

TEST_F(Wdeint, FieldRateFramesAreTheFrameRateOutputsOfBothFieldsInTimeOrder) {
  const size_t bytes = 40 * 30 + 2 * 20 * 15;
  for (const std::string method : {" --method 6", ""})
    for (const char* tag : {"It", "Ib", "Ip"}) {
      write("in.y4m",
            header(40, 30, std::string(" F30000:1001 ") + tag) + randomFrames(40, 30, 4, 5));
      const std::string in = method + " '" + path("in.y4m") + "' ";
      ASSERT_EQ(run("$W --keep-field top" + in + "'" + path("top.y4m") + "'"), 0);
      ASSERT_EQ(run("$W" + in + "'" + path("bottom.y4m") + "'"), 0);
      ASSERT_EQ(run("$W --rate field --threads 3" + in + "'" + path("f.y4m") + "'"), 0);
      ASSERT_EQ(run("$W --rate field --threads 1 -v" + in + "'" + path("f1.y4m") + "'"), 0);
      EXPECT_EQ(read("f.y4m"), read("f1.y4m"));
      const bool bff = std::string(tag) == "Ib";
      EXPECT_NE(read("err.txt").find(bff ? "bottom field first (header Ib)" : "top field first"),
                std::string::npos)
          << read("err.txt");
      const std::string f = read("f.y4m");
      EXPECT_EQ(f.substr(0, f.find('\n')), "YUV4MPEG2 W40 H30 F60000:1001 Ip");
      const auto fields = payloads(f, bytes);
      const auto top = payloads(read("top.y4m"), bytes);
      const auto bottom = payloads(read("bottom.y4m"), bytes);
      ASSERT_EQ(fields.size(), 8u);
      for (size_t n = 0; n < 4; ++n) {
        EXPECT_EQ(fields[2 * n], bff ? bottom[n] : top[n]) << tag << method << " " << n;
        EXPECT_EQ(fields[2 * n + 1], bff ? top[n] : bottom[n]) << tag << method << " " << n;
      }
    }
  ASSERT_EQ(
      run("$W --rate field --field-order bff '" + path("in.y4m") + "' '" + path("b.y4m") + "'"), 0);
  EXPECT_EQ(payloads(read("b.y4m"), bytes)[0], payloads(read("bottom.y4m"), bytes)[0]);
}

TEST_F(Wdeint, SegmentsJoinToTheWholeRun) {
  write("in.y4m", header(40, 30) + randomFrames(40, 30, 7, 12));
  for (const std::string opts : {"--method 4", "--method 5 --rate field --threads 3", "--method 6",
                                 "--method 6 --rate field --threads 3"}) {
    const std::string in = " '" + path("in.y4m") + "' ";
    ASSERT_EQ(run("$W " + opts + in + "'" + path("whole.y4m") + "'"), 0);
    std::string joined;
    for (const char* seg : {"0:3", "3:3", "6:", "9:2"}) {
      ASSERT_EQ(run("$W " + opts + " --frames " + seg + in + "'" + path("s.y4m") + "'"), 0);
      const std::string s = read("s.y4m");
      joined += joined.empty() ? s : s.substr(s.find('\n') + 1);
    }
    EXPECT_EQ(joined, read("whole.y4m")) << opts;
    // A pipe cannot seek: the frames before are read and dropped.
    ASSERT_EQ(run("cat" + in + "| $W " + opts + " --frames 3:3 - '" + path("p.y4m") + "'"), 0);
    ASSERT_EQ(run("$W " + opts + " --frames 3:3" + in + "'" + path("s.y4m") + "'"), 0);
    EXPECT_EQ(read("p.y4m"), read("s.y4m"));
  }
  EXPECT_EQ(run("$W --frames 3:x '" + path("in.y4m") + "' '" + path("o.y4m") + "'"), 2);
  EXPECT_EQ(run("$W --bgr24 16x16 --rate field '" + path("in.y4m") + "' '" + path("o.y4m") + "'"),
            2);
}

TEST_F(Wdeint, ShowDetectionMarksTheCombsAndDimsWhatTheRegionLeaves) {
  write("in.y4m", header(64, 32) + randomFrames(64, 32, 1, 3));
  const std::string in = " '" + path("in.y4m") + "' ";
  ASSERT_EQ(run("$W --rect -0,0,31,31" + in + "'" + path("out.y4m") + "'"), 0);
  ASSERT_EQ(run("$W --rect -0,0,31,31 --show-detection" + in + "'" + path("view.y4m") + "'"), 0);
  const size_t bytes = 64 * 32 * 3 / 2;
  const std::string input = payloads(read("in.y4m"), bytes)[0];
  const std::string view = payloads(read("view.y4m"), bytes)[0];
  const std::string out = payloads(read("out.y4m"), bytes)[0];
  // Left half: outside the region, dimmed input; right half: random noise is combed all over.
  const auto at = [](const std::string& p, size_t i) { return static_cast<uint8_t>(p[i]); };
  EXPECT_EQ(at(view, 5 * 64 + 3), (at(input, 5 * 64 + 3) >> 1) + 8);
  EXPECT_EQ(at(view, 5 * 64 + 40), at(out, 5 * 64 + 40));
  EXPECT_EQ(at(view, 64 * 32 + 4 * 32 + 20), 90);             // Cb of a marked 2x2 group
  EXPECT_EQ(at(view, 64 * 32 + 16 * 32 + 4 * 32 + 20), 240);  // its Cr
}

TEST_F(Wdeint, OtherChromaFormatsAreBroughtTo420FieldByField) {
  // 4:2:2 of 8x4: rows of chroma value 10 * row + column; the 4:2:0 made by the
  // same rule by hand must give the same output.
  std::string y422 = header(8, 4, " C422") + "FRAME\n", y420 = header(8, 4, " C420") + "FRAME\n";
  std::string luma;
  for (int i = 0; i < 32; ++i) luma += static_cast<char>(i * 7 % 251);
  y422 += luma;
  y420 += luma;
  for (int plane = 0; plane < 2; ++plane) {
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) y422 += static_cast<char>(10 * r + c + 100 * plane);
    }
    for (int r = 0; r < 2; ++r) {  // rows 0,2 and 1,3
      for (int c = 0; c < 4; ++c) {
        y420 += static_cast<char>((10 * r + c + 10 * (r + 2) + c + 200 * plane + 1) >> 1);
      }
    }
  }
  write("a.y4m", y422);
  write("b.y4m", y420);
  ASSERT_EQ(run("$W --method 2 '" + path("a.y4m") + "' '" + path("a.out") + "'"), 0);
  ASSERT_EQ(run("$W --method 2 '" + path("b.y4m") + "' '" + path("b.out") + "'"), 0);
  EXPECT_EQ(read("a.out"), read("b.out"));
  write("c.y4m", header(8, 4, " C420p10") + "FRAME\n");
  EXPECT_EQ(run("$W '" + path("c.y4m") + "' '" + path("c.out") + "'"), 2);
  EXPECT_NE(errorLine().find("scale=interl=1"), std::string::npos);
}

TEST_F(Wdeint, OnlyInterlacedPassesProgressiveFramesThrough) {
  const std::string frames = randomFrames(32, 32, 3, 21);
  write("p.y4m", header(32, 32, " F25:1 Ip") + frames);
  ASSERT_EQ(
      run("$W --method 2 --only-interlaced -v '" + path("p.y4m") + "' '" + path("p.out") + "'"), 0);
  EXPECT_EQ(read("p.out"), read("p.y4m"));
  EXPECT_NE(read("err.txt").find("3 passed through"), std::string::npos) << read("err.txt");
  ASSERT_EQ(run("$W --method 2 '" + path("p.y4m") + "' '" + path("q.out") + "'"), 0);
  EXPECT_NE(read("q.out"), read("p.y4m"));  // without the option every frame is processed
  // Per frame: the second FRAME line says progressive.
  std::string mixed = frames;
  const size_t second = mixed.find("FRAME\n", 1);
  mixed.replace(second, 6, "FRAME Ip\n");
  write("m.y4m", header(32, 32, " F25:1 It") + mixed);
  ASSERT_EQ(run("$W --method 2 --only-interlaced '" + path("m.y4m") + "' '" + path("m.out") + "'"),
            0);
  ASSERT_EQ(run("$W --method 2 '" + path("m.y4m") + "' '" + path("n.out") + "'"), 0);
  const size_t bytes = 32 * 32 * 3 / 2;
  const auto got = payloads(read("m.out"), bytes), all = payloads(read("n.out"), bytes);
  const auto input = payloads(header(32, 32) + frames, bytes);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0], all[0]);
  EXPECT_EQ(got[1], input[1]);
  EXPECT_EQ(got[2], all[2]);
}

// Runs held up by a slow reader or a slow writer: the signal ends them at a
// frame boundary, with whole frames only in the output.
TEST_F(Wdeint, SignalsEndAtAFrameBoundary) {
  write("in.y4m", header(64, 64) + randomFrames(64, 64, 3000, 8));
  const size_t frame = 6 + 64 * 64 * 3 / 2;
  // Copies standard input to standard output 64 KiB every 20 ms.
  write("slow.py",
        "import sys, time\nwhile True:\n  b = sys.stdin.buffer.read(65536)\n  if not b: break\n"
        "  sys.stdout.buffer.write(b); sys.stdout.buffer.flush(); time.sleep(0.02)\n");
  const std::string slow = "python3 '" + path("slow.py") + "'";
  const auto wholeFrames = [&](const std::string& name) {
    const std::string out = read(name);
    const size_t body = out.size() - out.find('\n') - 1;
    EXPECT_EQ(body % frame, 0u) << name;
    return body / frame;
  };
  for (const auto& [signal, status] : {std::pair{"INT", 130}, {"TERM", 143}, {"PIPE", 141}}) {
    run("( rm -f '" + path("f") + "'; mkfifo '" + path("f") + "'; " + slow + " <'" + path("f") +
        "' >'" + path("out.y4m") + "' & $W --method 0 '" + path("in.y4m") + "' '" + path("f") +
        "' & w=$!; sleep 0.3; kill -" + signal + " $w; wait $w; echo $? >'" + path("status") +
        "'; wait )");
    EXPECT_EQ(read("status"), std::to_string(status) + "\n") << signal;
    EXPECT_NE(errorLine().find(std::string("interrupted by SIG") + signal), std::string::npos);
    EXPECT_LT(wholeFrames("out.y4m"), 3000u) << signal;
  }
  // A slow writer and a regular file.
  run("( " + slow + " <'" + path("in.y4m") + "' | $W --method 2 - '" + path("r.y4m") +
      "' & sleep 0.3; kill -TERM $!; wait $!; echo $? >'" + path("status") + "' )");
  EXPECT_EQ(read("status"), "143\n");
  EXPECT_LT(wholeFrames("r.y4m"), 3000u);
}

TEST_F(Wdeint, VerboseSummary) {
  write("in.y4m", header(32, 32) + randomFrames(32, 32, 3, 6));
  ASSERT_EQ(run("$W --verbose --threads 2 '" + path("in.y4m") + "' '" + path("out.y4m") + "'"), 0);
  const std::string e = errorLine();
  EXPECT_EQ(e.rfind("wdeint: 3 frames of 32x32, method 4, 2 threads, ", 0), 0u) << e;
  EXPECT_NE(e.find(" fps\n"), std::string::npos) << e;
}

TEST_F(Wdeint, DemoWritesClipGroundTruthAndPicture) {
  ASSERT_EQ(run("$W --quiet --demo '" + path("demo") +
                "' --demo-size 64x48 --demo-frames 4 --demo-progressive"),
            0)
      << read("err.txt");
  const std::string in = read("demo/input.y4m");
  const std::string out = read("demo/output.y4m");
  const std::string prog = read("demo/progressive.y4m");
  const std::string ih = "YUV4MPEG2 W64 H48 F25:1 It C420mpeg2\n";
  const std::string ph = "YUV4MPEG2 W64 H48 F50:1 Ip C420mpeg2\n";
  const size_t frame = 6 + 64 * 48 * 3 / 2;
  ASSERT_EQ(in.size(), ih.size() + 4 * frame);
  ASSERT_EQ(prog.size(), ph.size() + 8 * frame);
  EXPECT_EQ(in.substr(0, ih.size()), ih);
  EXPECT_EQ(prog.substr(0, ph.size()), ph);
  EXPECT_EQ(out.substr(0, ph.size()), "YUV4MPEG2 W64 H48 F25:1 Ip C420mpeg2\n");
  // Interlaced frame n: luma row r from progressive picture 2n + (r & 1).
  for (size_t n = 0; n < 4; ++n) {
    for (size_t r = 0; r < 48; ++r) {
      const size_t picture = 2 * n + (r & 1);
      EXPECT_EQ(in.substr(ih.size() + n * frame + 6 + r * 64, 64),
                prog.substr(ph.size() + picture * frame + 6 + r * 64, 64))
          << n << " " << r;
    }
  }
  EXPECT_EQ(read("demo/before-after.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(read("demo/detection.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_FALSE(exists("demo/detection.y4m"));
}

}  // namespace
