#include "region/profile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace wdi {
namespace {

using std::string_literals::operator""s;

struct Seen {
  std::string section;
  bool found;
  std::string value;
  bool operator==(const Seen& o) const {
    return section == o.section && found == o.found && value == o.value;
  }
};

std::vector<Seen> read(std::string_view text, std::string_view key = "present") {
  std::vector<Seen> out;
  for (const ProfileSectionKey& s : ReadProfileSections(text, key)) {
    out.push_back({std::string(s.section), s.found, std::string(s.value)});
  }
  return out;
}

int32_t valueInt(std::string_view value, int32_t defaultValue = 77) {
  return ProfileValueToInt(ProfileSectionKey{"s", true, value}, defaultValue);
}

TEST(ProfileReader, SectionsInFileOrderWithTheirKey) {
  std::vector<Seen> want = {{"b", true, "0"}, {"a", true, "1"}, {"c", false, ""}};
  EXPECT_EQ(read("[b]\r\npresent=0\r\n[a]\r\npresent=1\r\n[c]\r\n"), want);
  EXPECT_EQ(read("[b]\npresent=0\n[a]\npresent=1\n[c]"), want);
  EXPECT_EQ(read("[b]\rpresent=0\r[a]\rpresent=1\r[c]\r"), want);
  // Blank lines, comments, other keys and surrounding white space.
  EXPECT_EQ(
      read("; made by hand\r\n\r\n  [b]  \r\nother=1\r\n;present=1\r\n\t present \t=\v0 \f\r\n"
           "\r\n[ a ]\r\nPRESENT=1\r\n\x1a[c]\x1a\r\nkey\r\n"),
      want);
}

TEST(ProfileReader, HeaderLines) {
  // The name runs from the first '[' to the last ']' on the line; the region
  // files' own names carry brackets of their own.
  EXPECT_EQ(read("[[(0,0)-(719,575)]]\r\npresent=1\r\n"),
            (std::vector<Seen>{{"[(0,0)-(719,575)]", true, "1"}}));
  EXPECT_EQ(read("[a]b]tail\npresent=0\n"), (std::vector<Seen>{{"a]b", true, "0"}}));
  // A line without a closing bracket is a key line of the section before.
  EXPECT_EQ(read("[a]\n[b\npresent=0\n"), (std::vector<Seen>{{"a", true, "0"}}));
  // Keys before the first header and in a section named "" belong to no
  // listed section.
  EXPECT_EQ(read("present=0\n[a]\n[ ]\npresent=0\n"), (std::vector<Seen>{{"a", false, ""}}));
}

TEST(ProfileReader, FirstKeyAndFirstSectionOfANameAnswer) {
  EXPECT_EQ(read("[a]\npresent\npresent=0\n"), (std::vector<Seen>{{"a", true, ""}}));
  EXPECT_EQ(read("[a]\npresent=0\n[b]\n[A]\npresent=1\n"),
            (std::vector<Seen>{{"a", true, "0"}, {"b", false, ""}, {"A", true, "0"}}));
  EXPECT_EQ(read("[a]\n[a]\npresent=1\n"), (std::vector<Seen>{{"a", false, ""}, {"a", false, ""}}));
}

TEST(ProfileReader, ZeroBytesEndNamesAndValues) {
  EXPECT_EQ(read("[a\0b]\npre\0sent=0\npresent=1\0 9\n[\0c]\n"s),
            (std::vector<Seen>{{"a", true, "1"}}));
}

TEST(ProfileReader, IntegerValues) {
  EXPECT_EQ(valueInt("1"), 1);
  EXPECT_EQ(valueInt("0"), 0);
  EXPECT_EQ(valueInt("07"), 7);
  EXPECT_EQ(valueInt("abc"), 0);
  EXPECT_EQ(valueInt("12abc"), 12);
  EXPECT_EQ(valueInt(""), 77);
  EXPECT_EQ(ProfileValueToInt(ProfileSectionKey{"s", false, {}}, 77), 77);
  EXPECT_EQ(valueInt("-1"), -1);
  EXPECT_EQ(valueInt("-0"), 0);
  EXPECT_EQ(valueInt("+0"), 0);
  EXPECT_EQ(valueInt("- 1"), 0);
  EXPECT_EQ(valueInt("\x01\x1f 5"), 5);
  EXPECT_EQ(valueInt("0x10"), 16);
  EXPECT_EQ(valueInt("0x1g"), 1);
  EXPECT_EQ(valueInt("0X10"), 0);
  EXPECT_EQ(valueInt("0b101"), 5);
  EXPECT_EQ(valueInt("0b2"), 0);
  EXPECT_EQ(valueInt("0o17"), 15);
  EXPECT_EQ(valueInt("-0x10"), -16);
  EXPECT_EQ(valueInt("4294967296"), 0);
  EXPECT_EQ(valueInt("4294967297"), 1);
  EXPECT_EQ(valueInt("-4294967295"), 1);
  EXPECT_EQ(valueInt("2147483648"), INT32_MIN);
}

TEST(ProfileReader, QuotesAndTheValueBuffer) {
  EXPECT_EQ(valueInt("\"0\""), 0);
  EXPECT_EQ(valueInt("'5'"), 5);
  EXPECT_EQ(valueInt("\" 3\""), 3);
  EXPECT_EQ(valueInt("\"\""), 77);
  EXPECT_EQ(valueInt("\""), 0);
  EXPECT_EQ(valueInt("\"4"), 0);
  EXPECT_EQ(valueInt("\"4'"), 0);
  // 29 characters are read, the 30th is not.
  EXPECT_EQ(valueInt(std::string(28, '0') + "1"), 1);
  EXPECT_EQ(valueInt(std::string(29, '0') + "1"), 0);
  // Quoted, 29 characters lose their last one; 28 keep it.
  EXPECT_EQ(valueInt("\"" + std::string(27, '0') + "1\""), 1);
  EXPECT_EQ(valueInt("\"" + std::string(28, '0') + "1\""), 0);
}

TEST(ProfileReader, TextEncodings) {
  std::string utf8 = "\xEF\xBB\xBF[a]\r\n";
  DecodeProfileText(&utf8);
  EXPECT_EQ(utf8, "[a]\r\n");
  std::string little = "\xFF\xFE[\0a\0\xE9\0\x01\x04]\0x"s;
  DecodeProfileText(&little);
  EXPECT_EQ(little, "[a??]");
  std::string big = "\xFE\xFF\0[\0b\0]"s;
  DecodeProfileText(&big);
  EXPECT_EQ(big, "[b]");
  std::string ansi = "\xFF[a]";
  DecodeProfileText(&ansi);
  EXPECT_EQ(ansi, "\xFF[a]");
}

TEST(ProfileReader, NamesListFitsTheFileSizedBuffer) {
  auto fits = [](std::string_view text) {
    return ProfileNamesFit(ReadProfileSections(text, "present"), text.size());
  };
  // Without sections only the buffer of 2 bytes gets the result 0 = 2 - 2.
  EXPECT_TRUE(fits("x"));
  EXPECT_FALSE(fits("\r\n"));
  EXPECT_TRUE(fits("abc"));
  // "a", zero, zero: needs one byte beyond, and equal to size - 2 at one.
  EXPECT_FALSE(fits("[a]"));
  EXPECT_FALSE(fits("[a]\n"));
  EXPECT_TRUE(fits("[a]\r\n"));
  EXPECT_TRUE(fits("[a]\n[b]"));
}

TEST(ProfileWriter, NewSectionLines) {
  std::string text;
  AppendProfileSection(&text, "[(0,0)-(719,575)]", "present", "1");
  AppendProfileSection(&text, "b", "k", "v");
  EXPECT_EQ(text, "[[(0,0)-(719,575)]]\r\npresent=1\r\n[b]\r\nk=v\r\n");
  EXPECT_EQ(read(text, "k"),
            (std::vector<Seen>{{"[(0,0)-(719,575)]", false, ""}, {"b", true, "v"}}));
}

TEST(FileReading, BoundedWholeFile) {
  std::string path = testing::TempDir() + "profile_read_" + std::to_string(getpid());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite("0123456789", 1, 10, f);
  std::fclose(f);
  std::string contents;
  EXPECT_EQ(ReadWholeFile(path.c_str(), 10, &contents), FileRead::kOk);
  EXPECT_EQ(contents, "0123456789");
  EXPECT_EQ(ReadWholeFile(path.c_str(), 9, &contents), FileRead::kTooLarge);
  EXPECT_EQ(contents.size(), 10u);
  std::remove(path.c_str());
  EXPECT_EQ(ReadWholeFile(path.c_str(), 10, &contents), FileRead::kFailed);
  EXPECT_EQ(ReadWholeFile(testing::TempDir().c_str(), 10, &contents), FileRead::kFailed);
}

}  // namespace
}  // namespace wdi
