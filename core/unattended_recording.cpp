#include "core/unattended_recording.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "core/activity_log.h"
#include "core/day_archive.h"
#include "core/file_pattern.h"
#include "core/tick_text.h"

namespace orv {
namespace {

// Bytes as a log shows them: in double quotes, with quotes, backslashes and
// bytes that are not printable ASCII escaped ("\r", "\x1f").
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

std::int64_t msOf(const WallTime& t) { return sinceEpochOf(t).count(); }

std::string secondsText(std::int64_t ms) {
  return std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100) + " s";
}

}  // namespace

UnattendedRecording::UnattendedRecording(FileOpener& files, Archiver& archiver, std::string pattern, bool daily,
                                         bool compress)
    : opener_(files), archiver_(archiver), setup_{std::move(pattern), daily, compress} {}

// Stamped as the rows were (local time or UTC), never with a clock of its own.
UnattendedRecording::~UnattendedRecording() {
  if (state_ != State::Ended) end(wallTimeOf(std::chrono::milliseconds(followed_.latestMs)));
}

void UnattendedRecording::record(const WallTime& now, UtcClockValue instant, const std::string& symbol,
                                 std::string_view row, const Quote& quote) {
  if (state_ == State::Ended) return;
  const std::int64_t ms = msOf(now);
  followDay(now, ms);
  // Not yet time for the next try; a clock set back does not put it off.
  if (isWaitingToRetry() && ms < failure_.nextTryMs && failure_.nextTryMs - ms <= failure_.retryDelayMs) {
    ++failure_.ticksNotRecorded;
    return;
  }
  if (!isCurrent(symbol) && !choose(now, symbol)) {
    ++failure_.ticksNotRecorded;
    return;
  }
  std::string reason;
  if (open_.current->file->appendRow(row, reason)) {
    if (isWaitingToRetry()) recovered(now);
    countRow(open_.current->stats, ms, instant.time_since_epoch().count(), quote);
    return;
  }
  const std::string path = open_.current->file->path();
  endFile(now, open_.current);
  ++failure_.ticksNotRecorded;  // this one
  fileFailed(now, path, reason);
}

void UnattendedRecording::follow(const WallTime& now, const std::string& symbol) {
  if (state_ != State::Recording) return;  // while waiting to retry, the next try opens the new symbol's file
  followDay(now, msOf(now));
  if (!isCurrent(symbol)) choose(now, symbol);
  tend(now);
}

// With `compress`: the notes of the compressions that ended go to the log,
// and closed days are swept when the date followed moves on, or a file of
// an earlier date was closed since (the files of the last few symbols stay
// open past midnight). The files open are in use and never touched.
// A compression that failed is logged once, and tried again within a
// minute until it succeeds.
void UnattendedRecording::tend(const WallTime& now) {
  if (!setup_.compress) return;
  const std::int64_t ms = msOf(now);
  for (const ArchiveNote& note : archiver_.takeNotes()) {
    const auto told = std::find(compression_.failuresLogged.begin(), compression_.failuresLogged.end(), note.nearPath);
    if (note.failed && compression_.retryAtMs == 0) compression_.retryAtMs = ms + kCompressionRetryMs;
    if (note.failed && told != compression_.failuresLogged.end()) continue;
    if (note.failed) compression_.failuresLogged.push_back(note.nearPath);
    if (!note.failed && told != compression_.failuresLogged.end()) compression_.failuresLogged.erase(told);
    log(now, note.text);
  }
  const std::uint32_t day = followed_.day != 0 ? followed_.day : dayNumber(now);
  // A clock set back does not put the next try off.
  const std::int64_t retryAt = compression_.retryAtMs;
  const bool retryDue = retryAt != 0 && (ms >= retryAt || retryAt - ms > kCompressionRetryMs);
  if (state_ == State::Ended || (day <= compression_.sweptDay && !compression_.closedEarlierDay && !retryDue)) return;
  compression_.sweptDay = std::max(compression_.sweptDay, day);
  compression_.closedEarlierDay = false;
  compression_.retryAtMs = 0;
  std::vector<std::string> inUse;
  for (const auto& f : open_.files) inUse.push_back(f->file->path());
  archiver_.post([pattern = setup_.pattern, day, inUse](ArchiveFiles& files) {
    return sweepClosedDays(files, pattern, day, inUse);
  });
}

void UnattendedRecording::end(const WallTime& now) {
  if (state_ == State::Ended) return;
  while (!open_.files.empty()) endFile(now, open_.files.front().get());
  if (isWaitingToRetry())
    log(now,
        "Recording ended while " + failure_.path + " still failed; " + std::to_string(failure_.ticksNotRecorded) +
            " ticks were not recorded since " + secondsText(msOf(now) - failure_.atMs) + " before");
  state_ = State::Ended;
  failure_ = {};
}

// The date rows go to follows the clock to a later date always, and back to
// an earlier one only when the clock went back by more than a small step.
void UnattendedRecording::followDay(const WallTime& now, std::int64_t ms) {
  const std::uint32_t day = dayNumber(now);
  if (followed_.day == 0 || day > followed_.day ||
      (day < followed_.day && followed_.latestMs - ms > kDayStepBackKeptMs)) {
    followed_.day = day;
    followed_.latestMs = ms;
  } else if (day == followed_.day && ms > followed_.latestMs) {
    followed_.latestMs = ms;
  }
}

bool UnattendedRecording::isCurrent(const std::string& symbol) const noexcept {
  const OpenFile* current = open_.current;
  return current != nullptr && current->symbol == symbol && (!setup_.daily || current->day == followed_.day);
}

// The symbol's file for the date followed becomes the current one: one
// kept open, or opened now. A file of the symbol for another date is done
// with; so is the one chosen longest ago when too many are open.
bool UnattendedRecording::choose(const WallTime& now, const std::string& symbol) {
  const std::uint32_t day = setup_.daily ? followed_.day : 0;
  open_.current = nullptr;
  for (std::size_t i = 0; i < open_.files.size();) {
    OpenFile& f = *open_.files[i];
    if (f.symbol != symbol) {
      ++i;
    } else if (f.day == day) {
      f.lastUse = ++open_.choices;
      open_.current = &f;
      const std::int64_t quiet = msOf(now) - f.stats.lastMs;
      if (f.stats.rows > 0 && quiet >= kQuietSwitchLoggedMs)
        log(now, "Recording to " + f.file->path() + " again, after " + secondsText(quiet) + " without its rows");
      return true;
    } else {
      endFile(now, &f);
    }
  }
  if (open_.files.size() >= kFilesKeptOpen) {
    const OpenFile* oldest = open_.files.front().get();
    for (const auto& f : open_.files)
      if (f->lastUse < oldest->lastUse) oldest = f.get();
    endFile(now, oldest);
  }
  return openFile(now, symbol);
}

// Opens the pattern's file for the symbol, to add to it, named for the date
// followed (the latest stamp's, when the clock stepped back a little).
bool UnattendedRecording::openFile(const WallTime& now, const std::string& symbol) {
  const std::string path =
      expandFilePattern(setup_.pattern, symbol,
                        dayNumber(now) == followed_.day ? now : wallTimeOf(std::chrono::milliseconds(followed_.latestMs)));
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
  std::uint64_t lines = 0;
  std::string ignored;
  if (file->startSize() == 0 || file->countLinesBefore(kMostBytesCountedAtOpen, lines, ignored))
    opened->linesBefore = lines;
  opened->file = std::move(file);
  opened->symbol = symbol;
  opened->day = setup_.daily ? followed_.day : 0;
  opened->lastUse = ++open_.choices;
  open_.current = opened.get();
  open_.files.push_back(std::move(opened));
  return true;
}

// A row reached the file again after a failure: the gap is logged and told,
// naming the file that failed and the one that records now.
void UnattendedRecording::recovered(const WallTime& now) {
  const std::string path = open_.current->file->path();
  const std::uint64_t lost = failure_.ticksNotRecorded;
  const std::string account = "Recording to " + path + " again; " + std::to_string(lost) +
                              (lost == 1 ? " tick" : " ticks") + " could not be recorded in the " +
                              secondsText(msOf(now) - failure_.atMs) + " since " + failure_.path + " failed (" +
                              failure_.reason + ")";
  log(now, account);
  state_ = State::Recording;
  failure_ = {};
  if (onRecovered) onRecovered(path, lost, account);
}

// The first failure of a run of them is logged and told as it happens; the
// tries after it back off, and are summed up in the log once an hour.
void UnattendedRecording::fileFailed(const WallTime& now, const std::string& path, const std::string& reason) {
  const std::int64_t ms = msOf(now);
  const bool first = !isWaitingToRetry();
  ++failure_.tries;
  state_ = State::WaitingToRetry;
  failure_.path = path;
  failure_.reason = reason;
  if (first) {
    failure_.atMs = failure_.lastSummaryMs = ms;
    failure_.retryDelayMs = kFirstRetryMs;
    log(now, "Cannot record to " + path + ": " + reason + "; trying again from " + secondsText(kFirstRetryMs) +
                       " on, at most " + secondsText(kLongestRetryMs) + " apart");
  } else {
    failure_.retryDelayMs = std::min(failure_.retryDelayMs * 2, kLongestRetryMs);
    if (ms - failure_.lastSummaryMs >= kFailureSummaryEveryMs || ms < failure_.lastSummaryMs) {
      failure_.lastSummaryMs = ms;
      log(now,
          "Still cannot record to " + path + ": " + reason + "; " + std::to_string(failure_.tries) + " tries and " +
              std::to_string(failure_.ticksNotRecorded + 1) + " ticks not recorded since " +
              secondsText(ms - failure_.atMs) + " before");
    }
  }
  failure_.nextTryMs = ms + failure_.retryDelayMs;
  if (first && onFailed) onFailed(path, reason);
}

void UnattendedRecording::countRow(FileStats& stats, std::int64_t ms, std::int64_t instantMs, const Quote& quote) {
  if (stats.rows > 0) {
    if (instantMs < stats.lastInstantMs) ++stats.order;
    if (instantMs == stats.lastInstantMs && quote == stats.lastQuote) ++stats.repeats;
    stats.longestSilenceMs = std::max(stats.longestSilenceMs, instantMs - stats.lastInstantMs);
  }
  if (quote.bid > quote.ask) ++stats.crossed;
  if (quote.bid == quote.ask) ++stats.zeroSpreads;
  ++stats.rows;
  stats.lastMs = ms;
  stats.lastInstantMs = instantMs;
  stats.lastQuote = quote;
}

void UnattendedRecording::endFile(const WallTime& now, const OpenFile* which) {
  auto it = open_.files.begin();
  while (it != open_.files.end() && it->get() != which) ++it;
  if (it == open_.files.end()) return;
  const std::unique_ptr<OpenFile> f = std::move(*it);
  open_.files.erase(it);
  if (open_.current == f.get()) open_.current = nullptr;
  if (setup_.daily && f->day < followed_.day) compression_.closedEarlierDay = true;
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
  // This run's rows, and the lines the file holds with them (when it was
  // counted on opening).
  const auto many = [](std::uint64_t n, const char* one) { return std::to_string(n) + " " + one + (n == 1 ? "" : "s"); };
  const std::string inFile =
      f->linesBefore ? many(*f->linesBefore + f->stats.rows, "line") + " in the file"
                     : "the file's lines not counted (it held " + std::to_string(f->file->startSize()) + " bytes before)";
  log(now,
      "Ended " + path + ": " + many(f->stats.rows, "row") + " this run, " + inFile + ", longest silence " +
          secondsText(f->stats.longestSilenceMs) + "; problems: " +
          counts({{f->stats.order, "order"}, {f->stats.crossed, "crossed"}}) + "; notes: " +
          counts({{f->stats.repeats, f->stats.repeats == 1 ? "repeat" : "repeats"},
                  {f->stats.zeroSpreads, f->stats.zeroSpreads == 1 ? "zero spread" : "zero spreads"}}) +
          (closed ? "" : "; closing it failed: " + reason));
}

void UnattendedRecording::log(const WallTime& now, std::string_view text) {
  std::string written = writeLogLine(opener_, setup_.pattern, now, text);
  if (!written.empty()) logPath_ = std::move(written);
}

}  // namespace orv
