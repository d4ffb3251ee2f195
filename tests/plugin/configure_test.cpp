#include "plugin/configure.h"

#include <gtest/gtest.h>

#include <cstring>

#include "plugin/dialog_params.h"
#include "plugin/vf_action.h"
#include "region/rect_list.h"
#include "support/alloc_failure.h"
#include "ui/add_rect_dialog.h"
#include "ui/dialog_ids.h"
#include "ui/fake_controls.h"
#include "ui/native_dialog_driver.h"
#include "ui/settings_dialog.h"

namespace wdi {
namespace {

using test::FakeControls;

constexpr DeinterlaceParameters kHostBlock = {3, 8, 30, 4000, 5, 1, 1, {0, 0}};

// A host with one current option block, and a user who opens the settings
// dialog on dialogParams and regionList, does `act` and reads the result.
class ConfigureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    block = kHostBlock;
    optionRef.block = &block;
    filter.current = &optionRef;
    record.command = Configure;
    record.ownerWindow = &ownerMarker;
    record.filter = &filter;
    savedRegion = regionList;
    regionList = &region;
    std::memset(&dialogParams, 0x5A, sizeof dialogParams);
  }
  void TearDown() override {
    SetSettingsDialogDriver(nullptr);
    regionList = savedRegion;
  }
  void userDoes(std::function<void(FakeControls&, SettingsDialog&)> act) {
    SetSettingsDialogDriver(
        [this, act](void* owner, DeinterlaceParameters& params, CRectList* edited) -> intptr_t {
          EXPECT_EQ(owner, &ownerMarker);
          EXPECT_EQ(&params, &dialogParams);
          EXPECT_EQ(edited, regionList);
          FakeControls controls;
          SettingsDialog dialog(controls, params, edited);
          dialog.onInit();
          shownSearchArea = controls.texts[IDC_SEARCH_AREA];
          act(controls, dialog);
          return controls.ended.value_or(-1);
        });
  }

  int ownerMarker = 0;
  DeinterlaceParameters block{};
  HostOptionRef optionRef{};
  HostFilterRecord filter{};
  ActionRecord record{};
  CRectList region;
  CRectList* savedRegion = nullptr;
  std::string shownSearchArea;
};

TEST_F(ConfigureTest, OkHandsTheChosenValuesToTheHost) {
  userDoes([](FakeControls& controls, SettingsDialog& dialog) {
    controls.texts[IDC_SEARCH_AREA] = "32";
    controls.checkRadioButton(IDC_METHOD_NONE, IDC_METHOD_ADVANCED, IDC_METHOD_EVEN_ROWS);
    dialog.onCommand(1);
  });
  EXPECT_EQ(ConfigureCommand(record), 1);
  EXPECT_EQ(shownSearchArea, "8");  // the dialog opened on the host's block
  EXPECT_EQ(block.method, 1);
  EXPECT_EQ(block.searchArea, 32);
  EXPECT_EQ(block.detectionThreshold, 30);
  EXPECT_EQ(block.searchOnInterpolated, 1);
  EXPECT_EQ(std::memcmp(&block, &dialogParams, sizeof block), 0);
}

// No allocation failure inside the command escapes vfAction: it reports -1.
TEST_F(ConfigureTest, AllocationFailuresEndInTheFailureStatus) {
  region.AddRect(true, 0, 0, 719, 575);
  region.AddRect(false, 8, 8, 15, 15);
  userDoes([](FakeControls& controls, SettingsDialog& dialog) {
    controls.texts[IDC_SEARCH_AREA] = "32";
    dialog.onCommand(1);
  });
  int32_t result = 0;
  const int runs =
      test::SweepAllocationFailures([&] { result = vfAction(0, &record); },
                                    [&](bool failed) { EXPECT_EQ(result, failed ? -1 : 1); });
  EXPECT_GT(runs, 0);
}

TEST_F(ConfigureTest, CancelLeavesTheHostBlock) {
  userDoes([](FakeControls& controls, SettingsDialog& dialog) {
    controls.texts[IDC_SEARCH_AREA] = "32";
    dialog.onCommand(IDC_DEFAULT);
    dialog.onCommand(2);
  });
  EXPECT_EQ(ConfigureCommand(record), 0);
  EXPECT_EQ(std::memcmp(&block, &kHostBlock, sizeof block), 0);
}

TEST_F(ConfigureTest, DefaultThenCloseBoxStoresTheDefaults) {
  userDoes([](FakeControls& controls, SettingsDialog& dialog) {
    controls.texts[IDC_SEARCH_AREA] = "32";  // typed, never read
    dialog.onCommand(IDC_DEFAULT);
    controls.texts[IDC_SEARCH_AREA] = "64";
    dialog.onClose();
  });
  EXPECT_EQ(ConfigureCommand(record), 1);
  EXPECT_EQ(std::memcmp(&block, &kDefaultParameters, sizeof block), 0);
}

TEST_F(ConfigureTest, CloseBoxAloneStoresTheOpeningValues) {
  userDoes([](FakeControls& controls, SettingsDialog& dialog) {
    controls.texts[IDC_SEARCH_AREA] = "32";
    dialog.onClose();
  });
  EXPECT_EQ(ConfigureCommand(record), 1);
  EXPECT_EQ(std::memcmp(&block, &kHostBlock, sizeof block), 0);
}

TEST_F(ConfigureTest, DefaultThenOkStoresTheShownValues) {
  userDoes([](FakeControls&, SettingsDialog& dialog) {
    dialog.onCommand(IDC_DEFAULT);
    dialog.onCommand(1);
  });
  EXPECT_EQ(ConfigureCommand(record), 1);
  EXPECT_EQ(std::memcmp(&block, &kDefaultParameters, sizeof block), 0);
}

TEST_F(ConfigureTest, NegativeSearchAreaSurvivesOpeningAndOk) {
  block.searchArea = -5;
  userDoes([](FakeControls&, SettingsDialog& dialog) { dialog.onCommand(1); });
  EXPECT_EQ(ConfigureCommand(record), 1);
  EXPECT_EQ(shownSearchArea, "-5");
  EXPECT_EQ(block.searchArea, -5);
}

TEST_F(ConfigureTest, RegionEditsStayAfterCancel) {
  userDoes([](FakeControls& controls, SettingsDialog& dialog) {
    controls.onChildDialog = [](int) -> intptr_t {
      AddRectResult = {0, 0, 719, 575, 0};
      return 1;
    };
    dialog.onCommand(IDC_ADD_RECT);
    dialog.onCommand(2);
  });
  EXPECT_EQ(ConfigureCommand(record), 0);
  ASSERT_EQ(region.entries.size(), 1u);
  EXPECT_FALSE(region.entries.front().include);
}

TEST_F(ConfigureTest, VfActionRunsTheDialogForCommandZero) {
  userDoes([](FakeControls& controls, SettingsDialog& dialog) {
    controls.texts[IDC_REPLACEMENT_THRESHOLD] = "12";
    dialog.onCommand(1);
  });
  EXPECT_EQ(vfAction(0, &record), 1);
  EXPECT_EQ(block.replacementThreshold, 12);
  userDoes([](FakeControls&, SettingsDialog& dialog) { dialog.onCommand(2); });
  EXPECT_EQ(vfAction(0, &record), 0);
}

TEST_F(ConfigureTest, DialogThatCannotBeShownIsNoOk) {
  SetSettingsDialogDriver(nullptr);
  EXPECT_EQ(ConfigureCommand(record), 0);
  SetSettingsDialogDriver([](void*, DeinterlaceParameters&, CRectList*) -> intptr_t { return -1; });
  EXPECT_EQ(ConfigureCommand(record), 0);
  EXPECT_EQ(std::memcmp(&block, &kHostBlock, sizeof block), 0);
}

TEST_F(ConfigureTest, MissingOptionBlockOpensNothing) {
  bool opened = false;
  SetSettingsDialogDriver([&](void*, DeinterlaceParameters&, CRectList*) -> intptr_t {
    opened = true;
    return 1;
  });
  optionRef.block = nullptr;
  EXPECT_EQ(ConfigureCommand(record), 0);
  filter.current = nullptr;
  EXPECT_EQ(ConfigureCommand(record), 0);
  record.filter = nullptr;
  EXPECT_EQ(ConfigureCommand(record), 0);
  EXPECT_FALSE(opened);
}

}  // namespace
}  // namespace wdi
