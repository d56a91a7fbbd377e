// Work on whole files that must never hold up the window's thread: the
// compression of closed days. An Archiver runs the work it is given on a
// thread of its own, one piece after another, and hands back what the work
// had to tell; the window's thread only posts and collects, and never waits.
// The work gets the files through ArchiveFiles, and must use nothing else
// that the window's thread uses.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gzip/day_compression.h"

namespace orv {

struct FolderEntry {
  std::string name;
  bool isFolder = false;
  bool operator==(const FolderEntry&) const = default;
};

// The files as the work sees them; paths are UTF-8, folders separated by "\".
class ArchiveFiles : public gzip::DayFiles {
 public:
  // The names in a folder; a folder that is not there has none. False with
  // the reason when it cannot be read.
  virtual bool list(const std::string& folder, std::vector<FolderEntry>& entries, std::string& error) = 0;
};

// Something the work has to tell: a line for the log nearest `nearPath`.
struct ArchiveNote {
  std::string nearPath;
  std::string text;
  bool failed = false;  // the work on `nearPath` failed, and is to be tried again
  bool operator==(const ArchiveNote&) const = default;
};

class Archiver {
 public:
  using Work = std::function<std::vector<ArchiveNote>(ArchiveFiles& files)>;
  virtual ~Archiver() = default;
  // Runs `work` after the work posted before it; returns at once.
  virtual void post(Work work) = 0;
  // What the work that has ended had to tell, oldest first; returns at once.
  virtual std::vector<ArchiveNote> takeNotes() = 0;
};

}  // namespace orv
