// How the dialogs turn edit texts into numbers and numbers into texts.
#pragma once
#include <cstdint>
#include <string>

namespace wdi {

// An edit read as an unsigned number: leading blanks skipped, then decimal
// digits up to the first other character. No digit, or a value above
// 4294967295, gives 0.
uint32_t ReadUnsignedItemInt(const std::string& text);

// An edit read as a signed number: as above with an optional '-' before the
// digits. No digit, or a value outside the 32-bit signed range, gives 0.
int32_t ReadSignedItemInt(const std::string& text);

// The search area field takes at most this many characters of its edit.
constexpr size_t kSearchAreaChars = 9;

// The search area: the first kSearchAreaChars characters, leading blanks
// skipped, an optional sign, then digits up to the first other character;
// 0 without a digit. Nine digits never leave the 32-bit range.
int32_t ReadSearchAreaText(const std::string& text);

std::string UnsignedText(uint32_t value);
std::string SignedText(int32_t value);

}  // namespace wdi
