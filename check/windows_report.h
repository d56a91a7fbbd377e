// orvalda-check on Windows: the command line arrives as UTF-16, and a start
// with only files (dropped on the program) or with none (the Start-menu
// entry, which asks for them first) shows the page in the default browser.
#pragma once

namespace orv::check {

int windowsMain(int argc, wchar_t** argv);

}  // namespace orv::check
