// Failures of the window system raised as the toolkit's errors, with the
// system's own description.
#pragma once

#include "platform/win32.h"

#include <string>

#include "platform/toolkit.h"
#include "platform/win32_file.h"

namespace orv::ui {

// Raises "<what>: <the system's text for GetLastError()>", which may name `subject`.
[[noreturn]] inline void throwLastError(const char* what, std::string_view subject = "the file") {
  throw Error(std::string(what) + ": " + systemErrorText(GetLastError(), subject));
}

}  // namespace orv::ui
