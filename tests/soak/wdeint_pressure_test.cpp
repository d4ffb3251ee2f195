// The built wdeint under pressure: a closed output pipe, a full disk, input
// cut anywhere, sizes out of range, memory refused. Each ends with one clear
// line on standard error and a non-zero exit, never a signal, and whatever
// output was written holds only whole frames as a complete run gives them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

struct Outcome {
  bool exited = false;  // false: ended by a signal
  int code = -1;        // exit code, or the signal
  std::string err;      // standard error
};

std::string readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class WdeintPressure : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(tmp_.path().empty());
    dir_ = tmp_.path();
  }
  wdi::test::TempDir tmp_;
  std::string path(const std::string& name) const { return dir_ + "/" + name; }

  // Runs wdeint with `args`; standard input and output are the given
  // descriptors (-1: /dev/null). SIGPIPE is left at its default, as a shell
  // would leave it. `memoryLimit` bounds the address space when nonzero.
  Outcome run(std::vector<std::string> args, int in = -1, int out = -1, rlim_t memoryLimit = 0) {
    const std::string errPath = path("err.txt");
    const pid_t pid = fork();
    if (pid == 0) {
      std::signal(SIGPIPE, SIG_DFL);
      const int null = open("/dev/null", O_RDWR);
      dup2(in >= 0 ? in : null, 0);
      dup2(out >= 0 ? out : null, 1);
      const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(err, 2);
      if (memoryLimit != 0) {
        const rlimit limit{memoryLimit, memoryLimit};
        setrlimit(RLIMIT_AS, &limit);
      }
      std::vector<char*> argv;
      static char tool[] = WDEINT_PATH;
      argv.push_back(tool);
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(tool, argv.data());
      _exit(127);
    }
    Outcome o;
    int status = 0;
    waitpid(pid, &status, 0);
    o.exited = WIFEXITED(status);
    o.code = o.exited ? WEXITSTATUS(status) : WTERMSIG(status);
    o.err = readFile(errPath);
    return o;
  }

  // A clear refusal: a non-zero exit code, one line on standard error naming `what`.
  void expectRefusal(const Outcome& o, const std::string& what) {
    EXPECT_TRUE(o.exited) << "ended by signal " << o.code;
    EXPECT_NE(o.code, 0);
    ASSERT_FALSE(o.err.empty());
    EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;
    EXPECT_EQ(o.err.rfind("wdeint: ", 0), 0u) << o.err;
    EXPECT_NE(o.err.find(what), std::string::npos) << o.err;
  }

  std::string dir_;
};

std::string header(uint32_t w, uint32_t h) {
  return "YUV4MPEG2 W" + std::to_string(w) + " H" + std::to_string(h) + " F25:1 It C420jpeg\n";
}

// Frames with combed areas, so that every method has work to do.
std::string frames(uint32_t w, uint32_t h, int count, uint32_t seed) {
  std::mt19937 rng(seed);
  const size_t bytes = size_t{w} * h + 2 * size_t{(w + 1) / 2} * ((h + 1) / 2);
  std::string s;
  for (int f = 0; f < count; ++f) {
    s += "FRAME\n";
    for (size_t i = 0; i < bytes; ++i) {
      const uint8_t v = static_cast<uint8_t>(rng());
      s += static_cast<char>(i < size_t{w} * h && (i / w) % 2 == 0 ? v / 4 : v);
    }
  }
  return s;
}

TEST_F(WdeintPressure, ClosedOutputPipe) {
  // More output than a pipe holds, so some write meets the closed pipe.
  writeFile(path("in.y4m"), header(64, 48) + frames(64, 48, 40, 1));
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  const Outcome o = run({path("in.y4m"), "-"}, -1, fds[1]);
  close(fds[1]);
  expectRefusal(o, "standard output");
}

TEST_F(WdeintPressure, OutputPipeClosedWhileRunning) {
  // The reader takes the header and one frame, then goes away.
  writeFile(path("in.y4m"), header(64, 48) + frames(64, 48, 200, 2));
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t reader = fork();
  if (reader == 0) {
    close(fds[1]);
    char buffer[5000];
    ssize_t got = 0;
    while (got < 4700) {
      const ssize_t n = read(fds[0], buffer, sizeof buffer - got);
      if (n <= 0) break;
      got += n;
    }
    _exit(0);
  }
  close(fds[0]);
  const Outcome o = run({"--threads", "2", path("in.y4m"), "-"}, -1, fds[1]);
  close(fds[1]);
  waitpid(reader, nullptr, 0);
  expectRefusal(o, "standard output");
}

TEST_F(WdeintPressure, FullDisk) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  writeFile(path("in.y4m"), header(32, 32) + frames(32, 32, 3, 3));
  expectRefusal(run({path("in.y4m"), "/dev/full"}), "/dev/full");
  const int full = open("/dev/full", O_WRONLY);
  expectRefusal(run({path("in.y4m"), "-"}, -1, full), "standard output");
  close(full);
  // Even an input of no frames has a header to write.
  writeFile(path("empty.y4m"), header(32, 32));
  expectRefusal(run({path("empty.y4m"), "/dev/full"}), "/dev/full");
}

TEST_F(WdeintPressure, InputCutAnywhereGivesOnlyWholeComputedFrames) {
  const uint32_t w = 48, h = 32;
  const std::string head = header(w, h);
  const std::string all = frames(w, h, 3, 4);
  const size_t record = all.size() / 3;
  writeFile(path("whole.y4m"), head + all);
  ASSERT_EQ(run({"--threads", "1", path("whole.y4m"), path("whole.out")}).code, 0);
  const std::string reference = readFile(path("whole.out"));
  const size_t outHeader = reference.find('\n') + 1;
  ASSERT_EQ(reference.size(), outHeader + all.size());

  // Cuts inside the header, the FRAME line and the planes of each frame.
  std::vector<size_t> cuts = {1, head.size() - 1, head.size() + 3};
  for (size_t f = 0; f < 3; ++f) {
    for (size_t at : {size_t{6}, size_t{7}, record / 2, record - 1}) {
      cuts.push_back(head.size() + f * record + at);
    }
  }
  for (const char* threads : {"1", "3"}) {
    for (size_t cut : cuts) {
      SCOPED_TRACE("cut at " + std::to_string(cut) + ", threads " + threads);
      writeFile(path("cut.y4m"), (head + all).substr(0, cut));
      std::remove(path("cut.out").c_str());
      const Outcome o = run({"--threads", threads, path("cut.y4m"), path("cut.out")});
      expectRefusal(o, cut < head.size() ? "cut.y4m" : "truncated");
      // Whatever was written is the reference's header and whole frames.
      const std::string out = readFile(path("cut.out"));
      if (out.empty()) continue;
      ASSERT_GE(out.size(), outHeader);
      EXPECT_EQ((out.size() - outHeader) % record, 0u) << out.size();
      EXPECT_EQ(out, reference.substr(0, out.size()));
      EXPECT_LE(out.size(), outHeader + (cut - head.size()) / record * record);
    }
  }
  // The same through a pipe.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const std::string cut = (head + all).substr(0, head.size() + record + record / 2);
  ASSERT_LT(cut.size(), 60000u);
  ASSERT_EQ(write(fds[1], cut.data(), cut.size()), static_cast<ssize_t>(cut.size()));
  close(fds[1]);
  const Outcome o = run({"-", path("pipe.out")}, fds[0]);
  close(fds[0]);
  expectRefusal(o, "frame 2 truncated");
  const std::string out = readFile(path("pipe.out"));
  EXPECT_TRUE(out.empty() || out == reference.substr(0, outHeader + record) ||
              out == reference.substr(0, outHeader))
      << out.size();
}

TEST_F(WdeintPressure, EnormousDeclaredSizes) {
  for (const char* head : {"YUV4MPEG2 W4294967296 H16\n", "YUV4MPEG2 W99999999999999999999 H16\n",
                           "YUV4MPEG2 W16 H16385\n", "YUV4MPEG2 W16385 H16\n",
                           "YUV4MPEG2 W-16 H16\n", "YUV4MPEG2 W0 H16\n"}) {
    SCOPED_TRACE(head);
    writeFile(path("big.y4m"), std::string(head) + "FRAME\n" + std::string(100, '\x10'));
    expectRefusal(run({path("big.y4m"), path("big.out")}), "big.y4m");
  }
  // A header line with no end.
  writeFile(path("long.y4m"), "YUV4MPEG2 W16 H16 X" + std::string(1 << 20, 'x'));
  expectRefusal(run({path("long.y4m"), path("long.out")}), "long.y4m");
}

// Raw host images (--bgr24) meet the same pressure.
TEST_F(WdeintPressure, RawImagesUnderPressure) {
  const int32_t w = 32, h = 32;
  const size_t image = size_t{3} * w * h;
  std::mt19937 rng(5);
  std::string all(3 * image, '\0');
  for (char& c : all) c = static_cast<char>(rng());
  writeFile(path("whole.bgr"), all);
  const std::string size = std::to_string(w) + "x" + std::to_string(h);
  ASSERT_EQ(run({"--bgr24", size, path("whole.bgr"), path("whole.out")}).code, 0);
  const std::string reference = readFile(path("whole.out"));
  ASSERT_EQ(reference.size(), all.size());

  // Cut inside the second image: only whole images, as a complete run gives them.
  writeFile(path("cut.bgr"), all.substr(0, image + image / 2));
  const Outcome cut = run({"--bgr24", size, path("cut.bgr"), path("cut.out")});
  expectRefusal(cut, "cut.bgr");
  const std::string out = readFile(path("cut.out"));
  EXPECT_EQ(out.size() % image, 0u);
  EXPECT_LE(out.size(), image);
  EXPECT_EQ(out, reference.substr(0, out.size()));

  if (access("/dev/full", W_OK) == 0) {
    expectRefusal(run({"--bgr24", size, path("whole.bgr"), "/dev/full"}), "/dev/full");
  }
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  expectRefusal(run({"--bgr24", size, path("whole.bgr"), "-"}, -1, fds[1]), "standard output");
  close(fds[1]);

  for (const char* enormous : {"99999999x99999999", "4294967312x16", "0x16", "16x-16"}) {
    SCOPED_TRACE(enormous);
    expectRefusal(run({"--bgr24", enormous, path("whole.bgr"), path("big.out")}), "");
  }
  // A region file that is not one.
  writeFile(path("bad.rect"), "[[(1,2)-(0,0)]]\npresent=1\n");
  expectRefusal(
      run({"--bgr24", size, "--region", path("bad.rect"), path("whole.bgr"), path("region.out")}),
      "bad.rect");
}

#if !defined(__SANITIZE_ADDRESS__)
// The largest size taken, with too little memory for it: a message, no abort.
// (Under AddressSanitizer the address space cannot be limited.)
TEST_F(WdeintPressure, LargestSizeWithMemoryRefused) {
  writeFile(path("huge.y4m"), "YUV4MPEG2 W16384 H16384 It\nFRAME\n" + std::string(1000, 'x'));
  const Outcome o =
      run({"--threads", "2", path("huge.y4m"), path("huge.out")}, -1, -1, rlim_t{256} << 20);
  expectRefusal(o, "");
  EXPECT_TRUE(o.err.find("memory") != std::string::npos ||
              o.err.find("truncated") != std::string::npos)
      << o.err;
}
#endif

}  // namespace
