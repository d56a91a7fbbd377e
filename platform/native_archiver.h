// The archive files of the native build (the benchmark and the tests that
// stop a compression by killing it), through the standard library, for work
// run on the caller's thread. Paths are taken as the work gives them, with
// "\" read as "/".
#pragma once

#include "platform/archiver.h"

namespace orv {

ArchiveFiles& nativeArchiveFiles();

}  // namespace orv
