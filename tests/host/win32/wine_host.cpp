// Test host for the real module: loads wdeinterlace.vft with LoadLibrary,
// finds its exports and drives them as the host video editor would, with our
// Vft32.dll beside it. Built once per host version (WDI_HOST_MAJOR; 0 = no
// version resource). Usage: wine_host_vN.exe MODULE NATIVE_FRAMES_DIR
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "frame_scenarios.h"
#include "vft32_standin.h"

using namespace wdi;
using wdi::scenario::VfActionFn;

namespace {

int gPassed = 0;
int gFailed = 0;

bool check(bool ok, const char* what, int line) {
  if (ok) {
    ++gPassed;
  } else {
    ++gFailed;
    std::printf("FAILED (line %d): %s\n", line, what);
  }
  return ok;
}
#define CHECK(cond) check((cond), #cond, __LINE__)

using VfExpressFn = int32_t(WDI_STDCALL*)(void*);
using VfGetInfoFn = int32_t(WDI_STDCALL*)(int32_t, int32_t, int32_t, void*);

struct Module {
  HMODULE handle = nullptr;
  VfActionFn action = nullptr;
  VfExpressFn express = nullptr;
  VfGetInfoFn getInfo = nullptr;
};

#if WDI_HOST_MAJOR == 0
constexpr int32_t kHostMajor = 7;  // no version resource counts as current
#else
constexpr int32_t kHostMajor = WDI_HOST_MAJOR;
#endif

standin::CallLog& log() { return *standinLog(); }

void put32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

// An export as the function type the host expects of it.
template <class Function>
Function proc(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void checkExports(Module& m, const char* path) {
  m.handle = LoadLibraryA(path);
  if (!CHECK(m.handle != nullptr)) return;
  m.action = proc<VfActionFn>(m.handle, "vfAction");
  m.express = proc<VfExpressFn>(m.handle, "vfExpress");
  m.getInfo = proc<VfGetInfoFn>(m.handle, "vfGetInfo");
  CHECK(m.action != nullptr);
  CHECK(m.express != nullptr);
  CHECK(m.getInfo != nullptr);
  // Ordinals 1, 2, 3.
  CHECK(reinterpret_cast<void*>(GetProcAddress(m.handle, MAKEINTRESOURCEA(1))) ==
        reinterpret_cast<void*>(m.action));
  CHECK(reinterpret_cast<void*>(GetProcAddress(m.handle, MAKEINTRESOURCEA(2))) ==
        reinterpret_cast<void*>(m.express));
  CHECK(reinterpret_cast<void*>(GetProcAddress(m.handle, MAKEINTRESOURCEA(3))) ==
        reinterpret_cast<void*>(m.getInfo));
  // Decorated names are not exported.
  CHECK(GetProcAddress(m.handle, "vfAction@8") == nullptr);
  CHECK(GetProcAddress(m.handle, "_vfAction@8") == nullptr);
}

void checkResources(const Module& m) {
  char text[128] = {};
  CHECK(LoadStringA(m.handle, 2, text, sizeof text) > 0 &&
        std::strcmp(text,
                    "Insufficient memory. Please close other programs to free system resources "
                    "and try again.") == 0);
  CHECK(LoadStringA(m.handle, 4, text, sizeof text) > 0 &&
        std::strcmp(text, "VFILTER.HLP >d") == 0);
  CHECK(FindResourceA(m.handle, MAKEINTRESOURCEA(107), MAKEINTRESOURCEA(14)) !=
        nullptr);  // RT_GROUP_ICON
  HICON big =
      static_cast<HICON>(LoadImageA(m.handle, MAKEINTRESOURCEA(107), IMAGE_ICON, 32, 32, 0));
  HICON small =
      static_cast<HICON>(LoadImageA(m.handle, MAKEINTRESOURCEA(107), IMAGE_ICON, 16, 16, 0));
  CHECK(big != nullptr);
  CHECK(small != nullptr);
  if (big != nullptr) DestroyIcon(big);
  if (small != nullptr) DestroyIcon(small);
  HRSRC bitmapInfo =
      FindResourceA(m.handle, MAKEINTRESOURCEA(400), MAKEINTRESOURCEA(2));  // RT_BITMAP
  if (CHECK(bitmapInfo != nullptr)) {
    const BITMAPINFOHEADER* bmp =
        static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(m.handle, bitmapInfo)));
    CHECK(bmp != nullptr && bmp->biWidth == 80 && bmp->biHeight == 15 && bmp->biBitCount == 4);
  }
}

void checkDescription(const Module& m) {
  uint8_t expected[288] = {};
  put32(expected, 0x00040000u);
  std::strcpy(reinterpret_cast<char*>(expected + 4), "WDeinterlace");
  std::strcpy(reinterpret_cast<char*>(expected + 20), "Deinterlace");
  std::strcpy(reinterpret_cast<char*>(expected + 84), "D&interlace");
  std::strcpy(reinterpret_cast<char*>(expected + 148), "Wyndvale");
  std::strcpy(reinterpret_cast<char*>(expected + 212), "&Wyndvale");
  put32(expected + 276, 24);
  put32(expected + 280, 100);
  put32(expected + 284, 29);

  CHECK(m.express(nullptr) == 1);
  uint8_t first[296];
  uint8_t second[296];
  std::memset(first, 0xA5, sizeof first);
  std::memset(second, 0x5A, sizeof second);
  CHECK(m.express(first) == 1);
  CHECK(m.express(second) == 1);
  CHECK(std::memcmp(first, expected, 288) == 0);
  CHECK(std::memcmp(second, expected, 288) == 0);
  CHECK(first[288] == 0xA5 && first[295] == 0xA5);  // exactly 288 bytes
}

void checkGetInfo(const Module& m) {
  // Selector 2: 26 bytes, no more.
  char text[40];
  std::memset(text, 0x77, sizeof text);
  CHECK(m.getInfo(0, 0, 2, text) == 1);
  CHECK(std::memcmp(text, "Removes interlace effect.", 26) == 0);
  CHECK(text[26] == 0x77);
  CHECK(m.getInfo(0, 0, 2, nullptr) == 1);
  // Selector 3 and others.
  CHECK(m.getInfo(0, 0, 3, text) == 0);
  CHECK(m.getInfo(0, 0, 4, nullptr) == 1);
  CHECK(m.getInfo(0, 0, -1, nullptr) == 1);
  CHECK(m.getInfo(123, 456, 1000, text) == 1);

  // Selector 0: default blocks into a key list.
  const DeinterlaceParameters junk = {9, 9, 9, 9, 9, 1, 1, {7, 7}};
  DeinterlaceParameters blocks[4] = {junk, junk, junk, junk};
  HostKeyEntry entries[4] = {{0, &blocks[0]}, {5, &blocks[1]}, {9, &blocks[2]}, {12, &blocks[3]}};
  HostKeyList list{0, 12, 0, entries};
  CHECK(m.getInfo(0, 0, 0, &list) == 1);
  CHECK(std::memcmp(&blocks[0], &junk, sizeof junk) == 0);  // count 0: nothing
  list.count = -3;
  CHECK(m.getInfo(0, 0, 0, &list) == 1);
  CHECK(std::memcmp(&blocks[0], &junk, sizeof junk) == 0);  // negative: nothing
  list.count = 3;
  CHECK(m.getInfo(0, 0, 0, &list) == 1);
  for (int i = 0; i < 3; ++i) {
    CHECK(std::memcmp(&blocks[i], &kDefaultParameters, sizeof junk) == 0);
  }
  CHECK(std::memcmp(&blocks[3], &junk, sizeof junk) == 0);  // beyond the count
  CHECK(m.getInfo(0, 0, 0, nullptr) == 1);

  // Selector 1 on a film without keys: our own list for the call only.
  standin::CallLog& l = log();
  HostFilmRecord film{};
  const int callsBefore = l.makeFilmCalls;
  l.makeFilmResult = 0x4D46;
  CHECK(m.getInfo(0, 0, 1, &film) == 0x4D46);
  CHECK(l.makeFilmCalls == callsBefore + 1);
  CHECK(l.film == &film);
  CHECK(l.mode == -1);
  CHECK(l.options != nullptr && l.frames != nullptr);
  CHECK(l.filmKeys != nullptr);
  CHECK(l.keyListSeen.lastPosition == 9 && l.keyListSeen.count == 2);
  CHECK(l.keyEntriesSeen[0].position == 0 && l.keyEntriesSeen[1].position == 9);
  CHECK(std::memcmp(&l.keyBlocksSeen[0], &kDefaultParameters, 24) == 0);
  CHECK(std::memcmp(&l.keyBlocksSeen[1], &kDefaultParameters, 24) == 0);
  CHECK(l.roundTrips == 2);  // the host's use of the option callback
  CHECK(l.frameCopiesOk == 1);
  CHECK(film.keys == nullptr);  // set back

  // A film with its own key list keeps it.
  DeinterlaceParameters own = {2, 8, 30, 100, 5, 1, 0, {0, 0}};
  HostKeyEntry ownEntry{3, &own};
  HostKeyList ownList{0, 3, 1, &ownEntry};
  film.keys = &ownList;
  l.makeFilmResult = -7;
  CHECK(m.getInfo(0, 0, 1, &film) == -7);
  CHECK(l.filmKeys == &ownList);
  CHECK(film.keys == &ownList);
  CHECK(std::memcmp(&own, &l.keyBlocksSeen[0], 24) == 0 && own.method == 2);
  // A null film record: MakeFilm is not called.
  const int calls = l.makeFilmCalls;
  CHECK(m.getInfo(0, 0, 1, nullptr) == 1);
  CHECK(l.makeFilmCalls == calls);
}

void checkCallbacks() {
  standin::CallLog& l = log();
  OptionBlockCallbackFn options = l.options;
  FrameCopyCallbackFn frames = l.frames;
  if (!CHECK(options != nullptr && frames != nullptr)) return;

  DeinterlaceParameters source = {5, 24, 60, 4000, 7, 1, 1, {3, 4}};
  HostOptionRef sourceRef{0, &source};
  DeinterlaceParameters target{};
  void* targetPtr = &target;
  // Selector 0 and 3 copy all 24 bytes; only the low 16 bits select.
  CHECK(options(0, 0, &targetPtr, &sourceRef, nullptr) == 1);
  CHECK(std::memcmp(&target, &source, 24) == 0);
  target = {};
  CHECK(options(0x00010000u, 0, &targetPtr, &sourceRef, nullptr) == 1);
  CHECK(std::memcmp(&target, &source, 24) == 0);
  target = {};
  CHECK(options(3, 0, &targetPtr, &sourceRef, nullptr) == 1);
  CHECK(std::memcmp(&target, &source, 24) == 0);
  target = {};
  CHECK(options(0xFFFF0003u, 0, &targetPtr, &sourceRef, nullptr) == 1);
  CHECK(std::memcmp(&target, &source, 24) == 0);
  // Selector 1: 24 zeroed bytes of locked movable global memory.
  void* block = nullptr;
  CHECK(options(1, 0, &block, nullptr, nullptr) == 1);
  if (CHECK(block != nullptr)) {
    HGLOBAL handle = GlobalHandle(block);
    CHECK(handle != nullptr && GlobalSize(handle) >= 24);
    CHECK(handle != nullptr && (GlobalFlags(handle) & GMEM_LOCKCOUNT) == 1);
    static const uint8_t zero[24] = {};
    CHECK(std::memcmp(block, zero, 24) == 0);
    CHECK(options(2, 0, &block, nullptr, nullptr) == 1);
    CHECK(block != nullptr);  // the host clears its own pointer
  }
  // Other selectors do nothing.
  target = {};
  CHECK(options(4, 0, &targetPtr, &sourceRef, nullptr) == 1);
  CHECK(options(0x7FFF, 0, &targetPtr, &sourceRef, nullptr) == 1);
  CHECK(target.method == 0);
  // Null block pointers and sources: nothing, success.
  void* nullBlock = nullptr;
  HostOptionRef emptyRef{0, nullptr};
  CHECK(options(0, 0, nullptr, &sourceRef, nullptr) == 1);
  CHECK(options(0, 0, &nullBlock, &sourceRef, nullptr) == 1);
  CHECK(options(0, 0, &targetPtr, nullptr, nullptr) == 1);
  CHECK(options(0, 0, &targetPtr, &emptyRef, nullptr) == 1);
  CHECK(options(3, 0, nullptr, &sourceRef, nullptr) == 1);
  CHECK(options(3, 0, &nullBlock, &sourceRef, nullptr) == 1);
  CHECK(options(3, 0, &targetPtr, nullptr, nullptr) == 1);
  CHECK(options(2, 0, nullptr, nullptr, nullptr) == 1);
  CHECK(options(2, 0, &nullBlock, nullptr, nullptr) == 1);
  CHECK(target.method == 0);
  CHECK(options(1, 0, nullptr, nullptr, nullptr) == 0);  // nowhere to put it

  // FrameCopyCallback.
  uint8_t from[64];
  uint8_t to[64];
  for (int i = 0; i < 64; ++i) from[i] = static_cast<uint8_t>(200 - i);
  std::memset(to, 0x11, sizeof to);
  HostFrameCopyRecord record{};
  record.source = from;
  record.destination = to;
  record.rowBytes = 6;
  record.rows = 7;
  CHECK(frames(&record) == 1);
  CHECK(std::memcmp(to, from, 42) == 0 && to[42] == 0x11);
  std::memset(to, 0x11, sizeof to);
  record.rowBytes = 0;
  CHECK(frames(&record) == 1);
  record.rowBytes = 6;
  record.rows = 0;
  CHECK(frames(&record) == 1);
  record.rows = -2;
  CHECK(frames(&record) == 1);
  record.rows = 7;
  record.source = nullptr;
  CHECK(frames(&record) == 1);
  record.source = from;
  record.destination = nullptr;
  CHECK(frames(&record) == 1);
  CHECK(frames(nullptr) == 1);
  CHECK(to[0] == 0x11 && to[41] == 0x11);
}

void checkOptionCommands(const Module& m) {
  standin::CallLog& l = log();
  DeinterlaceParameters current = {3, 16, 48, 8192, 0, 0, 0, {0, 0}};
  HostOptionRef currentRef{0, &current};
  HostFilterRecord filter{};
  filter.current = &currentRef;

  // CompareOptions: IsSameOption with the record's values; result unchanged.
  ActionRecord record{};
  record.command = CompareOptions;
  record.filter = &filter;
  record.compareValue = 0x1234;
  record.flags = 0x55;
  l.isSameOptionResult = -1;
  l.storedBlock = current;
  const int before = l.isSameOptionCalls;
  CHECK(m.action(0, &record) == 1);
  CHECK(l.isSameOptionCalls == before + 1);
  CHECK(l.isSameFilter == &filter && l.isSameValue == 0x1234 && l.isSameFlags == 0x55 &&
        l.isSameBlockSize == 24 && l.isSameCallback == l.options);
  l.storedBlock.searchArea = 8;
  CHECK(m.action(0, &record) == 0);
  l.isSameOptionResult = 42;
  CHECK(m.action(0, &record) == 42);
  l.isSameOptionResult = -1;

  // LoadKeyOptions, single key: entry k's block into offset 44.
  for (int i = 0; i < 4; ++i) {
    l.keyBlocks[i] = kDefaultParameters;
    l.keyBlocks[i].method = i;
    l.keyBlocks[i].detectionThreshold = 10 * i;
  }
  DeinterlaceParameters single{};
  record = {};
  record.command = LoadKeyOptions;
  record.filter = &filter;
  record.keyValue = 1;
  record.flags = 0x21;
  record.keyOptions = &single;
  l.findKeyIndex = 2;
  CHECK(m.action(0, &record) == 1);
  CHECK(l.findFilter == &filter && l.findKeyValue == 1 && l.findFlags == 0x21);
  CHECK(std::memcmp(&single, &l.keyBlocks[2], 24) == 0);
  // Several keys: the block of the entry before k into the block at offset 64.
  DeinterlaceParameters multi{};
  DeinterlaceParameters untouched{};
  record.keyValue = 2;
  record.keyOptions = &untouched;
  record.state = &multi;
  CHECK(m.action(0, &record) == 1);
  CHECK(std::memcmp(&multi, &l.keyBlocks[1], 24) == 0);
  CHECK(untouched.method == 0 && untouched.searchArea == 0);
  CHECK(record.state == &multi);
  // No destination block at offset 64: nothing to copy into.
  record.state = nullptr;
  CHECK(m.action(0, &record) == 1);
  CHECK(record.state == nullptr);
  // No key entry: nothing copied, 1.
  l.findKeyIndex = -1;
  DeinterlaceParameters none{};
  record.keyValue = 1;
  record.keyOptions = &none;
  CHECK(m.action(0, &record) == 1);
  CHECK(none.searchArea == 0);
  record.keyValue = 3;
  record.state = &none;
  CHECK(m.action(0, &record) == 1);
  CHECK(none.searchArea == 0);
  l.findKeyIndex = 0;
}

bool readFile(const std::string& path, std::vector<uint8_t>* bytes) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  bytes->clear();
  uint8_t buffer[65536];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
    bytes->insert(bytes->end(), buffer, buffer + n);
  std::fclose(f);
  return true;
}

// Where the module's frames first differ; they are kept beside the native
// ones for a closer look.
void reportDifference(const std::string& nativeDir, const std::string& name,
                      const std::vector<uint8_t>& mine, const std::vector<uint8_t>& native) {
  size_t at = 0;
  while (at < mine.size() && at < native.size() && mine[at] == native[at]) ++at;
  size_t count = 0;
  for (size_t i = 0; i < mine.size() && i < native.size(); ++i) count += mine[i] != native[i];
  std::printf("  %s: %zu and %zu bytes, %zu differ, the first at %zu\n", name.c_str(), mine.size(),
              native.size(), count, at);
  const std::string path = nativeDir + "/" + name + ".module.bgr";
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(mine.data(), 1, mine.size(), f);
    std::fclose(f);
  }
}

void checkStreams(const Module& m, const std::string& nativeDir) {
  for (const scenario::Scenario& s : scenario::AllScenarios()) {
    const scenario::StreamResult r = scenario::RunScenario(m.action, s);
    const bool ok =
        check(r.start == 1 && r.end == 1, (s.name + ": start and end").c_str(), __LINE__);
    for (int32_t call = 0; call < s.calls; ++call) {
      check(r.process[call] == 1, (s.name + ": ProcessFrame result").c_str(), __LINE__);
      // A host of version 6 sees its field type rewritten for field streams
      // that are processed (method 0 copies before that step).
      int32_t expectedType = s.type;
      if (kHostMajor == 6 && s.type == FieldOrderA && s.method != 0) {
        expectedType = (call & 1) ? 2 : 1;
      }
      check(r.fieldTypeAfter[call] == expectedType, (s.name + ": field type").c_str(), __LINE__);
    }
    if (!ok) continue;
    if (kHostMajor <= 5 || s.type == FieldOrderB) {
      // Old hosts get every image copied unchanged.
      std::vector<uint8_t> inputs;
      for (int32_t call = 0; call < s.calls; ++call) {
        std::vector<uint8_t> in = scenario::MakeInput(s, call);
        inputs.insert(inputs.end(), in.begin(), in.end());
      }
      check(r.output == inputs, (s.name + ": copied unchanged").c_str(), __LINE__);
      continue;
    }
    std::vector<uint8_t> native;
    if (!check(readFile(nativeDir + "/" + s.name + ".bgr", &native),
               (s.name + ": native frames readable").c_str(), __LINE__)) {
      continue;
    }
    if (!check(r.output == native, (s.name + ": same bytes as the native build").c_str(),
               __LINE__)) {
      reportDifference(nativeDir, s.name, r.output, native);
    }
    if (s.method != 0) {
      // The filter did change the picture (not a pass-through).
      check(r.output != scenario::MakeInput(s, 0), (s.name + ": processed").c_str(), __LINE__);
    }
  }
}

// Finds the module's message box, records its texts and confirms it.
struct BoxWatch {
  const char* caption = nullptr;
  HANDLE done = nullptr;
  int boxes = 0;
  std::string texts;
};

BOOL CALLBACK collectText(HWND child, LPARAM param) {
  char text[512] = {};
  GetWindowTextA(child, text, sizeof text);
  reinterpret_cast<BoxWatch*>(param)->texts += std::string(text) + "|";
  return TRUE;
}

DWORD WINAPI watchBoxes(void* param) {
  BoxWatch* watch = static_cast<BoxWatch*>(param);
  while (WaitForSingleObject(watch->done, 20) == WAIT_TIMEOUT) {
    HWND box = FindWindowA(nullptr, watch->caption);
    if (box == nullptr || !IsWindowVisible(box)) continue;
    ++watch->boxes;
    EnumChildWindows(box, &collectText, reinterpret_cast<LPARAM>(watch));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 250 && IsWindow(box); ++i) Sleep(20);
  }
  return 0;
}

void checkSizeMessage(const Module& m) {
  BoxWatch watch;
  watch.caption = "Wyndvale Deinterlace. Error";
  watch.done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, &watchBoxes, &watch, 0, nullptr);
  BitmapInfoHeader header{};
  header.biSize = sizeof header;
  header.biWidth = 720;
  header.biHeight = 486;
  header.biBitCount = 24;
  header.biSizeImage = 720 * 3 * 486;
  BitmapInfoHeader dst = header;
  HostFilterRecord filter{};
  DeinterlaceParameters options = kDefaultParameters;
  HostOptionRef current{0, &options};
  filter.current = &current;
  ActionRecord record{};
  record.command = StartStream;
  record.srcHeader = &header;
  record.dstHeader = &dst;
  record.filter = &filter;
  record.state = &options;  // cleared by StartStream
  CHECK(m.action(0, &record) == -1);
  CHECK(record.state == nullptr);
  // A 32-bit source of a bad size: the size test comes first.
  header.biBitCount = 32;
  record.command = StartStream;
  CHECK(m.action(0, &record) == -1);
  header.biBitCount = 24;

  // Frames of the refused stream are copied unchanged.
  std::vector<uint8_t> source(header.biSizeImage);
  for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i * 13);
  std::vector<uint8_t> destination(header.biSizeImage, 0);
  record.command = ProcessFrame;
  record.srcPixels = source.data();
  record.dstPixels = destination.data();
  CHECK(m.action(0, &record) == 1);
  CHECK(destination == source);
  record.command = EndStream;
  CHECK(m.action(0, &record) == 1);

  // A 32-bit source of a good size: -3 without a message.
  header.biHeight = 576;
  header.biBitCount = 32;
  dst.biHeight = 576;
  record.command = StartStream;
  CHECK(m.action(0, &record) == -3);
  // A destination of another size: -1 without a message.
  header.biBitCount = 24;
  dst.biWidth = 640;
  dst.biHeight = 480;
  CHECK(m.action(0, &record) == -1);
  // A destination of 0 x 0 counts as the source's size.
  dst.biWidth = 0;
  dst.biHeight = 0;
  CHECK(m.action(0, &record) == 1);
  CHECK(record.state != nullptr);
  record.command = EndStream;
  CHECK(m.action(0, &record) == 1);
  CHECK(record.state == nullptr);
  CHECK(m.action(0, &record) == 1);  // a second EndStream frees nothing

  // Exactly the two size messages were shown (and confirmed by the watcher,
  // or the calls above would still wait for them).
  Sleep(200);
  SetEvent(watch.done);
  WaitForSingleObject(thread, 10000);
  CloseHandle(thread);
  CloseHandle(watch.done);
  CHECK(watch.boxes == 2);
  CHECK(watch.texts.find("Width(720) and height(486) of image must be divided by 16.\n"
                         "Filter will be only copy image.") != std::string::npos ||
        watch.texts.find("Width(720) and height(486) of image must be divided by 16.\r\n"
                         "Filter will be only copy image.") != std::string::npos);
  if (watch.boxes != 2 || gFailed > 0) std::printf("message box texts: %s\n", watch.texts.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::printf("usage: %s MODULE NATIVE_FRAMES_DIR\n", argv[0]);
    return 2;
  }
  std::printf("host major version %d\n", kHostMajor);
  Module m;
  checkExports(m, argv[1]);
  if (m.action == nullptr || m.express == nullptr || m.getInfo == nullptr) {
    std::printf("%d passed, %d failed\n", gPassed, gFailed);
    return 1;
  }
  if (kHostMajor == 7) {
    checkResources(m);
    checkDescription(m);
    checkGetInfo(m);
    checkCallbacks();
    checkOptionCommands(m);
    checkSizeMessage(m);
  }
  checkStreams(m, argv[2]);
  // Every command with no stream and unknown commands: 1.
  ActionRecord record{};
  for (int32_t command : {int32_t{EndStream}, 6, -1}) {
    record.command = command;
    CHECK(m.action(0, &record) == 1);
  }
  CHECK(FreeLibrary(m.handle) != 0);
  std::printf("%d passed, %d failed\n", gPassed, gFailed);
  return gFailed == 0 ? 0 : 1;
}
