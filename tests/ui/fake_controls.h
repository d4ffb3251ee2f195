// Plain-data stand-in for an open dialog: the tests type into it, press its
// buttons through the dialog logic and look at what the logic did.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ui/dialog_controls.h"
#include "ui/dialog_ids.h"

namespace wdi::test {

class FakeControls : public DialogControls {
 public:
  std::string itemText(int id, size_t maxChars) override {
    textReads.push_back(id);
    return texts[id].substr(0, maxChars);
  }
  void setItemText(int id, const char* text) override { texts[id] = text; }

  bool isChecked(int id) override { return checked[id]; }
  void setChecked(int id, bool value) override { checked[id] = value; }
  void checkRadioButton(int first, int last, int checkId) override {
    for (int id = first; id <= last; ++id) checked[id] = id == checkId;
  }

  // The one list box sorts its lines as text, like the real one.
  int listDeleteLine(int id, int index) override {
    EXPECT_EQ(id, IDC_REGION_LIST);
    if (index < 0 || index >= static_cast<int>(lines.size())) return -1;
    lines.erase(lines.begin() + index);
    ++linesDeleted;
    return static_cast<int>(lines.size());
  }
  void listAddLine(int id, const char* text) override {
    EXPECT_EQ(id, IDC_REGION_LIST);
    lines.insert(std::upper_bound(lines.begin(), lines.end(), std::string(text)), text);
  }
  int listSelection(int id) override {
    EXPECT_EQ(id, IDC_REGION_LIST);
    return selection < static_cast<int>(lines.size()) ? selection : -1;
  }
  std::string listLineText(int id, int index) override {
    EXPECT_EQ(id, IDC_REGION_LIST);
    return lines.at(static_cast<size_t>(index));
  }

  void endDialog(intptr_t result) override {
    EXPECT_FALSE(ended.has_value()) << "dialog ended twice";
    ended = result;
  }
  intptr_t runChildDialog(int resourceId) override {
    childDialogs.push_back(resourceId);
    return onChildDialog ? onChildDialog(resourceId) : 2;
  }
  bool chooseFile(const FileDialogRequest& request, std::string& path) override {
    fileRequests.push_back(request);
    if (!chosenPath) return false;
    path = *chosenPath;
    return true;
  }
  void showErrorMessage(const char* text, const char* caption) override {
    messages.emplace_back(text, caption);
  }
  void createToolTips(const ToolTipRow* rows, size_t count) override {
    toolTipRows = rows;
    toolTipCount = count;
    toolTipsOpen = true;
  }
  void destroyToolTips() override { toolTipsOpen = false; }

  std::map<int, std::string> texts;
  std::map<int, bool> checked;
  std::vector<int> textReads;
  std::vector<std::string> lines;
  int selection = -1;
  int linesDeleted = 0;
  std::optional<intptr_t> ended;
  std::vector<int> childDialogs;
  std::function<intptr_t(int resourceId)> onChildDialog;
  std::vector<FileDialogRequest> fileRequests;
  std::optional<std::string> chosenPath;  // empty: the user cancels the file dialog
  std::vector<std::pair<std::string, std::string>> messages;
  const ToolTipRow* toolTipRows = nullptr;
  size_t toolTipCount = 0;
  bool toolTipsOpen = false;
};

}  // namespace wdi::test
