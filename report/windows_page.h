// The tools' pages on Windows: a name in the temporary folder, and the page
// shown in the default browser, or where it went told when none starts.
#pragma once

#include <string>
#include <string_view>

namespace orv::report {

// %TEMP%\<program>-<the input's name without its last extension>-<date>-<time>-<process>.html
std::string temporaryPagePath(std::string_view program, const std::string& input);

// An error in a box of that caption.
void showErrorBox(const std::wstring& caption, const std::string& text);

// Opens the page in the default browser; when none starts, a box of that
// caption names where the page is. False then.
bool showPage(const std::string& path, const std::wstring& caption);

}  // namespace orv::report
