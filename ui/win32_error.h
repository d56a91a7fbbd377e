// Failures of the window system raised as the toolkit's errors, with the
// system's own description.
#pragma once

#include "platform/win32.h"

#include <string>

#include "platform/toolkit.h"
#include "platform/win32_file.h"

namespace orv::ui {

// Raises "<what>: <the system's text for GetLastError()>".
[[noreturn]] inline void throwLastError(const char* what) {
  throw Error(std::string(what) + ": " + systemErrorText(GetLastError()));
}

}  // namespace orv::ui
