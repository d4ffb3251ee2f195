#include "cli/y4m.h"

#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace wdi::cli {

namespace {

constexpr char kMagic[] = "YUV4MPEG2";
constexpr size_t kMagicBytes = sizeof kMagic - 1;

bool isDigits(const std::string& s, size_t from, size_t to) {
  if (from >= to) return false;
  for (size_t i = from; i < to; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
  }
  return true;
}

// "n:d" with decimal digits on both sides, as the F and A tags have it.
bool isRatio(const std::string& value) {
  const size_t colon = value.find(':');
  return colon != std::string::npos && isDigits(value, 0, colon) &&
         isDigits(value, colon + 1, value.size()) && colon < 11 && value.size() - colon <= 11;
}

bool parseDimension(const std::string& value, uint32_t* out) {
  if (!isDigits(value, 0, value.size()) || value.size() > 9) return false;
  const unsigned long v = std::strtoul(value.c_str(), nullptr, 10);
  if (v < 1 || v > kMaxDimension) return false;
  *out = static_cast<uint32_t>(v);
  return true;
}

std::string printable(const std::string& s) {
  std::string r;
  for (char c : s.substr(0, 40)) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F) {
      r += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      r += hex;
    }
  }
  if (s.size() > 40) r += "...";
  return r;
}

}  // namespace

bool parseY4mHeader(const std::string& line, Y4mHeader* header, std::string* error) {
  if (line.compare(0, kMagicBytes, kMagic) != 0 ||
      (line.size() > kMagicBytes && line[kMagicBytes] != ' ')) {
    *error = "not a YUV4MPEG2 stream";
    return false;
  }
  Y4mHeader h;
  bool seen[128] = {};
  size_t pos = kMagicBytes;
  while (pos < line.size()) {
    ++pos;  // the space before a tag
    size_t end = line.find(' ', pos);
    if (end == std::string::npos) end = line.size();
    const std::string tag = line.substr(pos, end - pos);
    pos = end;
    if (tag.empty()) {
      *error = "malformed header: empty tag (stray space)";
      return false;
    }
    const auto letter = static_cast<unsigned char>(tag[0]);
    const std::string value = tag.substr(1);
    if (letter >= 128) {
      *error = "malformed header: bad tag '" + printable(tag) + "'";
      return false;
    }
    if (letter != 'X' && seen[letter]) {
      *error = std::string("malformed header: tag ") + tag[0] + " given twice";
      return false;
    }
    seen[letter] = true;
    switch (letter) {
      case 'W':
      case 'H':
        if (!parseDimension(value, letter == 'W' ? &h.width : &h.height)) {
          *error = std::string("unsupported frame ") + (letter == 'W' ? "width" : "height") + " '" +
                   printable(value) + "' (1.." + std::to_string(kMaxDimension) + " taken)";
          return false;
        }
        break;
      case 'C':
        if (value == "420" || value == "420jpeg" || value == "420paldv" || value == "420mpeg2") {
          h.chroma = ChromaFormat::C420;
        } else if (value == "422") {
          h.chroma = ChromaFormat::C422;
        } else if (value == "444") {
          h.chroma = ChromaFormat::C444;
        } else if (value == "411") {
          h.chroma = ChromaFormat::C411;
        } else {
          *error =
              "unsupported colour space 'C" + printable(value) +
              "': 8-bit C420 (jpeg, paldv, mpeg2), C422, C444 and C411 are taken; convert "
              "other input field by field first: ffmpeg -i IN -vf scale=interl=1,format=yuv422p "
              "-f yuv4mpegpipe - | wdeint - OUT";
          return false;
        }
        break;
      case 'I':
        if (value.size() != 1 || std::strchr("ptbm?", value[0]) == nullptr) {
          *error = "malformed header: bad interlace tag 'I" + printable(value) + "'";
          return false;
        }
        break;
      case 'F':
      case 'A':
        if (!isRatio(value)) {
          *error = std::string("malformed header: bad ") +
                   (letter == 'F' ? "frame rate" : "aspect ratio") + " tag '" + printable(tag) +
                   "'";
          return false;
        }
        break;
      case 'X':
        break;
      default:
        // Reserved letters: none of them may change how frames are laid out
        // without a C tag of its own, so they pass through as they stand.
        if (!((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z'))) {
          *error = "malformed header: bad tag '" + printable(tag) + "'";
          return false;
        }
        break;
    }
    h.tags.push_back(tag);
  }
  if (h.width == 0 || h.height == 0) {
    *error = std::string("malformed header: no ") + (h.width == 0 ? "W" : "H") + " tag";
    return false;
  }
  *header = std::move(h);
  return true;
}

void chromaPlaneSize(ChromaFormat format, uint32_t width, uint32_t height, uint32_t* chromaWidth,
                     uint32_t* chromaHeight) {
  switch (format) {
    case ChromaFormat::C420:
      *chromaWidth = (width + 1) / 2;
      *chromaHeight = (height + 1) / 2;
      return;
    case ChromaFormat::C422:
      *chromaWidth = (width + 1) / 2;
      break;
    case ChromaFormat::C444:
      *chromaWidth = width;
      break;
    case ChromaFormat::C411:
      *chromaWidth = (width + 3) / 4;
      break;
  }
  *chromaHeight = height;
}

std::string progressiveHeaderLine(const Y4mHeader& header, bool doubleRate) {
  std::string line = kMagic;
  bool replaced = false;
  for (const std::string& tag : header.tags) {
    line += ' ';
    if (tag[0] == 'I') {
      line += "Ip";
      replaced = true;
    } else if (tag[0] == 'C' && header.chroma != ChromaFormat::C420) {
      line += "C420";
    } else if (tag[0] == 'F' && doubleRate) {
      // At most 10 digits each side (parseY4mHeader), so doubling fits easily.
      const size_t colon = tag.find(':');
      const uint64_t numerator = std::strtoull(tag.substr(1, colon - 1).c_str(), nullptr, 10);
      line += "F" + std::to_string(2 * numerator) + tag.substr(colon);
    } else {
      line += tag;
    }
  }
  if (!replaced) line += " Ip";
  line += '\n';
  return line;
}

// Whether the parameters of a FRAME line (what follows "FRAME") say progressive.
bool frameSaysProgressive(const char* params, size_t length) {
  size_t pos = 0;
  while (pos < length) {
    while (pos < length && params[pos] == ' ') ++pos;
    size_t end = pos;
    while (end < length && params[end] != ' ') ++end;
    if (end > pos && params[pos] == 'I') {
      const size_t n = end - pos - 1;
      const char* v = params + pos + 1;
      return (n == 1 && v[0] == 'p') || (n == 3 && v[1] == 'p');
    }
    pos = end;
  }
  return false;
}

char interlaceTag(const Y4mHeader& header) {
  for (const std::string& tag : header.tags) {
    if (tag[0] == 'I') return tag[1];
  }
  return 0;
}

bool Y4mReader::skipFrames(uint64_t n, const PlaneRef planes[3]) {
  if (n == 0) return true;
  if (!locating_) return false;
  char line[6];
  if (pread(fd_, line, 6, static_cast<off_t>(offset_)) != 6 ||
      std::memcmp(line, "FRAME\n", 6) != 0) {
    return false;
  }
  uint64_t stride = 6;
  for (int i = 0; i < 3; ++i) stride += uint64_t{planes[i].width} * planes[i].height;
  struct stat st;
  if (fstat(fd_, &st) != 0 || static_cast<uint64_t>(st.st_size) < offset_ ||
      n > (static_cast<uint64_t>(st.st_size) - offset_) / stride) {
    return false;  // beyond the end: stepping finds where the file ends and says so
  }
  const uint64_t target = offset_ + n * stride;
  if (target < static_cast<uint64_t>(st.st_size)) {
    if (pread(fd_, line, 6, static_cast<off_t>(target)) != 6 ||
        std::memcmp(line, "FRAME", 5) != 0 || (line[5] != '\n' && line[5] != ' ')) {
      return false;
    }
  }
  offset_ = target;
  frames_ += n;
  return true;
}

bool Y4mReader::readLine(std::string* line, size_t* count) {
  line->clear();
  *count = 0;
  while (*count < kMaxLineBytes) {
    const int c = std::getc(file_);
    if (c == EOF) return false;
    ++*count;
    if (c == '\n') return true;
    line->push_back(static_cast<char>(c));
  }
  return false;
}

std::string Y4mReader::readFailure(const std::string& what) const {
  if (std::ferror(file_)) return name_ + ": read error: " + std::strerror(errno);
  return name_ + ": " + what;
}

bool Y4mReader::readHeader(std::string* error) {
  // Check the signature first so that a large file of another kind is not
  // scanned for a line end.
  char magic[kMagicBytes];
  const size_t got = std::fread(magic, 1, kMagicBytes, file_);
  if (got != kMagicBytes || std::memcmp(magic, kMagic, kMagicBytes) != 0) {
    *error = got == 0 && !std::ferror(file_) ? name_ + ": empty input"
                                             : readFailure("not a YUV4MPEG2 stream");
    return false;
  }
  std::string rest;
  size_t count;
  if (!readLine(&rest, &count)) {
    *error =
        readFailure(count >= kMaxLineBytes ? "header line too long" : "header line not terminated");
    return false;
  }
  std::string cause;
  if (!parseY4mHeader(kMagic + rest, &header_, &cause)) {
    *error = name_ + ": " + cause;
    return false;
  }
  const int fd = fileno(file_);
  const off_t position = ftello(file_);
  struct stat st;
  if (fd >= 0 && position >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    fd_ = fd;
    locating_ = true;
    offset_ = static_cast<uint64_t>(position);
  }
  return true;
}

bool Y4mReader::locateFrame(const PlaneRef planes[3], uint64_t* position, bool* progressive) {
  // Frame lines with parameters longer than this go the stdio way.
  char line[256];
  const ssize_t got = pread(fd_, line, sizeof line, static_cast<off_t>(offset_));
  if (got <= 0) return false;
  const auto* end = static_cast<const char*>(std::memchr(line, '\n', static_cast<size_t>(got)));
  if (end == nullptr || end - line < 5 || std::memcmp(line, "FRAME", 5) != 0 ||
      (end - line > 5 && line[5] != ' ')) {
    return false;
  }
  uint64_t bytes = static_cast<uint64_t>(end - line) + 1;
  for (int i = 0; i < 3; ++i) bytes += uint64_t{planes[i].width} * planes[i].height;
  struct stat st;
  if (fstat(fd_, &st) != 0 || offset_ + bytes > static_cast<uint64_t>(st.st_size)) return false;
  if (progressive != nullptr)
    *progressive = frameSaysProgressive(line + 5, static_cast<size_t>(end - line) - 5);
  *position = offset_ + static_cast<uint64_t>(end - line) + 1;
  offset_ += bytes;
  return true;
}

bool Y4mReader::readPlanesAt(uint64_t position, const PlaneRef planes[3],
                             std::string* error) const {
  // One iovec per row (a plane whose rows are packed is one row); IOV_MAX is
  // at least 1024.
  constexpr int kMaxRows = 1024;
  iovec rows[kMaxRows];
  int count = 0;
  size_t pending = 0;
  auto flush = [&]() {
    int first = 0;
    while (first < count) {
      const ssize_t got = preadv(fd_, rows + first, count - first, static_cast<off_t>(position));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      position += static_cast<uint64_t>(got);
      pending -= static_cast<size_t>(got);
      // A short read (not seen on regular files): go on after the bytes that came.
      for (size_t left = static_cast<size_t>(got); left > 0;) {
        iovec& v = rows[first];
        const size_t take = std::min(left, v.iov_len);
        v.iov_base = static_cast<uint8_t*>(v.iov_base) + take;
        v.iov_len -= take;
        left -= take;
        if (v.iov_len == 0) ++first;
      }
    }
    count = 0;
    return true;
  };
  for (int p = 0; p < 3; ++p) {
    const PlaneRef& pl = planes[p];
    const bool packed = pl.stride == pl.width;
    const uint32_t n = packed ? 1 : pl.height;
    const size_t rowBytes = packed ? size_t{pl.width} * pl.height : pl.width;
    for (uint32_t y = 0; y < n; ++y) {
      if (count == kMaxRows && !flush()) break;
      rows[count++] = {pl.data + size_t{y} * pl.stride, rowBytes};
      pending += rowBytes;
    }
  }
  if (flush() && pending == 0) return true;
  *error = name_ + ": the input file was cut short while being read";
  return false;
}

Y4mReader::Result Y4mReader::readFrame(const PlaneRef planes[3], std::string* error,
                                       bool* progressive) {
  bool located = false;
  uint64_t position = 0;
  const Result r = nextFrame(planes, &located, &position, error, progressive);
  if (r == Result::Frame && located && !readPlanesAt(position, planes, error)) return Result::Error;
  return r;
}

Y4mReader::Result Y4mReader::nextFrame(const PlaneRef planes[3], bool* located, uint64_t* position,
                                       std::string* error, bool* progressive) {
  *located = false;
  if (progressive != nullptr) *progressive = false;
  if (locating_) {
    if (locateFrame(planes, position, progressive)) {
      ++frames_;
      *located = true;
      return Result::Frame;
    }
    // The end, a damaged frame, a long FRAME line: stdio takes over where the
    // located frames stopped and says what it finds.
    locating_ = false;
    if (fseeko(file_, static_cast<off_t>(offset_), SEEK_SET) != 0) {
      *error = readFailure("cannot seek");
      return Result::Error;
    }
  }
  // Built only for messages, so that steady-state frames allocate nothing.
  auto frameName = [this] { return "frame " + std::to_string(frames_ + 1); };
  std::string line;
  size_t count;
  if (!readLine(&line, &count)) {
    if (count == 0 && !std::ferror(file_)) return Result::End;
    *error = readFailure(count >= kMaxLineBytes ? frameName() + ": FRAME line too long"
                                                : frameName() + ": truncated FRAME line");
    return Result::Error;
  }
  // Frame parameters after "FRAME " are taken and not interpreted.
  if (line.compare(0, 5, "FRAME") != 0 || (line.size() > 5 && line[5] != ' ')) {
    *error = name_ + ": " + frameName() + ": expected FRAME, found '" + printable(line) + "'";
    return Result::Error;
  }
  if (progressive != nullptr) *progressive = frameSaysProgressive(line.data() + 5, line.size() - 5);
  size_t total = 0;
  size_t expected = 0;
  for (int p = 0; p < 3; ++p) expected += static_cast<size_t>(planes[p].width) * planes[p].height;
  for (int p = 0; p < 3; ++p) {
    const PlaneRef& pl = planes[p];
    const bool packed = pl.stride == pl.width;
    const size_t rows = packed ? 1 : pl.height;
    const size_t rowBytes = packed ? static_cast<size_t>(pl.width) * pl.height : pl.width;
    for (size_t y = 0; y < rows; ++y) {
      const size_t got = std::fread(pl.data + y * pl.stride, 1, rowBytes, file_);
      total += got;
      if (got != rowBytes) {
        *error = readFailure(frameName() + " truncated (" + std::to_string(total) + " of " +
                             std::to_string(expected) + " bytes)");
        return Result::Error;
      }
    }
  }
  ++frames_;
  return Result::Frame;
}

bool Y4mWriter::put(const void* data, size_t bytes, std::string* error) {
  if (std::fwrite(data, 1, bytes, file_) != bytes) {
    *error = name_ + ": write error: " + std::strerror(errno);
    return false;
  }
  return true;
}

bool Y4mWriter::writeHeader(const std::string& line, std::string* error) {
  return put(line.data(), line.size(), error);
}

bool Y4mWriter::writeFrame(const PlaneRef planes[3], std::string* error) {
  if (!put("FRAME\n", 6, error)) return false;
  for (int p = 0; p < 3; ++p) {
    const PlaneRef& pl = planes[p];
    if (pl.stride == pl.width) {
      if (!put(pl.data, static_cast<size_t>(pl.width) * pl.height, error)) return false;
      continue;
    }
    for (uint32_t y = 0; y < pl.height; ++y) {
      if (!put(pl.data + y * pl.stride, pl.width, error)) return false;
    }
  }
  return true;
}

bool Y4mWriter::flush(std::string* error) {
  if (std::fflush(file_) != 0 || std::ferror(file_)) {
    *error = name_ + ": write error: " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace wdi::cli
