// Failures of the window system raised as the toolkit's errors, with the
// system's own description.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "platform/toolkit.h"

namespace orv::ui {

// "<what>: <the system's text for GetLastError()>", without its line break.
inline std::string lastErrorText(const char* what) {
  const DWORD code = GetLastError();
  char buffer[512] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer,
                                sizeof(buffer), nullptr);
  while (length > 0 && (buffer[length - 1] == '\r' || buffer[length - 1] == '\n' || buffer[length - 1] == '.'))
    buffer[--length] = '\0';
  std::string text(what);
  if (length > 0) {
    text += ": ";
    text += buffer;
  } else {
    text += " (error " + std::to_string(code) + ")";
  }
  return text;
}

[[noreturn]] inline void throwLastError(const char* what) { throw Error(lastErrorText(what)); }

}  // namespace orv::ui
