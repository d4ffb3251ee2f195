// "Save to file" and "Load from file" through the real region file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "support/temp_dir.h"
#include "ui/dialog_ids.h"
#include "ui/fake_controls.h"
#include "ui/settings_dialog.h"

namespace wdi {
namespace {

using test::FakeControls;

bool fileExists(const std::string& path) { return std::ifstream(path).good(); }

class RegionFileButtonsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(tmp.path().empty());
    dir = tmp.path();
    params = kDefaultParameters;
  }

  test::TempDir tmp;
  std::string path(const char* name) const { return dir + "/" + name; }

  std::string dir;
  DeinterlaceParameters params{};
  CRectList region;
  FakeControls controls;
  SettingsDialog dialog{controls, params, &region};
};

TEST_F(RegionFileButtonsTest, SaveThenLoadShowsTheRegionAgain) {
  region.AddRect(true, 0, 0, 719, 575);
  region.AddRect(false, 100, 50, 299, 199);
  dialog.onInit();
  controls.chosenPath = path("a.rect");
  dialog.onCommand(IDC_SAVE_REGION);
  ASSERT_EQ(controls.fileRequests.size(), 1u);
  EXPECT_TRUE(controls.fileRequests[0].save);
  EXPECT_TRUE(controls.messages.empty());
  ASSERT_TRUE(fileExists(path("a.rect")));

  CRectList loaded;
  loaded.AddRect(true, 1, 1, 2, 2);
  FakeControls other;
  other.chosenPath = path("a.rect");
  SettingsDialog otherDialog(other, params, &loaded);
  otherDialog.onInit();
  otherDialog.onCommand(IDC_LOAD_REGION);
  ASSERT_EQ(other.fileRequests.size(), 1u);
  EXPECT_FALSE(other.fileRequests[0].save);
  EXPECT_EQ(other.fileRequests[0].flags, kOfnPathMustExist | kOfnFileMustExist);
  EXPECT_TRUE(other.messages.empty());
  EXPECT_EQ(other.lines, (std::vector<std::string>{"1. [ (0,0) - (719,575) ] +",
                                                   "2. [ (100,50) - (299,199) ] -"}));
  EXPECT_EQ(loaded.entries.size(), 2u);
}

TEST_F(RegionFileButtonsTest, CancelledFileDialogDoesNothing) {
  region.AddRect(true, 0, 0, 10, 10);
  dialog.onInit();
  controls.chosenPath.reset();
  dialog.onCommand(IDC_SAVE_REGION);
  dialog.onCommand(IDC_LOAD_REGION);
  EXPECT_EQ(controls.fileRequests.size(), 2u);
  EXPECT_TRUE(controls.messages.empty());
  EXPECT_EQ(region.entries.size(), 1u);
}

TEST_F(RegionFileButtonsTest, SavingAnEmptyRegionWritesNothingSilently) {
  dialog.onInit();
  controls.chosenPath = path("empty.rect");
  dialog.onCommand(IDC_SAVE_REGION);
  EXPECT_TRUE(controls.messages.empty());
  EXPECT_FALSE(fileExists(path("empty.rect")));
}

TEST_F(RegionFileButtonsTest, FailedSaveShowsAMessage) {
  region.AddRect(true, 0, 0, 10, 10);
  dialog.onInit();
  controls.chosenPath = path("missing-folder/a.rect");
  dialog.onCommand(IDC_SAVE_REGION);
  ASSERT_EQ(controls.messages.size(), 1u);
  EXPECT_EQ(controls.messages[0].first, "Can't save file.");
  EXPECT_EQ(controls.messages[0].second, "Error");
}

TEST_F(RegionFileButtonsTest, FailedLoadShowsAMessageAndKeepsTheList) {
  region.AddRect(true, 0, 0, 10, 10);
  region.AddRect(false, 2, 2, 4, 4);
  dialog.onInit();
  const std::vector<std::string> before = controls.lines;
  {
    std::ofstream bad(path("bad.rect"));
    bad << "[[(0,0)-(9,9)]]\npresent=1\n[[(5,5)-(5,5)]]\npresent=1\n";
  }
  for (const char* name : {"bad.rect", "b.rect"}) {  // refused rectangle; no such file
    controls.chosenPath = path(name);
    dialog.onCommand(IDC_LOAD_REGION);
  }
  ASSERT_EQ(controls.messages.size(), 2u);
  for (const auto& message : controls.messages) {
    EXPECT_EQ(message.first, "Can't load this file.");
    EXPECT_EQ(message.second, "Error");
  }
  EXPECT_EQ(controls.lines, before);
  ASSERT_EQ(region.entries.size(), 2u);
  EXPECT_EQ(region.entries.back().left, 2);
}

}  // namespace
}  // namespace wdi
