// Child-window identifiers of the main window's controls (GetDlgCtrlID).
// Test automation and accessibility tools find the controls by them; the two
// check boxes are children of the group box.
#pragma once

namespace orv::ui {

enum ControlId : int {
  kIdTickLine = 101,
  kIdSilenceLine = 102,
  kIdRecordButton = 103,
  kIdCloseButton = 104,
  kIdTesterGroup = 105,
  kIdLiveBox = 106,
  kIdTestDataBox = 107,
};

}  // namespace orv::ui
