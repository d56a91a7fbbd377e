// The file of one recording, and the rules of adding to it, written once over
// the raw file both backends give:
//  - each row goes to the system with its CR LF in one write, at the file's
//    end, before the tick that brought it is answered: a program reading the
//    file meanwhile sees only whole rows, and every answered tick's row stays
//    in the file even when the process is killed; another program adding to
//    the same file never overwrites a row, nor has one overwritten;
//  - a file that is added to and ends in a row cut off (a crash in the middle
//    of a write) is cut back to the end of its last whole row first; the cut
//    bytes are handed back, for the log. A file with no line end at all (a
//    header without its own, or not a recording) is refused, untouched;
//  - a write that fails part way is cut back to where it began, and only when
//    the bytes there are still the ones this write left: a cut-back never
//    removes what another writer added, nor anything from before this run;
//  - every add and every cut-back is made holding the file's turn, which
//    every copy of this program takes the same way: another writer's row
//    cannot land between a look at the end and the cut that follows it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/backend.h"

namespace orv {

class RecordingFile {
 public:
  // A file started empty (the save dialog's choice: replaced when it is there).
  static std::unique_ptr<RecordingFile> create(FileOpener& files, const std::string& path, std::string& error);
  // A file added to, made with its folders when it is not there. `cutTail`
  // gets the bytes of a cut last row that were taken off, if any.
  static std::unique_ptr<RecordingFile> addTo(FileOpener& files, const std::string& path, std::string& cutTail,
                                              std::string& error);
  // Closes; a failure has nobody left to tell.
  ~RecordingFile();
  RecordingFile(const RecordingFile&) = delete;
  RecordingFile& operator=(const RecordingFile&) = delete;

  // Its answers are the call's own, as the raw file's are: the caller acts
  // on a failure at once (ends the file, tries again) and tells its owner.
  // Writes one row and its CR LF in one piece. False, with the system's
  // reason, when the write failed; what it left is cut back when that is safe.
  bool appendRow(std::string_view row, std::string& error);
  bool close(std::string& error);

  const std::string& path() const noexcept { return path_; }
  std::uint64_t rowsWritten() const noexcept { return rows_; }
  // The size the file had when this run began adding to it.
  std::uint64_t startSize() const noexcept { return runStart_; }

  // The lines the file held when this run began adding to it (its line
  // ends), read once from its start; false, without reading, when it held
  // more than `mostBytes`, or with the reason when the read failed.
  bool countLinesBefore(std::uint64_t mostBytes, std::uint64_t& lines, std::string& error);

  // How far back from its end an added-to file is searched for the end of
  // its last whole row.
  static constexpr std::uint64_t kLongestCutRow = 1 << 20;

 private:
  RecordingFile(std::unique_ptr<RawFile> file, std::string path, std::uint64_t runStart);
  void cutBackFailedWrite(std::size_t written);

  std::unique_ptr<RawFile> file_;
  std::string path_;
  std::uint64_t runStart_;  // the size the file had when this run began adding to it
  std::uint64_t rows_ = 0;
  std::string line_;  // the row with its line end; keeps its room from row to row
};

}  // namespace orv
