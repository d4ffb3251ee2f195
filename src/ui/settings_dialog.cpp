#include "ui/settings_dialog.h"

#include <cstdio>
#include <limits>
#include <string>

#include "ui/add_rect_dialog.h"
#include "ui/dialog_ids.h"
#include "ui/dialog_numbers.h"

namespace wdi {

namespace {
constexpr size_t kWholeText = std::numeric_limits<size_t>::max();
}  // namespace

void FillRegionList(DialogControls& controls, const CRectList* region) {
  if (region == nullptr) return;
  while (controls.listDeleteLine(IDC_REGION_LIST, 0) > 0) {
  }
  for (const RectEntry& entry : region->entries) {
    controls.listAddLine(IDC_REGION_LIST, EntryText(entry).c_str());
  }
}

const char kRegionFileFilter[] = "Rect files\0*.rect\0All files\0*.*\0";
// The literal's own zero ends the list.
const size_t kRegionFileFilterBytes = sizeof(kRegionFileFilter);

FileDialogRequest RegionFileRequest(bool save) {
  FileDialogRequest request{};
  request.save = save;
  request.filter = kRegionFileFilter;
  request.filterBytes = kRegionFileFilterBytes;
  request.filterIndex = 1;
  request.fileBufferChars = 259;
  request.initialFolder = "";
  request.title = "Choose rect file";
  request.flags = save ? kOfnPathMustExist : kOfnPathMustExist | kOfnFileMustExist;
  request.defaultExtension = "rect";
  return request;
}

void SettingsDialog::onInit() {
  showParameters();
  FillRegionList(controls_, region_);
  controls_.createToolTips(ToolTipTable, kToolTipCount);
}

void SettingsDialog::showParameters() {
  int32_t method = params_.method;
  // A method the dialog does not know leaves every radio button clear.
  int checkId =
      method >= 0 && method <= IDC_METHOD_ADVANCED - IDC_METHOD_NONE ? IDC_METHOD_NONE + method : 0;
  controls_.checkRadioButton(IDC_METHOD_NONE, IDC_METHOD_ADVANCED, checkId);
  // Signed, like the read on OK, so that opening and confirming keeps a
  // negative search area.
  controls_.setItemText(IDC_SEARCH_AREA, SignedText(params_.searchArea).c_str());
  controls_.setItemText(IDC_DETECTION_THRESHOLD,
                        UnsignedText(static_cast<uint32_t>(params_.detectionThreshold)).c_str());
  controls_.setItemText(
      IDC_BLOCK_DISTANCE_THRESHOLD,
      UnsignedText(static_cast<uint32_t>(params_.blockDistanceThreshold)).c_str());
  controls_.setItemText(IDC_REPLACEMENT_THRESHOLD,
                        SignedText(params_.replacementThreshold).c_str());
  controls_.setChecked(IDC_REPLACE_ONLY_INTERLACED, params_.replaceOnlyInterlaced != 0);
  controls_.setChecked(IDC_SEARCH_ON_INTERPOLATED, params_.searchOnInterpolated != 0);
}

void SettingsDialog::readParameters() {
  params_.searchArea = ReadSearchAreaText(controls_.itemText(IDC_SEARCH_AREA, kSearchAreaChars));
  for (int id = IDC_METHOD_NONE; id <= IDC_METHOD_ADVANCED; ++id) {
    if (controls_.isChecked(id)) {
      params_.method = id - IDC_METHOD_NONE;
      break;
    }
  }
  // Unsigned fields keep their bits: 4294967295 is stored as -1.
  params_.blockDistanceThreshold = static_cast<int32_t>(
      ReadUnsignedItemInt(controls_.itemText(IDC_BLOCK_DISTANCE_THRESHOLD, kWholeText)));
  params_.replacementThreshold =
      ReadSignedItemInt(controls_.itemText(IDC_REPLACEMENT_THRESHOLD, kWholeText));
  params_.detectionThreshold = static_cast<int32_t>(
      ReadUnsignedItemInt(controls_.itemText(IDC_DETECTION_THRESHOLD, kWholeText)));
  params_.replaceOnlyInterlaced = controls_.isChecked(IDC_REPLACE_ONLY_INTERLACED) ? 1 : 0;
  params_.searchOnInterpolated = controls_.isChecked(IDC_SEARCH_ON_INTERPOLATED) ? 1 : 0;
}

void SettingsDialog::onCommand(int id) {
  switch (id) {
    case 1:
      readParameters();
      controls_.destroyToolTips();
      controls_.endDialog(1);
      break;
    case 2:
      controls_.destroyToolTips();
      controls_.endDialog(2);
      break;
    case IDC_READ_MORE:
      controls_.runChildDialog(IDD_NOTE);
      break;
    case IDC_ADD_RECT:
      addRect();
      break;
    case IDC_DELETE_RECT:
      deleteRect();
      break;
    case IDC_SAVE_REGION:
      saveRegion();
      break;
    case IDC_LOAD_REGION:
      loadRegion();
      break;
    case IDC_DEFAULT:
      params_ = kDefaultParameters;
      showParameters();
      break;
    default:
      break;
  }
}

void SettingsDialog::onClose() {
  controls_.destroyToolTips();
  controls_.endDialog(1);
}

void SettingsDialog::addRect() {
  if (controls_.runChildDialog(IDD_ADD_RECT) != 1 || region_ == nullptr) return;
  // A refused rectangle is dropped without a message.
  region_->AddRect(AddRectResult.include != 0, AddRectResult.left, AddRectResult.top,
                   AddRectResult.right, AddRectResult.bottom);
  FillRegionList(controls_, region_);
}

void SettingsDialog::deleteRect() {
  if (region_ == nullptr) return;
  int line = controls_.listSelection(IDC_REGION_LIST);
  if (line < 0) return;
  std::string text = controls_.listLineText(IDC_REGION_LIST, line);
  int id = 0;
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  char sign = 0;
  // The list holds only lines made by EntryText; a line without a leading
  // number names no rectangle.
  if (std::sscanf(text.c_str(), "%d. [ (%d,%d) - (%d,%d) ] %c", &id, &left, &top, &right, &bottom,
                  &sign) < 1) {
    return;
  }
  region_->DeleteRect(id);
  FillRegionList(controls_, region_);
}

void SettingsDialog::saveRegion() {
  if (region_ == nullptr) return;
  std::string path;
  if (!controls_.chooseFile(RegionFileRequest(true), path)) return;
  if (region_->SaveToFile(path.c_str()) == -1) {
    controls_.showErrorMessage("Can't save file.", "Error");
  }
}

void SettingsDialog::loadRegion() {
  if (region_ == nullptr) return;
  std::string path;
  if (!controls_.chooseFile(RegionFileRequest(false), path)) return;
  int32_t result = region_->LoadFromFile(path.c_str());
  if (result == 0) {
    FillRegionList(controls_, region_);
  } else if (result == -1) {
    controls_.showErrorMessage("Can't load this file.", "Error");
  }
}

}  // namespace wdi
