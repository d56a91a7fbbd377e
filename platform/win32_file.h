// Recording files on Win32. Other programs may open a file for reading (and
// writing) while it is recorded. A write that fails part way is cut back, so
// the file always ends with a whole row.
#pragma once

#include "platform/win32.h"

#include <memory>
#include <string>

#include "platform/backend.h"

namespace orv {

// Creates or empties the file.
std::unique_ptr<OutputFile> openWin32File(const std::string& path, std::string& error);
// Opens the file at its end, creating it and the folders missing on its way;
// a failed write is cut back no further than the size it had when opened.
std::unique_ptr<OutputFile> appendWin32File(const std::string& path, AppendStart& start, std::string& error);

// The system's description of an error code, without its full stop and line
// break (the error display adds its own full stop).
std::string systemErrorText(DWORD code);

}  // namespace orv
