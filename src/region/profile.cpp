#include "region/profile.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace wdi {
namespace {

// White space as the platform's reader trims it; 0x1A is the old
// end-of-file mark. CR and LF end lines and never reach here.
bool isProfileSpace(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && isProfileSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isProfileSpace(s.back())) s.remove_suffix(1);
  return s;
}

// The platform compares names as zero-terminated strings.
std::string_view cutAtZero(std::string_view s) { return s.substr(0, s.find('\0')); }

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  }
  return true;
}

bool lessNoCase(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(lowerAscii(x)) < static_cast<unsigned char>(lowerAscii(y));
  });
}

// The platform reads values into a buffer of 30 characters.
constexpr size_t kIntBufferChars = 30;

}  // namespace

FileRead ReadWholeFile(const char* path, size_t maxBytes, std::string* contents) {
  contents->clear();
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path, "rb"), std::fclose);
  if (!file) return FileRead::kFailed;
  constexpr size_t kChunk = 64 * 1024;
  for (;;) {
    size_t used = contents->size();
    // One byte more than allowed tells a file that is too large.
    size_t want = std::min(kChunk, maxBytes + 1 - used);
    contents->resize(used + want);
    size_t got = std::fread(&(*contents)[used], 1, want, file.get());
    contents->resize(used + got);
    if (contents->size() > maxBytes) return FileRead::kTooLarge;
    if (got < want) break;
  }
  return std::ferror(file.get()) ? FileRead::kFailed : FileRead::kOk;
}

void DecodeProfileText(std::string* text) {
  std::string& t = *text;
  if (t.size() >= 3 && t.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    t.erase(0, 3);
    return;
  }
  if (t.size() < 2) return;
  bool little = t[0] == '\xFF' && t[1] == '\xFE';
  bool big = t[0] == '\xFE' && t[1] == '\xFF';
  if (!little && !big) return;
  // An odd last byte is no character.
  size_t chars = t.size() / 2 - 1;
  for (size_t i = 0; i < chars; ++i) {
    unsigned lo = static_cast<unsigned char>(t[2 + 2 * i + (big ? 1 : 0)]);
    unsigned hi = static_cast<unsigned char>(t[2 + 2 * i + (big ? 0 : 1)]);
    unsigned unit = hi << 8 | lo;
    t[i] = unit < 0x80 ? static_cast<char>(unit) : '?';
  }
  t.resize(chars);
}

std::vector<ProfileSectionKey> ReadProfileSections(std::string_view text, std::string_view key) {
  std::vector<ProfileSectionKey> sections;
  // Index of the section that takes key lines; none before the first header
  // line and after a header with an empty name.
  constexpr size_t kNone = static_cast<size_t>(-1);
  size_t current = kNone;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty()) continue;

    if (line.front() == '[') {
      size_t close = line.rfind(']');
      if (close != std::string_view::npos) {
        std::string_view name = cutAtZero(trim(line.substr(1, close - 1)));
        if (name.empty()) {
          current = kNone;
        } else {
          current = sections.size();
          sections.push_back({name, false, {}});
        }
        continue;
      }
      // Without a closing bracket the line reads as a key line.
    }

    std::string_view name = line;
    std::string_view value;
    size_t equals = line.find('=');
    if (equals != std::string_view::npos) {
      name = trim(line.substr(0, equals));
      value = trim(line.substr(equals + 1));
    }
    if (current == kNone || sections[current].found) continue;
    if (equalNoCase(cutAtZero(name), key)) {
      sections[current].found = true;
      sections[current].value = cutAtZero(value);
    }
  }

  // A lookup by name finds the first section of that name, so later sections
  // of the same name answer with its key.
  std::vector<size_t> order(sections.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return lessNoCase(sections[a].section, sections[b].section);
  });
  for (size_t i = 1; i < order.size(); ++i) {
    const ProfileSectionKey& first = sections[order[i - 1]];
    ProfileSectionKey& later = sections[order[i]];
    if (equalNoCase(first.section, later.section)) {
      later.found = first.found;
      later.value = first.value;
    }
  }
  return sections;
}

int32_t ProfileValueToInt(const ProfileSectionKey& entry, int32_t defaultValue) {
  if (!entry.found) return defaultValue;
  std::string_view value = entry.value;
  // One pair of matching quotes around the value is dropped. The platform
  // drops the closing one by position after cutting the value to its buffer,
  // so a value of exactly 30 characters inside quotes loses its last one.
  bool quoted =
      value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value.front();
  if (quoted) value.remove_prefix(1);
  std::string_view text = value.substr(0, kIntBufferChars - 1);
  if (quoted && kIntBufferChars >= value.size()) text.remove_suffix(1);
  if (text.empty()) return defaultValue;

  size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint32_t base = 10;
  if (text.size() - i >= 2 && text[i] == '0') {
    char prefix = text[i + 1];
    if (prefix == 'b' || prefix == 'o' || prefix == 'x') {
      base = prefix == 'b' ? 2 : prefix == 'o' ? 8 : 16;
      i += 2;
    }
  }
  // Unsigned arithmetic wraps modulo 2^32 like the platform's.
  uint32_t total = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    uint32_t digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'z') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'Z') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      break;
    }
    if (digit >= base) break;
    total = total * base + digit;
  }
  if (negative) total = 0u - total;
  return static_cast<int32_t>(total);
}

bool ProfileNamesFit(const std::vector<ProfileSectionKey>& sections, size_t bufferSize) {
  size_t listed = 0;
  for (const ProfileSectionKey& s : sections) listed += s.section.size() + 1;
  // The platform wants a spare byte beyond the list's final zero byte and
  // otherwise reports bufferSize - 2, the result that a list of exactly
  // bufferSize - 2 bytes also gives.
  if (sections.empty()) return bufferSize != 2;
  return listed + 2 < bufferSize;
}

void AppendProfileSection(std::string* text, std::string_view section, std::string_view key,
                          std::string_view value) {
  text->append("[").append(section).append("]\r\n");
  text->append(key).append("=").append(value).append("\r\n");
}

}  // namespace wdi
