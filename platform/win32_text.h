// Text at the Win32 boundary: the program keeps text as UTF-8 and hands it
// to the wide (…W) functions as UTF-16, so paths with any letters work
// whatever the system's ANSI code page.
#pragma once

#include <string>
#include <string_view>

namespace orv {

std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);

}  // namespace orv
