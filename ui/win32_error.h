// Failures of the window system raised as the toolkit's errors, with the
// system's own description.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "platform/toolkit.h"
#include "platform/win32_file.h"

namespace orv::ui {

// "<what>: <the system's text for GetLastError()>", without its line break.
inline std::string lastErrorText(const char* what) {
  return std::string(what) + ": " + systemErrorText(GetLastError());
}

[[noreturn]] inline void throwLastError(const char* what) { throw Error(lastErrorText(what)); }

}  // namespace orv::ui
