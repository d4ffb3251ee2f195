// The add-rectangle dialog: one rectangle of the processing region.
#pragma once
#include <cstdint>

#include "ui/dialog_controls.h"

namespace wdi {

struct AddRectValues {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
  int32_t include;  // nonzero: the rectangle's pixels are processed
};

// What the dialog read when it ended with 1; each opening resets it.
extern AddRectValues AddRectResult;

class AddRectDialog {
 public:
  explicit AddRectDialog(DialogControls& controls) : controls_(controls) {}
  void onInit();
  void onCommand(int id);
  // The close box: as Cancel.
  void onClose();

 private:
  DialogControls& controls_;
};

}  // namespace wdi
