// The note dialog: which of the host's frame types the filter works with.
#pragma once
#include <cstdint>

#include "ui/dialog_controls.h"

namespace wdi {

extern const char kNoteText[];

class NoteDialog {
 public:
  explicit NoteDialog(DialogControls& controls) : controls_(controls) {}
  void onInit();
  void onCommand(int id);
  // The close box: as Cancel.
  void onClose();

 private:
  DialogControls& controls_;
};

}  // namespace wdi
