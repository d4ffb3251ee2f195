// wdi_psnr: luma PSNR of a deinterlaced Y4M stream against its progressive
// ground truth, over all rows and over the rebuilt rows only.
//
//   wdi_psnr [--keep top|bottom|field] [--frames N] INTERLACED.y4m OUTPUT.y4m PROGRESSIVE.y4m
//
// Interlaced frame n holds the top field of progressive picture 2n and the
// bottom field of 2n+1. A deinterlacer keeps one field and rebuilds the
// other, so output frame n is compared with the picture at the time of the
// kept field: 2n for the top field, 2n+1 for the bottom one. The rebuilt
// rows are those of the other field.
//
// Without --keep the kept field is found from the streams themselves: the
// field whose luma rows are closest to the interlaced input (equal, for a
// deinterlacer that passes its kept field through). The result line says
// which field was taken and whether it matched the input exactly.
//
// --keep field: a field-rate output (two frames per interlaced frame, a
// top-field-first source): output frame k is compared with picture k, and
// keeps the top field for even k and the bottom field for odd k.
//
// PSNR = 10 log10(255^2 / MSE), with the mean squared error taken over the
// compared samples of all frames together.
//
// SSIM (ssim=) is that of the rebuilt rows only, taken as a picture of their
// own (w x h/2): the mean over all frames of the SSIM of 8x8 windows placed
// every 4 samples, with C1 = (0.01*255)^2 and C2 = (0.03*255)^2.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

class Y4mInput {
 public:
  ~Y4mInput() {
    if (file_ != nullptr) std::fclose(file_);
  }
  bool open(const char* path) {
    name_ = path;
    file_ = std::fopen(path, "rb");
    if (file_ == nullptr) return fail("cannot open");
    std::string line;
    if (!readLine(&line) || line.compare(0, 10, "YUV4MPEG2 ") != 0) return fail("not a Y4M file");
    size_t pos = 9;
    while (pos < line.size()) {
      ++pos;
      size_t end = line.find(' ', pos);
      if (end == std::string::npos) end = line.size();
      const std::string tag = line.substr(pos, end - pos);
      pos = end;
      if (tag.empty()) continue;
      if (tag[0] == 'W') width_ = std::strtoul(tag.c_str() + 1, nullptr, 10);
      if (tag[0] == 'H') height_ = std::strtoul(tag.c_str() + 1, nullptr, 10);
      if (tag[0] == 'C' && tag.compare(0, 4, "C420") != 0) return fail("not 8-bit 4:2:0");
    }
    if (width_ == 0 || height_ == 0) return fail("no frame size");
    chromaBytes_ = 2 * ((width_ + 1) / 2) * ((height_ + 1) / 2);
    luma_.resize(width_ * height_);
    return true;
  }
  // Reads the next frame's luma plane; false at the end of the stream.
  bool next() {
    std::string line;
    if (!readLine(&line)) return false;
    if (line.compare(0, 5, "FRAME") != 0) return fail("expected FRAME");
    if (std::fread(luma_.data(), 1, luma_.size(), file_) != luma_.size() ||
        std::fseek(file_, static_cast<long>(chromaBytes_), SEEK_CUR) != 0) {
      return fail("truncated frame");
    }
    return true;
  }
  const uint8_t* row(size_t y) const { return luma_.data() + y * width_; }
  const uint8_t* luma() const { return luma_.data(); }
  size_t width() const { return width_; }
  size_t height() const { return height_; }
  bool failed() const { return failed_; }

 private:
  bool readLine(std::string* line) {
    line->clear();
    for (int c; (c = std::fgetc(file_)) != EOF;) {
      if (c == '\n') return true;
      line->push_back(static_cast<char>(c));
      if (line->size() > 4096) return false;
    }
    return false;
  }
  bool fail(const char* what) {
    std::fprintf(stderr, "wdi_psnr: %s: %s\n", name_.c_str(), what);
    failed_ = true;
    return false;
  }
  std::FILE* file_ = nullptr;
  std::string name_;
  size_t width_ = 0, height_ = 0, chromaBytes_ = 0;
  std::vector<uint8_t> luma_;
  bool failed_ = false;
};

uint64_t squaredError(const uint8_t* a, const uint8_t* b, size_t n) {
  uint64_t sum = 0;
  for (size_t i = 0; i < n; ++i) {
    const int d = a[i] - b[i];
    sum += static_cast<uint64_t>(d * d);
  }
  return sum;
}

// SSIM sums over the rows of one parity of two pictures.
struct SsimSum {
  double sum = 0;
  uint64_t windows = 0;
  double mean() const { return windows == 0 ? 0 : sum / static_cast<double>(windows); }
};

void addFieldSsim(SsimSum* s, const uint8_t* a, const uint8_t* b, size_t w, size_t h, int parity) {
  const size_t rows = (h - static_cast<size_t>(parity) + 1) / 2;
  const double c1 = 6.5025, c2 = 58.5225;
  for (size_t i = 0; i + 8 <= rows; i += 4) {
    for (size_t x = 0; x + 8 <= w; x += 4) {
      double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
      for (size_t r = 0; r < 8; ++r) {
        const size_t y = 2 * (i + r) + static_cast<size_t>(parity);
        for (size_t c = 0; c < 8; ++c) {
          const double va = a[y * w + x + c], vb = b[y * w + x + c];
          sa += va;
          sb += vb;
          saa += va * va;
          sbb += vb * vb;
          sab += va * vb;
        }
      }
      const double n = 64, ma = sa / n, mb = sb / n;
      const double va = saa / n - ma * ma, vb = sbb / n - mb * mb, cov = sab / n - ma * mb;
      s->sum += (2 * ma * mb + c1) * (2 * cov + c2) / ((ma * ma + mb * mb + c1) * (va + vb + c2));
      ++s->windows;
    }
  }
}

double psnr(uint64_t error, uint64_t samples) {
  if (samples == 0) return 0;
  if (error == 0) return INFINITY;
  return 10 * std::log10(255.0 * 255.0 * static_cast<double>(samples) / static_cast<double>(error));
}

int usage() {
  std::fprintf(stderr,
               "usage: wdi_psnr [--keep top|bottom|field] [--frames N] INTERLACED.y4m OUTPUT.y4m "
               "PROGRESSIVE.y4m\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int keep = -1;  // 0 top (even rows), 1 bottom (odd rows), -1 found from the input, 2 field rate
  uint64_t maxFrames = UINT64_MAX;
  int arg = 1;
  for (; arg < argc && argv[arg][0] == '-' && argv[arg][1] == '-'; arg += 2) {
    if (arg + 1 >= argc) return usage();
    const std::string name = argv[arg], value = argv[arg + 1];
    if (name == "--keep" && (value == "top" || value == "bottom" || value == "field")) {
      keep = value == "top" ? 0 : value == "bottom" ? 1 : 2;
    } else if (name == "--frames") {
      maxFrames = std::strtoull(value.c_str(), nullptr, 10);
    } else {
      return usage();
    }
  }
  if (argc - arg != 3) return usage();
  Y4mInput in, out, prog;
  if (!in.open(argv[arg]) || !out.open(argv[arg + 1]) || !prog.open(argv[arg + 2])) return 2;
  if (in.width() != out.width() || in.height() != out.height() || in.width() != prog.width() ||
      in.height() != prog.height()) {
    std::fprintf(stderr, "wdi_psnr: the three streams differ in frame size\n");
    return 2;
  }
  const size_t w = in.width(), h = in.height();

  // Squared error per frame row parity, against the input and against both
  // progressive pictures of the frame: [picture parity][row parity].
  uint64_t toInput[2] = {}, toTruth[2][2] = {};
  uint64_t rowCount[2] = {};
  uint64_t frames = 0;
  SsimSum ssim[2];  // [kept field]: its rebuilt rows against the picture of its time
  if (keep == 2) {
    // Per output frame k: [kept 0 / rebuilt 1] errors against picture k.
    uint64_t fieldError[2] = {}, keptToInput = 0, samples[2] = {};
    SsimSum fieldSsim;
    while (frames < maxFrames && in.next()) {
      for (int k = 0; k < 2; ++k) {
        if (!out.next() || !prog.next()) {
          std::fprintf(stderr, "wdi_psnr: fewer than two output frames or pictures per frame\n");
          return 2;
        }
        for (size_t y = 0; y < h; ++y) {
          const int rebuiltRow = (y & 1) != static_cast<size_t>(k) ? 1 : 0;
          fieldError[rebuiltRow] += squaredError(out.row(y), prog.row(y), w);
          samples[rebuiltRow] += w;
          if (rebuiltRow == 0) keptToInput += squaredError(out.row(y), in.row(y), w);
        }
        addFieldSsim(&fieldSsim, out.luma(), prog.luma(), w, h, 1 - k);
      }
      ++frames;
    }
    if (in.failed() || out.failed() || prog.failed()) return 2;
    if (frames == 0) {
      std::fprintf(stderr, "wdi_psnr: no frames to compare\n");
      return 2;
    }
    std::printf("keep=field%s frames=%llu all=%.2f rebuilt=%.2f ssim=%.4f\n",
                keptToInput == 0 ? "" : "~", static_cast<unsigned long long>(frames),
                psnr(fieldError[0] + fieldError[1], samples[0] + samples[1]),
                psnr(fieldError[1], samples[1]), fieldSsim.mean());
    return 0;
  }
  while (frames < maxFrames && in.next() && out.next()) {
    for (int picture = 0; picture < 2; ++picture) {
      if (!prog.next()) {
        std::fprintf(stderr, "wdi_psnr: %s: fewer than two pictures per frame\n", argv[arg + 2]);
        return 2;
      }
      for (size_t y = 0; y < h; ++y) {
        toTruth[picture][y & 1] += squaredError(out.row(y), prog.row(y), w);
      }
      addFieldSsim(&ssim[picture], out.luma(), prog.luma(), w, h, 1 - picture);
    }
    for (size_t y = 0; y < h; ++y) {
      toInput[y & 1] += squaredError(out.row(y), in.row(y), w);
      ++rowCount[y & 1];
    }
    ++frames;
  }
  if (in.failed() || out.failed() || prog.failed()) return 2;
  if (frames == 0) {
    std::fprintf(stderr, "wdi_psnr: no frames to compare\n");
    return 2;
  }
  bool exact;
  if (keep < 0) {
    // Equal errors (both zero: the output is the input) count as the bottom field.
    keep = toInput[0] < toInput[1] ? 0 : 1;
    exact = toInput[keep] == 0;
  } else {
    exact = toInput[keep] == 0;
  }
  const int rebuilt = 1 - keep;
  const uint64_t all = toTruth[keep][0] + toTruth[keep][1];
  std::printf("keep=%s%s frames=%llu all=%.2f rebuilt=%.2f ssim=%.4f\n",
              keep == 0 ? "top" : "bottom", exact ? "" : "~",
              static_cast<unsigned long long>(frames), psnr(all, (rowCount[0] + rowCount[1]) * w),
              psnr(toTruth[keep][rebuilt], rowCount[rebuilt] * w), ssim[keep].mean());
  return 0;
}
