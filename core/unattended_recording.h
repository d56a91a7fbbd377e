// Recording with nobody at the window: every tick to the file a pattern
// names, one file per symbol (and per day with `daily`), each added to
// across restarts. Its events go to the one orvalda.log of the pattern (in
// the folder it names before its first field), so a gap in a recording can
// be explained from the log alone:
//  - each file's start (new, or added to) and end, with its rows (this
//    run's, and the lines the file then holds), its longest silence and the
//    rows that look wrong (time going back, a row repeated, bid above ask),
//    judged by the instant each row was taken, as orvalda-check judges them
//    given the zone the stamps were written in: the hour repeated at the end
//    of summer time is no time going back;
//  - a failure, at the moment it happens; while it lasts, the file is tried
//    again at ticks, 1 s after the failure and then at doubling intervals up
//    to 10 s; a failure that goes on is summed up once an hour; the recovery
//    names the file that failed, the file that takes the rows again, and the
//    ticks lost between.
// With `daily`, the file follows the date of each tick in both directions,
// but a step back across midnight of up to an hour (a time sync, the end of
// daylight saving) keeps the date the rows go to, so rows never flip between
// two files: also when a file is opened again meanwhile (a symbol switch, an
// announcement, a retry).
// A feeder may switch symbols often: the files of the last few symbols stay
// open, so a switch costs no open, read or log line. The log tells a file's
// start and its end for good (the day moved on, too many other symbols came
// since, the recording ended), and a switch back to a file that took no row
// for a while.
// With `compress`, the files of days before the one followed are compressed
// off the window's thread (core/day_archive.h), at the start and whenever
// the day moves on; each compression is logged, a failure once, and tried
// again within a minute.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/quote.h"
#include "core/recording_file.h"
#include "core/wall_time.h"
#include "platform/backend.h"

namespace orv {

inline constexpr std::int64_t kFirstRetryMs = 1000;
inline constexpr std::int64_t kLongestRetryMs = 10000;
inline constexpr std::int64_t kDayStepBackKeptMs = 3600 * 1000;
inline constexpr std::int64_t kFailureSummaryEveryMs = 3600 * 1000;
inline constexpr std::size_t kFilesKeptOpen = 8;
inline constexpr std::int64_t kQuietSwitchLoggedMs = 60 * 1000;
inline constexpr std::int64_t kCompressionRetryMs = 30 * 1000;
// A file added to is counted through once when opened, up to this size;
// a larger one's lines are not counted (weeks of one symbol are not read
// at every start).
inline constexpr std::uint64_t kMostBytesCountedAtOpen = 16 << 20;

class UnattendedRecording {
 public:
  // pattern: an absolute path with {symbol}, {date} and {time} fields.
  UnattendedRecording(FileOpener& files, Archiver& archiver, std::string pattern, bool daily, bool compress = false);
  // Ends the files, logged, at the latest stamp it was given, unless end() did.
  ~UnattendedRecording();
  UnattendedRecording(const UnattendedRecording&) = delete;
  UnattendedRecording& operator=(const UnattendedRecording&) = delete;

  // One tick's row, stamped `now`, for `symbol`'s file; `instant`: when it
  // was taken, in UTC (the same reading as `now` under --utc).
  void record(const WallTime& now, UtcClockValue instant, const std::string& symbol, std::string_view row,
              const Quote& quote);
  // A symbol was announced: its file opens, or becomes the current one.
  void follow(const WallTime& now, const std::string& symbol);
  // Ends the files and any retries, logged; nothing is recorded after it.
  void end(const WallTime& now);
  // Each second or so, ticks or not (never on a tick's path): what the
  // compression of closed days has to tell is logged, and a new day's
  // compression begun.
  void tend(const WallTime& now);

  bool isWaitingToRetry() const noexcept { return state_ == State::WaitingToRetry; }
  const std::string& pattern() const noexcept { return setup_.pattern; }
  // The file rows go to, or the one that failed; empty before the first.
  const std::string& currentPath() const noexcept {
    return open_.current ? open_.current->file->path() : failure_.path;
  }
  std::uint64_t rowsInFile() const noexcept { return open_.current ? open_.current->stats.rows : 0; }
  const std::string& failureReason() const noexcept { return failure_.reason; }
  // orvalda.log as last written; empty before the first line.
  const std::string& logPath() const noexcept { return logPath_; }

  // What its owner is told, as it happens, from inside record() and
  // follow(). The recording shows nothing itself: its owner decides what
  // the user is told.
  // A failure began: `path` could not be opened or written, for `reason`.
  std::function<void(const std::string& path, const std::string& reason)> onFailed;
  // Rows reach `path` again after a failure; `ticksLost` could not be
  // recorded meanwhile; `account` tells the gap in the log's words.
  std::function<void(const std::string& path, std::uint64_t ticksLost, const std::string& account)> onRecovered;

 private:
  struct FileStats {
    std::uint64_t rows = 0;
    // As orvalda-check counts them. Problems: time going back (order), bid
    // above ask (crossed); notes, what real feeds send: the stamp and prices
    // of the row before (repeat), bid equal to ask (zero spread).
    std::uint64_t order = 0, crossed = 0, repeats = 0, zeroSpreads = 0;
    std::int64_t longestSilenceMs = 0;
    std::int64_t lastMs = 0;         // the last row's stamp
    std::int64_t lastInstantMs = 0;  // and its instant: order, repeats and silences are judged by these
    Quote lastQuote;
  };

  struct OpenFile {
    std::unique_ptr<RecordingFile> file;
    std::string symbol;
    std::uint32_t day = 0;      // with `daily`, the date it takes rows of
    std::uint64_t lastUse = 0;  // when it was last chosen, in choices
    std::optional<std::uint64_t> linesBefore;  // what it held when opened; none when not counted
    FileStats stats;
  };

  void followDay(const WallTime& now, std::int64_t ms);
  bool isCurrent(const std::string& symbol) const noexcept;
  bool choose(const WallTime& now, const std::string& symbol);
  bool openFile(const WallTime& now, const std::string& symbol);
  void recovered(const WallTime& now);
  void fileFailed(const WallTime& now, const std::string& path, const std::string& reason);
  static void countRow(FileStats& stats, std::int64_t ms, std::int64_t instantMs, const Quote& quote);
  void endFile(const WallTime& now, const OpenFile* which);
  void log(const WallTime& now, std::string_view text);

  FileOpener& opener_;
  Archiver& archiver_;
  // How it was started.
  struct Setup {
    std::string pattern;
    bool daily;
    bool compress;
  };
  const Setup setup_;
  enum class State { Recording, WaitingToRetry, Ended } state_ = State::Recording;
  // The files kept open: at most kFilesKeptOpen.
  struct OpenFiles {
    std::vector<std::unique_ptr<OpenFile>> files;
    OpenFile* current = nullptr;  // the one the last row went to
    std::uint64_t choices = 0;
  } open_;
  // The date rows go to, and the latest stamp since it was taken.
  struct DayFollowed {
    std::uint32_t day = 0;
    std::int64_t latestMs = 0;
  } followed_;
  // While waiting to retry: the failure, and the tries since it began.
  struct Failure {
    std::string path;
    std::string reason;
    std::int64_t atMs = 0;
    std::int64_t nextTryMs = 0;
    std::int64_t retryDelayMs = 0;
    std::int64_t lastSummaryMs = 0;
    std::uint64_t tries = 0;
    std::uint64_t ticksNotRecorded = 0;
  } failure_;
  // With `compress`: the sweeps of closed days.
  struct Compression {
    std::uint32_t sweptDay = 0;     // the day the last sweep was begun for
    bool closedEarlierDay = false;  // a file of an earlier day was closed since
    std::int64_t retryAtMs = 0;     // a compression failed: when the next sweep tries again; 0: none failed
    std::vector<std::string> failuresLogged;  // plain files whose failure was logged, until they succeed
  } compression_;
  std::string logPath_;
};

}  // namespace orv
