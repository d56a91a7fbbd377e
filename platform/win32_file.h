// Files on Win32, as the raw file of backend.h: opened for appending only,
// so every write lands whole at the file's end whoever else adds to it;
// other programs may read (and add to) the file meanwhile. Paths are UTF-8
// and reach the system through the wide functions. Writers take turns with
// a lock on one byte far past the end. Every open file is flushed to the
// disk from a thread of its own, once a second after rows came, and once
// after it is closed: no write waits for the disk.
#pragma once

#include "platform/win32.h"

#include <memory>
#include <string>
#include <string_view>

#include "platform/backend.h"

namespace orv {

std::unique_ptr<RawFile> openWin32File(const std::string& path, FileOpening how, std::string& error);

// What the flush thread still holds of files closed (a handle, until their
// last rows are flushed) is let go now: the files can then be removed.
void letGoOfClosedFiles();

// The system's description of an error code, without its full stop and line
// break (the error display adds its own full stop); what it names with an
// insert ("%1") reads `subject`.
std::string systemErrorText(DWORD code, std::string_view subject = "the file");

}  // namespace orv
