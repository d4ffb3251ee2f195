#include "cli/frame_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

namespace wdi::cli {
namespace {

constexpr size_t kBytes = 64;

// Frame k is kBytes of (k * 7 + i); a read error or end after `count` frames.
class CountingSource : public FrameSource {
 public:
  CountingSource(uint64_t count, bool failAtEnd) : count_(count), failAtEnd_(failAtEnd) {}
  Result read(uint8_t* frame, std::string* error) override {
    if (next_ == count_) {
      if (!failAtEnd_) return Result::End;
      *error = "read failed";
      return Result::Error;
    }
    for (size_t i = 0; i < kBytes; ++i) frame[i] = static_cast<uint8_t>(next_ * 7 + i);
    ++next_;
    return Result::Frame;
  }

 private:
  uint64_t count_;
  bool failAtEnd_;
  uint64_t next_ = 0;
};

// The same frames, left to fill() on the worker: locate() only notes where
// frame k lies in a buffer that holds them all. Every other frame is read at
// once, as a source falls back to reading when a frame is not mapped.
class DeferringSource : public FrameSource {
 public:
  explicit DeferringSource(uint64_t count) : all_(count * kBytes), count_(count) {
    for (size_t k = 0; k < count; ++k)
      for (size_t i = 0; i < kBytes; ++i) all_[k * kBytes + i] = static_cast<uint8_t>(k * 7 + i);
  }
  Result read(uint8_t* frame, std::string* error) override {
    PendingFrame pending;
    const Result r = locate(frame, &pending, error);
    if (pending.data != nullptr) fill(frame, pending);
    return r;
  }
  Result locate(uint8_t* frame, PendingFrame* pending, std::string*) override {
    *pending = PendingFrame{};
    if (next_ == count_) return Result::End;
    const uint8_t* data = all_.data() + next_ * kBytes;
    if (next_++ % 2 == 0) {
      pending->data = data;
    } else {
      std::memcpy(frame, data, kBytes);
    }
    return Result::Frame;
  }
  void fill(uint8_t* frame, const PendingFrame& pending) override {
    std::memcpy(frame, pending.data, kBytes);
    fills.fetch_add(1);
  }
  std::atomic<int> fills{0};

 private:
  std::vector<uint8_t> all_;
  uint64_t count_;
  uint64_t next_ = 0;
};

class RecordingSink : public FrameSink {
 public:
  explicit RecordingSink(uint64_t failAt = UINT64_MAX) : failAt_(failAt) {}
  bool write(const uint8_t* frame, std::string* error) override {
    if (frames.size() / kBytes == failAt_) {
      *error = "write failed";
      return false;
    }
    frames.insert(frames.end(), frame, frame + kBytes);
    return true;
  }
  std::vector<uint8_t> frames;

 private:
  uint64_t failAt_;
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

TEST(FrameRunner, FramesFilledByTheWorkersComeOutAsRead) {
  CountingSource plain(100, false);
  RecordingSink expected;
  ASSERT_TRUE(runFrames(plain, expected, workers(1), kBytes, kBytes, {}).ok);
  for (size_t n : {1, 2, 3}) {
    DeferringSource source(100);
    RecordingSink sink;
    const RunResult r = runFrames(source, sink, workers(n), kBytes, kBytes, {});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(sink.frames, expected.frames) << n << " workers";
    EXPECT_EQ(source.fills.load(), 50) << n << " workers";
  }
}

TEST(FrameRunner, OutputIsTheSameForAnyNumberOfWorkers) {
  std::vector<uint8_t> reference;
  for (size_t n : {1, 2, 3, 8}) {
    CountingSource source(100, false);
    RecordingSink sink;
    uint64_t lastProgress = 0;
    const RunResult r =
        runFrames(source, sink, workers(n), kBytes, kBytes, [&](uint64_t f) { lastProgress = f; });
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.frames, 100u);
    EXPECT_EQ(lastProgress, 100u);
    if (n == 1) {
      reference = sink.frames;
      ASSERT_EQ(reference.size(), 100 * kBytes);
      EXPECT_EQ(reference[0], static_cast<uint8_t>(63 ^ 0x5A));
    } else {
      EXPECT_EQ(sink.frames, reference) << n << " workers";
    }
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
  for (size_t n : {1, 4}) {
    CountingSource source(1000, false);
    RecordingSink sink(5);
    const RunResult r = runFrames(source, sink, workers(n), kBytes, kBytes, nullptr);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "write failed");
    EXPECT_EQ(r.frames, 5u);
  }
}

}  // namespace
}  // namespace wdi::cli
