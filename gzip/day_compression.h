// One closed day's plain file compressed, safely at every step:
//  1. the new compressed file is written under the caller's temporary name
//     (PART, on the same volume; one gzip member: what NAME.gz held, then
//     the plain file's bytes it does not hold yet), flushed to the disk,
//  2. read back and compared with its sources, byte for byte,
//  3. the plain file held, so that nobody adds to it, and only when it can
//     be removed, PART renamed to NAME.gz, then
//  4. the plain file removed.
// A stop at any step loses nothing: until 3 the plain file and any earlier
// NAME.gz are as they were; after 3 the mark in NAME.gz's header says that
// the plain file is in it, and the next run only removes the plain file.
// The files go through DayFiles, which each platform provides.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "gzip/gzip_stream.h"

namespace orv::gzip {

class NewFile {
 public:
  virtual ~NewFile() = default;
  virtual bool write(const char* data, std::size_t size, std::string& error) = 0;
  // Writes what the system holds to the disk, and closes.
  virtual bool flushAndClose(std::string& error) = 0;
};

// A file held for its removal: while held, nobody may add to it or remove it.
class HeldFile {
 public:
  virtual ~HeldFile() = default;
  virtual bool remove(std::string& error) = 0;
};

class DayFiles {
 public:
  virtual ~DayFiles() = default;
  virtual bool exists(const std::string& path) = 0;
  virtual bool size(const std::string& path, std::uint64_t& bytes, std::string& error) = 0;
  // The file's bytes from its start; an empty function with the reason when it cannot be opened.
  virtual ReadFn openRead(const std::string& path, std::string& error) = 0;
  // A new file, replacing one of the name.
  virtual std::unique_ptr<NewFile> create(const std::string& path, std::string& error) = 0;
  // Renames `from` to `to`, replacing it.
  virtual bool replace(const std::string& from, const std::string& to, std::string& error) = 0;
  virtual bool remove(const std::string& path, std::string& error) = 0;
  // The file held for its removal; null, with the reason, when it could not
  // be removed now (a writer has it open).
  virtual std::unique_ptr<HeldFile> holdToRemove(const std::string& path, std::string& error) = 0;
};

struct DayCompression {
  bool done = false;
  std::string error;           // when not done: the step that failed, and why
  bool alreadyIn = false;      // the plain file was in the compressed one already: only removed
  std::uint64_t plainBytes = 0;    // taken from the plain file now
  std::uint64_t plainRows = 0;     // lines among them
  std::uint64_t earlierBytes = 0;  // plain bytes the compressed file held before
  std::uint64_t earlierRows = 0;
  std::uint64_t compressedBytes = 0;  // the compressed file's size after
};

// Compresses `plainPath` into `gzPath` (adding to what it holds) as above,
// through `partPath`.
DayCompression compressDay(DayFiles& files, const std::string& plainPath, const std::string& gzPath,
                           const std::string& partPath);

}  // namespace orv::gzip
