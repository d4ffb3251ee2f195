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
                    size_t outBytes, const std::function<void(uint64_t)>& progress) {
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
        fail(error);
        stopped = true;
        changed.notify_all();
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
      if (!ensure(own->in, inBytes) || !ensure(own->out[b], outBytes)) {
        fail(kOutOfMemory);
        stopped = true;
        changed.notify_all();
        return;
      }
      PendingFrame pending;
      std::string error;
      const FrameSource::Result r = source.read(own->in.get(), &pending, &error);
      if (r != FrameSource::Result::Frame) {
        // The frames read before are still processed and written.
        if (r == FrameSource::Result::Error) fail(error);
        readEnded = true;
        changed.notify_all();
        return;
      }
      const uint64_t k = framesRead++;
      own->busy[b] = true;
      lock.unlock();
      if (pending.deferred && !source.fill(own->in.get(), pending, &error)) {
        // The input changed under the reader: the run fails here.
        lock.lock();
        fail(error);
        stopped = true;
        changed.notify_all();
        return;
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
