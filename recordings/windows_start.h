// How orvalda-check and orvalda-export start on Windows.
#pragma once

#include <string>
#include <vector>

namespace orv::recordings {

// wmain's arguments after the program's name, as UTF-8; a console the
// program writes to is told that its text is UTF-8 too.
std::vector<std::string> startArguments(int argc, wchar_t** argv);

// Started from Explorer (a dropped file, the Start menu), the console window
// is the program's alone: out of sight before a window of its own shows.
void hideOwnConsole();

// Recordings chosen in the open-file dialog of that title, one or several;
// none when cancelled (a failing dialog is told in a box of that caption).
std::vector<std::string> askForRecordings(const std::wstring& title);

}  // namespace orv::recordings
