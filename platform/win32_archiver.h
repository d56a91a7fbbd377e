// The archiver on Win32: one thread of its own takes the posted work in
// order; files through the wide functions, shared so that a recording can
// still open and add to a file being read. A file written is flushed to the
// disk (FlushFileBuffers) before it is closed; a rename replaces atomically.
#pragma once

#include "platform/win32.h"

#include <deque>
#include <string>
#include <vector>

#include "platform/archiver.h"

namespace orv {

class Win32Archiver : public Archiver {
 public:
  Win32Archiver() = default;
  // Waits a little for the work in hand, then lets the thread end with the process.
  ~Win32Archiver() override;
  Win32Archiver(const Win32Archiver&) = delete;
  Win32Archiver& operator=(const Win32Archiver&) = delete;
  void post(Work work) override;
  std::vector<ArchiveNote> takeNotes() override;

  // The files as the work gets them (usable on any thread).
  static ArchiveFiles& files();

 private:
  struct Shared;
  static DWORD WINAPI run(void* shared);
  Shared* shared_ = nullptr;  // with the thread; left to it when it does not end in time
  HANDLE thread_ = nullptr;
};

}  // namespace orv
