// Text at the Win32 boundary: the program keeps text as UTF-8 and hands it
// to the wide (…W) functions as UTF-16, so paths with any letters work
// whatever the system's ANSI code page.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orv {

std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);

// The process's arguments after the program's name, split by the usual
// Windows rules for quotes and backslashes, as UTF-8.
std::vector<std::string> commandLineArguments();

}  // namespace orv
