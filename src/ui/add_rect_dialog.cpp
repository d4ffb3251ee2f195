#include "ui/add_rect_dialog.h"

#include <limits>

#include "ui/dialog_ids.h"
#include "ui/dialog_numbers.h"

namespace wdi {

AddRectValues AddRectResult = {0, 0, 0, 0, 1};

namespace {

// Unsigned as typed; AddRect takes it as signed 32-bit, so values above
// 2147483647 arrive negative and are refused there.
int32_t readEdge(DialogControls& controls, int id) {
  return static_cast<int32_t>(
      ReadUnsignedItemInt(controls.itemText(id, std::numeric_limits<size_t>::max())));
}

}  // namespace

void AddRectDialog::onInit() {
  for (int id : {IDC_RECT_TOP, IDC_RECT_LEFT, IDC_RECT_RIGHT, IDC_RECT_BOTTOM}) {
    controls_.setItemText(id, "0");
  }
  AddRectResult = {0, 0, 0, 0, 1};
  controls_.setChecked(IDC_RECT_INCLUDE, true);
}

void AddRectDialog::onCommand(int id) {
  if (id == 1) {
    AddRectResult.left = readEdge(controls_, IDC_RECT_LEFT);
    AddRectResult.top = readEdge(controls_, IDC_RECT_TOP);
    AddRectResult.right = readEdge(controls_, IDC_RECT_RIGHT);
    AddRectResult.bottom = readEdge(controls_, IDC_RECT_BOTTOM);
    AddRectResult.include = controls_.isChecked(IDC_RECT_INCLUDE) ? 1 : 0;
    controls_.endDialog(1);
  } else if (id == 2) {
    controls_.endDialog(2);
  }
}

void AddRectDialog::onClose() { controls_.endDialog(2); }

}  // namespace wdi
