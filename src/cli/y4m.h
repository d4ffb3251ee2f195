// YUV4MPEG2 streams of 8-bit 4:2:0 pictures: header parsing, frame reading
// and writing on stdio streams. Every refusal is a one-line message naming
// the file.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "pipeline/padding.h"

namespace wdi::cli {

// Largest width or height taken; bounds the memory a header can demand.
constexpr uint32_t kMaxDimension = 16384;
// Longest header or FRAME line taken, '\n' included.
constexpr size_t kMaxLineBytes = 65536;

// Chroma sampling of an 8-bit input; all but 4:2:0 are converted to it.
enum class ChromaFormat { C420, C422, C444, C411 };

struct Y4mHeader {
  uint32_t width = 0;
  uint32_t height = 0;
  ChromaFormat chroma = ChromaFormat::C420;
  // The tags after "YUV4MPEG2", as they stand, in order.
  std::vector<std::string> tags;
};

// Parses a header line without its '\n'. On a refusal returns false with the cause.
bool parseY4mHeader(const std::string& line, Y4mHeader* header, std::string* error);

// Size of each chroma plane of an input picture of this format.
void chromaPlaneSize(ChromaFormat format, uint32_t width, uint32_t height, uint32_t* chromaWidth,
                     uint32_t* chromaHeight);

// The output's header line, '\n' included: the input's tags with the
// interlace tag set to "Ip" (replaced where it stands, appended if absent),
// with `doubleRate` the frame rate's numerator doubled (F25:1 -> F50:1), and
// the colour space of a converted input set to C420.
std::string progressiveHeaderLine(const Y4mHeader& header, bool doubleRate = false);

// The letter of the header's interlace tag ('t', 'b', 'p', 'm', '?'), 0 if absent.
char interlaceTag(const Y4mHeader& header);

class Y4mReader {
 public:
  enum class Result { Frame, End, Error };

  // `name` names the stream in messages. The reader does not own `file`.
  Y4mReader(std::FILE* file, std::string name) : file_(file), name_(std::move(name)) {}

  bool readHeader(std::string* error);
  const Y4mHeader& header() const { return header_; }

  // Reads the next frame into the three planes, given in Y4M order (Y, Cb,
  // Cr), each of the size the header's format gives. `progressive`, when
  // not null, tells whether the frame's own FRAME line says it is
  // progressive (an I parameter "p", or a three-letter one whose middle
  // letter is 'p'). End means the stream ended cleanly before a frame; a frame cut
  // short is an Error.
  Result readFrame(const PlaneRef planes[3], std::string* error, bool* progressive = nullptr);

  // As readFrame, except that a whole well-formed frame of a regular file is
  // only located: *located is set and *position is where its planes start
  // (Y4M order, packed), for readPlanesAt, which may run on any thread and on
  // several at once. Other frames are read into `planes`.
  Result nextFrame(const PlaneRef planes[3], bool* located, uint64_t* position, std::string* error,
                   bool* progressive = nullptr);
  // Copies the planes of a located frame; false when the file was cut short
  // since.
  bool readPlanesAt(uint64_t position, const PlaneRef planes[3], std::string* error) const;

  uint64_t framesRead() const { return frames_; }

  // Steps over the next `n` frames of a regular file without reading them,
  // when the next frame line is a plain "FRAME" and one stands where the
  // frame n further on must begin (so every frame in between has a plain
  // FRAME line, as encoders write them). False changes nothing: the caller
  // then steps frame by frame.
  bool skipFrames(uint64_t n, const PlaneRef planes[3]);

 private:
  // Reads up to '\n' (not stored). Returns false at the byte limit, on a read
  // error or at the end of the stream; `count` tells how many bytes came.
  bool readLine(std::string* line, size_t* count);
  std::string readFailure(const std::string& what) const;
  // The FRAME line at offset_ and the size of the file checked; false hands
  // the rest of the stream to stdio.
  bool locateFrame(const PlaneRef planes[3], uint64_t* position, bool* progressive);

  std::FILE* file_;
  std::string name_;
  Y4mHeader header_;
  uint64_t frames_ = 0;
  // A regular file is read with pread at offset_ (just after the header at
  // first) until locateFrame fails; then stdio goes on. fd_ stays set for
  // the frames located before, which workers may still be copying.
  int fd_ = -1;
  bool locating_ = false;
  uint64_t offset_ = 0;
};

class Y4mWriter {
 public:
  Y4mWriter(std::FILE* file, std::string name) : file_(file), name_(std::move(name)) {}
  bool writeHeader(const std::string& line, std::string* error);
  // Writes "FRAME\n" and the three planes in Y4M order (Y, Cb, Cr).
  bool writeFrame(const PlaneRef planes[3], std::string* error);
  // Flushes; reports a write error that buffering delayed.
  bool flush(std::string* error);

 private:
  bool put(const void* data, size_t bytes, std::string* error);
  std::FILE* file_;
  std::string name_;
};

}  // namespace wdi::cli
