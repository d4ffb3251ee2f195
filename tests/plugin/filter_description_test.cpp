// The description the host reads, vfGetInfo's selectors and the attach
// decision with a probe result of the test's choosing.
#include "plugin/filter_description.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/native_hooks.h"
#include "plugin/host_library.h"
#include "plugin/module_attach.h"

namespace wdi::test {
namespace {

std::vector<uint8_t> expectedDescription() {
  std::vector<uint8_t> d(288, 0);
  const uint32_t version = 0x00040000;
  std::memcpy(d.data(), &version, 4);
  std::strcpy(reinterpret_cast<char*>(d.data() + 4), "WDeinterlace");
  std::strcpy(reinterpret_cast<char*>(d.data() + 20), "Deinterlace");
  std::strcpy(reinterpret_cast<char*>(d.data() + 84), "D&interlace");
  std::strcpy(reinterpret_cast<char*>(d.data() + 148), "Wyndvale");
  std::strcpy(reinterpret_cast<char*>(d.data() + 212), "&Wyndvale");
  const int32_t values[3] = {24, 100, 29};
  std::memcpy(d.data() + 276, values, 12);
  return d;
}

TEST(FilterDescription, ExpressCopiesExactly288Bytes) {
  EXPECT_EQ(vfExpress(nullptr), 1);
  std::vector<uint8_t> buffer(300, 0xA5);
  EXPECT_EQ(vfExpress(buffer.data()), 1);
  const std::vector<uint8_t> expected = expectedDescription();
  EXPECT_EQ(std::memcmp(buffer.data(), expected.data(), 288), 0);
  EXPECT_EQ(buffer[288], 0xA5);
  std::vector<uint8_t> again(300, 0x5A);
  EXPECT_EQ(vfExpress(again.data()), 1);
  EXPECT_EQ(std::memcmp(again.data(), buffer.data(), 288), 0);
}

TEST(FilterDescription, StringsAreCutToTheirSlotsWithTheRestZero) {
  // A loader with over-long strings: the short name keeps 15 characters,
  // the others 63 (the 64-character buffer).
  FilterDescription d{};
  FillFilterDescription(&d, [](uint32_t id, char* buffer, int32_t size) -> int32_t {
    const std::string text(200, static_cast<char>('a' + id % 26));
    std::memcpy(buffer, text.data(), static_cast<size_t>(size) - 1);
    buffer[size - 1] = '\0';
    return size - 1;
  });
  EXPECT_EQ(std::strlen(d.shortName), 15u);
  EXPECT_EQ(std::strlen(d.name), 63u);
  EXPECT_EQ(std::strlen(d.menuMaker), 63u);
  EXPECT_EQ(d.hostValues[0], 24);

  FilterDescription empty{};
  FillFilterDescription(&empty, [](uint32_t, char* buffer, int32_t) -> int32_t {
    buffer[0] = '\0';
    return 0;
  });
  EXPECT_EQ(empty.interfaceVersion, kFilterInterfaceVersion);
  for (char c : empty.maker) EXPECT_EQ(c, '\0');
}

TEST(FilterDescription, BuiltinStringTable) {
  char text[128];
  EXPECT_GT(BuiltinString(2, text, sizeof text), 0);
  EXPECT_STREQ(text,
               "Insufficient memory. Please close other programs to free system resources and "
               "try again.");
  EXPECT_GT(BuiltinString(4, text, sizeof text), 0);
  EXPECT_STREQ(text, "VFILTER.HLP >d");
  EXPECT_EQ(BuiltinString(5, text, sizeof text), 0);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(BuiltinString(300, text, 5), 4);
  EXPECT_STREQ(text, "WDei");
}

TEST(GetInfo, TextSelectorWrites26Bytes) {
  char text[40];
  std::memset(text, 0x77, sizeof text);
  EXPECT_EQ(vfGetInfo(0, 0, 2, text), 1);
  EXPECT_EQ(std::memcmp(text, "Removes interlace effect.", 26), 0);
  EXPECT_EQ(text[26], 0x77);
  EXPECT_EQ(vfGetInfo(0, 0, 2, nullptr), 1);
  EXPECT_EQ(vfGetInfo(0, 0, 3, text), 0);
  for (int32_t selector : {4, -1, 1000}) EXPECT_EQ(vfGetInfo(0, 0, selector, text), 1);
}

TEST(GetInfo, DefaultBlocksGoToEveryKeyOfTheCount) {
  const DeinterlaceParameters junk = {9, 9, 9, 9, 9, 1, 1, {7, 7}};
  DeinterlaceParameters blocks[4] = {junk, junk, junk, junk};
  HostKeyEntry entries[4] = {{0, &blocks[0]}, {3, &blocks[1]}, {6, nullptr}, {9, &blocks[3]}};
  HostKeyList list{0, 9, 0, entries};
  EXPECT_EQ(vfGetInfo(0, 0, 0, &list), 1);
  list.count = -1;
  EXPECT_EQ(vfGetInfo(0, 0, 0, &list), 1);
  EXPECT_EQ(std::memcmp(&blocks[0], &junk, 24), 0);
  list.count = 3;  // entry 2 has no block: skipped
  EXPECT_EQ(vfGetInfo(0, 0, 0, &list), 1);
  EXPECT_EQ(std::memcmp(&blocks[0], &kDefaultParameters, 24), 0);
  EXPECT_EQ(std::memcmp(&blocks[1], &kDefaultParameters, 24), 0);
  EXPECT_EQ(std::memcmp(&blocks[3], &junk, 24), 0);
  EXPECT_EQ(vfGetInfo(0, 0, 0, nullptr), 1);
  HostKeyList noEntries{0, 0, 2, nullptr};
  EXPECT_EQ(vfGetInfo(0, 0, 0, &noEntries), 1);
}

struct FilmSeen {
  HostFilmRecord* film = nullptr;
  HostKeyList list{};
  HostKeyEntry entries[2]{};
  DeinterlaceParameters blocks[2]{};
  OptionBlockCallbackFn options = nullptr;
  FrameCopyCallbackFn frames = nullptr;
  int32_t mode = 0;
  int calls = 0;
};
FilmSeen filmSeen;

int32_t recordingMakeFilm(HostFilmRecord* film, OptionBlockCallbackFn options,
                          FrameCopyCallbackFn frames, int32_t mode) {
  ++filmSeen.calls;
  filmSeen.film = film;
  filmSeen.options = options;
  filmSeen.frames = frames;
  filmSeen.mode = mode;
  if (film->keys != nullptr) {
    filmSeen.list = *film->keys;
    for (int i = 0; i < 2 && i < film->keys->count; ++i) {
      filmSeen.entries[i] = film->keys->entries[i];
      filmSeen.blocks[i] = *film->keys->entries[i].block;
    }
  }
  return 0x1234;
}

TEST(GetInfo, FilmWithoutKeysGetsTwoDefaultKeysForTheCall) {
  filmSeen = {};
  HostLibraryHooks hooks;
  hooks.makeFilm = &recordingMakeFilm;
  setHostLibraryHooks(hooks);
  HostFilmRecord film{};
  EXPECT_EQ(vfGetInfo(0, 0, 1, &film), 0x1234);
  EXPECT_EQ(filmSeen.calls, 1);
  EXPECT_EQ(filmSeen.film, &film);
  EXPECT_EQ(filmSeen.options, &OptionBlockCallback);
  EXPECT_EQ(filmSeen.frames, &FrameCopyCallback);
  EXPECT_EQ(filmSeen.mode, -1);
  EXPECT_EQ(filmSeen.list.lastPosition, 9);
  EXPECT_EQ(filmSeen.list.count, 2);
  EXPECT_EQ(filmSeen.entries[0].position, 0);
  EXPECT_EQ(filmSeen.entries[1].position, 9);
  EXPECT_EQ(std::memcmp(&filmSeen.blocks[0], &kDefaultParameters, 24), 0);
  EXPECT_EQ(std::memcmp(&filmSeen.blocks[1], &kDefaultParameters, 24), 0);
  EXPECT_EQ(film.keys, nullptr);

  // A film with keys keeps its list.
  DeinterlaceParameters block = kDefaultParameters;
  HostKeyEntry entry{4, &block};
  HostKeyList list{0, 4, 1, &entry};
  film.keys = &list;
  EXPECT_EQ(vfGetInfo(0, 0, 1, &film), 0x1234);
  EXPECT_EQ(film.keys, &list);
  EXPECT_EQ(filmSeen.list.count, 1);

  EXPECT_EQ(vfGetInfo(0, 0, 1, nullptr), 1);
  EXPECT_EQ(filmSeen.calls, 2);
  setHostLibraryHooks(HostLibraryHooks{});
}

TEST(ModuleAttach, ProbeDecodesMmxAndSseOnlyWithTheInstruction) {
  const uint32_t mmx = 1u << 23;
  const uint32_t sse = 1u << 25;
  EXPECT_TRUE(DecodeCpuFeatures(true, mmx).mmx);
  EXPECT_FALSE(DecodeCpuFeatures(true, mmx).sse);
  EXPECT_TRUE(DecodeCpuFeatures(true, mmx | sse).sse);
  EXPECT_FALSE(DecodeCpuFeatures(true, ~mmx).mmx);
  EXPECT_FALSE(DecodeCpuFeatures(false, mmx | sse).mmx);
  EXPECT_FALSE(DecodeCpuFeatures(false, mmx | sse).sse);
  EXPECT_TRUE(DetectCpuFeatures().mmx);  // every x86-64 processor
}

TEST(ModuleAttach, WithoutMmxTheModuleRefusesWithOneMessage) {
  std::vector<std::string> messages;
  setMessageBoxHook([&](const char* text, const char* caption) {
    messages.push_back(std::string(caption) + "|" + text);
  });
  void* const before = moduleInstance;
  FilterDescription d{};
  int instance = 0;
  EXPECT_EQ(AttachModule(CpuFeatures{false, true}, &instance, &BuiltinString, &d), 0x8004025Bu);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Wyndvale Deinterlace|Your processor must support MMX instructions");
  EXPECT_EQ(moduleInstance, before);
  EXPECT_EQ(d.interfaceVersion, 0u);

  EXPECT_EQ(AttachModule(CpuFeatures{true, false}, &instance, &BuiltinString, &d), 0u);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(moduleInstance, &instance);
  const std::vector<uint8_t> expected = expectedDescription();
  EXPECT_EQ(std::memcmp(&d, expected.data(), 288), 0);
  moduleInstance = before;
  setMessageBoxHook(nullptr);
}

}  // namespace
}  // namespace wdi::test
