// Orvalda's few words on a console: the reply to its command line, when it
// was started from one.
#pragma once

#include <string_view>

namespace orv::app {

// Writes UTF-8 text (lines ended by "\n") where a console program's output
// would go (a file or a pipe gets UTF-8): the standard output (the error stream when `error`) when that is a
// console, a file or a pipe; else the console of the program that started
// Orvalda (cmd, PowerShell). False when there is neither, as when started
// from a shortcut or Explorer.
bool writeToConsole(std::string_view text, bool error);

}  // namespace orv::app
