// What the notification-area icon says: its tooltip, built from a snapshot of
// the program's state (the recording and its file, the feed, the tester), and
// the notices shown beside it that nobody has to answer. Every text fits the
// room the notification area gives it (backend.h); paths are cut to their
// file names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/backend.h"

namespace orv {

enum class TesterUse { NotInUse, Looking, Linked };

struct NotificationSnapshot {
  bool recording = false;       // a recording is on: the user's, or a pattern's from the start
  std::string file;             // the file it records to; empty before the first
  std::uint64_t rows = 0;       // rows this run wrote to that file
  std::string failure;          // while a failed file waits to be tried again: why it failed
  bool ticksSeen = false;       // a feeder has sent a tick
  std::int64_t secondsSinceTick = 0;
  TesterUse tester = TesterUse::NotInUse;
};

// Two lines: the feed and the recording, then the tester.
//   "Recording EURUSD-20261207.csv · 48,213 rows · last tick 2 s ago\nLinked to Zentavor"
std::string notificationTip(const NotificationSnapshot& snapshot);

struct Notice {
  NoticeKind kind = NoticeKind::Info;
  std::string title;
  std::string text;
  bool operator==(const Notice&) const = default;
};

Notice recordingFailedNotice(std::string_view path, std::string_view reason);
Notice recordingRecoveredNotice(std::string_view path, std::uint64_t ticksLost);
Notice testerLostNotice(std::uint64_t ticksNotPassedOn, bool lookingAgain);
Notice testerFoundNotice();

// UTF-16 code units of a UTF-8 text: what the window system's text fields count.
std::size_t utf16Units(std::string_view utf8) noexcept;
// The text, cut to at most maxUnits UTF-16 units between two characters and
// ended with "…" when it had to be cut.
std::string fitted(std::string_view utf8, std::size_t maxUnits);
// The last part of a path: "EURUSD-20261207.csv" for "D:\ticks\EURUSD-20261207.csv".
std::string_view fileNameOf(std::string_view path) noexcept;
// "48,213"
std::string groupedNumber(std::uint64_t n);

}  // namespace orv
