// The dialogs on the platform's dialog manager: the three dialog procedures,
// the controls of an open dialog, the file dialogs and the tool tips.
#include <windows.h>
// windows.h first: the common controls and dialogs build on it.
#include <commctrl.h>
#include <commdlg.h>

#include <string>
#include <vector>

#include "region/rect_list.h"
#include "ui/add_rect_dialog.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_event.h"
#include "ui/dialog_host.h"
#include "ui/dialog_ids.h"
#include "ui/note_dialog.h"
#include "ui/settings_dialog.h"

namespace wdi {
namespace {

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AddRectDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK NoteDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// What the settings dialog edits, handed to it at creation and kept with its window.
struct SettingsContext {
  DeinterlaceParameters* params;
  CRectList* region;
};

// Every dialog comes from the module's resources, so a dialog's own instance
// is the module's.
HINSTANCE instanceOf(HWND dialog) {
  return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
}

// The settings dialog's tool-tip window; one dialog is open at a time.
HWND toolTipWindow = nullptr;

class Win32Controls : public DialogControls {
 public:
  explicit Win32Controls(HWND dialog) : dialog_(dialog) {}

  std::string itemText(int id, size_t maxChars) override {
    HWND item = GetDlgItem(dialog_, id);
    if (item == nullptr) return std::string();
    size_t length = static_cast<size_t>(GetWindowTextLengthA(item));
    if (length > maxChars) length = maxChars;
    std::vector<char> buffer(length + 1, '\0');
    GetDlgItemTextA(dialog_, id, buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.data());
  }
  void setItemText(int id, const char* text) override { SetDlgItemTextA(dialog_, id, text); }

  bool isChecked(int id) override { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }
  void setChecked(int id, bool checked) override {
    CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED);
  }
  void checkRadioButton(int first, int last, int checkId) override {
    CheckRadioButton(dialog_, first, last, checkId);
  }

  int listDeleteLine(int id, int index) override {
    return static_cast<int>(
        SendDlgItemMessageA(dialog_, id, LB_DELETESTRING, static_cast<WPARAM>(index), 0));
  }
  void listAddLine(int id, const char* text) override {
    SendDlgItemMessageA(dialog_, id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  int listSelection(int id) override {
    return static_cast<int>(SendDlgItemMessageA(dialog_, id, LB_GETCURSEL, 0, 0));
  }
  std::string listLineText(int id, int index) override {
    LRESULT length = SendDlgItemMessageA(dialog_, id, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) return std::string();
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    SendDlgItemMessageA(dialog_, id, LB_GETTEXT, static_cast<WPARAM>(index),
                        reinterpret_cast<LPARAM>(buffer.data()));
    return std::string(buffer.data());
  }

  void endDialog(intptr_t result) override { EndDialog(dialog_, result); }
  intptr_t runChildDialog(int resourceId) override {
    DLGPROC proc = resourceId == IDD_ADD_RECT ? AddRectDialogProc : NoteDialogProc;
    return DialogBoxParamA(instanceOf(dialog_), MAKEINTRESOURCEA(resourceId), dialog_, proc, 0);
  }
  bool chooseFile(const FileDialogRequest& request, std::string& path) override {
    std::vector<char> file(request.fileBufferChars, '\0');
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = dialog_;
    dialog.lpstrFilter = request.filter;
    dialog.nFilterIndex = request.filterIndex;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = request.fileBufferChars;
    dialog.lpstrInitialDir = request.initialFolder;
    dialog.lpstrTitle = request.title;
    dialog.Flags = request.flags;
    dialog.lpstrDefExt = request.defaultExtension;
    BOOL chosen = request.save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog);
    if (!chosen) return false;
    path = file.data();
    return true;
  }
  void showErrorMessage(const char* text, const char* caption) override {
    MessageBoxA(GetFocus(), text, caption, MB_OK | MB_ICONERROR);
  }

  void createToolTips(const ToolTipRow* rows, size_t count) override {
    // The host's process provides the class; without it there are no tips.
    HWND tips =
        CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog_,
                        nullptr, instanceOf(dialog_), nullptr);
    toolTipWindow = tips;
    if (tips == nullptr) return;
    SetWindowPos(tips, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageA(tips, TTM_SETMAXTIPWIDTH, 0, 350);
    for (size_t i = 0; i < count; ++i) {
      // The first size of the record: every version of the class takes it.
      TTTOOLINFOA tool = {};
      tool.cbSize = TTTOOLINFOA_V1_SIZE;
      tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      tool.hwnd = dialog_;
      tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(dialog_, rows[i].controlId));
      tool.lpszText = const_cast<char*>(rows[i].text);
      SendMessageA(tips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    SendMessageA(tips, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(32767, 0));
    SendMessageA(tips, TTM_ACTIVATE, TRUE, 0);
  }
  void destroyToolTips() override {
    if (toolTipWindow != nullptr) DestroyWindow(toolTipWindow);
    toolTipWindow = nullptr;
  }

 private:
  HWND dialog_;
};

DialogEvent eventOf(UINT message) {
  switch (message) {
    case WM_INITDIALOG:
      return DialogEvent::Init;
    case WM_COMMAND:
      return DialogEvent::Command;
    case WM_CLOSE:
      return DialogEvent::Close;
    default:
      return DialogEvent::Other;
  }
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
  auto* context = reinterpret_cast<SettingsContext*>(GetWindowLongPtrA(dialog, DWLP_USER));
  // Messages that come before WM_INITDIALOG find no context yet.
  if (context == nullptr) return FALSE;
  Win32Controls controls(dialog);
  SettingsDialog settings(controls, *context->params, context->region);
  return HandleDialogEvent(settings, eventOf(message), LOWORD(wParam));
}

INT_PTR CALLBACK AddRectDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  Win32Controls controls(dialog);
  AddRectDialog addRect(controls);
  return HandleDialogEvent(addRect, eventOf(message), LOWORD(wParam));
}

INT_PTR CALLBACK NoteDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  Win32Controls controls(dialog);
  NoteDialog note(controls);
  return HandleDialogEvent(note, eventOf(message), LOWORD(wParam));
}

}  // namespace

intptr_t RunSettingsDialog(void* instance, void* owner, DeinterlaceParameters& params,
                           CRectList* region) {
  SettingsContext context{&params, region};
  return DialogBoxParamA(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(IDD_SETTINGS),
                         static_cast<HWND>(owner), SettingsDialogProc,
                         reinterpret_cast<LPARAM>(&context));
}

}  // namespace wdi
