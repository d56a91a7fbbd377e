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

UnattendedRecording::UnattendedRecording(FileOpener& files, WallClock& clock, Archiver& archiver, std::string pattern,
                                         bool daily, bool compress)
    : opener_(files), clock_(clock), archiver_(archiver), pattern_(std::move(pattern)), daily_(daily), compress_(compress) {}

UnattendedRecording::~UnattendedRecording() {
  if (!ended_) end(wallTimeOf(clock_.localNow()));
}

void UnattendedRecording::record(const WallTime& now, const std::string& symbol, std::string_view row,
                                 const Quote& quote) {
  if (ended_) return;
  const std::int64_t ms = msOf(now);
  followDay(now, ms);
  // Not yet time for the next try; a clock set back does not put it off.
  if (isWaitingToRetry() && ms < nextTryMs_ && nextTryMs_ - ms <= retryDelayMs_) {
    ++ticksNotRecorded_;
    return;
  }
  if (!isCurrent(symbol) && !choose(now, symbol)) {
    ++ticksNotRecorded_;
    return;
  }
  std::string reason;
  if (current_->file->appendRow(row, reason)) {
    if (isWaitingToRetry()) recovered(now);
    countRow(current_->stats, ms, quote);
    return;
  }
  const std::string path = current_->file->path();
  endFile(now, current_);
  ++ticksNotRecorded_;  // this one
  fileFailed(now, path, reason);
}

void UnattendedRecording::follow(const WallTime& now, const std::string& symbol) {
  if (ended_ || isWaitingToRetry()) return;  // the next try opens the new symbol's file
  followDay(now, msOf(now));
  if (!isCurrent(symbol)) choose(now, symbol);
  tend(now);
}

// With `compress`: the notes of the compressions that ended go to the log,
// and closed days are swept when the date followed moves on, or a file of
// an earlier date was closed since (the files of the last few symbols stay
// open past midnight). The files open are in use and never touched.
void UnattendedRecording::tend(const WallTime& now) {
  if (!compress_) return;
  for (const ArchiveNote& note : archiver_.takeNotes()) log(now, note.text);
  const std::uint32_t day = followedDay_ != 0 ? followedDay_ : dayNumber(now);
  if (ended_ || (day <= sweptDay_ && !closedEarlierDay_)) return;
  sweptDay_ = std::max(sweptDay_, day);
  closedEarlierDay_ = false;
  std::vector<std::string> inUse;
  for (const auto& f : files_) inUse.push_back(f->file->path());
  archiver_.post([pattern = pattern_, day, inUse](ArchiveFiles& files) {
    return sweepClosedDays(files, pattern, day, inUse);
  });
}

void UnattendedRecording::end(const WallTime& now) {
  if (ended_) return;
  ended_ = true;
  while (!files_.empty()) endFile(now, files_.front().get());
  if (isWaitingToRetry())
    log(now,
        "Recording ended while " + failedPath_ + " still failed; " + std::to_string(ticksNotRecorded_) +
            " ticks were not recorded since " + secondsText(msOf(now) - failedAtMs_) + " before");
  failedPath_.clear();
}

// The date rows go to follows the clock to a later date always, and back to
// an earlier one only when the clock went back by more than a small step.
void UnattendedRecording::followDay(const WallTime& now, std::int64_t ms) {
  const std::uint32_t day = dayNumber(now);
  if (followedDay_ == 0 || day > followedDay_ || (day < followedDay_ && latestMs_ - ms > kDayStepBackKeptMs)) {
    followedDay_ = day;
    latestMs_ = ms;
  } else if (day == followedDay_ && ms > latestMs_) {
    latestMs_ = ms;
  }
}

bool UnattendedRecording::isCurrent(const std::string& symbol) const noexcept {
  return current_ != nullptr && current_->symbol == symbol && (!daily_ || current_->day == followedDay_);
}

// The symbol's file for the date followed becomes the current one: one
// kept open, or opened now. A file of the symbol for another date is done
// with; so is the one chosen longest ago when too many are open.
bool UnattendedRecording::choose(const WallTime& now, const std::string& symbol) {
  const std::uint32_t day = daily_ ? followedDay_ : 0;
  current_ = nullptr;
  for (std::size_t i = 0; i < files_.size();) {
    OpenFile& f = *files_[i];
    if (f.symbol != symbol) {
      ++i;
    } else if (f.day == day) {
      f.lastUse = ++choices_;
      current_ = &f;
      const std::int64_t quiet = msOf(now) - f.stats.lastMs;
      if (f.stats.rows > 0 && quiet >= kQuietSwitchLoggedMs)
        log(now, "Recording to " + f.file->path() + " again, after " + secondsText(quiet) + " without its rows");
      return true;
    } else {
      endFile(now, &f);
    }
  }
  if (files_.size() >= kFilesKeptOpen) {
    const OpenFile* oldest = files_.front().get();
    for (const auto& f : files_)
      if (f->lastUse < oldest->lastUse) oldest = f.get();
    endFile(now, oldest);
  }
  return openFile(now, symbol);
}

// Opens the pattern's file for the symbol, to add to it, named for the date
// followed (the latest stamp's, when the clock stepped back a little).
bool UnattendedRecording::openFile(const WallTime& now, const std::string& symbol) {
  const std::string path = expandFilePattern(pattern_, symbol, dayNumber(now) == followedDay_ ? now : wallTimeOf(std::chrono::milliseconds(latestMs_)));
  std::string reason, cutTail;
  std::unique_ptr<RecordingFile> file = RecordingFile::addTo(opener_, path, cutTail, reason);
  if (!file) {
    fileFailed(now, path, reason);
    return false;
  }
  if (!cutTail.empty())
    log(now, "Took the unfinished last row off " + path + " before adding to it: " + quotedBytes(cutTail));
  if (!isWaitingToRetry())
    log(now,
        "Recording to " + path +
            (file->startSize() == 0 ? std::string(", a new file")
                                    : ", added to its " + std::to_string(file->startSize()) + " bytes"));
  auto opened = std::make_unique<OpenFile>();
  opened->file = std::move(file);
  opened->symbol = symbol;
  opened->day = daily_ ? followedDay_ : 0;
  opened->lastUse = ++choices_;
  current_ = opened.get();
  files_.push_back(std::move(opened));
  return true;
}

// A row reached the file again after a failure: the gap is logged and told,
// naming the file that failed and the one that records now.
void UnattendedRecording::recovered(const WallTime& now) {
  const std::string path = current_->file->path();
  const std::uint64_t lost = ticksNotRecorded_;
  const std::string account = "Recording to " + path + " again; " + std::to_string(lost) +
                              (lost == 1 ? " tick" : " ticks") + " could not be recorded in the " +
                              secondsText(msOf(now) - failedAtMs_) + " since " + failedPath_ + " failed (" +
                              failureReason_ + ")";
  log(now, account);
  failedPath_.clear();
  failureReason_.clear();
  ticksNotRecorded_ = 0;
  tries_ = 0;
  if (onRecovered) onRecovered(path, lost, account);
}

// The first failure of a run of them is logged and told as it happens; the
// tries after it back off, and are summed up in the log once an hour.
void UnattendedRecording::fileFailed(const WallTime& now, const std::string& path, const std::string& reason) {
  const std::int64_t ms = msOf(now);
  const bool first = !isWaitingToRetry();
  ++tries_;
  failedPath_ = path;
  failureReason_ = reason;
  if (first) {
    failedAtMs_ = lastSummaryMs_ = ms;
    retryDelayMs_ = kFirstRetryMs;
    log(now, "Cannot record to " + path + ": " + reason + "; trying again from " + secondsText(kFirstRetryMs) +
                       " on, at most " + secondsText(kLongestRetryMs) + " apart");
  } else {
    retryDelayMs_ = std::min(retryDelayMs_ * 2, kLongestRetryMs);
    if (ms - lastSummaryMs_ >= kFailureSummaryEveryMs || ms < lastSummaryMs_) {
      lastSummaryMs_ = ms;
      log(now,
          "Still cannot record to " + path + ": " + reason + "; " + std::to_string(tries_) + " tries and " +
              std::to_string(ticksNotRecorded_ + 1) + " ticks not recorded since " +
              secondsText(ms - failedAtMs_) + " before");
    }
  }
  nextTryMs_ = ms + retryDelayMs_;
  if (first && onFailed) onFailed(path, reason);
}

void UnattendedRecording::countRow(FileStats& stats, std::int64_t ms, const Quote& quote) {
  if (stats.rows > 0) {
    if (ms < stats.lastMs) ++stats.order;
    if (ms == stats.lastMs && quote == stats.lastQuote) ++stats.repeats;
    stats.longestSilenceMs = std::max(stats.longestSilenceMs, ms - stats.lastMs);
  }
  if (quote.bid > quote.ask) ++stats.crossed;
  if (quote.bid == quote.ask) ++stats.zeroSpreads;
  ++stats.rows;
  stats.lastMs = ms;
  stats.lastQuote = quote;
}

void UnattendedRecording::endFile(const WallTime& now, const OpenFile* which) {
  auto it = files_.begin();
  while (it != files_.end() && it->get() != which) ++it;
  if (it == files_.end()) return;
  const std::unique_ptr<OpenFile> f = std::move(*it);
  files_.erase(it);
  if (current_ == f.get()) current_ = nullptr;
  if (daily_ && f->day < followedDay_) closedEarlierDay_ = true;
  const std::string path = f->file->path();
  std::string reason;
  const bool closed = f->file->close(reason);
  if (f->stats.rows == 0 && isWaitingToRetry()) return;  // a try that failed: its failure is what the log tells
  // The words orvalda-check uses for the same things.
  const auto counts = [](std::initializer_list<std::pair<std::uint64_t, const char*>> kinds) {
    std::string out;
    for (const auto& [n, kind] : kinds)
      if (n > 0) out += (out.empty() ? "" : ", ") + std::to_string(n) + " " + kind;
    return out.empty() ? std::string("none") : out;
  };
  log(now,
      "Ended " + path + ": " + std::to_string(f->stats.rows) + (f->stats.rows == 1 ? " row" : " rows") +
          ", longest silence " + secondsText(f->stats.longestSilenceMs) + "; problems: " +
          counts({{f->stats.order, "order"}, {f->stats.crossed, "crossed"}}) + "; notes: " +
          counts({{f->stats.repeats, f->stats.repeats == 1 ? "repeat" : "repeats"},
                  {f->stats.zeroSpreads, f->stats.zeroSpreads == 1 ? "zero spread" : "zero spreads"}}) +
          (closed ? "" : "; closing it failed: " + reason));
}

void UnattendedRecording::log(const WallTime& now, std::string_view text) {
  std::string written = writeLogLine(opener_, pattern_, now, text);
  if (!written.empty()) logPath_ = std::move(written);
}

}  // namespace orv
