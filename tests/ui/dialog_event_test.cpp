// The dialog procedures' common path: events reach the logic, and an allocation failure
// inside it ends as "not handled" instead of unwinding into the dialog manager.
#include "ui/dialog_event.h"

#include <gtest/gtest.h>

#include "support/alloc_failure.h"
#include "ui/add_rect_dialog.h"
#include "ui/dialog_ids.h"
#include "ui/fake_controls.h"
#include "ui/note_dialog.h"
#include "ui/settings_dialog.h"

namespace wdi {
namespace {

using test::FakeControls;

TEST(DialogEvent, ReachesTheLogicAndOnlyKnownEventsAreHandled) {
  FakeControls controls;
  DeinterlaceParameters params = kDefaultParameters;
  CRectList region;
  SettingsDialog settings(controls, params, &region);
  EXPECT_EQ(HandleDialogEvent(settings, DialogEvent::Init, 0), 1);
  EXPECT_EQ(controls.texts[IDC_SEARCH_AREA], "16");
  EXPECT_EQ(HandleDialogEvent(settings, DialogEvent::Other, 0), 0);
  EXPECT_EQ(HandleDialogEvent(settings, DialogEvent::Command, 2), 1);
  EXPECT_EQ(controls.ended, 2);  // Cancel
}

// Every allocation of opening each dialog and pressing OK, failed in turn.
TEST(DialogEvent, AllocationFailuresEndAsNotHandled) {
  CRectList region;
  region.AddRect(true, 0, 0, 719, 575);
  region.AddRect(false, 8, 8, 15, 15);
  DeinterlaceParameters params = kDefaultParameters;
  const auto sweep = [](auto&& open) {
    intptr_t init = 0, ok = 0;
    const int runs = test::SweepAllocationFailures(
        [&] {
          FakeControls controls;
          auto dialog = open(controls);
          init = HandleDialogEvent(dialog, DialogEvent::Init, 0);
          ok = HandleDialogEvent(dialog, DialogEvent::Command, 1);
        },
        [&](bool failed) {
          if (!failed) {
            EXPECT_EQ(init, 1);
            EXPECT_EQ(ok, 1);
          } else {
            EXPECT_TRUE(init == 0 || ok == 0);
          }
        });
    EXPECT_GT(runs, 0);  // the dialog allocated, so failures were tried
  };
  sweep([&](FakeControls& c) { return SettingsDialog(c, params, &region); });
  sweep([](FakeControls& c) { return AddRectDialog(c); });
  sweep([](FakeControls& c) { return NoteDialog(c); });
}

}  // namespace
}  // namespace wdi
