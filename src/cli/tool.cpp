#include "cli/tool.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli/demo.h"
#include "cli/frame_runner.h"
#include "cli/host_run.h"
#include "cli/interrupt.h"
#include "cli/options.h"
#include "cli/png_writer.h"
#include "cli/progress.h"
#include "cli/region_options.h"
#include "cli/y4m.h"
#include "core/stream.h"
#include "pipeline/chroma_fields.h"
#include "pipeline/padding.h"
#include "platform/cpu.h"

namespace wdi::cli {

namespace {

const char* cpuLevelName() { return cpuLevelOf(cpuFlags()).name; }

// An stdio stream that is closed on scope exit unless it is stdin/stdout.
class File {
 public:
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { close(nullptr); }

  bool openRead(const std::string& path, std::string* error) {
    if (path == "-") {
      file_ = stdin;
      return true;
    }
    return open(path, "rb", error);
  }
  bool openWrite(const std::string& path, std::string* error) {
    if (path == "-") {
      file_ = stdout;
      return true;
    }
    return open(path, "wb", error);
  }
  std::FILE* get() const { return file_; }
  // Closes (flushes standard output); false with a message on a write error.
  bool close(std::string* error, const std::string& name = std::string()) {
    if (file_ == nullptr) return true;
    bool ok;
    if (file_ == stdin) {
      ok = true;
    } else if (file_ == stdout) {
      ok = std::fflush(file_) == 0 && !std::ferror(file_);
    } else {
      ok = std::fclose(file_) == 0;
    }
    file_ = nullptr;
    if (!ok && error != nullptr) *error = name + ": write error: " + std::strerror(errno);
    return ok;
  }

 private:
  bool open(const std::string& path, const char* mode, std::string* error) {
    file_ = std::fopen(path.c_str(), mode);
    if (file_ == nullptr) {
      *error = path + ": cannot open: " + std::strerror(errno);
      return false;
    }
    return true;
  }
  std::FILE* file_ = nullptr;
};

bool sameFile(const std::string& a, const std::string& b) {
  if (a == "-" || b == "-") return false;
  struct stat sa, sb;
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino && S_ISREG(sa.st_mode);
}

// Input frames are engine frames followed by one byte: 1 when the frame
// passes through unchanged (--only-interlaced and a progressive frame).
size_t inputFrameBytes(const FrameGeometry& g) { return g.engineBytes() + 1; }

class Y4mSource : public FrameSource {
 public:
  // Gives at most `count` frames. `passProgressive`: mark the frames that
  // the stream's Ip tag or their own FRAME line call progressive.
  Y4mSource(Y4mReader& reader, const FrameGeometry& g, uint64_t count, bool passProgressive)
      : reader_(reader),
        geometry_(g),
        left_(count),
        passProgressive_(passProgressive),
        streamProgressive_(interlaceTag(reader.header()) == 'p') {
    const Y4mHeader& h = reader.header();
    if (h.chroma != ChromaFormat::C420) {
      uint32_t cw, ch;
      chromaPlaneSize(h.chroma, h.width, h.height, &cw, &ch);
      picture_.resize(size_t{h.width} * h.height + 2 * size_t{cw} * ch);
      inputPlanes_[0] = {picture_.data(), h.width, h.width, h.height};
      inputPlanes_[1] = {picture_.data() + size_t{h.width} * h.height, cw, cw, ch};
      inputPlanes_[2] = {inputPlanes_[1].data + size_t{cw} * ch, cw, cw, ch};
    }
  }
  // Frames of a regular file are only located here and copied by the worker.
  Result read(uint8_t* frame, PendingFrame* pending, std::string* error) override {
    // A signal ends the stream before the next frame.
    if (left_ == 0 || interruptSignal() != 0) return Result::End;
    --left_;
    PlaneRef planes[3];
    pictureInEngineFrame(frame, geometry_, planes);
    *pending = PendingFrame{};
    bool progressive = false;
    const Y4mReader::Result r =
        picture_.empty()
            ? reader_.nextFrame(planes, &pending->deferred, &pending->position, error, &progressive)
            : reader_.readFrame(inputPlanes_, error, &progressive);
    switch (r) {
      case Y4mReader::Result::End:
        return Result::End;
      case Y4mReader::Result::Error:
        return Result::Error;
      case Y4mReader::Result::Frame:
        break;
    }
    if (!picture_.empty()) convert(planes);
    if (!pending->deferred) padEngineFrame(frame, geometry_);
    frame[geometry_.engineBytes()] =
        passProgressive_ && (streamProgressive_ || progressive) ? 1 : 0;
    return Result::Frame;
  }
  bool fill(uint8_t* frame, const PendingFrame& pending, std::string* error) override {
    PlaneRef planes[3];
    pictureInEngineFrame(frame, geometry_, planes);
    if (!reader_.readPlanesAt(pending.position, planes, error)) return false;
    padEngineFrame(frame, geometry_);
    return true;
  }

 private:
  // The luma as it is, the chroma brought to 4:2:0 field by field.
  void convert(const PlaneRef planes[3]) {
    for (uint32_t y = 0; y < geometry_.height; ++y) {
      std::memcpy(planes[0].data + y * planes[0].stride,
                  inputPlanes_[0].data + y * inputPlanes_[0].stride, geometry_.width);
    }
    const ChromaFormat f = reader_.header().chroma;
    const ChromaColumns columns = f == ChromaFormat::C444   ? ChromaColumns::Pairs
                                  : f == ChromaFormat::C411 ? ChromaColumns::Halves
                                                            : ChromaColumns::Same;
    for (int p = 1; p < 3; ++p) {
      ChromaToFields420(inputPlanes_[p].data, inputPlanes_[p].stride, columns, geometry_.width,
                        geometry_.height, planes[p].data, planes[p].stride);
    }
  }

  Y4mReader& reader_;
  FrameGeometry geometry_;
  uint64_t left_;
  bool passProgressive_;
  bool streamProgressive_;
  // A picture of another chroma format, as read.
  std::vector<uint8_t> picture_;
  PlaneRef inputPlanes_[3] = {};
};

// Each input frame gives `perInput` output frames, one after the other in the
// output buffer.
class Y4mSink : public FrameSink {
 public:
  Y4mSink(Y4mWriter& writer, const FrameGeometry& g, int perInput)
      : writer_(writer), geometry_(g), perInput_(perInput) {}
  bool write(const uint8_t* frame, std::string* error) override {
    if (interruptSignal() != 0) {
      *error = "interrupted";
      return false;
    }
    for (int k = 0; k < perInput_; ++k) {
      // Crops the padding away: the planes keep the engine's strides.
      PlaneRef planes[3];
      pictureInEngineFrame(const_cast<uint8_t*>(frame) + k * geometry_.engineBytes(), geometry_,
                           planes);
      if (!writer_.writeFrame(planes, error)) return false;
    }
    return true;
  }

 private:
  Y4mWriter& writer_;
  FrameGeometry geometry_;
  int perInput_;
};

// What each input frame becomes: the fields kept, in output order.
struct OutputPlan {
  core::Field kept[2];
  int perInput;  // 1 (frame rate) or 2 (field rate)
  bool showDetection;
};

OutputPlan makePlan(const CliOptions& o, bool topFieldFirst) {
  OutputPlan plan{};
  plan.showDetection = o.showDetection;
  if (o.fieldRate) {
    plan.perInput = 2;
    plan.kept[0] = topFieldFirst ? core::Field::Top : core::Field::Bottom;
    plan.kept[1] = topFieldFirst ? core::Field::Bottom : core::Field::Top;
  } else {
    plan.perInput = 1;
    plan.kept[0] = o.keepTop ? core::Field::Top : core::Field::Bottom;
  }
  return plan;
}

// One core stream per worker; frames come and go in the engine's padded layout.
class CoreProcessor : public FrameProcessor {
 public:
  CoreProcessor(std::unique_ptr<core::Stream> stream, const OutputPlan& plan,
                std::atomic<uint64_t>* passedThrough)
      : stream_(std::move(stream)), plan_(plan), passedThrough_(passedThrough) {}
  void process(const uint8_t* in, uint8_t* out) override { processWith(nullptr, in, nullptr, out); }
  void processWith(const uint8_t* prev, const uint8_t* in, const uint8_t* next,
                   uint8_t* out) override {
    const size_t frameBytes = stream_->geometry().engineBytes();
    if (in[frameBytes] != 0) {
      for (int k = 0; k < plan_.perInput; ++k) std::memcpy(out + k * frameBytes, in, frameBytes);
      passedThrough_->fetch_add(1, std::memory_order_relaxed);
      return;
    }
    for (int k = 0; k < plan_.perInput; ++k) {
      uint8_t* result = out + k * frameBytes;
      stream_->setKeptField(plan_.kept[k]);
      stream_->processPadded(in, result, prev, next);
      if (plan_.showDetection) stream_->showDetection(result);
    }
  }

 private:
  std::unique_ptr<core::Stream> stream_;
  OutputPlan plan_;
  std::atomic<uint64_t>* passedThrough_;  // frames passed through, over all workers
};

// Moves the reader to frame `first`: straight there in a regular file whose
// frames are all alike, else frame by frame (only located, or read and
// dropped from a pipe). False with a message on a damaged frame; reaching
// the end is no error (the segment is empty).
bool skipToFrame(Y4mReader& reader, const FrameGeometry& g, uint64_t first, std::string* error) {
  std::vector<uint8_t> scratch(g.engineBytes());
  PlaneRef planes[3];
  pictureInEngineFrame(scratch.data(), g, planes);
  if (reader.skipFrames(first, planes)) return true;
  for (uint64_t i = 0; i < first; ++i) {
    bool located = false;
    uint64_t position = 0;
    switch (reader.nextFrame(planes, &located, &position, error)) {
      case Y4mReader::Result::End:
        return true;
      case Y4mReader::Result::Error:
        return false;
      case Y4mReader::Result::Frame:
        break;
    }
  }
  return true;
}

// A stream with the command line's options and region; false with a message.
bool makeStream(const CliOptions& o, const FrameGeometry& g, const CRectList& region,
                std::unique_ptr<core::Stream>* stream, std::string* error) {
  core::Status status = core::Status::Ok;
  *stream = core::Stream::create(g.width, g.height, &status);
  if (*stream != nullptr && status == core::Status::Ok) status = (*stream)->setRegion(region);
  if (*stream == nullptr || status != core::Status::Ok) {
    *error = status == core::Status::NoMemory ? "out of memory for the frames"
                                              : "cannot set up the stream";
    return false;
  }
  (*stream)->setParameters(o.params);
  return true;
}

uint32_t threadCount(const CliOptions& o) {
  if (o.threads != 0) return o.threads;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : cores;
}

// Deinterlaces a Y4M stream. Returns false with a one-line message.
// Whether a write failed because the reader closed the output pipe.
bool pipeClosed(const std::string& error) {
  const std::string broken = std::strerror(EPIPE);
  return error.size() >= broken.size() &&
         error.compare(error.size() - broken.size(), broken.size(), broken) == 0;
}

// Deinterlaces a Y4M stream. Returns false with a one-line message; after a
// signal, with the output holding whole frames only.
bool processY4m(const CliOptions& o, const std::string& inPath, const std::string& outPath,
                std::string* error, uint64_t* framesWritten = nullptr) {
  const auto start = std::chrono::steady_clock::now();
  File in;
  if (!in.openRead(inPath, error)) return false;
  const std::string inName = inPath == "-" ? "standard input" : inPath;
  const std::string outName = outPath == "-" ? "standard output" : outPath;
  Y4mReader reader(in.get(), inName);
  if (!reader.readHeader(error)) return false;
  if (sameFile(inPath, outPath)) {
    *error = outPath + ": is the input file; choose another OUTPUT";
    return false;
  }
  const FrameGeometry g = makeGeometry(reader.header().width, reader.header().height);
  CRectList region;
  if (!buildRegion(o, &region, error)) return false;

  // It: top field first, Ib: bottom field first; Ip, Im, none: top first.
  const char tag = interlaceTag(reader.header());
  const bool topFirst =
      o.fieldOrder == FieldOrder::Tff || (o.fieldOrder == FieldOrder::Auto && tag != 'b');
  const OutputPlan plan = makePlan(o, topFirst);

  const uint32_t threads = threadCount(o);
  std::atomic<uint64_t> passedThrough{0};
  std::vector<std::unique_ptr<FrameProcessor>> processors;
  for (uint32_t i = 0; i < threads; ++i) {
    std::unique_ptr<core::Stream> stream;
    if (!makeStream(o, g, region, &stream, error)) return false;
    stream->setTopFieldFirst(topFirst);
    processors.push_back(std::make_unique<CoreProcessor>(std::move(stream), plan, &passedThrough));
  }
  // Method 6 reads each frame's neighbours: a segment reads the frame before
  // it and the one after it too, when they exist.
  const bool temporal = o.params.method == core::kTemporalMethod;
  Neighbours neighbours;
  neighbours.leadIn = temporal && o.firstFrame > 0;
  neighbours.count = o.frameCount;
  const uint64_t extra = temporal ? (neighbours.leadIn ? 2 : 1) : 0;
  const uint64_t readCount = o.frameCount > UINT64_MAX - extra ? UINT64_MAX : o.frameCount + extra;
  if (!skipToFrame(reader, g, o.firstFrame - (neighbours.leadIn ? 1 : 0), error)) return false;

  File out;
  if (!out.openWrite(outPath, error)) return false;
  Y4mWriter writer(out.get(), outName);
  if (!writer.writeHeader(progressiveHeaderLine(reader.header(), o.fieldRate), error)) {
    return false;
  }

  Y4mSource source(reader, g, readCount, o.onlyInterlaced);
  Y4mSink sink(writer, g, plan.perInput);
  ProgressLine progress(!o.quiet && isatty(STDERR_FILENO) == 1, stderr);
  const RunResult r = runFrames(
      source, sink, processors, inputFrameBytes(g), plan.perInput * g.engineBytes(),
      [&progress](uint64_t frames) { progress.update(frames); }, temporal ? &neighbours : nullptr);
  if (framesWritten != nullptr) *framesWritten = r.frames * static_cast<uint64_t>(plan.perInput);
  progress.finish(r.frames);
  if (!r.ok && pipeClosed(r.error)) {
    *error = outName + ": the reader closed the pipe (" + std::strerror(EPIPE) + ") after " +
             std::to_string(r.frames * plan.perInput) + " frames";
    return false;
  }
  const int signal = interruptSignal();
  if (!r.ok && signal == 0) {
    *error = r.error;
    return false;
  }
  if (!writer.flush(error)) return false;
  if (signal != 0) {
    // Every frame went out whole; a regular file is cut back to them all the same.
    struct stat st;
    const off_t whole =
        static_cast<off_t>(progressiveHeaderLine(reader.header(), o.fieldRate).size() +
                           r.frames * plan.perInput * (6 + g.pictureBytes()));
    // Only a guard: the frames written are already whole, so a failed cut loses nothing.
    if (fstat(fileno(out.get()), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > whole) {
      const int cut = ftruncate(fileno(out.get()), whole);
      (void)cut;
    }
  }
  if (!out.close(error, outName)) return false;
  if (signal != 0) {
    *error = std::string("interrupted by ") + signalName(signal) + ": " + outName + " holds " +
             std::to_string(r.frames * plan.perInput) + " whole frames";
    return false;
  }

  if (o.verbose) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::string size = std::to_string(g.width) + "x" + std::to_string(g.height);
    if (g.needsPadding()) {
      size += " (padded to " + std::to_string(g.paddedWidth) + "x" +
              std::to_string(g.paddedHeight) + ")";
    }
    std::string rate;
    if (o.fieldRate) {
      rate = ", " + std::to_string(2 * r.frames) + " frames out at field rate, " +
             (topFirst ? "top" : "bottom") + " field first (" +
             (o.fieldOrder != FieldOrder::Auto ? "--field-order"
              : tag != 0                       ? std::string("header I") + tag
                                               : std::string("no I tag in the header")) +
             ")";
    }
    if (o.onlyInterlaced) {
      rate += ", " + std::to_string(passedThrough.load()) + " passed through as progressive" +
              (interlaceTag(reader.header()) == 'p' ? " (the stream is tagged Ip)"
                                                    : " (by their FRAME lines)");
    }
    std::fprintf(stderr,
                 "wdeint: %llu frames of %s, method %d%s, %u thread%s, %s: %.3f s, %.1f fps\n",
                 static_cast<unsigned long long>(r.frames), size.c_str(),
                 static_cast<int>(o.params.method), rate.c_str(), threads, threads == 1 ? "" : "s",
                 cpuLevelName(), seconds, framesPerSecond(r.frames, seconds));
  }
  return true;
}

bool makeDirectory(const std::string& dir, std::string* error) {
  if (mkdir(dir.c_str(), 0777) == 0) return true;
  struct stat st;
  if (errno == EEXIST && stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
  *error = dir + ": cannot create directory: " + std::strerror(errno);
  return false;
}

std::string demoHeader(const CliOptions& o, const char* rate, char interlace) {
  return "YUV4MPEG2 W" + std::to_string(o.demoWidth) + " H" + std::to_string(o.demoHeight) + " F" +
         rate + " I" + interlace + " C420mpeg2\n";
}

// Writes DIR/input.y4m (and DIR/progressive.y4m) from the synthetic scene.
bool writeDemoClip(const CliOptions& o, const std::string& inputPath,
                   const std::string& progressivePath, std::string* error) {
  const FrameGeometry g = makeGeometry(o.demoWidth, o.demoHeight);
  const DemoScene scene(o.demoWidth, o.demoHeight);
  std::vector<uint8_t> top(scene.pictureBytes()), bottom(scene.pictureBytes()),
      frame(scene.pictureBytes());
  File in, prog;
  if (!in.openWrite(inputPath, error)) return false;
  Y4mWriter inWriter(in.get(), inputPath);
  if (!inWriter.writeHeader(demoHeader(o, "25:1", 't'), error)) return false;
  Y4mWriter progWriter(nullptr, progressivePath);
  if (o.demoProgressive) {
    if (!prog.openWrite(progressivePath, error)) return false;
    progWriter = Y4mWriter(prog.get(), progressivePath);
    if (!progWriter.writeHeader(demoHeader(o, "50:1", 'p'), error)) return false;
  }
  PlaneRef planes[3];
  for (uint32_t n = 0; n < o.demoFrames; ++n) {
    scene.render(2 * n, top.data());
    scene.render(2 * n + 1, bottom.data());
    weaveFields(top.data(), bottom.data(), o.demoWidth, o.demoHeight, frame.data());
    packedPicture(frame.data(), g, planes);
    if (!inWriter.writeFrame(planes, error)) return false;
    if (o.demoProgressive) {
      for (uint8_t* picture : {top.data(), bottom.data()}) {
        packedPicture(picture, g, planes);
        if (!progWriter.writeFrame(planes, error)) return false;
      }
    }
  }
  return inWriter.flush(error) && in.close(error, inputPath) &&
         (!o.demoProgressive || (progWriter.flush(error) && prog.close(error, progressivePath)));
}

// Reads picture `index` (from 0) of a Y4M file, packed in Y4M order.
bool readPicture(const std::string& path, uint64_t index, std::vector<uint8_t>* picture,
                 FrameGeometry* geometry, std::string* error) {
  File file;
  if (!file.openRead(path, error)) return false;
  Y4mReader reader(file.get(), path);
  if (!reader.readHeader(error)) return false;
  *geometry = makeGeometry(reader.header().width, reader.header().height);
  picture->resize(geometry->pictureBytes());
  PlaneRef planes[3];
  packedPicture(picture->data(), *geometry, planes);
  for (uint64_t i = 0; i <= index; ++i) {
    const Y4mReader::Result r = reader.readFrame(planes, error);
    if (r == Y4mReader::Result::Error) return false;
    if (r == Y4mReader::Result::End) {
      *error = path + ": has no frame " + std::to_string(index + 1);
      return false;
    }
  }
  return true;
}

bool runDemo(const CliOptions& o, std::string* error) {
  if (!makeDirectory(o.demoDir, error)) return false;
  const std::string input = o.demoDir + "/input.y4m";
  const std::string output = o.demoDir + "/output.y4m";
  if (!writeDemoClip(o, input, o.demoDir + "/progressive.y4m", error)) return false;
  if (!processY4m(o, input, output, error)) return false;

  // A frame from the middle, where every object is in motion.
  const uint64_t shown = o.demoFrames / 2;
  std::vector<uint8_t> before, after;
  FrameGeometry g, ga;
  if (!readPicture(input, shown, &before, &g, error) ||
      !readPicture(output, shown, &after, &ga, error)) {
    return false;
  }
  const size_t stride = static_cast<size_t>(g.width) * 2 * 3;
  std::vector<uint8_t> rgb(stride * g.height);
  pictureToRgb(before.data(), g.width, g.height, rgb.data(), stride);
  pictureToRgb(after.data(), g.width, g.height, rgb.data() + static_cast<size_t>(g.width) * 3,
               stride);
  if (!writePngRgb(o.demoDir + "/before-after.png", rgb.data(), g.width * 2, g.height, stride,
                   error)) {
    return false;
  }

  // The same frame as --show-detection shows it.
  CliOptions view = o;
  view.showDetection = true;
  view.fieldRate = false;
  view.firstFrame = shown;
  view.frameCount = 1;
  view.quiet = true;
  view.verbose = false;
  const std::string viewClip = o.demoDir + "/detection.y4m";
  std::vector<uint8_t> shownView;
  const bool viewed =
      processY4m(view, input, viewClip, error) && readPicture(viewClip, 0, &shownView, &ga, error);
  std::remove(viewClip.c_str());
  if (!viewed) return false;
  pictureToRgb(shownView.data(), g.width, g.height, rgb.data(), g.width * size_t{3});
  return writePngRgb(o.demoDir + "/detection.png", rgb.data(), g.width, g.height,
                     g.width * size_t{3}, error);
}

int run(int argc, const char* const* argv) {
  CliOptions o;
  std::string error;
  if (!parseCommandLine(argc, argv, &o, &error)) {
    std::fprintf(stderr, "wdeint: %s\n", error.c_str());
    return kExitFailure;
  }
  if (o.help) {
    std::fputs(usageText().c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : kExitFailure;
  }
  // Signals end the run at a frame boundary; a closed output pipe comes back
  // as a write error.
  installInterruptHandlers();
  if (!o.cpu.empty()) {
    uint32_t mask = 0;
    cpuLevelMask(o.cpu.c_str(), &mask);
    cpuSetMask(mask);
  }
  bool ok;
  if (!o.demoDir.empty()) {
    ok = runDemo(o, &error);
  } else if (o.bgr24) {
    ok = !sameFile(o.input, o.output) && processBgr24(o, &error);
    if (sameFile(o.input, o.output))
      error = o.output + ": is the input file; choose another OUTPUT";
  } else {
    ok = processY4m(o, o.input, o.output, &error);
  }
  if (!ok) {
    std::fprintf(stderr, "wdeint: %s\n", error.c_str());
    // 128 + the signal, as a shell reports a process the signal ended.
    const int signal = interruptSignal();
    return signal != 0 && !pipeClosed(error) && error.rfind("interrupted", 0) == 0 ? 128 + signal
                                                                                   : kExitFailure;
  }
  return 0;
}

}  // namespace

int runTool(int argc, const char* const* argv) {
  try {
    return run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "wdeint: out of memory\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "wdeint: %s\n", e.what());
  }
  return kExitFailure;
}

}  // namespace wdi::cli
