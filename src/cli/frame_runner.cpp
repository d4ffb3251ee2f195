#include "cli/frame_runner.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <thread>

namespace wdi::cli {

namespace {

struct Slot {
  std::unique_ptr<uint8_t[]> in;
  std::unique_ptr<uint8_t[]> out;
  PendingFrame pending;
  bool done = false;
};

// Buffers come on first use, so a short stream of large frames takes only
// what it needs; after that nothing is allocated per frame.
bool ensureBuffers(Slot& slot, size_t inBytes, size_t outBytes, RunResult* result) {
  if (slot.in) return true;
  slot.in.reset(new (std::nothrow) uint8_t[inBytes]);
  slot.out.reset(new (std::nothrow) uint8_t[outBytes]);
  if (slot.in && slot.out) return true;
  slot.in.reset();
  slot.out.reset();
  result->ok = false;
  result->error = "out of memory for the frame buffers";
  return false;
}

RunResult runInline(FrameSource& source, FrameSink& sink, FrameProcessor& processor, size_t inBytes,
                    size_t outBytes, const std::function<void(uint64_t)>& progress) {
  RunResult result;
  Slot slot;
  if (!ensureBuffers(slot, inBytes, outBytes, &result)) return result;
  for (;;) {
    const FrameSource::Result r = source.locate(slot.in.get(), &slot.pending, &result.error);
    if (r == FrameSource::Result::End) break;
    if (r == FrameSource::Result::Error) {
      result.ok = false;
      break;
    }
    if (slot.pending.data != nullptr) source.fill(slot.in.get(), slot.pending);
    processor.process(slot.in.get(), slot.out.get());
    if (!sink.write(slot.out.get(), &result.error)) {
      result.ok = false;
      break;
    }
    ++result.frames;
    if (progress) progress(result.frames);
  }
  return result;
}

}  // namespace

RunResult runFrames(FrameSource& source, FrameSink& sink,
                    const std::vector<std::unique_ptr<FrameProcessor>>& processors, size_t inBytes,
                    size_t outBytes, const std::function<void(uint64_t)>& progress) {
  if (processors.size() == 1) {
    return runInline(source, sink, *processors[0], inBytes, outBytes, progress);
  }

  // Frame k lives in slot k % slotCount from its read until its write.
  const size_t slotCount = 2 * processors.size();
  std::vector<Slot> slots(slotCount);
  std::mutex mutex;
  std::condition_variable workReady;
  std::condition_variable frameDone;
  uint64_t queued = 0;  // frames read
  uint64_t taken = 0;   // frames a worker has started
  bool stopping = false;

  auto worker = [&](FrameProcessor* processor) {
    // Frames the worker copies itself go to its own input buffer, which stays
    // in its cache from frame to frame instead of rotating through the slots.
    std::unique_ptr<uint8_t[]> own;
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      workReady.wait(lock, [&] { return stopping || taken < queued; });
      if (taken == queued) return;  // stopping with nothing left
      Slot& slot = slots[taken++ % slotCount];
      lock.unlock();
      uint8_t* in = slot.in.get();
      if (slot.pending.data != nullptr) {
        if (!own) own.reset(new (std::nothrow) uint8_t[inBytes]);
        if (own) in = own.get();
        source.fill(in, slot.pending);
      }
      processor->process(in, slot.out.get());
      lock.lock();
      slot.done = true;
      frameDone.notify_all();
    }
  };

  auto stopWorkers = [&](std::vector<std::thread>& running) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
      // After a failure the frames still queued are dropped, not processed.
      taken = queued;
    }
    workReady.notify_all();
    for (auto& t : running) t.join();
  };

  RunResult result;
  std::vector<std::thread> threads;
  try {
    threads.reserve(processors.size());
    for (const auto& p : processors) threads.emplace_back(worker, p.get());
  } catch (const std::exception&) {
    stopWorkers(threads);
    result.ok = false;
    result.error = "cannot start the worker threads";
    return result;
  }

  bool readEnded = false;
  uint64_t written = 0;
  std::string readError;
  for (;;) {
    // Read ahead while a slot is free; the slot of frame `queued` was
    // written out before, so no worker touches it.
    while (!readEnded && queued - written < slotCount) {
      Slot& slot = slots[queued % slotCount];
      if (!ensureBuffers(slot, inBytes, outBytes, &result)) {
        readEnded = true;
        break;
      }
      const FrameSource::Result r = source.locate(slot.in.get(), &slot.pending, &readError);
      if (r != FrameSource::Result::Frame) {
        readEnded = true;
        if (r == FrameSource::Result::Error && result.ok) {
          result.ok = false;
          result.error = readError;
        }
        break;
      }
      std::lock_guard<std::mutex> lock(mutex);
      slot.done = false;
      ++queued;
      workReady.notify_one();
    }
    if (written == queued) break;
    Slot& slot = slots[written % slotCount];
    {
      std::unique_lock<std::mutex> lock(mutex);
      frameDone.wait(lock, [&] { return slot.done; });
    }
    std::string writeError;
    if (!sink.write(slot.out.get(), &writeError)) {
      if (result.ok) result.error = writeError;
      result.ok = false;
      break;
    }
    ++written;
    result.frames = written;
    if (progress) progress(written);
  }

  stopWorkers(threads);
  return result;
}

}  // namespace wdi::cli
