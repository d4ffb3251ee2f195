#include "cli/frame_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace wdi::cli {
namespace {

constexpr size_t kBytes = 64;

// Frame k is kBytes of (k * 7 + i); a read error or end after `count` frames.
// With `defer`, every other frame is only located and copied by fill(), as a
// seekable file's frames are; fill() of frame `failFill` fails, as when the
// file is cut short meanwhile.
class CountingSource : public FrameSource {
 public:
  CountingSource(uint64_t count, bool failAtEnd, bool defer = false, uint64_t failFill = UINT64_MAX)
      : count_(count), failAtEnd_(failAtEnd), defer_(defer), failFill_(failFill) {}
  Result read(uint8_t* frame, PendingFrame* pending, std::string* error) override {
    *pending = PendingFrame{};
    if (next_ == count_) {
      if (!failAtEnd_) return Result::End;
      *error = "read failed";
      return Result::Error;
    }
    if (defer_ && next_ % 2 == 0) {
      *pending = PendingFrame{true, next_};
    } else {
      make(frame, next_);
    }
    ++next_;
    return Result::Frame;
  }
  bool fill(uint8_t* frame, const PendingFrame& pending, std::string* error) override {
    fills.fetch_add(1);
    if (pending.position == failFill_) {
      *error = "cut short";
      return false;
    }
    make(frame, pending.position);
    return true;
  }
  std::atomic<int> fills{0};

 private:
  static void make(uint8_t* frame, uint64_t k) {
    for (size_t i = 0; i < kBytes; ++i) frame[i] = static_cast<uint8_t>(k * 7 + i);
  }
  uint64_t count_;
  bool failAtEnd_;
  bool defer_;
  uint64_t failFill_;
  uint64_t next_ = 0;
};

class RecordingSink : public FrameSink {
 public:
  explicit RecordingSink(uint64_t failAt = UINT64_MAX) : failAt_(failAt) {}
  bool write(const uint8_t* frame, std::string* error) override {
    // Workers take turns at writing; two at once would interleave frames.
    if (inside_.fetch_add(1) != 0) overlapped = true;
    bool ok = frames.size() / kBytes != failAt_;
    if (ok) {
      frames.insert(frames.end(), frame, frame + kBytes);
    } else {
      // Slow to fail, like a pipe that blocks: the other workers finish
      // their frames meanwhile and wait for their turn.
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      *error = "write failed";
    }
    inside_.fetch_sub(1);
    return ok;
  }
  std::vector<uint8_t> frames;
  bool overlapped = false;

 private:
  uint64_t failAt_;
  std::atomic<int> inside_{0};
};

// Depends on the frame content only; the busy loop varies how long each
// frame takes so that workers finish out of order.
class Scrambler : public FrameProcessor {
 public:
  void process(const uint8_t* in, uint8_t* out) override {
    volatile uint32_t spin = 0;
    for (uint32_t i = 0; i < (in[0] % 5) * 20000u; ++i) spin = spin + i;
    for (size_t i = 0; i < kBytes; ++i) out[i] = static_cast<uint8_t>(in[kBytes - 1 - i] ^ 0x5A);
  }
};

std::vector<std::unique_ptr<FrameProcessor>> workers(size_t n) {
  std::vector<std::unique_ptr<FrameProcessor>> v;
  for (size_t i = 0; i < n; ++i) v.push_back(std::make_unique<Scrambler>());
  return v;
}

TEST(FrameRunner, OutputIsTheSameForAnyNumberOfWorkers) {
  std::vector<uint8_t> reference;
  for (bool defer : {false, true}) {
    for (size_t n : {1, 2, 3, 8}) {
      SCOPED_TRACE(testing::Message() << n << " workers, defer " << defer);
      CountingSource source(100, false, defer);
      RecordingSink sink;
      std::vector<uint64_t> progress;
      const RunResult r = runFrames(source, sink, workers(n), kBytes, kBytes,
                                    [&](uint64_t f) { progress.push_back(f); });
      ASSERT_TRUE(r.ok) << r.error;
      EXPECT_EQ(r.frames, 100u);
      EXPECT_FALSE(sink.overlapped);
      EXPECT_EQ(source.fills.load(), defer ? 50 : 0);
      ASSERT_EQ(progress.size(), 100u);
      for (size_t i = 0; i < progress.size(); ++i) ASSERT_EQ(progress[i], i + 1);
      if (reference.empty()) {
        reference = sink.frames;
        ASSERT_EQ(reference.size(), 100 * kBytes);
        EXPECT_EQ(reference[0], static_cast<uint8_t>(63 ^ 0x5A));
      } else {
        EXPECT_EQ(sink.frames, reference);
      }
    }
  }
}

// A located frame that cannot be copied any more fails the run; what was
// written is the stream's beginning, and nothing after the frame.
TEST(FrameRunner, AFailedFillStops) {
  CountingSource plain(100, false);
  RecordingSink expected;
  ASSERT_TRUE(runFrames(plain, expected, workers(1), kBytes, kBytes, {}).ok);
  for (size_t n : {1, 2, 3}) {
    CountingSource source(100, false, true, 40);
    RecordingSink sink;
    const RunResult r = runFrames(source, sink, workers(n), kBytes, kBytes, nullptr);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "cut short");
    EXPECT_LE(r.frames, 40u);
    EXPECT_EQ(sink.frames.size(), r.frames * kBytes);
    EXPECT_TRUE(std::equal(sink.frames.begin(), sink.frames.end(), expected.frames.begin()));
  }
}

TEST(FrameRunner, EmptyStream) {
  for (size_t n : {1, 2}) {
    CountingSource source(0, false);
    RecordingSink sink;
    const RunResult r = runFrames(source, sink, workers(n), kBytes, kBytes, nullptr);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.frames, 0u);
  }
}

TEST(FrameRunner, FramesBeforeAReadErrorAreStillWritten) {
  for (size_t n : {1, 3}) {
    CountingSource source(10, true);
    RecordingSink sink;
    const RunResult r = runFrames(source, sink, workers(n), kBytes, kBytes, nullptr);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "read failed");
    EXPECT_EQ(r.frames, 10u);
    EXPECT_EQ(sink.frames.size(), 10 * kBytes);
  }
}

TEST(FrameRunner, AWriteErrorStops) {
  // Repeated: the workers must also stop when the failure finds them waiting
  // for their frames to be written.
  for (size_t n : {1, 2, 4}) {
    for (int repeat = 0; repeat < 5; ++repeat) {
      CountingSource source(1000, false);
      RecordingSink sink(5);
      const RunResult r = runFrames(source, sink, workers(n), kBytes, kBytes, nullptr);
      EXPECT_FALSE(r.ok);
      EXPECT_EQ(r.error, "write failed");
      EXPECT_EQ(r.frames, 5u);
    }
  }
}

}  // namespace
}  // namespace wdi::cli
