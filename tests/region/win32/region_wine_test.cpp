// Region files against the platform's own private-profile functions (run
// under Wine or Windows): files the platform writes load with our reader,
// files we write read back through the platform, and our reader sees every
// tricky file as the platform does. Prints "N passed, N failed".

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "region/profile.h"
#include "region/rect_list.h"
#include "support/test_rect.h"

namespace {

using wdi::CRectList;

using wdi::test::Rect;
using wdi::test::rectsOf;

int passed = 0;
int failed = 0;

void check(bool ok, const std::string& what) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAILED: %s\n", what.c_str());
  }
}

std::string printable(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    char hex[8];
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 32 || c > 126) {
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string workDir;
int fileCounter = 0;

// A new name for every file: the platform caches the files it has read.
std::string freshPath() { return workDir + "case" + std::to_string(fileCounter++) + ".rect"; }

void writeBytes(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::string readBytes(const std::string& path) {
  std::string bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return bytes;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
  std::fclose(f);
  return bytes;
}

std::string sectionName(const Rect& r) {
  char name[64];
  std::snprintf(name, sizeof name, "[(%d,%d)-(%d,%d)]", r.left, r.top, r.right, r.bottom);
  return name;
}

// The section names as the platform lists them into a large buffer.
std::vector<std::string> platformNames(const std::string& path) {
  std::vector<char> buf(1 << 20);
  GetPrivateProfileSectionNamesA(buf.data(), static_cast<DWORD>(buf.size()), path.c_str());
  std::vector<std::string> names;
  for (const char* s = buf.data(); *s != '\0'; s += std::strlen(s) + 1) names.push_back(s);
  return names;
}

// A region file read through the platform's functions: file size, names
// into a buffer of that size, "present" as an integer with the default 1.
// Names must be the whole pattern; rectangles must pass the list's checks.
bool platformLoad(const std::string& path, std::vector<Rect>* out) {
  out->clear();
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  int32_t size = static_cast<int32_t>(data.nFileSizeLow);
  if (size < 1) return false;
  std::vector<char> names(static_cast<size_t>(size));
  DWORD got = GetPrivateProfileSectionNamesA(names.data(), static_cast<DWORD>(size), path.c_str());
  if (got == static_cast<DWORD>(size - 2)) return false;
  for (const char* s = names.data(); *s != '\0'; s += std::strlen(s) + 1) {
    Rect r{};
    int used = -1;
    if (std::sscanf(s, "[(%d,%d)-(%d,%d)]%n", &r.left, &r.top, &r.right, &r.bottom, &used) != 4 ||
        used != static_cast<int>(std::strlen(s))) {
      return false;
    }
    r.include = GetPrivateProfileIntA(s, "present", 1, path.c_str()) != 0;
    if (r.left < 0 || r.right < r.left || r.top < 0 || r.bottom < r.top ||
        (r.left == r.right && r.top == r.bottom)) {
      return false;
    }
    out->push_back(r);
  }
  return true;
}

// The region as the platform's writer writes it into a new file.
void platformSave(const std::string& path, const std::vector<Rect>& rects) {
  for (const Rect& r : rects) {
    WritePrivateProfileStringA(sectionName(r).c_str(), "present", r.include ? "1" : "0",
                               path.c_str());
  }
}

std::vector<Rect> randomRegion(std::mt19937& rng) {
  std::uniform_int_distribution<int32_t> small(0, 3000);
  std::uniform_int_distribution<int32_t> any(0, INT32_MAX);
  std::vector<Rect> rects;
  int n = std::uniform_int_distribution<int>(1, 25)(rng);
  while (static_cast<int>(rects.size()) < n) {
    auto& d = rng() % 5 == 0 ? any : small;
    Rect r{rng() % 2 == 0, d(rng), d(rng), d(rng), d(rng)};
    if (r.right < r.left) std::swap(r.left, r.right);
    if (r.bottom < r.top) std::swap(r.top, r.bottom);
    if (r.left == r.right && r.top == r.bottom) continue;
    bool taken = false;
    for (const Rect& o : rects) {
      taken |= o.left == r.left && o.top == r.top && o.right == r.right && o.bottom == r.bottom;
    }
    if (!taken) rects.push_back(r);
  }
  return rects;
}

void platformWritesWeRead(std::mt19937& rng) {
  for (int round = 0; round < 40; ++round) {
    std::vector<Rect> rects = randomRegion(rng);
    std::string path = freshPath();
    platformSave(path, rects);
    CRectList list;
    list.AddRect(true, 7, 7, 8, 8);
    bool loaded = list.LoadFromFile(path.c_str()) == 0;
    check(loaded && rectsOf(list) == rects, "platform-written file loads: " + path);
    int32_t id = 0;
    bool ids = true;
    for (const wdi::RectEntry& e : list.entries) ids &= e.id == ++id;
    check(ids && list.lastId == id, "ids 1..n after load: " + path);
  }
}

void weWritePlatformReads(std::mt19937& rng) {
  for (int round = 0; round < 40; ++round) {
    std::vector<Rect> rects = randomRegion(rng);
    CRectList list;
    for (const Rect& r : rects) list.AddRect(r.include, r.left, r.top, r.right, r.bottom);
    std::string ours = freshPath();
    bool saved = list.SaveToFile(ours.c_str()) == 0;
    std::vector<Rect> read;
    check(saved && platformLoad(ours, &read) && read == rects, "our file reads back: " + ours);
    std::string theirs = freshPath();
    platformSave(theirs, rects);
    check(readBytes(ours) == readBytes(theirs), "same bytes as the platform's writer: " + ours);
  }
  // Over an existing file the whole file is replaced.
  std::string path = freshPath();
  writeBytes(path, "[[(1,1)-(2,2)]]\r\npresent=0\r\n");
  CRectList list;
  list.AddRect(true, 3, 3, 4, 4);
  std::vector<Rect> read;
  check(list.SaveToFile(path.c_str()) == 0 && platformLoad(path, &read) &&
            read == std::vector<Rect>{{true, 3, 3, 4, 4}},
        "save replaces an existing file");
}

// Our reading of one file compared with the platform's, step by step.
void compareReading(const std::string& bytes) {
  std::string path = freshPath();
  writeBytes(path, bytes);
  std::string what = printable(bytes);

  std::string text = bytes;
  wdi::DecodeProfileText(&text);
  std::vector<wdi::ProfileSectionKey> ours = wdi::ReadProfileSections(text, "present");
  std::vector<std::string> theirs = platformNames(path);
  bool sameNames = ours.size() == theirs.size();
  for (size_t i = 0; sameNames && i < ours.size(); ++i) sameNames = ours[i].section == theirs[i];
  check(sameNames, "section names of " + what);
  for (size_t i = 0; sameNames && i < ours.size(); ++i) {
    int32_t platform =
        static_cast<int32_t>(GetPrivateProfileIntA(theirs[i].c_str(), "present", 77, path.c_str()));
    int32_t mine = wdi::ProfileValueToInt(ours[i], 77);
    check(platform == mine, "value of section " + std::to_string(i) + " in " + what + ": " +
                                std::to_string(platform) + " vs " + std::to_string(mine));
  }
  if (!bytes.empty()) {
    std::vector<char> buf(bytes.size());
    DWORD got =
        GetPrivateProfileSectionNamesA(buf.data(), static_cast<DWORD>(buf.size()), path.c_str());
    bool platformFits = got != static_cast<DWORD>(bytes.size() - 2);
    check(platformFits == wdi::ProfileNamesFit(ours, bytes.size()), "names fit for " + what);
  }
}

// Whole loads compared, for files whose names are the pattern or none.
void compareLoad(const std::string& bytes) {
  std::string path = freshPath();
  writeBytes(path, bytes);
  std::vector<Rect> platform;
  bool platformOk = platformLoad(path, &platform);
  CRectList list;
  list.AddRect(false, 1, 1, 2, 2);
  bool oursOk = list.LoadFromFile(path.c_str()) == 0;
  check(platformOk == oursOk && (!oursOk || rectsOf(list) == platform),
        "load of " + printable(bytes));
}

const char* const kTrickyFiles[] = {
    "x",
    "xy",
    "\r\n",
    "abc",
    "[a]",
    "[a]\n",
    "[a]\r\n",
    "[ab]\n",
    "[[(0,0)-(0,1)]]",
    "[[(0,0)-(0,1)]]\n",
    "[[(0,0)-(0,1)]]\r\n",
    "; comment\r\n\r\n[[(1,1)-(2,2)]]\r\npresent=0\r\nother=1\r\n\r\n[[(3,3)-(4,4)]]\r\n",
    "[[(1,1)-(2,2)]]\npresent=0\n[[(3,3)-(4,4)]]\npresent=7\n",
    "[[(1,1)-(2,2)]]\rpresent=0\r[[(3,3)-(4,4)]]\rpresent=1\r",
    "  [[(1,1)-(2,2)]]  \r\n  present  =  0  \r\n",
    "[ [(1,1)-(2,2)] ]tail\r\n\tPRESENT\t=\t0\r\n",
    "\x1a[[(1,1)-(2,2)]]\x1a\r\npresent=\x1a"
    "0\r\n",
    "[[(1,1)-(2,2)]]\r\npresent\r\npresent=0\r\n",
    "[[(1,1)-(2,2)]]\r\npresent=\r\n",
    "[[(1,1)-(2,2)]]\r\npresent=abc\r\n",
    "[[(1,1)-(2,2)]]\r\npresent=07\r\n",
    "[[(1,1)-(2,2)]]\r\npresent=\"0\"\r\n",
    "[[(1,1)-(2,2)]]\r\n;present=0\r\n",
    "present=0\r\n[[(1,1)-(2,2)]]\r\n",
    "[[(1,1)-(2,2)]]\r\n[]\r\npresent=0\r\n",
    "[[(1,1)-(2,2)]]\r\n[x\r\npresent=0\r\n",
    "[[(1,1)-(2,2)]]\npresent=0\n[[(3,3)-(4,4)]]\n[[(1,1)-(2,2)]]\npresent=1\n",
    "[[( 1, +1)-(2,2)]]\r\npresent=0\r\n",
    "[[(5,5)-(5,5)]]\r\n",
    "[[(1,1)-(2,2)]]\r\n[[(-1,0)-(2,2)]]\r\n",
    "\xEF\xBB\xBF[[(1,1)-(2,2)]]\r\npresent=0\r\n",
};

std::string utf16(const std::string& ascii, bool big) {
  std::string out = big ? "\xFE\xFF" : "\xFF\xFE";
  for (char c : ascii) {
    if (big) out += '\0';
    out += c;
    if (!big) out += '\0';
  }
  return out;
}

void trickyFiles() {
  for (const char* bytes : kTrickyFiles) {
    compareReading(bytes);
    compareLoad(bytes);
  }
  std::string text = "[[(1,1)-(2,2)]]\r\npresent=0\r\n[[(3,3)-(4,4)]]\r\n";
  compareLoad(utf16(text, false));
  compareLoad(utf16(text, true));
  compareReading(
      std::string("[a\0b]\r\npre\0sent=0\r\npresent=0\0"
                  "1\r\n[\0c]\r\n",
                  34));
}

void values(std::mt19937& rng) {
  std::vector<std::string> list = {
      "",     "0",    "1",      "07",         "abc",   "-1",   "+0",         "- 1",
      "0x10", "0X10", "0x1g",   "0b101",      "0b2",   "0o17", "\"0\"",      "'5'",
      "\"\"", "\"",   "\" 3\"", "4294967296", "-0x10", "0x",   "2147483648", "-4294967295"};
  list.push_back(std::string(28, '0') + "1");
  list.push_back(std::string(29, '0') + "1");
  list.push_back("\"" + std::string(27, '0') + "1\"");
  list.push_back("\"" + std::string(28, '0') + "1\"");
  const char alphabet[] = "0123456789abxoXAG+-\"' \t";
  for (int i = 0; i < 300; ++i) {
    std::string v;
    size_t n = std::uniform_int_distribution<size_t>(0, 34)(rng);
    for (size_t k = 0; k < n; ++k) v += alphabet[rng() % (sizeof alphabet - 1)];
    list.push_back(v);
  }
  for (const std::string& v : list) compareReading("[v]\r\npresent=" + v + "\r\n");
}

// Random files from the pieces that the reading rules are about.
void randomFiles(std::mt19937& rng) {
  const char* spaces[] = {"", "", " ", "\t", "  ", "\x1a", "\v", "\f"};
  const char* names[] = {"a", "A", "b", "[(1,2)-(3,4)]", "", "x y", "[(0,0)-(9,9)]", "a]b"};
  const char* keys[] = {"present", "PRESENT", "Present", "other", ";present", "", "pres"};
  const char* values[] = {"0", "1", "", "07", "abc", "\"0\"", "0x0", " 5 ", "-"};
  const char* ends[] = {"\r\n", "\n", "\r", "\r\n\r\n"};
  auto pick = [&](const auto& pool) {
    return std::string(pool[rng() % (sizeof pool / sizeof pool[0])]);
  };
  for (int round = 0; round < 300; ++round) {
    std::string bytes;
    int lines = std::uniform_int_distribution<int>(0, 12)(rng);
    for (int i = 0; i < lines; ++i) {
      bytes += pick(spaces);
      switch (rng() % 3) {
        case 0:
          bytes += "[" + pick(spaces) + pick(names) + pick(spaces) + (rng() % 8 ? "]" : "");
          if (rng() % 6 == 0) bytes += "tail";
          break;
        default:
          bytes += pick(keys) + pick(spaces);
          if (rng() % 6) bytes += "=" + pick(spaces) + pick(values);
          break;
      }
      bytes += pick(spaces);
      if (i + 1 < lines || rng() % 2) bytes += pick(ends);
    }
    compareReading(bytes);
  }
}

}  // namespace

int main() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  workDir = std::string(temp) + "wdi_region_" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(workDir.c_str(), nullptr);

  std::mt19937 rng(20261207);
  platformWritesWeRead(rng);
  weWritePlatformReads(rng);
  trickyFiles();
  values(rng);
  randomFiles(rng);

  for (int i = 0; i < fileCounter; ++i) {
    DeleteFileA((workDir + "case" + std::to_string(i) + ".rect").c_str());
  }
  RemoveDirectoryA(workDir.c_str());
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
