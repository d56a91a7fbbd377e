// orvalda-compare on Windows: the command line arrives as UTF-16; started
// with two recordings or folders (dropped on the program) or with none (the
// Start-menu entry, which asks for each side in turn), it shows the page in
// the default browser.
#pragma once

namespace orv::compare {

int windowsMain(int argc, wchar_t** argv);

}  // namespace orv::compare
