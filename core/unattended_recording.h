// Recording with nobody at the window: every tick to the file a pattern
// names, one file per symbol (and per day with `daily`), each added to
// across restarts. When the disk fails a file, the failure is told once and
// logged, and the file is tried again a minute later; ticks meanwhile are
// counted, and the count is logged once the file takes rows again. Events
// go to orvalda.log beside the recordings.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/recording_file.h"
#include "core/wall_time.h"
#include "platform/backend.h"
#include "platform/toolkit.h"

namespace orv {

class UnattendedRecording {
 public:
  // pattern: an absolute path with {symbol}, {date} and {time} fields.
  UnattendedRecording(Backend& backend, std::string pattern, bool daily);
  ~UnattendedRecording();
  UnattendedRecording(const UnattendedRecording&) = delete;
  UnattendedRecording& operator=(const UnattendedRecording&) = delete;

  // One tick's row, stamped `now`, for `symbol`'s file. `failure` gets the
  // text to show when the file failed just now.
  void record(const WallTime& now, const std::string& symbol, std::string_view row, std::string& failure);
  // A symbol was announced: its file opens (ending another symbol's).
  void follow(const WallTime& now, const std::string& symbol, std::string& failure);
  // The retry timer's period ended: the failed file is tried again.
  void retry(const WallTime& now, const std::string& symbol);

  bool isRecording() const noexcept { return file_ != nullptr; }
  bool isWaitingToRetry() const noexcept { return !failedPath_.empty(); }
  const std::string& pattern() const noexcept { return pattern_; }
  Timer& retryTimer() noexcept { return retryTimer_; }

 private:
  bool openFile(const WallTime& now, const std::string& symbol, std::string& failure);
  void fileFailed(const WallTime& now, const std::string& path, const std::string& message);
  void closeFile();
  void log(const WallTime& now, std::string_view folderOfPath, std::string_view text);

  Backend& backend_;
  std::string pattern_;
  bool daily_;
  Timer retryTimer_;
  std::unique_ptr<RecordingFile> file_;
  std::string fileSymbol_;
  std::uint32_t fileDay_ = 0;
  std::string failedPath_;               // the file that failed, while it is tried again
  std::uint64_t ticksNotRecorded_ = 0;   // since it failed
};

// Bytes as a log shows them: in double quotes, with quotes, backslashes and
// bytes that are not printable ASCII escaped ("\r", "\x1f").
std::string quotedBytes(std::string_view bytes);

}  // namespace orv
