// The open CSV file of a recording. Each row goes to the system with its
// CR LF in one write before the tick that brought it is answered, so a
// program reading the file meanwhile sees only whole rows, and every row of
// an answered tick stays in the file even when the process is killed.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/backend.h"

namespace orv {

class RecordStream {
 public:
  RecordStream(std::unique_ptr<OutputFile> file, std::string path);
  // Closes; a failure has nobody left to tell.
  ~RecordStream();
  RecordStream(const RecordStream&) = delete;
  RecordStream& operator=(const RecordStream&) = delete;

  // Writes one row and its CR LF in one piece. False, with the system's
  // reason, when the write failed; the file then still ends with a whole row.
  bool appendRow(std::string_view row, std::string& error);
  bool close(std::string& error);

  const std::string& path() const noexcept { return path_; }

 private:
  std::unique_ptr<OutputFile> file_;
  std::string path_;
  std::string line_;  // the row with its line end; keeps its room from row to row
};

}  // namespace orv
