// The settings dialog: the method and thresholds of the option block and the
// processing region.
#pragma once
#include <cstdint>

#include "engine/deinterlace_parameters.h"
#include "region/rect_list.h"
#include "ui/dialog_controls.h"

namespace wdi {

// Makes list box 1034 show `region`, one line per rectangle; nothing when
// the region is missing. The list box sorts its lines as text.
void FillRegionList(DialogControls& controls, const CRectList* region);

extern const char kRegionFileFilter[];
extern const size_t kRegionFileFilterBytes;
// The file dialogs of "Save to file" and "Load from file".
FileDialogRequest RegionFileRequest(bool save);

class SettingsDialog {
 public:
  // `params` is the working copy the dialog edits; `region` may be null.
  SettingsDialog(DialogControls& controls, DeinterlaceParameters& params, CRectList* region)
      : controls_(controls), params_(params), region_(region) {}

  void onInit();
  // Told by the control id alone.
  void onCommand(int id);
  // The close box: ends with 1 without reading the controls.
  void onClose();

 private:
  void showParameters();
  void readParameters();
  void addRect();
  void deleteRect();
  void saveRegion();
  void loadRegion();

  DialogControls& controls_;
  DeinterlaceParameters& params_;
  CRectList* region_;
};

}  // namespace wdi
