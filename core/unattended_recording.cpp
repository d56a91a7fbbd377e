#include "core/unattended_recording.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "core/activity_log.h"
#include "core/day_archive.h"
#include "core/file_pattern.h"
#include "core/tick_text.h"

namespace orv {

std::string quotedBytes(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (b < 0x20 || b >= 0x7f) {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

namespace {

std::int64_t msOf(const WallTime& t) { return sinceEpochOf(t).count(); }

std::string secondsText(std::int64_t ms) {
  return std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100) + " s";
}

}  // namespace

UnattendedRecording::UnattendedRecording(Backend& backend, std::string pattern, bool daily, bool compress)
    : backend_(backend), pattern_(std::move(pattern)), daily_(daily), compress_(compress) {}

UnattendedRecording::~UnattendedRecording() {
  if (!ended_) end(wallTimeOf(backend_.localNow()));
}

void UnattendedRecording::record(const WallTime& now, const std::string& symbol, std::string_view row,
                                 std::uint32_t bid, std::uint32_t ask, std::string& notice) {
  if (ended_) return;
  const std::int64_t ms = msOf(now);
  if (isWaitingToRetry()) {
    // Not yet time for the next try; a clock set back does not put it off.
    if (ms < nextTryMs_ && nextTryMs_ - ms <= retryDelayMs_) {
      ++ticksNotRecorded_;
      return;
    }
  } else if (file_ && (fileSymbol_ != symbol || (daily_ && needsAnotherDay(now, ms)))) {
    endFile(now);
  }
  if (!file_ && !openFile(now, symbol, notice)) {
    ++ticksNotRecorded_;
    return;
  }
  std::string reason;
  if (file_->appendRow(row, reason)) {
    if (isWaitingToRetry()) recovered(now, notice);
    countRow(ms, bid, ask);
    tend(now);
    return;
  }
  const std::string path = file_->path();
  endFile(now);
  ++ticksNotRecorded_;  // this one
  fileFailed(now, path, reason, notice);
}

void UnattendedRecording::follow(const WallTime& now, const std::string& symbol, std::string& notice) {
  if (ended_ || isWaitingToRetry()) return;  // the next try opens the new symbol's file
  if (file_) {
    if (fileSymbol_ == symbol) return;
    endFile(now);
  }
  openFile(now, symbol, notice);
  tend(now);
}

// The day the recording is at: its file's, or the clock's before there is one.
void UnattendedRecording::tend(const WallTime& now) {
  if (!compress_) return;
  for (const ArchiveNote& note : backend_.archiver().takeNotes()) log(now, note.nearPath, note.text);
  const std::uint32_t day = file_ ? fileDay_ : dayNumber(now);
  if (ended_ || day <= sweptDay_) return;
  sweptDay_ = day;
  std::vector<std::string> inUse;
  if (file_) inUse.push_back(file_->path());
  backend_.archiver().post([pattern = pattern_, day, inUse](ArchiveFiles& files) {
    return sweepClosedDays(files, pattern, day, inUse);
  });
}

void UnattendedRecording::end(const WallTime& now) {
  if (ended_) return;
  ended_ = true;
  if (file_) endFile(now);
  if (isWaitingToRetry())
    log(now, failedPath_,
        "Recording ended while " + failedPath_ + " still failed; " + std::to_string(ticksNotRecorded_) +
            " ticks were not recorded since " + secondsText(msOf(now) - failedAtMs_) + " before");
  failedPath_.clear();
}

// Forward to a later date always; back to an earlier one only when the
// clock went back by more than a small step.
bool UnattendedRecording::needsAnotherDay(const WallTime& now, std::int64_t ms) const {
  const std::uint32_t day = dayNumber(now);
  if (day > fileDay_) return true;
  return day < fileDay_ && latestMs_ - ms > kDayStepBackKeptMs;
}

// Opens the pattern's file for the symbol and this time, to add to it.
bool UnattendedRecording::openFile(const WallTime& now, const std::string& symbol, std::string& notice) {
  const std::string path = expandFilePattern(pattern_, symbol, now);
  std::string reason, cutTail;
  std::unique_ptr<RecordingFile> file = RecordingFile::addTo(backend_, path, cutTail, reason);
  if (!file) {
    fileFailed(now, path, reason, notice);
    return false;
  }
  if (!cutTail.empty())
    log(now, path, "Took the unfinished last row off " + path + " before adding to it: " + quotedBytes(cutTail));
  if (!isWaitingToRetry())
    log(now, path,
        "Recording to " + path +
            (file->startSize() == 0 ? std::string(", a new file")
                                    : ", added to its " + std::to_string(file->startSize()) + " bytes"));
  file_ = std::move(file);
  fileSymbol_ = symbol;
  fileDay_ = dayNumber(now);
  latestMs_ = msOf(now);
  stats_ = FileStats{};
  return true;
}

// A row reached the file again after a failure: the gap is logged and told,
// naming the file that failed and the one that records now.
void UnattendedRecording::recovered(const WallTime& now, std::string& notice) {
  const std::string& path = file_->path();
  const std::string lost = std::to_string(ticksNotRecorded_) + (ticksNotRecorded_ == 1 ? " tick" : " ticks") +
                           " could not be recorded in the " + secondsText(msOf(now) - failedAtMs_) + " since " +
                           failedPath_ + " failed (" + failureReason_ + ")";
  log(now, path, "Recording to " + path + " again; " + lost);
  notice = "Recording to " + path + " again; " + lost;
  failedPath_.clear();
  failureReason_.clear();
  ticksLostInLastGap_ = ticksNotRecorded_;
  ticksNotRecorded_ = 0;
  tries_ = 0;
}

// The first failure of a run of them is logged and told as it happens; the
// tries after it back off, and are summed up in the log once an hour.
void UnattendedRecording::fileFailed(const WallTime& now, const std::string& path, const std::string& reason,
                                     std::string& notice) {
  const std::int64_t ms = msOf(now);
  ++tries_;
  if (!isWaitingToRetry()) {
    failedPath_ = path;
    failureReason_ = reason;
    failedAtMs_ = lastSummaryMs_ = ms;
    retryDelayMs_ = kFirstRetryMs;
    notice = "Cannot record to " + path + ": " + reason + "; Orvalda tries again in a second, then less often, " +
             "and goes on recording as soon as it can";
    log(now, path, "Cannot record to " + path + ": " + reason + "; trying again from " + secondsText(kFirstRetryMs) +
                       " on, at most " + secondsText(kLongestRetryMs) + " apart");
  } else {
    failedPath_ = path;
    failureReason_ = reason;
    retryDelayMs_ = std::min(retryDelayMs_ * 2, kLongestRetryMs);
    if (ms - lastSummaryMs_ >= kFailureSummaryEveryMs || ms < lastSummaryMs_) {
      lastSummaryMs_ = ms;
      log(now, path,
          "Still cannot record to " + path + ": " + reason + "; " + std::to_string(tries_) + " tries and " +
              std::to_string(ticksNotRecorded_ + 1) + " ticks not recorded since " +
              secondsText(ms - failedAtMs_) + " before");
    }
  }
  nextTryMs_ = ms + retryDelayMs_;
}

void UnattendedRecording::countRow(std::int64_t ms, std::uint32_t bid, std::uint32_t ask) {
  if (stats_.rows > 0) {
    if (ms < stats_.lastMs) ++stats_.order;
    if (ms == stats_.lastMs && bid == stats_.lastBid && ask == stats_.lastAsk) ++stats_.repeats;
    stats_.longestSilenceMs = std::max(stats_.longestSilenceMs, ms - stats_.lastMs);
  }
  if (bid > ask) ++stats_.crossed;
  if (bid == ask) ++stats_.zeroSpreads;
  ++stats_.rows;
  stats_.lastMs = ms;
  stats_.lastBid = bid;
  stats_.lastAsk = ask;
  latestMs_ = std::max(latestMs_, ms);
}

void UnattendedRecording::endFile(const WallTime& now) {
  const std::string path = file_->path();
  std::string reason;
  const bool closed = file_->close(reason);
  file_.reset();
  if (stats_.rows == 0 && isWaitingToRetry()) return;  // a try that failed: its failure is what the log tells
  // The words orvalda-check uses for the same things.
  const auto counts = [](std::initializer_list<std::pair<std::uint64_t, const char*>> kinds) {
    std::string out;
    for (const auto& [n, kind] : kinds)
      if (n > 0) out += (out.empty() ? "" : ", ") + std::to_string(n) + " " + kind;
    return out.empty() ? std::string("none") : out;
  };
  log(now, path,
      "Ended " + path + ": " + std::to_string(stats_.rows) + (stats_.rows == 1 ? " row" : " rows") +
          ", longest silence " + secondsText(stats_.longestSilenceMs) + "; problems: " +
          counts({{stats_.order, "order"}, {stats_.crossed, "crossed"}}) + "; notes: " +
          counts({{stats_.repeats, stats_.repeats == 1 ? "repeat" : "repeats"},
                  {stats_.zeroSpreads, stats_.zeroSpreads == 1 ? "zero spread" : "zero spreads"}}) +
          (closed ? "" : "; closing it failed: " + reason));
}

void UnattendedRecording::log(const WallTime& now, const std::string& nearPath, std::string_view text) {
  std::string written = writeLogLine(backend_, nearPath, now, text);
  if (!written.empty()) logPath_ = std::move(written);
}

}  // namespace orv
