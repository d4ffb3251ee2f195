#include "cli/frame_runner.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <thread>

namespace wdi::cli {

namespace {

constexpr char kOutOfMemory[] = "out of memory for the frame buffers";

// Allocates on first use, so that a short stream of large frames takes only
// what it needs; after that nothing is allocated per frame.
bool ensure(std::unique_ptr<uint8_t[]>& buffer, size_t bytes) {
  if (!buffer) buffer.reset(new (std::nothrow) uint8_t[bytes]);
  return buffer != nullptr;
}

RunResult runInline(FrameSource& source, FrameSink& sink, FrameProcessor& processor, size_t inBytes,
                    size_t outBytes, const std::function<void(uint64_t)>& progress) {
  RunResult result;
  std::unique_ptr<uint8_t[]> in;
  std::unique_ptr<uint8_t[]> out;
  if (!ensure(in, inBytes) || !ensure(out, outBytes)) {
    result.ok = false;
    result.error = kOutOfMemory;
    return result;
  }
  for (;;) {
    PendingFrame pending;
    const FrameSource::Result r = source.read(in.get(), &pending, &result.error);
    if (r == FrameSource::Result::End) break;
    if (r == FrameSource::Result::Error ||
        (pending.deferred && !source.fill(in.get(), pending, &result.error))) {
      result.ok = false;
      break;
    }
    processor.process(in.get(), out.get());
    if (!sink.write(out.get(), &result.error)) {
      result.ok = false;
      break;
    }
    ++result.frames;
    if (progress) progress(result.frames);
  }
  return result;
}

// The frames of one task: a frame and its neighbours, slots of the pool.
struct Task {
  int slot[3] = {-1, -1, -1};  // before, the frame, after
};

// The frames of a run with neighbours, read in order into a pool of slots.
// A slot is reused once no task holds it and it has left the window of the
// last two frames read and the one read ahead. Called under the runner's
// lock only.
class NeighbourWindow {
 public:
  enum class Next { Frame, Wait, End };

  NeighbourWindow(FrameSource& source, size_t inBytes, size_t slots, const Neighbours& n)
      : source_(source),
        inBytes_(inBytes),
        left_(n.count),
        leadIn_(n.leadIn),
        pool_(slots),
        refs_(slots, 0) {}

  bool allocate() {
    for (auto& p : pool_) {
      if (!ensure(p, inBytes_)) return false;
    }
    return true;
  }

  // The next task, or Wait (no free slot: call again after a release), or
  // End (then `error` holds a read failure, if any).
  Next next(Task* task) {
    if (!started_) {
      if (leadIn_) {
        if (!readInto(&before_)) return Next::Wait;
        if (before_ < 0) return Next::End;
      }
      if (!readInto(&frame_)) return Next::Wait;
      started_ = true;
    }
    if (frame_ < 0 || left_ == 0) return Next::End;
    if (after_ < 0 && !ended_ && !readInto(&after_)) return Next::Wait;
    *task = Task{{before_, frame_, after_}};
    for (const int s : task->slot) {
      if (s >= 0) ++refs_[s];
    }
    --left_;
    before_ = frame_;
    frame_ = after_;
    after_ = -1;
    return Next::Frame;
  }

  void release(const Task& task) {
    for (const int s : task.slot) {
      if (s >= 0) --refs_[s];
    }
  }

  const uint8_t* frame(int slot) const { return slot < 0 ? nullptr : pool_[slot].get(); }
  const std::string& error() const { return error_; }
  bool failed() const { return !error_.empty(); }

 private:
  // Reads the next frame into a free slot (*slot = -1 at the end); false
  // when no slot is free.
  bool readInto(int* slot) {
    *slot = -1;
    if (ended_) return true;
    int free = -1;
    for (size_t i = 0; i < pool_.size() && free < 0; ++i) {
      const int s = static_cast<int>(i);
      if (refs_[i] == 0 && s != before_ && s != frame_ && s != after_) free = s;
    }
    if (free < 0) return false;
    PendingFrame pending;
    const FrameSource::Result r = source_.read(pool_[free].get(), &pending, &error_);
    // A frame's neighbours read it at once, so a located frame is copied here.
    if (r == FrameSource::Result::Frame &&
        (!pending.deferred || source_.fill(pool_[free].get(), pending, &error_))) {
      *slot = free;
    } else {
      if (r == FrameSource::Result::End) error_.clear();
      if (r != FrameSource::Result::End && error_.empty()) error_ = "read error";
      ended_ = true;
    }
    return true;
  }

  FrameSource& source_;
  size_t inBytes_;
  uint64_t left_;
  bool leadIn_;
  std::vector<std::unique_ptr<uint8_t[]>> pool_;
  std::vector<int> refs_;
  int before_ = -1, frame_ = -1, after_ = -1;
  bool started_ = false;
  bool ended_ = false;
  std::string error_;
};

RunResult runInlineWithNeighbours(NeighbourWindow& window, FrameSink& sink,
                                  FrameProcessor& processor, size_t outBytes,
                                  const std::function<void(uint64_t)>& progress) {
  RunResult result;
  std::unique_ptr<uint8_t[]> out;
  if (!window.allocate() || !ensure(out, outBytes)) {
    result.ok = false;
    result.error = kOutOfMemory;
    return result;
  }
  Task task;
  while (window.next(&task) == NeighbourWindow::Next::Frame) {
    processor.processWith(window.frame(task.slot[0]), window.frame(task.slot[1]),
                          window.frame(task.slot[2]), out.get());
    window.release(task);
    if (!sink.write(out.get(), &result.error)) {
      result.ok = false;
      return result;
    }
    ++result.frames;
    if (progress) progress(result.frames);
  }
  if (window.failed()) {
    result.ok = false;
    result.error = window.error();
  }
  return result;
}

// A worker's buffers. They outlive the worker's thread: a frame it finished
// may still wait in `out` for the frames before it to be written.
struct WorkerBuffers {
  static constexpr int kOut = 2;
  std::unique_ptr<uint8_t[]> in;
  std::unique_ptr<uint8_t[]> out[kOut];
  bool busy[kOut] = {};  // holds a frame not yet written
  // The first free output buffer, or kOut.
  int freeOut() const {
    int b = 0;
    while (b < kOut && busy[b]) ++b;
    return b;
  }
};

// A finished frame waiting for its turn to be written.
struct Finished {
  const uint8_t* out = nullptr;
  bool* busy = nullptr;
  bool ready = false;
};

}  // namespace

RunResult runFrames(FrameSource& source, FrameSink& sink,
                    const std::vector<std::unique_ptr<FrameProcessor>>& processors, size_t inBytes,
                    size_t outBytes, const std::function<void(uint64_t)>& progress,
                    const Neighbours* neighbours) {
  std::unique_ptr<NeighbourWindow> window;
  if (neighbours != nullptr) {
    window =
        std::make_unique<NeighbourWindow>(source, inBytes, 2 * processors.size() + 4, *neighbours);
    if (processors.size() == 1) {
      return runInlineWithNeighbours(*window, sink, *processors[0], outBytes, progress);
    }
    if (!window->allocate()) {
      RunResult failed;
      failed.ok = false;
      failed.error = kOutOfMemory;
      return failed;
    }
  }
  if (processors.size() == 1) {
    return runInline(source, sink, *processors[0], inBytes, outBytes, progress);
  }

  // Each worker reads its next frame in turn, processes it in its own
  // buffers, and whoever finishes the frame that is next in order writes it
  // and the finished frames that follow it. Frames stay in the cache of the
  // core that processed them, and no thread only hands frames around. A
  // worker with a second output buffer can go on while its finished frame
  // waits for a slower one before it, so frame k lives in ring slot
  // k % ring.size() from its reading until its writing.
  std::vector<WorkerBuffers> buffers(processors.size());
  std::vector<Finished> ring(processors.size() * WorkerBuffers::kOut);
  std::mutex mutex;
  std::condition_variable changed;
  uint64_t framesRead = 0;
  uint64_t written = 0;  // changed by the writer only, under the mutex
  bool readEnded = false;
  bool writing = false;
  bool stopped = false;  // a failure: nothing more is read or written
  RunResult result;

  auto fail = [&](const std::string& error) {  // under the mutex
    if (result.ok) result.error = error;
    result.ok = false;
  };
  // Under the mutex: nothing more is read or written.
  auto stop = [&](const std::string& error) {
    fail(error);
    stopped = true;
    changed.notify_all();
  };
  // Under the mutex: the input ended (with a read failure when `error`).
  auto endInput = [&](const std::string* error) {
    if (error != nullptr) fail(*error);
    readEnded = true;
    changed.notify_all();
  };

  // Under the mutex; returns with it held.
  auto writeInOrder = [&](std::unique_lock<std::mutex>& lock) {
    if (writing) return;  // the writer sees this frame when it gets to it
    writing = true;
    while (!stopped && ring[written % ring.size()].ready) {
      Finished& f = ring[written % ring.size()];
      const uint64_t frame = written + 1;
      lock.unlock();
      std::string error;
      const bool ok = sink.write(f.out, &error);
      if (ok && progress) progress(frame);
      lock.lock();
      if (!ok) {
        stop(error);
        break;
      }
      f.ready = false;
      *f.busy = false;
      written = frame;
      changed.notify_all();
    }
    writing = false;
  };

  auto worker = [&](FrameProcessor* processor, WorkerBuffers* own) {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      changed.wait(lock,
                   [&] { return stopped || readEnded || own->freeOut() < WorkerBuffers::kOut; });
      if (stopped || readEnded) return;
      const int b = own->freeOut();
      if (window) {
        if (!ensure(own->out[b], outBytes)) return stop(kOutOfMemory);
        Task task;
        const NeighbourWindow::Next next = window->next(&task);
        if (next == NeighbourWindow::Next::Wait) {
          changed.wait(lock);
          continue;
        }
        if (next == NeighbourWindow::Next::End) {
          return endInput(window->failed() ? &window->error() : nullptr);
        }
        const uint64_t k = framesRead++;
        own->busy[b] = true;
        lock.unlock();
        processor->processWith(window->frame(task.slot[0]), window->frame(task.slot[1]),
                               window->frame(task.slot[2]), own->out[b].get());
        lock.lock();
        window->release(task);
        ring[k % ring.size()] = Finished{own->out[b].get(), &own->busy[b], true};
        changed.notify_all();
        writeInOrder(lock);
        continue;
      }
      if (!ensure(own->in, inBytes) || !ensure(own->out[b], outBytes)) return stop(kOutOfMemory);
      PendingFrame pending;
      std::string error;
      const FrameSource::Result r = source.read(own->in.get(), &pending, &error);
      if (r != FrameSource::Result::Frame) {
        // The frames read before are still processed and written.
        return endInput(r == FrameSource::Result::Error ? &error : nullptr);
      }
      const uint64_t k = framesRead++;
      own->busy[b] = true;
      lock.unlock();
      if (pending.deferred && !source.fill(own->in.get(), pending, &error)) {
        // The input changed under the reader: the run fails here.
        lock.lock();
        return stop(error);
      }
      processor->process(own->in.get(), own->out[b].get());
      lock.lock();
      ring[k % ring.size()] = Finished{own->out[b].get(), &own->busy[b], true};
      writeInOrder(lock);
    }
  };

  std::vector<std::thread> threads;
  try {
    threads.reserve(processors.size());
    for (size_t i = 0; i < processors.size(); ++i) {
      threads.emplace_back(worker, processors[i].get(), &buffers[i]);
    }
  } catch (const std::exception&) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      fail("cannot start the worker threads");
      stopped = true;
    }
    changed.notify_all();
  }
  for (auto& t : threads) t.join();
  result.frames = written;
  return result;
}

}  // namespace wdi::cli
