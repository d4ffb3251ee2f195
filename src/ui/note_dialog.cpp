#include "ui/note_dialog.h"

#include "ui/dialog_ids.h"

namespace wdi {

const char kNoteText[] =
    "This filter can work  with Frame-based or Field Order A frame types. You  can  adjust  this  "
    "in  Video  Editor's menu File -> Create -> Video File -> Options -> General. Set  the  "
    "option  'Frame  type'  to  'Frame-based'  or  'Field Order A'.";

void NoteDialog::onInit() { controls_.setItemText(IDC_NOTE_TEXT, kNoteText); }

void NoteDialog::onCommand(int id) {
  if (id == 1 || id == 2) controls_.endDialog(id);
}

void NoteDialog::onClose() { controls_.endDialog(2); }

}  // namespace wdi
