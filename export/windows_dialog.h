// orvalda-export.exe's entry on Windows: with options, the command line run
// in the console; with only recordings (dropped on it) or none (the Start
// menu), the export dialog, filled in with them.
#pragma once

namespace orv::exporter {

// The dialog's window class and title, and its controls' numbers.
inline constexpr wchar_t kDialogClass[] = L"OrvaldaExport";
inline constexpr wchar_t kDialogTitle[] = L"Export a recording";
enum DialogControl : int {
  kFiles = 101, kAdd, kClear, kFormat, kTimeframe, kTemplate, kHeader, kFrom, kTo, kOut, kProgressBar, kExport, kOpen,
  kSummary, kRemove
};

int windowsMain(int argc, wchar_t** argv);

}  // namespace orv::exporter
