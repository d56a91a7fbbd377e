// orvalda-export.exe's entry on Windows: with options, the command line run
// in the console; with only recordings (dropped on it) or none (the Start
// menu), the export dialog, filled in with them.
#pragma once

namespace orv::exporter {

int windowsMain(int argc, wchar_t** argv);

}  // namespace orv::exporter
