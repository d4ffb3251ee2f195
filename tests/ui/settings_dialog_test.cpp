#include "ui/settings_dialog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ui/add_rect_dialog.h"
#include "ui/dialog_ids.h"
#include "ui/fake_controls.h"
#include "ui/tooltip_table.h"

namespace wdi {
namespace {

using test::FakeControls;

constexpr DeinterlaceParameters kSample = {3, -5, 40, 1000, -7, 1, 0, {0, 0}};

bool sameParameters(const DeinterlaceParameters& a, const DeinterlaceParameters& b) {
  return a.method == b.method && a.searchArea == b.searchArea &&
         a.detectionThreshold == b.detectionThreshold &&
         a.blockDistanceThreshold == b.blockDistanceThreshold &&
         a.replacementThreshold == b.replacementThreshold &&
         a.replaceOnlyInterlaced == b.replaceOnlyInterlaced &&
         a.searchOnInterpolated == b.searchOnInterpolated;
}

class SettingsDialogTest : public ::testing::Test {
 protected:
  void open() {
    dialog.onInit();
    ASSERT_FALSE(controls.ended.has_value());
  }
  // The add-rectangle dialog answers with the typed edges and presses `button`.
  void answerAddRect(const char* left, const char* top, const char* right, const char* bottom,
                     bool include, int button) {
    controls.onChildDialog = [=](int resourceId) -> intptr_t {
      EXPECT_EQ(resourceId, IDD_ADD_RECT);
      FakeControls child;
      AddRectDialog addRect(child);
      addRect.onInit();
      child.texts[IDC_RECT_LEFT] = left;
      child.texts[IDC_RECT_TOP] = top;
      child.texts[IDC_RECT_RIGHT] = right;
      child.texts[IDC_RECT_BOTTOM] = bottom;
      child.checked[IDC_RECT_INCLUDE] = include;
      addRect.onCommand(button);
      return child.ended.value_or(-1);
    };
  }

  DeinterlaceParameters params = kSample;
  CRectList region;
  FakeControls controls;
  SettingsDialog dialog{controls, params, &region};
};

TEST_F(SettingsDialogTest, OpeningShowsEveryValue) {
  region.AddRect(true, 0, 0, 719, 575);
  region.AddRect(false, 100, 50, 299, 199);
  open();
  for (int id = IDC_METHOD_NONE; id <= IDC_METHOD_ADVANCED; ++id) {
    EXPECT_EQ(controls.checked[id], id == IDC_METHOD_AREA) << id;
  }
  EXPECT_EQ(controls.texts[IDC_SEARCH_AREA], "-5");
  EXPECT_EQ(controls.texts[IDC_DETECTION_THRESHOLD], "40");
  EXPECT_EQ(controls.texts[IDC_BLOCK_DISTANCE_THRESHOLD], "1000");
  EXPECT_EQ(controls.texts[IDC_REPLACEMENT_THRESHOLD], "-7");
  EXPECT_TRUE(controls.checked[IDC_REPLACE_ONLY_INTERLACED]);
  EXPECT_FALSE(controls.checked[IDC_SEARCH_ON_INTERPOLATED]);
  ASSERT_EQ(controls.lines.size(), 2u);
  EXPECT_EQ(controls.lines[0], "1. [ (0,0) - (719,575) ] +");
  EXPECT_EQ(controls.lines[1], "2. [ (100,50) - (299,199) ] -");
  EXPECT_TRUE(controls.toolTipsOpen);
  EXPECT_EQ(controls.toolTipRows, ToolTipTable);
  EXPECT_EQ(controls.toolTipCount, kToolTipCount);
  // Opening changes nothing.
  EXPECT_TRUE(sameParameters(params, kSample));
}

TEST_F(SettingsDialogTest, UnsignedThresholdsAreShownUnsigned) {
  params.detectionThreshold = -1;
  params.blockDistanceThreshold = INT32_MIN;
  open();
  EXPECT_EQ(controls.texts[IDC_DETECTION_THRESHOLD], "4294967295");
  EXPECT_EQ(controls.texts[IDC_BLOCK_DISTANCE_THRESHOLD], "2147483648");
}

TEST_F(SettingsDialogTest, UnknownMethodChecksNoRadioButtonAndOkKeepsIt) {
  params.method = 9;
  open();
  for (int id = IDC_METHOD_NONE; id <= IDC_METHOD_ADVANCED; ++id)
    EXPECT_FALSE(controls.checked[id]);
  dialog.onCommand(1);
  EXPECT_EQ(params.method, 9);
}

TEST_F(SettingsDialogTest, OkWithoutChangesKeepsEveryValue) {
  open();
  dialog.onCommand(1);
  EXPECT_EQ(controls.ended, 1);
  EXPECT_FALSE(controls.toolTipsOpen);
  EXPECT_TRUE(sameParameters(params, kSample));
}

TEST_F(SettingsDialogTest, OkTwiceAfterNegativeSearchAreaStaysNegative) {
  open();
  controls.texts[IDC_SEARCH_AREA] = "-5";
  dialog.onCommand(1);
  ASSERT_EQ(params.searchArea, -5);
  FakeControls again;
  SettingsDialog reopened(again, params, &region);
  reopened.onInit();
  EXPECT_EQ(again.texts[IDC_SEARCH_AREA], "-5");
  reopened.onCommand(1);
  EXPECT_EQ(params.searchArea, -5);
}

TEST_F(SettingsDialogTest, OkReadsEveryControl) {
  open();
  controls.checkRadioButton(IDC_METHOD_NONE, IDC_METHOD_ADVANCED, IDC_METHOD_ADVANCED);
  controls.texts[IDC_SEARCH_AREA] = "24";
  controls.texts[IDC_DETECTION_THRESHOLD] = "4294967295";
  controls.texts[IDC_BLOCK_DISTANCE_THRESHOLD] = " 512";
  controls.texts[IDC_REPLACEMENT_THRESHOLD] = "33";
  controls.checked[IDC_REPLACE_ONLY_INTERLACED] = false;
  controls.checked[IDC_SEARCH_ON_INTERPOLATED] = true;
  dialog.onCommand(1);
  EXPECT_EQ(params.method, 5);
  EXPECT_EQ(params.searchArea, 24);
  EXPECT_EQ(params.detectionThreshold, -1);
  EXPECT_EQ(params.blockDistanceThreshold, 512);
  EXPECT_EQ(params.replacementThreshold, 33);  // no range check
  EXPECT_EQ(params.replaceOnlyInterlaced, 0);
  EXPECT_EQ(params.searchOnInterpolated, 1);
}

TEST_F(SettingsDialogTest, OkReadsNumbersByTheEditRules) {
  struct Case {
    const char* searchArea;
    int32_t searchAreaValue;
    const char* unsignedText;
    int32_t unsignedValue;
    const char* signedText;
    int32_t signedValue;
  };
  const Case cases[] = {
      {"12abc", 12, "abc", 0, "-7", -7},
      {"", 0, "", 0, "", 0},
      {"-7", -7, "4294967296", 0, "2147483648", 0},
      {"1234567890", 123456789, "4294967295", -1, "-2147483648", INT32_MIN},
      {"4294967291", 429496729, "-5", 0, "abc", 0},
  };
  for (const Case& c : cases) {
    FakeControls typed;
    DeinterlaceParameters read = kSample;
    SettingsDialog typedDialog(typed, read, &region);
    typedDialog.onInit();
    typed.texts[IDC_SEARCH_AREA] = c.searchArea;
    typed.texts[IDC_DETECTION_THRESHOLD] = c.unsignedText;
    typed.texts[IDC_BLOCK_DISTANCE_THRESHOLD] = c.unsignedText;
    typed.texts[IDC_REPLACEMENT_THRESHOLD] = c.signedText;
    typedDialog.onCommand(1);
    SCOPED_TRACE(c.searchArea);
    EXPECT_EQ(read.searchArea, c.searchAreaValue);
    EXPECT_EQ(read.detectionThreshold, c.unsignedValue);
    EXPECT_EQ(read.blockDistanceThreshold, c.unsignedValue);
    EXPECT_EQ(read.replacementThreshold, c.signedValue);
  }
}

TEST_F(SettingsDialogTest, CancelEndsWithTwoAndReadsNothing) {
  open();
  controls.texts[IDC_SEARCH_AREA] = "99";
  controls.textReads.clear();
  dialog.onCommand(2);
  EXPECT_EQ(controls.ended, 2);
  EXPECT_FALSE(controls.toolTipsOpen);
  EXPECT_TRUE(controls.textReads.empty());
  EXPECT_TRUE(sameParameters(params, kSample));
}

TEST_F(SettingsDialogTest, CloseBoxEndsWithOneWithoutReading) {
  open();
  controls.texts[IDC_SEARCH_AREA] = "99";
  controls.textReads.clear();
  dialog.onClose();
  EXPECT_EQ(controls.ended, 1);
  EXPECT_FALSE(controls.toolTipsOpen);
  EXPECT_TRUE(controls.textReads.empty());
  EXPECT_TRUE(sameParameters(params, kSample));
}

TEST_F(SettingsDialogTest, DefaultResetsValuesAndControlsButNotRegion) {
  region.AddRect(true, 0, 0, 10, 10);
  open();
  dialog.onCommand(IDC_DEFAULT);
  EXPECT_FALSE(controls.ended.has_value());
  EXPECT_TRUE(sameParameters(params, kDefaultParameters));
  EXPECT_TRUE(controls.checked[IDC_METHOD_AREA_ME]);
  EXPECT_FALSE(controls.checked[IDC_METHOD_AREA]);
  EXPECT_EQ(controls.texts[IDC_SEARCH_AREA], "16");
  EXPECT_EQ(controls.texts[IDC_DETECTION_THRESHOLD], "48");
  EXPECT_EQ(controls.texts[IDC_BLOCK_DISTANCE_THRESHOLD], "8192");
  EXPECT_EQ(controls.texts[IDC_REPLACEMENT_THRESHOLD], "0");
  EXPECT_FALSE(controls.checked[IDC_REPLACE_ONLY_INTERLACED]);
  EXPECT_FALSE(controls.checked[IDC_SEARCH_ON_INTERPOLATED]);
  EXPECT_EQ(region.entries.size(), 1u);
  EXPECT_EQ(controls.lines.size(), 1u);
}

TEST_F(SettingsDialogTest, OtherIdsDoNothing) {
  open();
  for (int id : {IDC_METHOD_NONE, IDC_METHOD_ADVANCED, IDC_SEARCH_AREA, IDC_REGION_LIST,
                 IDC_REPLACE_ONLY_INTERLACED, 0, 3, 9999}) {
    dialog.onCommand(id);
  }
  EXPECT_FALSE(controls.ended.has_value());
  EXPECT_TRUE(controls.childDialogs.empty());
  EXPECT_TRUE(sameParameters(params, kSample));
}

TEST_F(SettingsDialogTest, ReadMoreOpensTheNoteAndIgnoresItsResult) {
  open();
  controls.onChildDialog = [](int) -> intptr_t { return 1; };
  dialog.onCommand(IDC_READ_MORE);
  EXPECT_EQ(controls.childDialogs, std::vector<int>{IDD_NOTE});
  EXPECT_FALSE(controls.ended.has_value());
}

TEST_F(SettingsDialogTest, AddRectAppendsTheTypedRectangle) {
  open();
  answerAddRect("0", "0", "719", "575", false, 1);
  dialog.onCommand(IDC_ADD_RECT);
  EXPECT_EQ(controls.childDialogs, std::vector<int>{IDD_ADD_RECT});
  ASSERT_EQ(region.entries.size(), 1u);
  const RectEntry& entry = region.entries.front();
  EXPECT_FALSE(entry.include);
  EXPECT_EQ(entry.right, 719);
  EXPECT_EQ(entry.bottom, 575);
  EXPECT_EQ(controls.lines, std::vector<std::string>{"1. [ (0,0) - (719,575) ] -"});
}

TEST_F(SettingsDialogTest, AddRectDropsRefusedRectanglesSilently) {
  open();
  // Untouched dialog: the single pixel (0,0)-(0,0).
  controls.onChildDialog = [](int) -> intptr_t {
    FakeControls child;
    AddRectDialog addRect(child);
    addRect.onInit();
    addRect.onCommand(1);
    return *child.ended;
  };
  dialog.onCommand(IDC_ADD_RECT);
  answerAddRect("5", "5", "5", "5", true, 1);
  dialog.onCommand(IDC_ADD_RECT);
  // Above 2147483647 the edge is negative for AddRect.
  answerAddRect("0", "0", "4294967295", "10", true, 1);
  dialog.onCommand(IDC_ADD_RECT);
  EXPECT_TRUE(region.entries.empty());
  EXPECT_EQ(region.lastId, 0);
  EXPECT_TRUE(controls.lines.empty());
  EXPECT_TRUE(controls.messages.empty());
}

TEST_F(SettingsDialogTest, AddRectCancelledAddsNothing) {
  open();
  answerAddRect("0", "0", "10", "10", true, 2);
  dialog.onCommand(IDC_ADD_RECT);
  EXPECT_TRUE(region.entries.empty());
  EXPECT_TRUE(controls.lines.empty());
}

TEST_F(SettingsDialogTest, RegionChangesStayAfterCancel) {
  open();
  answerAddRect("0", "0", "10", "10", true, 1);
  dialog.onCommand(IDC_ADD_RECT);
  dialog.onCommand(2);
  EXPECT_EQ(region.entries.size(), 1u);
}

TEST_F(SettingsDialogTest, LinesSortAsTextAndDeleteUsesTheWrittenId) {
  for (int i = 0; i < 12; ++i) region.AddRect(true, i, 0, i + 1, 1);
  open();
  ASSERT_EQ(controls.lines.size(), 12u);
  EXPECT_EQ(controls.lines[0], "1. [ (0,0) - (1,1) ] +");
  EXPECT_EQ(controls.lines[1], "10. [ (9,0) - (10,1) ] +");
  EXPECT_EQ(controls.lines[4], "2. [ (1,0) - (2,1) ] +");
  controls.selection = 1;
  dialog.onCommand(IDC_DELETE_RECT);
  ASSERT_EQ(region.entries.size(), 11u);
  for (const RectEntry& entry : region.entries) EXPECT_NE(entry.id, 10);
  EXPECT_EQ(controls.lines.size(), 11u);
  EXPECT_EQ(controls.lines[1], "11. [ (10,0) - (11,1) ] +");
}

TEST_F(SettingsDialogTest, DeleteWithoutSelectionDoesNothing) {
  region.AddRect(true, 0, 0, 5, 5);
  open();
  controls.selection = -1;
  dialog.onCommand(IDC_DELETE_RECT);
  EXPECT_EQ(region.entries.size(), 1u);
  EXPECT_EQ(controls.lines.size(), 1u);
}

TEST_F(SettingsDialogTest, FillRegionListReplacesEveryLine) {
  controls.lines = {"old a", "old b", "old c"};
  region.AddRect(false, 1, 2, 3, 4);
  FillRegionList(controls, &region);
  EXPECT_EQ(controls.linesDeleted, 3);
  EXPECT_EQ(controls.lines, std::vector<std::string>{"1. [ (1,2) - (3,4) ] -"});
}

TEST(SettingsDialogWithoutRegionTest, RegionButtonsDoNothing) {
  DeinterlaceParameters params = kSample;
  FakeControls controls;
  controls.lines = {"stale"};
  controls.selection = 0;
  controls.chosenPath = "/nonexistent/x.rect";
  controls.onChildDialog = [](int) -> intptr_t { return 1; };
  SettingsDialog dialog(controls, params, nullptr);
  dialog.onInit();
  EXPECT_EQ(controls.lines, std::vector<std::string>{"stale"});
  for (int id : {IDC_DELETE_RECT, IDC_SAVE_REGION, IDC_LOAD_REGION}) dialog.onCommand(id);
  EXPECT_TRUE(controls.fileRequests.empty());
  EXPECT_TRUE(controls.messages.empty());
  EXPECT_EQ(controls.lines, std::vector<std::string>{"stale"});
  // "Add rect" still shows its dialog but has nowhere to put the result.
  dialog.onCommand(IDC_ADD_RECT);
  EXPECT_EQ(controls.lines, std::vector<std::string>{"stale"});
}

TEST(RegionFileRequestTest, SaveAndOpenDialogs) {
  FileDialogRequest save = RegionFileRequest(true);
  EXPECT_TRUE(save.save);
  ASSERT_EQ(save.filterBytes, 33u);
  EXPECT_EQ(std::memcmp(save.filter, "Rect files\0*.rect\0All files\0*.*\0\0", 33), 0);
  EXPECT_EQ(save.filterIndex, 1u);
  EXPECT_EQ(save.fileBufferChars, 259u);
  EXPECT_STREQ(save.initialFolder, "");
  EXPECT_STREQ(save.title, "Choose rect file");
  EXPECT_EQ(save.flags, kOfnPathMustExist);
  EXPECT_STREQ(save.defaultExtension, "rect");
  FileDialogRequest load = RegionFileRequest(false);
  EXPECT_FALSE(load.save);
  EXPECT_EQ(load.flags, kOfnPathMustExist | kOfnFileMustExist);
  EXPECT_STREQ(load.title, "Choose rect file");
  EXPECT_STREQ(load.defaultExtension, "rect");
}

TEST(ToolTipTableTest, EighteenRowsInOrder) {
  const int ids[] = {1010, 1011, 1012, 1013, 1014, 1015, 1028, 1001, 1029,
                     1030, 1032, 1033, 1066, 1034, 1035, 1036, 1037, 1038};
  ASSERT_EQ(kToolTipCount, sizeof ids / sizeof ids[0]);
  for (size_t i = 0; i < kToolTipCount; ++i) EXPECT_EQ(ToolTipTable[i].controlId, ids[i]);
  EXPECT_STREQ(ToolTipTable[9].text, "Replacement threshold (0-32)");
  EXPECT_STREQ(ToolTipTable[15].text, "Delete rectangle from");
}

}  // namespace
}  // namespace wdi
