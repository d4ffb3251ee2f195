// End-to-end test of the real dialogs in the real module under Wine: the
// host's thread calls vfAction(Configure) the way the video editor does,
// while a driver thread plays the user: it finds each dialog by its caption,
// types into its controls, presses its buttons and reads what it shows.
// Usage: dialog_host.exe MODULE [SCREENSHOT_DIR]
// Prints "N passed, N failed"; writes settings.bmp, add_rect.bmp, note.bmp.
#include <windows.h>
// windows.h first: the common controls build on it.
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/deinterlace_parameters.h"
#include "plugin/host_records.h"
#include "ui/dialog_ids.h"

using wdi::ActionRecord;
using wdi::DeinterlaceParameters;
using wdi::HostFilterRecord;
using wdi::HostOptionRef;

namespace {

int gPassed = 0;
int gFailed = 0;
std::string gScenario;
DWORD gStart = GetTickCount();

void progress(const char* step) {
  std::printf("[%6lu ms] %s: %s\n", static_cast<unsigned long>(GetTickCount() - gStart),
              gScenario.c_str(), step);
  std::fflush(stdout);
}

bool check(bool ok, const char* what, int line) {
  if (ok) {
    ++gPassed;
  } else {
    ++gFailed;
    std::printf("FAILED (line %d, %s): %s\n", line, gScenario.c_str(), what);
    std::fflush(stdout);
  }
  return ok;
}
#define CHECK(cond) check((cond), #cond, __LINE__)

using VfActionFn = int32_t(WDI_STDCALL*)(int32_t, ActionRecord*);
VfActionFn gAction = nullptr;
HWND gOwner = nullptr;
std::string gShotDir;

constexpr DWORD kWaitMs = 15000;

// ---- the user's side (driver thread) --------------------------------------

HWND waitDialog(const char* caption) {
  for (DWORD waited = 0; waited < kWaitMs; waited += 20) {
    HWND found = FindWindowA("#32770", caption);
    if (found != nullptr && IsWindowVisible(found)) return found;
    Sleep(20);
  }
  return nullptr;
}

bool waitGone(HWND window) {
  for (DWORD waited = 0; waited < kWaitMs; waited += 20) {
    if (!IsWindow(window)) return true;
    Sleep(20);
  }
  return false;
}

std::string windowText(HWND window) {
  char text[1024] = {};
  SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}
std::string itemText(HWND dialog, int id) { return windowText(GetDlgItem(dialog, id)); }
void setItemText(HWND dialog, int id, const char* text) {
  SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}
bool checked(HWND dialog, int id) {
  return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
// A button press that returns when the dialog has handled it.
void press(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
// A press of a button that opens a modal dialog: handled later.
void pressLater(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
void pressEscape(HWND dialog) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
  HWND target = info.hwndFocus != nullptr ? info.hwndFocus : dialog;
  PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}
void pressCloseBox(HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

std::vector<std::string> listLines(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_REGION_LIST);
  std::vector<std::string> lines;
  LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    char line[256] = {};
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line));
    lines.push_back(line);
  }
  return lines;
}

// The texts of a window's children, to read a message box.
BOOL CALLBACK collectText(HWND child, LPARAM param) {
  auto* texts = reinterpret_cast<std::vector<std::string>*>(param);
  texts->push_back(windowText(child));
  return TRUE;
}
bool hasChildText(HWND window, const std::string& text) {
  std::vector<std::string> texts;
  EnumChildWindows(window, collectText, reinterpret_cast<LPARAM>(&texts));
  for (const std::string& t : texts) {
    if (t == text) return true;
  }
  return false;
}
BOOL CALLBACK findIcon(HWND child, LPARAM param) {
  char cls[32] = {};
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") == 0 &&
      (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
    *reinterpret_cast<bool*>(param) = true;
  }
  return TRUE;
}
bool hasIcon(HWND window) {
  bool found = false;
  EnumChildWindows(window, findIcon, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Saves what the screen shows of a window as a 24-bit bitmap file.
void screenshot(HWND window, const char* name) {
  if (gShotDir.empty()) return;
  Sleep(300);  // let the dialog finish painting
  RECT rect;
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();
  const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + imageBytes;
  std::string path = gShotDir + "\\" + name;
  if (FILE* out = std::fopen(path.c_str(), "wb")) {
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&header, sizeof header, 1, out);
    std::fwrite(bits, 1, imageBytes, out);
    std::fclose(out);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

HWND ownedToolTips(HWND dialog) {
  HWND tips = nullptr;
  while ((tips = FindWindowExA(nullptr, tips, TOOLTIPS_CLASSA, nullptr)) != nullptr) {
    if (GetWindow(tips, GW_OWNER) == dialog) return tips;
  }
  return nullptr;
}

// ---- the host's side (main thread) ----------------------------------------

BOOL CALLBACK cancelWindow(HWND window, LPARAM) {
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}

// After a failure: cancels every window of the dialog's thread until the
// settings dialog has ended, so that the next scenario can run.
void closeEverything(HWND dialog) {
  const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
  for (int round = 0; round < 50 && IsWindow(dialog); ++round) {
    EnumThreadWindows(thread, cancelWindow, 0);
    Sleep(100);
  }
}

struct DriverCall {
  std::function<void(HWND)> drive;
};

DWORD WINAPI driverThread(void* param) {
  auto* call = static_cast<DriverCall*>(param);
  HWND dialog = waitDialog("Wyndvale Deinterlace");
  if (!CHECK(dialog != nullptr)) return 0;
  call->drive(dialog);
  // Whatever the scenario did, the dialog must end for the host to go on.
  if (!waitGone(dialog)) {
    CHECK(!"the settings dialog is still open");
    screenshot(GetDesktopWindow(), "stuck.bmp");
    closeEverything(dialog);
  }
  return 0;
}

// Runs Configure on `block` while `drive` plays the user; returns vfAction's result.
int32_t configure(DeinterlaceParameters& block, std::function<void(HWND)> drive) {
  HostOptionRef current{0, &block};
  HostFilterRecord filter{};
  filter.current = &current;
  ActionRecord record{};
  record.command = wdi::Configure;
  record.ownerWindow = gOwner;
  record.filter = &filter;
  progress("open");
  DriverCall call{std::move(drive)};
  HANDLE thread = CreateThread(nullptr, 0, driverThread, &call, 0, nullptr);
  const int32_t result = gAction(0, &record);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  progress("closed");
  return result;
}

bool same(const DeinterlaceParameters& a, const DeinterlaceParameters& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

constexpr DeinterlaceParameters kSample = {3, -5, 40, 1000, -7, 1, 0, {0, 0}};

// ---- scenarios -------------------------------------------------------------

void openingAndOkWithoutToolTipClass() {
  gScenario = "opening, OK, no tool-tip class";
  DeinterlaceParameters block = kSample;
  int32_t result = configure(block, [](HWND dialog) {
    for (int id = IDC_METHOD_NONE; id <= IDC_METHOD_ADVANCED; ++id) {
      CHECK(checked(dialog, id) == (id == IDC_METHOD_AREA));
    }
    CHECK(itemText(dialog, IDC_SEARCH_AREA) == "-5");
    CHECK(itemText(dialog, IDC_DETECTION_THRESHOLD) == "40");
    CHECK(itemText(dialog, IDC_BLOCK_DISTANCE_THRESHOLD) == "1000");
    CHECK(itemText(dialog, IDC_REPLACEMENT_THRESHOLD) == "-7");
    CHECK(checked(dialog, IDC_REPLACE_ONLY_INTERLACED));
    CHECK(!checked(dialog, IDC_SEARCH_ON_INTERPOLATED));
    CHECK(ownedToolTips(dialog) == nullptr);
    // The client area starts at the top-left corner of the owner's.
    POINT client = {0, 0};
    ClientToScreen(dialog, &client);
    POINT origin = {0, 0};
    ClientToScreen(gOwner, &origin);
    CHECK(client.x == origin.x && client.y == origin.y);
    CHECK(GetWindow(dialog, GW_OWNER) == gOwner);
    press(dialog, IDOK);
  });
  CHECK(result == 1);
  CHECK(same(block, kSample));
}

struct ToolRow {
  int id;
  const char* textStart;
};

void toolTips() {
  gScenario = "tool tips";
  DeinterlaceParameters block = kSample;
  HWND seenTips = nullptr;
  int32_t result = configure(block, [&](HWND dialog) {
    HWND tips = ownedToolTips(dialog);
    seenTips = tips;
    if (!CHECK(tips != nullptr)) {
      press(dialog, IDCANCEL);
      return;
    }
    const LONG style = GetWindowLongA(tips, GWL_STYLE);
    CHECK((style & (WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX)) ==
          (WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX));
    CHECK((GetWindowLongA(tips, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
    CHECK(SendMessageA(tips, TTM_GETMAXTIPWIDTH, 0, 0) == 350);
    CHECK(SendMessageA(tips, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0) == 32767);
    const ToolRow rows[] = {
        {1010, "Does not perform"}, {1011, "Makes fields doubling."},
        {1012, "Perform cubic"},    {1013, "Perform cubic interpolation for luma component. P"},
        {1014, "Performing"},       {1015, "Use advanced method."},
        {1028, "Interlace"},        {1001, "Search area"},
        {1029, "Block distance"},   {1030, "Replacement threshold (0-32)"},
        {1032, "Replace only"},     {1033, "Motion estimation"},
        {1066, "Reset settings"},   {1034, "Processing region is"},
        {1035, "Add rectangle"},    {1036, "Delete rectangle from"},
        {1037, "Save region"},      {1038, "Load region"},
    };
    const int count = static_cast<int>(sizeof rows / sizeof rows[0]);
    CHECK(SendMessageA(tips, TTM_GETTOOLCOUNT, 0, 0) == count);
    for (int i = 0; i < count; ++i) {
      char text[1024] = {};
      TTTOOLINFOA tool = {};
      tool.cbSize = TTTOOLINFOA_V1_SIZE;
      tool.lpszText = text;
      CHECK(SendMessageA(tips, TTM_ENUMTOOLSA, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(&tool)) != 0);
      CHECK(tool.uId == reinterpret_cast<UINT_PTR>(GetDlgItem(dialog, rows[i].id)));
      CHECK((tool.uFlags & (TTF_IDISHWND | TTF_SUBCLASS)) == (TTF_IDISHWND | TTF_SUBCLASS));
      CHECK(std::strncmp(text, rows[i].textStart, std::strlen(rows[i].textStart)) == 0);
    }
    press(dialog, IDCANCEL);
  });
  CHECK(result == 0);
  CHECK(seenTips != nullptr && !IsWindow(seenTips));
}

void typedValuesAndOk() {
  gScenario = "typed values, OK";
  DeinterlaceParameters block = kSample;
  int32_t result = configure(block, [](HWND dialog) {
    press(dialog, IDC_METHOD_ADVANCED);
    for (int id = IDC_METHOD_NONE; id <= IDC_METHOD_ADVANCED; ++id) {
      CHECK(checked(dialog, id) == (id == IDC_METHOD_ADVANCED));
    }
    setItemText(dialog, IDC_SEARCH_AREA, "1234567890");
    setItemText(dialog, IDC_DETECTION_THRESHOLD, "4294967295");
    setItemText(dialog, IDC_BLOCK_DISTANCE_THRESHOLD, "abc");
    setItemText(dialog, IDC_REPLACEMENT_THRESHOLD, "-9");
    press(dialog, IDC_REPLACE_ONLY_INTERLACED);
    press(dialog, IDC_SEARCH_ON_INTERPOLATED);
    press(dialog, IDOK);
  });
  CHECK(result == 1);
  CHECK(block.method == 5);
  CHECK(block.searchArea == 123456789);
  CHECK(block.detectionThreshold == -1);
  CHECK(block.blockDistanceThreshold == 0);
  CHECK(block.replacementThreshold == -9);
  CHECK(block.replaceOnlyInterlaced == 0);
  CHECK(block.searchOnInterpolated == 1);

  gScenario = "pasted text, overflow";
  block = kSample;
  result = configure(block, [](HWND dialog) {
    setItemText(dialog, IDC_SEARCH_AREA, "12abc");
    setItemText(dialog, IDC_DETECTION_THRESHOLD, "4294967296");
    setItemText(dialog, IDC_BLOCK_DISTANCE_THRESHOLD, " 77x");
    setItemText(dialog, IDC_REPLACEMENT_THRESHOLD, "");
    press(dialog, IDOK);
  });
  CHECK(result == 1);
  CHECK(block.method == 3);
  CHECK(block.searchArea == 12);
  CHECK(block.detectionThreshold == 0);
  CHECK(block.blockDistanceThreshold == 77);
  CHECK(block.replacementThreshold == 0);
}

void defaultCancelCloseEscape() {
  gScenario = "Default, Cancel";
  DeinterlaceParameters block = kSample;
  int32_t result = configure(block, [](HWND dialog) {
    press(dialog, IDC_DEFAULT);
    CHECK(checked(dialog, IDC_METHOD_AREA_ME));
    CHECK(!checked(dialog, IDC_METHOD_AREA));
    CHECK(itemText(dialog, IDC_SEARCH_AREA) == "16");
    CHECK(itemText(dialog, IDC_DETECTION_THRESHOLD) == "48");
    CHECK(itemText(dialog, IDC_BLOCK_DISTANCE_THRESHOLD) == "8192");
    CHECK(itemText(dialog, IDC_REPLACEMENT_THRESHOLD) == "0");
    CHECK(!checked(dialog, IDC_REPLACE_ONLY_INTERLACED));
    press(dialog, IDCANCEL);
  });
  CHECK(result == 0);
  CHECK(same(block, kSample));

  gScenario = "Default, close box";
  result = configure(block, [](HWND dialog) {
    press(dialog, IDC_DEFAULT);
    setItemText(dialog, IDC_SEARCH_AREA, "99");  // never read
    pressCloseBox(dialog);
  });
  CHECK(result == 1);
  CHECK(same(block, wdi::kDefaultParameters));

  gScenario = "close box";
  block = kSample;
  result = configure(block, [](HWND dialog) {
    setItemText(dialog, IDC_SEARCH_AREA, "99");
    pressCloseBox(dialog);
  });
  CHECK(result == 1);
  CHECK(same(block, kSample));

  gScenario = "Default, OK";
  result = configure(block, [](HWND dialog) {
    press(dialog, IDC_DEFAULT);
    press(dialog, IDOK);
  });
  CHECK(result == 1);
  CHECK(same(block, wdi::kDefaultParameters));

  gScenario = "Escape";
  block = kSample;
  result = configure(block, [](HWND dialog) {
    setItemText(dialog, IDC_SEARCH_AREA, "99");
    pressEscape(dialog);
  });
  CHECK(result == 0);
  CHECK(same(block, kSample));
}

void readMore() {
  gScenario = "Read more...";
  DeinterlaceParameters block = kSample;
  int32_t result = configure(block, [](HWND dialog) {
    const char* endings[] = {"ok", "escape", "close"};
    for (const char* ending : endings) {
      pressLater(dialog, IDC_READ_MORE);
      HWND note = waitDialog("Note");
      if (!CHECK(note != nullptr)) return;
      CHECK(GetWindow(note, GW_OWNER) == dialog);
      const std::string text = itemText(note, IDC_NOTE_TEXT);
      CHECK(text.rfind("This filter can work  with Frame-based or Field Order A frame types.", 0) ==
            0);
      CHECK(text.size() > 35 &&
            text.substr(text.size() - 35) == "'Frame-based'  or  'Field Order A'.");
      const LONG style = GetWindowLongA(GetDlgItem(note, IDC_NOTE_TEXT), GWL_STYLE);
      CHECK((style & (ES_MULTILINE | ES_READONLY | WS_VSCROLL)) ==
            (ES_MULTILINE | ES_READONLY | WS_VSCROLL));
      if (std::strcmp(ending, "ok") == 0) {
        screenshot(note, "note.bmp");
        press(note, IDOK);
      } else if (std::strcmp(ending, "escape") == 0) {
        pressEscape(note);
      } else {
        pressCloseBox(note);
      }
      CHECK(waitGone(note));
    }
    press(dialog, IDOK);
  });
  CHECK(result == 1);
  CHECK(same(block, kSample));
}

// Presses "Add rect", types the rectangle and ends the dialog with `ending`.
void addRect(HWND dialog, const char* left, const char* top, const char* right, const char* bottom,
             bool include, const char* ending, const char* shot = nullptr) {
  pressLater(dialog, IDC_ADD_RECT);
  HWND add = waitDialog("Add rectangle");
  if (!CHECK(add != nullptr)) return;
  for (int id : {IDC_RECT_TOP, IDC_RECT_LEFT, IDC_RECT_RIGHT, IDC_RECT_BOTTOM}) {
    CHECK(itemText(add, id) == "0");
  }
  CHECK(checked(add, IDC_RECT_INCLUDE));
  if (shot != nullptr) screenshot(add, shot);
  setItemText(add, IDC_RECT_LEFT, left);
  setItemText(add, IDC_RECT_TOP, top);
  setItemText(add, IDC_RECT_RIGHT, right);
  setItemText(add, IDC_RECT_BOTTOM, bottom);
  if (!include) press(add, IDC_RECT_INCLUDE);
  if (std::strcmp(ending, "ok") == 0) {
    press(add, IDOK);
  } else if (std::strcmp(ending, "cancel") == 0) {
    press(add, IDCANCEL);
  } else if (std::strcmp(ending, "escape") == 0) {
    pressEscape(add);
  } else {
    pressCloseBox(add);
  }
  CHECK(waitGone(add));
}

void region() {
  gScenario = "Add rect";
  DeinterlaceParameters block = kSample;
  int32_t result = configure(block, [](HWND dialog) {
    CHECK(listLines(dialog).empty());
    addRect(dialog, "0", "0", "719", "575", false, "ok", "add_rect.bmp");
    CHECK(listLines(dialog) == std::vector<std::string>{"1. [ (0,0) - (719,575) ] -"});
    addRect(dialog, "1", "1", "9", "9", true, "cancel");
    addRect(dialog, "1", "1", "9", "9", true, "escape");
    addRect(dialog, "1", "1", "9", "9", true, "close");
    addRect(dialog, "5", "5", "5", "5", true, "ok");           // a single pixel
    addRect(dialog, "0", "0", "4294967295", "9", true, "ok");  // negative right edge
    addRect(dialog, "0", "0", "0", "0", true, "ok");           // untouched
    CHECK(listLines(dialog).size() == 1);
    press(dialog, IDCANCEL);
  });
  CHECK(result == 0);
  CHECK(same(block, kSample));

  gScenario = "region stays after Cancel; ten and more lines; Delete rect";
  result = configure(block, [](HWND dialog) {
    CHECK(listLines(dialog) == std::vector<std::string>{"1. [ (0,0) - (719,575) ] -"});
    char right[16];
    for (int i = 2; i <= 11; ++i) {
      std::snprintf(right, sizeof right, "%d", i * 10);
      addRect(dialog, "0", "0", right, "8", true, "ok");
    }
    std::vector<std::string> lines = listLines(dialog);
    CHECK(lines.size() == 11);
    CHECK(lines.size() > 4 && lines[1] == "10. [ (0,0) - (100,8) ] +" &&
          lines[3] == "2. [ (0,0) - (20,8) ] +");
    // No selection: nothing.
    press(dialog, IDC_DELETE_RECT);
    CHECK(listLines(dialog).size() == 11);
    SendMessageA(GetDlgItem(dialog, IDC_REGION_LIST), LB_SETCURSEL, 1, 0);
    press(dialog, IDC_DELETE_RECT);
    lines = listLines(dialog);
    CHECK(lines.size() == 10);
    for (const std::string& line : lines) CHECK(line.rfind("10. ", 0) != 0);
    SendMessageA(GetDlgItem(dialog, IDC_REGION_LIST), LB_SETCURSEL, 0, 0);
    screenshot(dialog, "settings.bmp");
    press(dialog, IDCANCEL);
  });
  CHECK(result == 0);
}

// The path the file dialog is given and the one it hands back may differ in
// case; compare them as the platform does.
void chooseInFileDialog(const char* path) {
  HWND files = waitDialog("Choose rect file");
  if (!CHECK(files != nullptr)) return;
  progress(path);
  // The file name field of either dialog style.
  for (int id : {0x47c, 0x480}) {
    HWND field = GetDlgItem(files, id);
    if (field != nullptr) SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));
  }
  PostMessageA(files, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(files, IDOK)));
  if (!CHECK(waitGone(files))) {
    screenshot(files, "file_dialog_failed.bmp");
    std::vector<std::string> texts;
    EnumChildWindows(files, collectText, reinterpret_cast<LPARAM>(&texts));
    for (const std::string& t : texts) std::printf("  file dialog shows: %s\n", t.c_str());
    PostMessageA(files, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  }
}

void cancelFileDialog() {
  HWND files = waitDialog("Choose rect file");
  if (!CHECK(files != nullptr)) return;
  PostMessageA(files, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  CHECK(waitGone(files));
}

void expectError(const char* text) {
  HWND box = waitDialog("Error");
  if (!CHECK(box != nullptr)) return;
  CHECK(hasChildText(box, text));
  CHECK(hasIcon(box));
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  CHECK(waitGone(box));
}

std::string readFile(const std::string& path) {
  std::string content;
  if (FILE* in = std::fopen(path.c_str(), "rb")) {
    char chunk[512];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) content.append(chunk, got);
    std::fclose(in);
  }
  return content;
}

void regionFiles() {
  char folder[MAX_PATH] = {};
  GetTempPathA(sizeof folder, folder);
  const std::string saved = std::string(folder) + "wdi_dialogs_e2e.rect";
  const std::string bad = std::string(folder) + "wdi_dialogs_bad.rect";
  const std::string lockedPath = std::string(folder) + "wdi_dialogs_locked.rect";
  DeleteFileA(saved.c_str());
  {
    FILE* out = std::fopen(bad.c_str(), "wb");
    if (out != nullptr) {
      std::fputs("[[(0,0)-(9,9)]]\r\npresent=1\r\n[[(5,5)-(5,5)]]\r\npresent=1\r\n", out);
      std::fclose(out);
    }
  }
  gScenario = "Save to file, Load from file";
  DeinterlaceParameters block = kSample;
  int32_t result = configure(block, [&](HWND dialog) {
    const std::vector<std::string> before = listLines(dialog);
    CHECK(before.size() == 10);
    // The file dialog cancelled: nothing.
    pressLater(dialog, IDC_SAVE_REGION);
    cancelFileDialog();
    pressLater(dialog, IDC_SAVE_REGION);
    chooseInFileDialog(saved.c_str());
    Sleep(200);
    const std::string content = readFile(saved);
    CHECK(content.find("[[(0,0)-(719,575)]]") != std::string::npos);
    CHECK(content.find("present=0") != std::string::npos);
    CHECK(content.find("[[(0,0)-(110,8)]]") != std::string::npos);
    // Change the region, then load the file back.
    SendMessageA(GetDlgItem(dialog, IDC_REGION_LIST), LB_SETCURSEL, 0, 0);
    press(dialog, IDC_DELETE_RECT);
    CHECK(listLines(dialog).size() == 9);
    pressLater(dialog, IDC_LOAD_REGION);
    chooseInFileDialog(saved.c_str());
    Sleep(200);
    std::vector<std::string> lines = listLines(dialog);
    CHECK(lines.size() == 10);
    CHECK(!lines.empty() && lines[0] == "1. [ (0,0) - (719,575) ] -");
    // A refused rectangle in the file: the message, and the list as it was.
    const std::vector<std::string> loaded = lines;
    pressLater(dialog, IDC_LOAD_REGION);
    chooseInFileDialog(bad.c_str());
    expectError("Can't load this file.");
    CHECK(listLines(dialog) == loaded);
    // A file that another program holds open cannot be written.
    HANDLE locked = CreateFileA(lockedPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    CHECK(locked != INVALID_HANDLE_VALUE);
    pressLater(dialog, IDC_SAVE_REGION);
    chooseInFileDialog(lockedPath.c_str());
    expectError("Can't save file.");
    CloseHandle(locked);
    press(dialog, IDOK);
  });
  CHECK(result == 1);
  DeleteFileA(saved.c_str());
  DeleteFileA(bad.c_str());
  DeleteFileA(lockedPath.c_str());
}

LRESULT CALLBACK ownerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: dialog_host.exe MODULE [SCREENSHOT_DIR]\n");
    return 2;
  }
  if (argc > 2) gShotDir = argv[2];
  HMODULE module = LoadLibraryA(argv[1]);
  if (!CHECK(module != nullptr)) {
    std::printf("%d passed, %d failed\n", gPassed, gFailed);
    return 1;
  }
  gAction =
      reinterpret_cast<VfActionFn>(reinterpret_cast<void*>(GetProcAddress(module, "vfAction")));
  CHECK(gAction != nullptr);

  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = ownerProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
  windowClass.lpszClassName = "WdiDialogHostOwner";
  RegisterClassA(&windowClass);
  gOwner =
      CreateWindowExA(0, "WdiDialogHostOwner", "Video editor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                      0, 1000, 700, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  CHECK(gOwner != nullptr);

  if (gAction != nullptr) {
    // Now the host loads the common controls, as the video editor does.
    using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    HMODULE common = LoadLibraryA("comctl32.dll");
    auto init = reinterpret_cast<InitFn>(
        reinterpret_cast<void*>(GetProcAddress(common, "InitCommonControlsEx")));
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    CHECK(init != nullptr && init(&controls));
    toolTips();
    typedValuesAndOk();
    defaultCancelCloseEscape();
    readMore();
    region();
    regionFiles();
    // Without the tool-tip class the dialog works without tips.
    CHECK(UnregisterClassA(TOOLTIPS_CLASSA, GetModuleHandleA("comctl32.dll")));
    openingAndOkWithoutToolTipClass();
  }
  DestroyWindow(gOwner);
  std::printf("%d passed, %d failed\n", gPassed, gFailed);
  return gFailed == 0 ? 0 : 1;
}
