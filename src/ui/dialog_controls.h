// What the dialog logic needs of an open dialog: its controls, its end, the
// dialogs it opens and the tool tips. The Win32 binding implements it with
// the platform's dialog manager; tests implement it with plain data.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "ui/tooltip_table.h"

namespace wdi {

// The platform's file dialog flag values.
constexpr uint32_t kOfnPathMustExist = 0x00000800;
constexpr uint32_t kOfnFileMustExist = 0x00001000;

// One file dialog, as the platform's open/save record describes it.
struct FileDialogRequest {
  bool save;                  // save dialog, else open dialog
  const char* filter;         // pairs of zero-ended texts, ended by one more zero
  size_t filterBytes;         // bytes of `filter`, both final zeros included
  uint32_t filterIndex;       // 1: the first pair is chosen
  uint32_t fileBufferChars;   // room for the chosen path, terminating zero included
  const char* initialFolder;  // empty: the platform's choice
  const char* title;
  uint32_t flags;
  const char* defaultExtension;  // added to a name typed without one
};

class DialogControls {
 public:
  virtual ~DialogControls() = default;

  // At most `maxChars` characters of the control's text.
  virtual std::string itemText(int id, size_t maxChars) = 0;
  virtual void setItemText(int id, const char* text) = 0;

  virtual bool isChecked(int id) = 0;
  virtual void setChecked(int id, bool checked) = 0;
  // Checks `checkId` and clears every other button from `first` to `last`;
  // an id outside that range leaves all of them clear.
  virtual void checkRadioButton(int first, int last, int checkId) = 0;

  // List box. Deleting returns the number of lines left, or -1 when there
  // was no such line; the selection is -1 when no line is selected.
  virtual int listDeleteLine(int id, int index) = 0;
  virtual void listAddLine(int id, const char* text) = 0;
  virtual int listSelection(int id) = 0;
  virtual std::string listLineText(int id, int index) = 0;

  virtual void endDialog(intptr_t result) = 0;
  // Runs a dialog resource modally, owned by this dialog; its end result.
  virtual intptr_t runChildDialog(int resourceId) = 0;
  // True with the chosen path when the user confirms the file dialog.
  virtual bool chooseFile(const FileDialogRequest& request, std::string& path) = 0;
  // A message box with the error icon, owned by the window with the focus.
  virtual void showErrorMessage(const char* text, const char* caption) = 0;

  // Tool tips for the rows' controls. Creating them may fail; the dialog
  // works without them.
  virtual void createToolTips(const ToolTipRow* rows, size_t count) = 0;
  virtual void destroyToolTips() = 0;
};

}  // namespace wdi
