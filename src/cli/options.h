// Command line of wdeint: options that map one to one onto the engine's
// option block, plus the tool's own switches.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/deinterlace_parameters.h"

namespace wdi::cli {

// Exit status of every refusal and failure; 0 is success.
constexpr int kExitFailure = 2;

struct RectOption {
  bool include;
  int32_t left, top, right, bottom;
};

enum class FieldOrder { Auto, Tff, Bff };

// --frames without a COUNT: to the end.
constexpr uint64_t kAllFrames = ~uint64_t{0};

struct CliOptions {
  DeinterlaceParameters params = kDefaultParameters;
  std::string input;
  std::string output;
  bool help = false;
  bool quiet = false;
  bool verbose = false;
  uint32_t threads = 0;  // 0: one per processor core
  std::string cpu;       // empty: what the processor offers

  std::string demoDir;  // --demo
  bool demoProgressive = false;
  uint32_t demoWidth = 720;
  uint32_t demoHeight = 576;
  uint32_t demoFrames = 50;

  // Raw host images through the plug-in entry point.
  bool bgr24 = false;
  uint32_t bgrWidth = 0;
  uint32_t bgrHeight = 0;
  int32_t fieldType = 0;
  std::vector<RectOption> rects;
  std::string regionFile;

  bool keepTop = false;  // --keep-field top
  bool keepFieldGiven = false;
  bool fieldRate = false;  // --rate field
  FieldOrder fieldOrder = FieldOrder::Auto;
  bool showDetection = false;
  uint64_t firstFrame = 0;  // --frames FIRST:COUNT
  uint64_t frameCount = kAllFrames;
  bool onlyInterlaced = false;  // --only-interlaced
  bool yuvOnlyGiven = false;    // any of the options above
};

// Decimal 0..4294967295, digits only.
bool parseUint32(const std::string& text, uint32_t* value);
// Decimal -2147483648..2147483647, an optional '-' then digits.
bool parseInt32(const std::string& text, int32_t* value);
// "WxH" with both parts 1..4294967295.
bool parseSize(const std::string& text, uint32_t* width, uint32_t* height);
// "FIRST:COUNT", "FIRST:" or "FIRST"; COUNT is kAllFrames when left out.
bool parseFrameRange(const std::string& text, uint64_t* first, uint64_t* count);
// "+L,T,R,B" (include) or "-L,T,R,B" (exclude), four int32 values.
bool parseRect(const std::string& text, RectOption* rect);

// Fills `options` from argv[1..argc-1]. On a refusal returns false with a
// one-line `error` (without the program name).
bool parseCommandLine(int argc, const char* const* argv, CliOptions* options, std::string* error);

// Text of --help.
std::string usageText();

}  // namespace wdi::cli
