// Region files: one private-profile section per rectangle, named
// "[(left,top)-(right,bottom)]" (so the header line has doubled brackets),
// holding the key "present" = 1 for include or 0 for exclude, in list order.

#include <array>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <list>
#include <set>
#include <string>
#include <vector>

#include "platform/file_replace.h"
#include "region/profile.h"
#include "region/rect_list.h"

namespace wdi {
namespace {

constexpr char kPresentKey[] = "present";
// Region files are small; a larger file is not one of them and is not read.
constexpr size_t kMaxRegionFileBytes = 16u << 20;

std::string sectionName(const RectEntry& e) {
  // Four numbers of at most 11 characters and the punctuation fit easily.
  char name[64];
  std::snprintf(name, sizeof name, "[(%d,%d)-(%d,%d)]", e.left, e.top, e.right, e.bottom);
  return name;
}

bool isNumberSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A number as "%d" reads one (white space, a sign, decimal digits), refused
// when it does not fit 32 signed bits.
bool readNumber(std::string_view text, size_t* pos, int32_t* out) {
  size_t i = *pos;
  while (i < text.size() && isNumberSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  size_t digitsStart = i;
  // Magnitude up to 2^31, the most negative number; stopped before it can wrap.
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > (int64_t{1} << 31)) return false;
  }
  if (i == digitsStart) return false;
  int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) return false;
  *out = static_cast<int32_t>(value);
  *pos = i;
  return true;
}

bool readLiteral(std::string_view text, size_t* pos, std::string_view literal) {
  if (text.substr(*pos, literal.size()) != literal) return false;
  *pos += literal.size();
  return true;
}

// The whole name has to be "[(%d,%d)-(%d,%d)]", nothing before or after.
bool parseSectionName(std::string_view name, std::array<int32_t, 4>* edges) {
  static constexpr std::string_view kLiterals[5] = {"[(", ",", ")-(", ",", ")]"};
  size_t pos = 0;
  for (size_t k = 0; k < 4; ++k) {
    if (!readLiteral(name, &pos, kLiterals[k]) || !readNumber(name, &pos, &(*edges)[k])) {
      return false;
    }
  }
  return readLiteral(name, &pos, kLiterals[4]) && pos == name.size();
}

struct FileRect {
  bool include;
  std::array<int32_t, 4> edges;
};

}  // namespace

int32_t CRectList::SaveToFile(const char* path) {
  if (path == nullptr) return -1;
  // An empty region writes nothing, as it always has.
  if (entries.empty()) return 0;
  try {
    // Entries with the same four edges would share one section. The last of
    // them decides every pixel they cover, so it alone is written, at its
    // own place.
    std::vector<const RectEntry*> written;
    std::set<std::array<int32_t, 4>> seen;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
      if (seen.insert({it->left, it->top, it->right, it->bottom}).second) written.push_back(&*it);
    }
    std::string text;
    for (auto it = written.rbegin(); it != written.rend(); ++it) {
      AppendProfileSection(&text, sectionName(**it), kPresentKey, (*it)->include ? "1" : "0");
    }
    // The file is replaced as a whole: nothing of an older file survives,
    // and a failed write leaves that file untouched.
    return replaceFileContents(path, text.data(), text.size()) ? 0 : -1;
  } catch (const std::exception&) {
    return -1;
  }
}

int32_t CRectList::LoadFromFile(const char* path) {
  if (path == nullptr) return -1;
  std::list<RectEntry> before;
  const int32_t lastIdBefore = lastId;
  bool emptied = false;
  try {
    std::string text;
    if (ReadWholeFile(path, kMaxRegionFileBytes, &text) != FileRead::kOk) return -1;
    const size_t fileSize = text.size();
    if (fileSize == 0) return -1;
    DecodeProfileText(&text);
    std::vector<ProfileSectionKey> sections = ReadProfileSections(text, kPresentKey);
    // The names are listed into a buffer of the file's size; see
    // ProfileNamesFit for the sizes that the list is reported not to fit.
    if (!ProfileNamesFit(sections, fileSize)) return -1;

    std::vector<FileRect> rects(sections.size());
    for (size_t i = 0; i < sections.size(); ++i) {
      if (!parseSectionName(sections[i].section, &rects[i].edges)) return -1;
      rects[i].include = ProfileValueToInt(sections[i], 1) != 0;
    }

    // Swapping moves no entry and cannot fail, so the old region, ids and
    // lastId included, can always be put back.
    entries.swap(before);
    lastId = 0;
    emptied = true;
    for (const FileRect& r : rects) {
      if (AddRect(r.include, r.edges[0], r.edges[1], r.edges[2], r.edges[3]) < 0) {
        entries.swap(before);
        lastId = lastIdBefore;
        return -1;
      }
    }
    return 0;
  } catch (const std::exception&) {
    if (emptied) {
      entries.swap(before);
      lastId = lastIdBefore;
    }
    return -1;
  }
}

}  // namespace wdi
