#include "cli/options.h"

#include <cstring>
#include <string>

#include "core/stream.h"
#include "platform/cpu.h"

namespace wdi::cli {

namespace {

bool parseDigits(const std::string& text, size_t start, uint64_t limit, uint64_t* value) {
  if (start >= text.size()) return false;
  uint64_t v = 0;
  for (size_t i = start; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
    if (v > limit) return false;  // stops long before uint64 could wrap
  }
  *value = v;
  return true;
}

// The unsigned thresholds travel in int32 fields: keep the 32-bit pattern.
int32_t asPattern(uint32_t v) {
  int32_t r;
  std::memcpy(&r, &v, sizeof r);
  return r;
}

std::string quoted(const std::string& s) { return "'" + s + "'"; }

}  // namespace

bool parseUint32(const std::string& text, uint32_t* value) {
  uint64_t v;
  if (!parseDigits(text, 0, 0xFFFFFFFFull, &v)) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

bool parseInt32(const std::string& text, int32_t* value) {
  const bool negative = !text.empty() && text[0] == '-';
  uint64_t v;
  if (!parseDigits(text, negative ? 1 : 0, negative ? 0x80000000ull : 0x7FFFFFFFull, &v)) {
    return false;
  }
  *value = negative ? static_cast<int32_t>(-static_cast<int64_t>(v)) : static_cast<int32_t>(v);
  return true;
}

bool parseSize(const std::string& text, uint32_t* width, uint32_t* height) {
  const size_t x = text.find('x');
  if (x == std::string::npos) return false;
  uint32_t w, h;
  if (!parseUint32(text.substr(0, x), &w) || !parseUint32(text.substr(x + 1), &h)) return false;
  if (w == 0 || h == 0) return false;
  *width = w;
  *height = h;
  return true;
}

bool parseFrameRange(const std::string& text, uint64_t* first, uint64_t* count) {
  const size_t colon = text.find(':');
  const std::string a = text.substr(0, colon);
  // Far beyond any clip, and small enough that the digits cannot wrap.
  constexpr uint64_t kLimit = 1000000000000000ull;
  uint64_t f, c = kAllFrames;
  if (!parseDigits(a, 0, kLimit, &f)) return false;
  if (colon != std::string::npos && colon + 1 < text.size() &&
      !parseDigits(text.substr(colon + 1), 0, kLimit, &c)) {
    return false;
  }
  *first = f;
  *count = c;
  return true;
}

bool parseRect(const std::string& text, RectOption* rect) {
  if (text.empty() || (text[0] != '+' && text[0] != '-')) return false;
  int32_t v[4];
  size_t pos = 1;
  for (int i = 0; i < 4; ++i) {
    const size_t comma = i < 3 ? text.find(',', pos) : text.size();
    if (comma == std::string::npos) return false;
    if (!parseInt32(text.substr(pos, comma - pos), &v[i])) return false;
    pos = comma + 1;
  }
  *rect = {text[0] == '+', v[0], v[1], v[2], v[3]};
  return true;
}

bool parseCommandLine(int argc, const char* const* argv, CliOptions* options, std::string* error) {
  CliOptions o;
  std::vector<std::string> positional;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = arg;
    std::string value;
    bool hasValue = false;
    const size_t eq = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      hasValue = true;
    }
    auto flag = [&](bool* target) {
      if (hasValue) {
        *error = name + " takes no value";
        return false;
      }
      *target = true;
      return true;
    };
    auto takeValue = [&]() {
      if (hasValue) return true;
      if (i + 1 >= argc) {
        *error = name + " needs a value";
        return false;
      }
      value = argv[++i];
      return true;
    };
    auto unsignedIn = [&](uint32_t lo, uint32_t hi, uint32_t* out) {
      if (!takeValue()) return false;
      uint32_t v;
      if (!parseUint32(value, &v) || v < lo || v > hi) {
        *error = name + ": " + quoted(value) + " is not a whole number in " + std::to_string(lo) +
                 ".." + std::to_string(hi);
        return false;
      }
      *out = v;
      return true;
    };
    auto signedAll = [&](int32_t* out) {
      if (!takeValue()) return false;
      if (!parseInt32(value, out)) {
        *error = name + ": " + quoted(value) + " is not a whole number in -2147483648..2147483647";
        return false;
      }
      return true;
    };
    auto unsignedPattern = [&](int32_t* out) {
      uint32_t v;
      if (!unsignedIn(0, 0xFFFFFFFFu, &v)) return false;
      *out = asPattern(v);
      return true;
    };

    bool ok;
    if (name == "-h" || name == "--help") {
      ok = flag(&o.help);
    } else if (name == "-q" || name == "--quiet") {
      ok = flag(&o.quiet);
    } else if (name == "-v" || name == "--verbose") {
      ok = flag(&o.verbose);
    } else if (name == "--method") {
      uint32_t m;
      ok = unsignedIn(0, core::kLastMethod, &m);
      if (ok) o.params.method = static_cast<int32_t>(m);
    } else if (name == "--search-area") {
      ok = signedAll(&o.params.searchArea);
    } else if (name == "--detection-threshold") {
      ok = unsignedPattern(&o.params.detectionThreshold);
    } else if (name == "--block-distance-threshold") {
      ok = unsignedPattern(&o.params.blockDistanceThreshold);
    } else if (name == "--replacement-threshold") {
      ok = signedAll(&o.params.replacementThreshold);
    } else if (name == "--replace-only-interlaced") {
      bool b = false;
      ok = flag(&b);
      o.params.replaceOnlyInterlaced = 1;
    } else if (name == "--search-on-interpolated") {
      bool b = false;
      ok = flag(&b);
      o.params.searchOnInterpolated = 1;
    } else if (name == "--threads") {
      ok = unsignedIn(1, 256, &o.threads);
    } else if (name == "--cpu") {
      ok = takeValue();
      if (ok && cpuFindLevel(value.c_str()) == nullptr) {
        *error = "--cpu: " + quoted(value) + " is not one of " + cpuLevelList(false);
        ok = false;
      }
      o.cpu = value;
    } else if (name == "--demo") {
      ok = takeValue();
      o.demoDir = value;
      if (ok && value.empty()) {
        *error = "--demo needs a directory";
        ok = false;
      }
    } else if (name == "--demo-progressive") {
      ok = flag(&o.demoProgressive);
    } else if (name == "--demo-size") {
      ok = takeValue();
      if (ok && (!parseSize(value, &o.demoWidth, &o.demoHeight) || o.demoWidth % 2 != 0 ||
                 o.demoHeight % 4 != 0 || o.demoWidth > 16384 || o.demoHeight > 16384)) {
        *error = "--demo-size: " + quoted(value) +
                 " is not WxH with an even width and a height that is a multiple of 4, "
                 "both up to 16384";
        ok = false;
      }
    } else if (name == "--demo-frames") {
      ok = unsignedIn(1, 100000, &o.demoFrames);
    } else if (name == "--bgr24") {
      ok = takeValue();
      o.bgr24 = true;
      if (ok && !parseSize(value, &o.bgrWidth, &o.bgrHeight)) {
        *error = "--bgr24: " + quoted(value) + " is not a size WxH";
        ok = false;
      }
    } else if (name == "--field-type") {
      uint32_t t;
      ok = unsignedIn(0, 1, &t);
      if (ok) o.fieldType = static_cast<int32_t>(t);
    } else if (name == "--rect") {
      RectOption r{};
      ok = takeValue();
      if (ok && !parseRect(value, &r)) {
        *error = "--rect: " + quoted(value) +
                 " is not +L,T,R,B (include) or -L,T,R,B (exclude) with 32-bit whole numbers";
        ok = false;
      }
      if (ok) o.rects.push_back(r);
    } else if (name == "--region") {
      ok = takeValue();
      o.regionFile = value;
    } else if (name == "--keep-field") {
      ok = takeValue();
      if (ok && value != "bottom" && value != "top") {
        *error = "--keep-field: " + quoted(value) + " is not bottom or top";
        ok = false;
      }
      o.keepTop = value == "top";
      o.keepFieldGiven = true;
    } else if (name == "--rate") {
      ok = takeValue();
      if (ok && value != "frame" && value != "field") {
        *error = "--rate: " + quoted(value) + " is not frame or field";
        ok = false;
      }
      o.fieldRate = value == "field";
      o.yuvOnlyGiven = true;
    } else if (name == "--field-order") {
      ok = takeValue();
      if (ok && value != "auto" && value != "tff" && value != "bff") {
        *error = "--field-order: " + quoted(value) + " is not auto, tff or bff";
        ok = false;
      }
      o.fieldOrder = value == "tff"   ? FieldOrder::Tff
                     : value == "bff" ? FieldOrder::Bff
                                      : FieldOrder::Auto;
      o.yuvOnlyGiven = true;
    } else if (name == "--only-interlaced") {
      ok = flag(&o.onlyInterlaced);
      o.yuvOnlyGiven = true;
    } else if (name == "--show-detection") {
      ok = flag(&o.showDetection);
      o.yuvOnlyGiven = true;
    } else if (name == "--frames") {
      ok = takeValue();
      if (ok && !parseFrameRange(value, &o.firstFrame, &o.frameCount)) {
        *error = "--frames: " + quoted(value) +
                 " is not FIRST:COUNT, FIRST: or FIRST (whole numbers, frames from 0)";
        ok = false;
      }
      o.yuvOnlyGiven = true;
    } else {
      *error = "unknown option " + quoted(arg) + " (see --help)";
      ok = false;
    }
    if (!ok) return false;
  }

  if (o.help) {
    *options = o;
    return true;
  }
  if (!o.demoDir.empty()) {
    if (!positional.empty()) {
      *error = "--demo takes no INPUT or OUTPUT";
      return false;
    }
  } else {
    if (positional.size() != 2) {
      *error = positional.size() < 2 ? "needs INPUT and OUTPUT (see --help)"
                                     : "too many arguments: " + quoted(positional[2]);
      return false;
    }
    o.input = positional[0];
    o.output = positional[1];
    if (o.demoProgressive || o.demoFrames != CliOptions().demoFrames ||
        o.demoWidth != CliOptions().demoWidth || o.demoHeight != CliOptions().demoHeight) {
      *error = "--demo-progressive, --demo-size and --demo-frames need --demo";
      return false;
    }
  }
  if (!o.bgr24 && o.fieldType != 0) {
    *error = "--field-type needs --bgr24";
    return false;
  }
  if (o.bgr24 && (o.keepFieldGiven || o.yuvOnlyGiven)) {
    *error =
        "--keep-field, --rate, --field-order, --show-detection and --frames are for YUV4MPEG2 "
        "input; --bgr24 runs the host's own stream";
    return false;
  }
  if (o.bgr24 && o.params.method == core::kTemporalMethod) {
    *error = "--method 6 is for YUV4MPEG2 input; --bgr24 runs the host's own stream (methods 0-5)";
    return false;
  }
  if (o.bgr24 && !o.demoDir.empty()) {
    *error = "--bgr24 and --demo cannot be combined";
    return false;
  }
  if (!o.demoDir.empty() && (o.firstFrame != 0 || o.frameCount != kAllFrames)) {
    *error = "--frames and --demo cannot be combined";
    return false;
  }
  if (o.quiet && o.verbose) {
    *error = "--quiet and --verbose cannot be combined";
    return false;
  }
  *options = o;
  return true;
}

std::string usageText() {
  std::string text = R"(Usage: wdeint [options] INPUT OUTPUT
       wdeint [options] --demo DIR

Removes the comb artefacts of interlaced video. INPUT and OUTPUT are
YUV4MPEG2 files; '-' means standard input or output, for example
  ffmpeg -i in.mkv -f yuv4mpegpipe - | wdeint - out.y4m
The bottom field (odd rows, counted from 0) is kept and the top field is
rebuilt from it (--keep-field top does the opposite). The output header is
the input's with the interlace tag set to Ip.

Input: 8-bit YUV4MPEG2 in C420 (also C420jpeg, C420paldv, C420mpeg2, or no
C tag), C422, C444 or C411. Chroma that is not 4:2:0 is brought to 4:2:0
field by field, so that no sample mixes the two fields, and the output is
C420: first the columns (4:4:4: (a + b + 1) >> 1 of columns 2i and 2i+1;
4:1:1: column i/2 taken twice; 4:2:2 as it is), then the rows: output row
2j+f (field f) is (a + b + 1) >> 1 of rows 4j+f and 4j+2+f (row 4j+f alone
at the bottom edge). Other bit depths are refused; convert them field by
field first: ffmpeg -i IN -vf scale=interl=1,format=yuv422p -f yuv4mpegpipe -

Frame sizes that are not multiples of 16 (720x486, 1920x1080, ...) are
processed: each plane is padded at the right and the bottom to the next
multiple of 16 (the last column repeated, the last two rows repeated
alternately so that both fields continue), deinterlaced, and cropped back
to the original size.

Deinterlace options (the settings of the filter's option block):
  --method N                    0 none, 1 only even rows, 2 simple interpolation,
                                3 area based interpolation, 4 area based motion
                                estimation (default), 5 advanced method,
                                6 temporal area based: rebuilds from the frames
                                before and after too (motion-compensated,
                                edge-following; still areas keep their woven
                                rows); YUV4MPEG2 input only
  --search-area N               how far, in pixels, methods 4 and 5 look for a
                                block of the kept field that matches a rebuilt
                                one, int32 (16; 8-32 is a good range)
  --detection-threshold N       how strongly a row must stick out from the rows
                                above and below it before methods 3-5 call it
                                combed and rebuild it: the product of its two
                                differences (luma in steps of 4), weighted
                                over three rows, must exceed half of N (48;
                                32-96 to start with, higher marks less). Only
                                the low 16 bits of the half count, as a signed
                                number: 65536-131071 make it negative (every
                                comb-like row marked), 131072 acts like 0 and
                                131120 like 48
  --block-distance-threshold N  largest sum of squared luma differences over a
                                16x8 field block (128 samples) at which
                                methods 4 and 5 take a matching block
                                (8192, an average difference of 8 per sample;
                                4096-16384 to start with)
  --replacement-threshold N     method 5 replaces a rebuilt pixel by the pixel of
                                the matching block when they differ by less
                                than this, in luma steps, int32 (0; 8-32 to
                                start with). With 0 method 5 replaces nothing
                                and gives method 3's bytes
  --replace-only-interlaced     restore every pixel the detection did not mark
  --search-on-interpolated      method 5 searches the interpolated image
  --only-interlaced             pass frames through byte for byte when the
                                stream is tagged Ip or a frame's own FRAME line
                                says progressive (--verbose counts them)

Field and region:
  --keep-field F    bottom (default): keep rows 1, 3, 5, ... and rebuild the
                    others; top: keep rows 0, 2, 4, ... and rebuild the others
  --rect +L,T,R,B   add a rectangle to the processing region (repeatable, in
  --rect -L,T,R,B   order; + includes, - excludes; edges inclusive, in luma
                    pixels). A pixel takes the kind of the last rectangle
                    that holds it; pixels in none are processed. The region
                    acts in 8x8 blocks, each decided by its top-left pixel
  --region FILE     load the processing region from a .rect file first

Rate and frames:
  --rate R          frame (default): one output frame per input frame, keeping
                    the field --keep-field names; field: two output frames per
                    input frame (50i becomes 50p), the first keeping the field
                    that comes first in time and rebuilding the other, the
                    second keeping the other field. The output header then
                    has the frame rate doubled (F25:1 becomes F50:1)
  --field-order O   auto (default): It in the header means top field first,
                    Ib bottom field first, Ip, Im or no tag top field first;
                    tff or bff force it (--verbose tells which was used)
  --frames F:N      only frames F to F+N-1 (from 0; "F:" or "F" to the end).
                    A regular file is read straight at frame F; the output is
                    a complete stream, and the outputs of consecutive segments,
                    headers after the first removed, join to exactly the bytes
                    of one whole run (scripts/segments.sh does it with GNU
                    parallel)

Seeing what the filter does:
  --show-detection  write, instead of the deinterlaced picture, the output
                    with the pixels the comb detection marks for rebuilding
                    tinted red, the blocks whose rows the motion search of
                    methods 4 and 5 copied in outlined in green, and what lies
                    outside the processing region dimmed. To tune: raise
                    --detection-threshold until still detail (text, fine
                    horizontal lines) is no longer red while moving edges
                    still are; exclude with --rect what must never change
                    (logos, captions) and check that it shows dimmed

Tool options:
  --threads N       frames processed in parallel, 1..256 (default: one per
                    processor core); the output is the same for every N
  --cpu LEVEL       force the kernel level: @LEVELS@
  -q, --quiet       no progress line
  -v, --verbose     one-line summary at the end (frames, time, frames/s)
  -h, --help        this text

Raw host images through the plug-in entry point:
  --bgr24 WxH       INPUT and OUTPUT are raw bottom-up BGR24 images of W x H
                    (3 x W bytes a row), processed exactly as the video editor
                    (major version 7) has the plug-in process them, one frame
                    at a time; as there, sizes that are not multiples of 16
                    are copied unchanged
  --field-type T    0: whole frames (default); 1: each image is one field of
                    W x H/2, first and second fields alternating
  --rect, --region  as above, through the plug-in's own region

Demo:
  --demo DIR        synthesise an interlaced clip (720x576, 2 s, top field
                    first, fine moving detail) into DIR/input.y4m,
                    deinterlace it into DIR/output.y4m and write a side by
                    side before/after picture DIR/before-after.png and
                    the same frame as --show-detection shows it in
                    DIR/detection.png
  --demo-progressive  also write the progressive source DIR/progressive.y4m
                    (twice the frame rate; interlaced frame n has its top
                    field from picture 2n and its bottom field from 2n+1)
  --demo-size WxH   size of the demo clip (default 720x576)
  --demo-frames N   interlaced frames of the demo clip (default 50)

Errors end with a one-line message on standard error and exit status 2.
SIGINT, SIGTERM and SIGPIPE end the run at a frame boundary: the output
holds whole frames only (a regular file is cut back to them), one line on
standard error, exit status 130, 143 or 141 (2 when the reader of the output
pipe closed it).
)";
  const size_t at = text.find("@LEVELS@");
  text.replace(at, 8, cpuLevelList(true));
  return text;
}

}  // namespace wdi::cli
