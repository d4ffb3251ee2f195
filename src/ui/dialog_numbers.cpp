#include "ui/dialog_numbers.h"

namespace wdi {
namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }

struct Scan {
  bool negative = false;
  bool anyDigit = false;
  // Magnitude of the digits, held at 2^32 once it passes 2^32 - 1, so no
  // number of digits can overflow it.
  uint64_t magnitude = 0;
};

Scan scanNumber(const std::string& text, bool signAllowed, bool plusAllowed) {
  Scan scan;
  size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  if (i < text.size() && signAllowed && (text[i] == '-' || (plusAllowed && text[i] == '+'))) {
    scan.negative = text[i] == '-';
    ++i;
  }
  constexpr uint64_t kCap = uint64_t{1} << 32;
  for (; i < text.size() && isDigit(text[i]); ++i) {
    scan.anyDigit = true;
    scan.magnitude = scan.magnitude * 10 + static_cast<uint64_t>(text[i] - '0');
    if (scan.magnitude > kCap) scan.magnitude = kCap;
  }
  return scan;
}

int32_t signedValue(const Scan& scan) {
  if (!scan.anyDigit) return 0;
  if (scan.negative) {
    if (scan.magnitude > uint64_t{1} << 31) return 0;
    return static_cast<int32_t>(-static_cast<int64_t>(scan.magnitude));
  }
  if (scan.magnitude > INT32_MAX) return 0;
  return static_cast<int32_t>(scan.magnitude);
}

}  // namespace

uint32_t ReadUnsignedItemInt(const std::string& text) {
  Scan scan = scanNumber(text, false, false);
  if (!scan.anyDigit || scan.magnitude > UINT32_MAX) return 0;
  return static_cast<uint32_t>(scan.magnitude);
}

int32_t ReadSignedItemInt(const std::string& text) {
  return signedValue(scanNumber(text, true, false));
}

int32_t ReadSearchAreaText(const std::string& text) {
  return signedValue(scanNumber(text.substr(0, kSearchAreaChars), true, true));
}

std::string UnsignedText(uint32_t value) { return std::to_string(value); }
std::string SignedText(int32_t value) { return std::to_string(value); }

}  // namespace wdi
