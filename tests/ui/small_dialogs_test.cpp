#include <gtest/gtest.h>

#include <string>

#include "ui/add_rect_dialog.h"
#include "ui/dialog_ids.h"
#include "ui/fake_controls.h"
#include "ui/note_dialog.h"

namespace wdi {
namespace {

using test::FakeControls;

class AddRectDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { AddRectResult = {7, 7, 7, 7, 0}; }
  FakeControls controls;
  AddRectDialog dialog{controls};
};

TEST_F(AddRectDialogTest, OpeningShowsZerosAndInclude) {
  dialog.onInit();
  for (int id : {IDC_RECT_TOP, IDC_RECT_LEFT, IDC_RECT_RIGHT, IDC_RECT_BOTTOM}) {
    EXPECT_EQ(controls.texts[id], "0") << id;
  }
  EXPECT_TRUE(controls.checked[IDC_RECT_INCLUDE]);
  EXPECT_EQ(AddRectResult.left, 0);
  EXPECT_EQ(AddRectResult.top, 0);
  EXPECT_EQ(AddRectResult.right, 0);
  EXPECT_EQ(AddRectResult.bottom, 0);
  EXPECT_EQ(AddRectResult.include, 1);
}

TEST_F(AddRectDialogTest, OkReadsEachEdgeFromItsEdit) {
  dialog.onInit();
  controls.texts[IDC_RECT_LEFT] = "1";
  controls.texts[IDC_RECT_TOP] = "2";
  controls.texts[IDC_RECT_RIGHT] = "3";
  controls.texts[IDC_RECT_BOTTOM] = "4";
  controls.checked[IDC_RECT_INCLUDE] = false;
  dialog.onCommand(1);
  EXPECT_EQ(controls.ended, 1);
  EXPECT_EQ(AddRectResult.left, 1);
  EXPECT_EQ(AddRectResult.top, 2);
  EXPECT_EQ(AddRectResult.right, 3);
  EXPECT_EQ(AddRectResult.bottom, 4);
  EXPECT_EQ(AddRectResult.include, 0);
}

TEST_F(AddRectDialogTest, OkReadsUnsignedNumbers) {
  dialog.onInit();
  controls.texts[IDC_RECT_LEFT] = "2147483648";  // negative as signed 32-bit
  controls.texts[IDC_RECT_TOP] = "4294967296";   // above the unsigned range
  controls.texts[IDC_RECT_RIGHT] = "abc";
  controls.texts[IDC_RECT_BOTTOM] = " 575px";
  dialog.onCommand(1);
  EXPECT_EQ(AddRectResult.left, INT32_MIN);
  EXPECT_EQ(AddRectResult.top, 0);
  EXPECT_EQ(AddRectResult.right, 0);
  EXPECT_EQ(AddRectResult.bottom, 575);
  EXPECT_EQ(AddRectResult.include, 1);
}

TEST_F(AddRectDialogTest, CancelAndCloseBoxEndWithTwo) {
  dialog.onInit();
  controls.texts[IDC_RECT_RIGHT] = "9";
  dialog.onCommand(2);
  EXPECT_EQ(controls.ended, 2);
  EXPECT_EQ(AddRectResult.right, 0);

  FakeControls closed;
  AddRectDialog closedDialog(closed);
  closedDialog.onInit();
  closedDialog.onClose();
  EXPECT_EQ(closed.ended, 2);
}

TEST_F(AddRectDialogTest, OtherIdsDoNothing) {
  dialog.onInit();
  dialog.onCommand(IDC_RECT_INCLUDE);
  dialog.onCommand(IDC_RECT_TOP);
  EXPECT_FALSE(controls.ended.has_value());
}

TEST(NoteDialogTest, ShowsTheNoteAndEnds) {
  FakeControls controls;
  NoteDialog dialog(controls);
  dialog.onInit();
  const std::string& note = controls.texts[IDC_NOTE_TEXT];
  EXPECT_EQ(note.rfind("This filter can work  with Frame-based or Field Order A frame types.", 0),
            0u);
  EXPECT_NE(note.find("File -> Create -> Video File -> Options -> General."), std::string::npos);
  EXPECT_EQ(note.substr(note.size() - 35), "'Frame-based'  or  'Field Order A'.");
  dialog.onCommand(1);
  EXPECT_EQ(controls.ended, 1);

  for (int button : {2, 0}) {
    FakeControls other;
    NoteDialog otherDialog(other);
    otherDialog.onInit();
    if (button == 2) {
      otherDialog.onCommand(2);
    } else {
      otherDialog.onClose();
    }
    EXPECT_EQ(other.ended, 2);
  }
}

}  // namespace
}  // namespace wdi
