#include "core/notification_text.h"

#include <algorithm>

#include "core/protocol.h"

namespace orv {

namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";  // "…", one unit
constexpr std::string_view kDot = " \xC2\xB7 ";         // " · "

bool isContinuation(char c) noexcept { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// A character that needs two UTF-16 units (four UTF-8 bytes) starts with 0xF0 or above.
std::size_t unitsOfLead(char c) noexcept {
  if (isContinuation(c)) return 0;
  return static_cast<unsigned char>(c) >= 0xF0 ? 2 : 1;
}

std::string sinceText(std::int64_t seconds) {
  seconds = std::max<std::int64_t>(seconds, 0);  // a clock set back
  if (seconds < 120) return std::to_string(seconds) + " s";
  if (seconds < 120 * 60) return std::to_string(seconds / 60) + " min";
  return std::to_string(seconds / 3600) + " h";
}

std::string lastTickText(const NotificationSnapshot& s) {
  return s.ticksSeen ? "last tick " + sinceText(s.secondsSinceTick) + " ago" : std::string("no tick yet");
}

std::string testerLine(TesterUse tester) {
  switch (tester) {
    case TesterUse::Linked: return std::string("Linked to ") + kTesterTitle;
    case TesterUse::Looking: return std::string("Looking for ") + kTesterTitle;
    case TesterUse::NotInUse: break;
  }
  return std::string(kTesterTitle) + " not in use";
}

// before + name + after in `room`: the name gives way first, then the end.
std::string withName(std::string_view before, std::string_view name, std::string_view after, std::size_t room) {
  const std::size_t around = utf16Units(before) + utf16Units(after);
  const std::size_t nameRoom = room > around ? room - around : 0;
  std::string text(before);
  text += fitted(name, std::max<std::size_t>(nameRoom, 8));
  text += after;
  return fitted(text, room);
}

}  // namespace

std::size_t utf16Units(std::string_view utf8) noexcept {
  std::size_t units = 0;
  for (const char c : utf8) units += unitsOfLead(c);
  return units;
}

std::string fitted(std::string_view utf8, std::size_t maxUnits) {
  if (utf16Units(utf8) <= maxUnits) return std::string(utf8);
  if (maxUnits == 0) return std::string();
  std::size_t units = 0, end = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const std::size_t u = unitsOfLead(utf8[i]);
    if (u == 0) continue;
    if (units + u > maxUnits - 1) break;  // room for the ellipsis
    units += u;
    end = i + 1;
    while (end < utf8.size() && isContinuation(utf8[end])) ++end;
  }
  return std::string(utf8.substr(0, end)) + std::string(kEllipsis);
}

std::string_view fileNameOf(std::string_view path) noexcept {
  const std::size_t at = path.find_last_of("\\/");
  return at == std::string_view::npos ? path : path.substr(at + 1);
}

std::string groupedNumber(std::uint64_t n) {
  const std::string digits = std::to_string(n);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string notificationTip(const NotificationSnapshot& s) {
  const std::string second = testerLine(s.tester);
  const std::size_t room = kNotificationTextUnits - utf16Units(second) - 1;  // and the line break
  const std::string_view name = fileNameOf(s.file);
  std::string first;
  if (!s.failure.empty())
    first = withName("Trying again to record ", name, " (" + s.failure + ")", room);
  else if (s.recording && !name.empty())
    first = withName("Recording ", name,
                     std::string(kDot) + groupedNumber(s.rows) + (s.rows == 1 ? " row" : " rows") +
                         std::string(kDot) + lastTickText(s),
                     room);
  else if (s.recording)
    first = "Waiting for a feeder; recording from its first tick";
  else if (s.ticksSeen)
    first = "Not recording" + std::string(kDot) + lastTickText(s);
  else
    first = "Waiting for a feeder";
  return first + "\n" + second;
}

Notice recordingFailedNotice(std::string_view path, std::string_view reason) {
  const std::string name(fileNameOf(path));
  return {NoticeKind::Warning, "Orvalda cannot record",
          fitted("Cannot record to " + name + ": " + std::string(reason) +
                     ". Orvalda tries again and goes on recording as soon as it can.",
                 kNoticeTextUnits)};
}

Notice recordingRecoveredNotice(std::string_view path, std::uint64_t ticksLost) {
  const std::string name(fileNameOf(path));
  return {NoticeKind::Info, "Orvalda records again",
          fitted("Recording to " + name + " again; " + groupedNumber(ticksLost) +
                     (ticksLost == 1 ? " tick was" : " ticks were") + " lost.",
                 kNoticeTextUnits)};
}

Notice testerLostNotice(std::uint64_t ticksNotPassedOn, bool lookingAgain) {
  std::string text = std::string(kTesterTitle) + " closed its window";
  if (ticksNotPassedOn > 0)
    text += "; " + groupedNumber(ticksNotPassedOn) + (ticksNotPassedOn == 1 ? " tick was" : " ticks were") +
            " not passed on to it";
  text += lookingAgain ? ". Orvalda looks for it and passes ticks on again once it is back." : ".";
  return {NoticeKind::Warning, std::string(kTesterTitle) + " is gone", text};
}

Notice testerFoundNotice() {
  return {NoticeKind::Info, std::string(kTesterTitle) + " found",
          std::string("Orvalda passes ticks on to ") + kTesterTitle + " from now on."};
}

}  // namespace orv
