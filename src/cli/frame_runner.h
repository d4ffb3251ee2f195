// Runs a stream of frames through per-thread processors: frames are read and
// written in order on the calling thread and processed in parallel by the
// workers, so the output does not depend on the number of workers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace wdi::cli {

// Where a frame that the reading thread only located can be copied from.
struct PendingFrame {
  const uint8_t* data = nullptr;  // null: the frame is already in its buffer
};

class FrameSource {
 public:
  enum class Result { Frame, End, Error };
  virtual ~FrameSource() = default;
  // Fills `frame` with the next frame.
  virtual Result read(uint8_t* frame, std::string* error) = 0;
  // Like read(), but a source may leave the copying of the frame to fill(),
  // which the runner calls on the worker just before the frame is processed:
  // the copies of several frames then run in parallel and each lands in the
  // cache of the core that processes it. fill() may run on several workers
  // at once.
  virtual Result locate(uint8_t* frame, PendingFrame* pending, std::string* error) {
    *pending = PendingFrame{};
    return read(frame, error);
  }
  virtual void fill(uint8_t* /*frame*/, const PendingFrame& /*pending*/) {}
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
};

struct RunResult {
  uint64_t frames = 0;  // frames written
  bool ok = true;
  std::string error;  // the first failure, when !ok
};

// One worker thread per processor when there are two or more; with one
// processor everything runs on the calling thread. At most two frames per
// worker are in flight, and their buffers are allocated once.
// `progress` (may be empty) is called on the calling thread after each
// frame written. Frames read before a read failure are still processed and
// written; a write failure stops at once.
RunResult runFrames(FrameSource& source, FrameSink& sink,
                    const std::vector<std::unique_ptr<FrameProcessor>>& processors, size_t inBytes,
                    size_t outBytes, const std::function<void(uint64_t)>& progress);

}  // namespace wdi::cli
