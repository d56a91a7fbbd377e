// Recording files through the C library, the same on Windows and elsewhere.
// The file is opened for binary writing: the recorder writes its own CR LF.
// Other programs may open it for reading while it is being recorded.
#pragma once

#include <memory>
#include <string>

#include "platform/backend.h"

namespace orv {

std::unique_ptr<OutputFile> openOutputFile(const std::string& path, std::string& error);

// The system's reason for the last failure of the C library, without a
// trailing full stop or line end (the error display adds its own).
std::string lastErrorText(int errnum);

}  // namespace orv
