// Runs a stream of frames through per-thread processors: frames are read and
// written in order and processed in parallel by the workers, so the output
// does not depend on the number of workers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace wdi::cli {

// Where a frame that read() only located lies in a seekable input.
struct PendingFrame {
  bool deferred = false;  // false: the frame is already in its buffer
  uint64_t position = 0;
};

class FrameSource {
 public:
  enum class Result { Frame, End, Error };
  virtual ~FrameSource() = default;
  // Fills `frame` with the next frame, or only locates it and leaves the
  // copying to fill(). Called by one thread at a time, not always the same.
  virtual Result read(uint8_t* frame, PendingFrame* pending, std::string* error) = 0;
  // Copies a located frame; runs on the worker, on several at once, so the
  // copies of frames run in parallel. False (with a message) when the input
  // changed under the reader.
  virtual bool fill(uint8_t* /*frame*/, const PendingFrame& /*pending*/, std::string* /*error*/) {
    return true;
  }
};

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  virtual bool write(const uint8_t* frame, std::string* error) = 0;
};

class FrameProcessor {
 public:
  virtual ~FrameProcessor() = default;
  // `in` and `out` are distinct; `in` may be overwritten by a later frame
  // only after this returns.
  virtual void process(const uint8_t* in, uint8_t* out) = 0;
  // The same with the frames before and after `in` (null where there is
  // none), for runs with neighbours.
  virtual void processWith(const uint8_t* /*prev*/, const uint8_t* in, const uint8_t* /*next*/,
                           uint8_t* out) {
    process(in, out);
  }
};

// Runs in which each frame is processed with its neighbours in time.
struct Neighbours {
  // The first frame the source gives is only the neighbour of the second
  // (a segment that starts after the stream's first frame).
  bool leadIn = false;
  // Frames processed at most; the source may give one more, which is then
  // only the neighbour of the last.
  uint64_t count = UINT64_MAX;
};

struct RunResult {
  uint64_t frames = 0;  // frames written
  bool ok = true;
  std::string error;  // the first failure, when !ok
};

// One worker thread per processor when there are two or more; with one
// processor everything runs on the calling thread. Each worker reads its
// frames itself, in turn, into its own input buffer; at most two frames per
// worker are in flight, and the buffers are allocated once. The sink and
// `progress` (may be empty; called after each frame written) are called in
// frame order by one thread at a time. Frames read before a read failure are
// still processed and written; a write failure stops at once.
// With `neighbours`, frames are read into a pool shared by the workers
// (allocated once, two per worker and four more) and processWith gets each
// frame with the one before and after it; a read failure then ends the
// input as if it ended there, and is reported after the frames before it.
RunResult runFrames(FrameSource& source, FrameSink& sink,
                    const std::vector<std::unique_ptr<FrameProcessor>>& processors, size_t inBytes,
                    size_t outBytes, const std::function<void(uint64_t)>& progress,
                    const Neighbours* neighbours = nullptr);

}  // namespace wdi::cli
