#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "region/rect_list.h"
#include "support/guarded_buffer.h"
#include "support/temp_dir.h"
#include "support/test_rect.h"

namespace wdi {
namespace {

namespace fs = std::filesystem;
using std::string_literals::operator""s;

class RegionFile : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(tmp_.path().empty());
    dir_ = tmp_.path();
  }
  test::TempDir tmp_;

  std::string path(const char* name = "region.rect") const { return (dir_ / name).string(); }

  void write(const std::string& file, const std::string& bytes) const {
    std::ofstream out(file, std::ios::binary);
    out << bytes;
  }

  static std::string contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::vector<std::string> dirEntries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
    return names;
  }

  // Loads `bytes` into a region that holds two entries with ids 1 and 3 and
  // lastId 3; returns the result.
  int32_t loadOverOldRegion(const std::string& bytes, CRectList* list) {
    list->AddRect(true, 1, 1, 10, 10);
    list->AddRect(false, 2, 2, 20, 20);
    list->AddRect(true, 3, 3, 30, 30);
    list->DeleteRect(2);
    write(path(), bytes);
    return list->LoadFromFile(path().c_str());
  }

  static void expectOldRegion(const CRectList& list) {
    ASSERT_EQ(list.entries.size(), 2u);
    const RectEntry& a = list.entries.front();
    const RectEntry& b = list.entries.back();
    EXPECT_EQ(a.id, 1);
    EXPECT_EQ(b.id, 3);
    EXPECT_TRUE(a.include && a.left == 1 && a.top == 1 && a.right == 10 && a.bottom == 10);
    EXPECT_TRUE(b.include && b.left == 3 && b.top == 3 && b.right == 30 && b.bottom == 30);
    EXPECT_EQ(list.lastId, 3);
  }

  // The rectangles of a one-section file with this header name and key lines.
  int32_t loadSection(const std::string& name, const std::string& keyLines, CRectList* list) {
    write(path(), "[" + name + "]\r\n" + keyLines);
    return list->LoadFromFile(path().c_str());
  }

  fs::path dir_;
};

using test::Rect;
constexpr auto rects = test::rectsOf;

void expectIdsOneToN(const CRectList& list) {
  int32_t id = 0;
  for (const RectEntry& e : list.entries) EXPECT_EQ(e.id, ++id);
  EXPECT_EQ(list.lastId, id);
}

TEST_F(RegionFile, RandomRegionsRoundTrip) {
  std::mt19937 rng = test::seededRng(20261207);
  std::uniform_int_distribution<int32_t> small(0, 2000);
  std::uniform_int_distribution<int32_t> any(0, INT32_MAX);
  for (int round = 0; round < 50; ++round) {
    CRectList saved;
    int n = std::uniform_int_distribution<int>(1, 60)(rng);
    while (static_cast<int>(saved.entries.size()) < n) {
      auto& d = (rng() % 4 == 0) ? any : small;
      int32_t l = d(rng), t = d(rng), r = d(rng), b = d(rng);
      if (r < l) std::swap(l, r);
      if (b < t) std::swap(t, b);
      bool taken = false;
      for (const RectEntry& e : saved.entries) {
        taken |= e.left == l && e.top == t && e.right == r && e.bottom == b;
      }
      if (!taken) saved.AddRect(rng() % 2 == 0, l, t, r, b);
      if (rng() % 8 == 0 && !saved.entries.empty()) saved.DeleteRect(saved.entries.front().id);
    }
    ASSERT_EQ(saved.SaveToFile(path().c_str()), 0);

    CRectList loaded;
    loaded.AddRect(true, 5, 5, 6, 6);
    loaded.lastId = 1000;
    ASSERT_EQ(loaded.LoadFromFile(path().c_str()), 0);
    EXPECT_EQ(rects(loaded), rects(saved));
    expectIdsOneToN(loaded);
  }
  EXPECT_EQ(dirEntries(), std::vector<std::string>{"region.rect"});
}

TEST_F(RegionFile, ExampleFileByteForByte) {
  CRectList list;
  list.AddRect(true, 0, 0, 719, 575);
  list.AddRect(false, 100, 50, 299, 199);
  ASSERT_EQ(list.SaveToFile(path().c_str()), 0);
  EXPECT_EQ(contents(path()),
            "[[(0,0)-(719,575)]]\r\npresent=1\r\n[[(100,50)-(299,199)]]\r\npresent=0\r\n");
}

TEST_F(RegionFile, SaveReplacesTheWholeFile) {
  write(path(), "[[(1,1)-(2,2)]]\r\npresent=0\r\n[[(0,0)-(719,575)]]\r\npresent=0\r\n");
  CRectList list;
  list.AddRect(true, 0, 0, 719, 575);
  ASSERT_EQ(list.SaveToFile(path().c_str()), 0);
  EXPECT_EQ(contents(path()), "[[(0,0)-(719,575)]]\r\npresent=1\r\n");
}

TEST_F(RegionFile, SameEdgesKeepTheLastAtItsOwnPlace) {
  CRectList list;
  list.AddRect(true, 0, 0, 99, 99);
  list.AddRect(false, 0, 0, 99, 99);
  ASSERT_EQ(list.SaveToFile(path().c_str()), 0);
  EXPECT_EQ(contents(path()), "[[(0,0)-(99,99)]]\r\npresent=0\r\n");

  CRectList mixed;
  mixed.AddRect(false, 10, 10, 50, 50);
  mixed.AddRect(true, 20, 20, 80, 80);
  mixed.AddRect(true, 10, 10, 50, 50);
  mixed.AddRect(false, 40, 40, 90, 90);
  ASSERT_EQ(mixed.SaveToFile(path().c_str()), 0);
  CRectList loaded;
  ASSERT_EQ(loaded.LoadFromFile(path().c_str()), 0);
  EXPECT_EQ(
      rects(loaded),
      (std::vector<Rect>{{true, 20, 20, 80, 80}, {true, 10, 10, 50, 50}, {false, 40, 40, 90, 90}}));
  for (int32_t y = 0; y < 100; ++y) {
    for (int32_t x = 0; x < 100; ++x) ASSERT_EQ(loaded.IsProcessed(x, y), mixed.IsProcessed(x, y));
  }
}

TEST_F(RegionFile, EmptyRegionWritesNothing) {
  CRectList empty;
  EXPECT_EQ(empty.SaveToFile(path().c_str()), 0);
  EXPECT_FALSE(fs::exists(path()));
  EXPECT_EQ(empty.LoadFromFile(path().c_str()), -1);
  write(path(), "[[(1,1)-(2,2)]]\r\n");
  EXPECT_EQ(empty.SaveToFile(path().c_str()), 0);
  EXPECT_EQ(contents(path()), "[[(1,1)-(2,2)]]\r\n");
}

TEST_F(RegionFile, FailedSaveLeavesTheOldFile) {
  const std::string old = "[[(1,1)-(2,2)]]\r\npresent=0\r\n";
  write(path(), old);
  CRectList list;
  for (int32_t i = 0; i < 200; ++i) list.AddRect(true, i, i, i + 100, i + 100);

  // A file size limit makes the write of the new contents fail part way.
  struct sigaction ignore {
  }, before{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &before);
  rlimit limit{}, saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  limit = saved;
  limit.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  int32_t result = list.SaveToFile(path().c_str());
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &before, nullptr);

  EXPECT_EQ(result, -1);
  EXPECT_EQ(contents(path()), old);
  EXPECT_EQ(dirEntries(), std::vector<std::string>{"region.rect"});

  // A missing directory, and a directory in the file's place.
  EXPECT_EQ(list.SaveToFile(path("missing/region.rect").c_str()), -1);
  fs::create_directory(path("taken"));
  write(path("taken/inner"), "x");
  EXPECT_EQ(list.SaveToFile(path("taken").c_str()), -1);
  EXPECT_EQ(contents(path("taken/inner")), "x");
  EXPECT_EQ(dirEntries().size(), 2u);
}

TEST_F(RegionFile, FailedSaveInAReadOnlyDirectory) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the super-user";
  const std::string old = "[[(1,1)-(2,2)]]\r\npresent=0\r\n";
  write(path(), old);
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  CRectList list;
  list.AddRect(true, 0, 0, 9, 9);
  EXPECT_EQ(list.SaveToFile(path().c_str()), -1);
  fs::permissions(dir_, fs::perms::owner_all);
  EXPECT_EQ(contents(path()), old);
}

TEST_F(RegionFile, SaveKeepsPermissionsAndFollowsLinks) {
  write(path("target.rect"), "old");
  fs::permissions(path("target.rect"), fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("target.rect", path("link.rect"));
  CRectList list;
  list.AddRect(false, 0, 0, 9, 9);
  ASSERT_EQ(list.SaveToFile(path("link.rect").c_str()), 0);
  EXPECT_TRUE(fs::is_symlink(path("link.rect")));
  EXPECT_EQ(contents(path("target.rect")), "[[(0,0)-(9,9)]]\r\npresent=0\r\n");
  EXPECT_EQ(fs::status(path("target.rect")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(RegionFile, ReadsWhatThePlatformReads) {
  CRectList list;
  write(path(),
        "; region\n\n  [[(1,1)-(2,2)]]\npresent=0\nnote=x\n"
        "[[(3,3)-(4,4)]]\r\n\r\n"
        "[[(5,5)-(6,6)]]\r\n PRESENT = 7 \r\n"
        "[[(7,7)-(8,8)]]\r\npresent=abc\r\n"
        "[[(9,9)-(10,10)]]\r\npresent=07\r\n"
        "[ [( 11, +11)-(12,12)] ]\r\npresent=\"0\"\r\n");
  ASSERT_EQ(list.LoadFromFile(path().c_str()), 0);
  EXPECT_EQ(rects(list), (std::vector<Rect>{{false, 1, 1, 2, 2},
                                            {true, 3, 3, 4, 4},
                                            {true, 5, 5, 6, 6},
                                            {false, 7, 7, 8, 8},
                                            {true, 9, 9, 10, 10},
                                            {false, 11, 11, 12, 12}}));
  expectIdsOneToN(list);
}

TEST_F(RegionFile, RepeatedSectionsAnswerWithTheFirst) {
  CRectList list;
  write(path(), "[[(1,1)-(2,2)]]\npresent=0\n[[(3,3)-(4,4)]]\n[[(1,1)-(2,2)]]\npresent=1\n");
  ASSERT_EQ(list.LoadFromFile(path().c_str()), 0);
  EXPECT_EQ(rects(list),
            (std::vector<Rect>{{false, 1, 1, 2, 2}, {true, 3, 3, 4, 4}, {false, 1, 1, 2, 2}}));
}

TEST_F(RegionFile, ByteOrderMarks) {
  CRectList list;
  write(path(), "\xEF\xBB\xBF[[(1,1)-(2,2)]]\r\npresent=0\r\n");
  ASSERT_EQ(list.LoadFromFile(path().c_str()), 0);
  EXPECT_EQ(rects(list), (std::vector<Rect>{{false, 1, 1, 2, 2}}));
  std::string wide = "\xFF\xFE";
  for (char c : "[[(3,3)-(4,4)]]\r\npresent=0\r\n"s) wide += {c, '\0'};
  write(path(), wide);
  ASSERT_EQ(list.LoadFromFile(path().c_str()), 0);
  EXPECT_EQ(rects(list), (std::vector<Rect>{{false, 3, 3, 4, 4}}));
}

TEST_F(RegionFile, FilesWithoutSections) {
  CRectList list;
  EXPECT_EQ(loadOverOldRegion("\r\n", &list), -1);
  expectOldRegion(list);
  // Longer than 2 bytes, or shorter: an empty region.
  EXPECT_EQ(loadOverOldRegion("; nothing here\r\n", &list), 0);
  EXPECT_TRUE(list.entries.empty());
  EXPECT_EQ(list.lastId, 0);
  CRectList one;
  EXPECT_EQ(loadOverOldRegion("\n", &one), 0);
  EXPECT_TRUE(one.entries.empty());
}

TEST_F(RegionFile, RefusedFilesLeaveTheRegion) {
  const std::vector<std::string> refused = {
      "",  // empty file
      "[[(5,5)-(5,5)]]\r\npresent=1\r\n",
      "[[(0,0)-(9,9)]]\r\n[[(0,-1)-(9,9)]]\r\n[[(1,1)-(2,2)]]\r\n",
      "[[(9,0)-(8,9)]]\r\n",
      "[[(0,9)-(9,8)]]\r\n",
      // Names that are not the pattern, wholly.
      "[[(1,1)-(2,2)]x]\r\n",
      "[[(1,1)-(2,2)]\r\n",
      "[(1,1)-(2,2)]\r\n",
      "[[(1,1)-(2)]]\r\n",
      "[[(1,1)-(2,2) ]]\r\n",
      "[[(1,1) -(2,2)]]\r\n",
      "[[(1,1)-(2,2 )]]\r\n",
      "[[(1,1)-(,2)]]\r\n",
      "[[(0x1,1)-(2,2)]]\r\n",
      "[[(1,1)-(2,2)]]\r\n[region]\r\n",
      "[[(1,1)-(2,2)]]\r\n[[(1,1)-(2,2)\0]]\r\n"s,
      // Numbers beyond 32 signed bits.
      "[[(0,0)-(2147483648,1)]]\r\n",
      "[[(0,0)-(1,99999999999999999999)]]\r\n",
      "[[(-2147483649,0)-(1,1)]]\r\n",
  };
  for (const std::string& bytes : refused) {
    SCOPED_TRACE(bytes);
    CRectList list;
    EXPECT_EQ(loadOverOldRegion(bytes, &list), -1);
    expectOldRegion(list);
  }
  CRectList list;
  list.AddRect(true, 1, 1, 2, 2);
  EXPECT_EQ(list.LoadFromFile(path("missing.rect").c_str()), -1);
  EXPECT_EQ(list.LoadFromFile(dir_.c_str()), -1);
  EXPECT_EQ(list.entries.size(), 1u);
}

TEST_F(RegionFile, NumbersAtTheEdgesOf32Bits) {
  CRectList list;
  ASSERT_EQ(loadSection("[(0,0)-(2147483647,2147483647)]", "", &list), 0);
  EXPECT_EQ(rects(list), (std::vector<Rect>{{true, 0, 0, INT32_MAX, INT32_MAX}}));
  ASSERT_EQ(loadSection("[(-0,+0)-(000000000000000000001,1)]", "", &list), 0);
  EXPECT_EQ(rects(list), (std::vector<Rect>{{true, 0, 0, 1, 1}}));
  CRectList saved;
  saved.AddRect(false, INT32_MAX - 1, 0, INT32_MAX, INT32_MAX);
  ASSERT_EQ(saved.SaveToFile(path().c_str()), 0);
  ASSERT_EQ(list.LoadFromFile(path().c_str()), 0);
  EXPECT_EQ(rects(list), rects(saved));
}

TEST_F(RegionFile, SizeLimit) {
  // 16 MiB of zero bytes are one line that names no section; one more byte
  // is refused without looking at it.
  CRectList list;
  write(path(), "");
  fs::resize_file(path(), 16u << 20);
  EXPECT_EQ(loadOverOldRegion(contents(path()), &list), 0);
  EXPECT_TRUE(list.entries.empty());
  CRectList old;
  std::string tooLarge = "[[(0,0)-(1,1)]]\r\n";
  tooLarge.resize((16u << 20) + 1, ' ');
  EXPECT_EQ(loadOverOldRegion(tooLarge, &old), -1);
  expectOldRegion(old);
}

TEST_F(RegionFile, NamesListCoincidenceOfThePlatform) {
  // The platform lists "[(0,0)-(0,1)]" and two zero bytes into a buffer of
  // the file's 16 bytes, which it reports as 16 - 2: not fitting.
  CRectList list;
  EXPECT_EQ(loadOverOldRegion("[[(0,0)-(0,1)]]\n", &list), -1);
  expectOldRegion(list);
  CRectList crlf;
  EXPECT_EQ(loadOverOldRegion("[[(0,0)-(0,1)]]\r\n", &crlf), 0);
  EXPECT_EQ(rects(crlf), (std::vector<Rect>{{true, 0, 0, 0, 1}}));
}

}  // namespace
}  // namespace wdi
