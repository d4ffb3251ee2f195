// Private-profile text (the sectioned "ini" format): a line "[name]" opens a
// section, lines "key=value" follow. Read and written here exactly as the
// platform's own profile functions read and write it, so that region files
// behave the same on every platform and with files the platform wrote.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wdi {

// Reads the whole file into `contents`. kTooLarge when it holds more than
// `maxBytes` bytes; nothing beyond that is read.
enum class FileRead { kOk, kFailed, kTooLarge };
FileRead ReadWholeFile(const char* path, size_t maxBytes, std::string* contents);

// Turns file bytes into the single-byte text the reader works on, as the
// platform does: a UTF-8 byte order mark is dropped, UTF-16 text with its
// byte order mark becomes one byte per character ('?' outside ASCII), and
// anything else is taken as bytes in the ANSI code page.
void DecodeProfileText(std::string* text);

// A named section as the platform lists it, with what a lookup of one key
// finds for it.
struct ProfileSectionKey {
  // The text inside the header line's outer brackets, trimmed; never empty.
  std::string_view section;
  // The key was found; a key line without '=' counts, with an empty value.
  bool found;
  // The key's value, trimmed.
  std::string_view value;
};

// The named sections of `text` in file order, views into `text`. Lines end
// at CR or LF; white space around lines, names and values is ignored; other
// keys, comment lines (';') and blank lines are skipped; a header line is
// any line starting with '[' that has a ']' later on it, its name running to
// the last ']'; a section named "" is never listed. The key is looked up as
// the platform looks it up: in the first section of the same name and the
// first key of the same name in it, names compared without ASCII case.
std::vector<ProfileSectionKey> ReadProfileSections(std::string_view text, std::string_view key);

// The value as the platform's integer reader (GetPrivateProfileIntA) reads it:
// `defaultValue` when the key is missing or its value empty; otherwise one
// pair of matching quotes is dropped and the first 29 characters are read
// like a C integer: leading white space, a sign, a "0x", "0o" or "0b"
// prefix, then digits up to the first that does not belong, modulo 2^32.
// Text without digits reads as 0.
int32_t ProfileValueToInt(const ProfileSectionKey& entry, int32_t defaultValue);

// False when the platform's list of section names (each name and a zero
// byte, one more zero byte at the end) would be reported as not fitting a
// buffer of `bufferSize` bytes: its result is then bufferSize - 2, which it
// also is when the list just fits with one byte to spare, or when there are
// no names and the buffer has 2 bytes.
bool ProfileNamesFit(const std::vector<ProfileSectionKey>& sections, size_t bufferSize);

// Appends a section holding one key, as the platform's writer adds a new
// section at the end of a file: "[section]" and "key=value", CRLF line ends.
void AppendProfileSection(std::string* text, std::string_view section, std::string_view key,
                          std::string_view value);

}  // namespace wdi
