// Child-window identifiers of the main window's controls (GetDlgCtrlID).
// Test automation and accessibility tools find the controls by them; the two
// check boxes are children of the group box.
#pragma once

namespace orv::ui {

enum ControlId : int {
  kIdTickLabel = 101,
  kIdNoTickLabel = 102,
  kIdBitBtn1 = 103,
  kIdBitBtn2 = 104,
  kIdGroupBox1 = 105,
  kIdLiveCheckBox = 106,
  kIdTestCheckBox = 107,
};

}  // namespace orv::ui
