#include "check/check_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <utility>

#include "core/option_reader.h"

namespace orv::check {

const char* const kCheckUsage =
    "usage: orvalda-check [options] FILE...\n"
    "Checks recordings in Orvalda's row format (pair,YYYYMMDD HH:MM:SS.mmm,bid,ask)\n"
    "and tells what is wrong or missing in them. FILE - reads standard input.\n"
    "\n"
    "  --json               the report as one JSON object, for scripts\n"
    "  --html FILE          also write the report as a page with the day drawn\n"
    "  --gap SECONDS        report silences longer than this (default 60)\n"
    "  --session SPEC       the weekly close, not counted as silence, on a zone's\n"
    "                       clock: \"Fri 17:00-Sun 17:00 America/New_York\" (the\n"
    "                       default), \"Fri 22:00-Sun 22:00 UTC\", or \"none\"\n"
    "  --from ZONE          the clock of the stamps: UTC (the default), +02:00,\n"
    "                       an IANA name (Europe/London) or NY+7\n"
    "  --utc-offset OFFSET  the same as a fixed offset: the stamps are local time\n"
    "                       this far ahead of UTC, e.g. +01:00 or -5\n"
    "  --text               the terminal summary only (on Windows, where files\n"
    "                       given alone are shown in the browser)\n"
    "  -h, --help           this text\n"
    "\n"
    "Exit code: 0 clean; 1 a problem or a silence found; 2 a bad command line or\n"
    "a file that cannot be read.\n"
    "On Windows, started with only files (dropped on it) or with none (a file\n"
    "dialog asks), it shows the page in the browser.\n";

namespace {

template <typename T>
bool readNumber(std::string_view text, T& out) {
  const auto r = std::from_chars(text.data(), text.data() + text.size(), out);
  return !text.empty() && r.ec == std::errc() && r.ptr == text.data() + text.size();
}

// "HH:MM" -> minutes of the day.
bool readClock(std::string_view text, int& minutes) {
  const std::size_t colon = text.find(':');
  int h = 0, m = 0;
  if (colon == std::string_view::npos || colon == 0 || colon > 2 || text.size() - colon != 3) return false;
  if (!readNumber(text.substr(0, colon), h) || !readNumber(text.substr(colon + 1), m) || h > 23 || m > 59 || h < 0 ||
      m < 0)
    return false;
  minutes = h * 60 + m;
  return true;
}

// "Fri 22:00" / "fri22:00" -> minutes from Sunday 00:00.
bool readWeekMoment(std::string_view text, int& minute) {
  static constexpr std::string_view kDays[7] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.size() < 3) return false;
  std::string day(text.substr(0, 3));
  for (char& c : day) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  const auto found = std::find(std::begin(kDays), std::end(kDays), day);
  if (found == std::end(kDays)) return false;
  text.remove_prefix(3);
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  int clock = 0;
  if (!readClock(text, clock)) return false;
  minute = static_cast<int>(found - std::begin(kDays)) * 1440 + clock;
  return true;
}

}  // namespace

bool parseWeeklyClose(std::string_view text, WeeklyClose& out, std::string& error) {
  error.clear();
  if (text == "none") {
    out = WeeklyClose{};
    out.none = true;
    return true;
  }
  const std::size_t dash = text.find('-');
  WeeklyClose w;
  if (dash == std::string_view::npos || !readWeekMoment(text.substr(0, dash), w.closeMinute)) return false;
  // "Sun 17:00", then the zone after a blank (New York's when none is given).
  std::string_view open = text.substr(dash + 1);
  while (!open.empty() && open.front() == ' ') open.remove_prefix(1);
  const std::size_t colon = open.find(':');
  if (colon == std::string_view::npos) return false;
  const std::size_t zoneAt = open.find_first_not_of(' ', std::min(open.size(), colon + 3));
  if (zoneAt != std::string_view::npos) {
    w.zone = zone::findZone(open.substr(zoneAt), error);
    if (!w.zone) return false;
    open = open.substr(0, zoneAt);
  }
  if (!readWeekMoment(open, w.openMinute) || w.closeMinute == w.openMinute) return false;
  out = w;
  return true;
}

bool parseUtcOffset(std::string_view text, std::int64_t& ms) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int hours = 0, minutes = 0;
  const std::size_t colon = text.find(':');
  if (colon != std::string_view::npos) {
    if (text.size() - colon != 3 || !readNumber(text.substr(colon + 1), minutes) || minutes < 0 || minutes > 59)
      return false;
    text = text.substr(0, colon);
  }
  if (text.empty() || text.size() > 2 || !readNumber(text, hours) || hours < 0 || hours * 60 + minutes > 14 * 60)
    return false;
  ms = (negative ? -1 : 1) * static_cast<std::int64_t>(hours * 60 + minutes) * 60000;
  return true;
}

CheckCommand parseCheckArgs(const std::vector<std::string>& args) {
  CheckCommand c;
  ReadCommand command = readOptionsAndFiles(args, {"--html", "--gap", "--session", "--from", "--utc-offset"}, {"--json", "--text"});
  c.files = std::move(command.files);
  c.anyOption = command.anyOption;
  const ReadOptions& read = command.read;
  c.help = read.help;
  c.error = read.error;
  if (c.help || !c.error.empty()) return c;
  for (const auto& [name, value] : read.given) {
    if ((name == "--from" || name == "--utc-offset") && !c.options.fromOption.empty()) {
      c.error = "--from and --utc-offset both name the stamps' clock: give one";
      return c;
    }
    if (name == "--json") {
      c.json = true;
    } else if (name == "--text") {
      c.textOnly = true;
    } else if (name == "--html") {
      if (value.empty()) {
        c.error = "--html needs a file name";
        return c;
      }
      c.htmlPath = value;
    } else if (name == "--gap") {
      double seconds = 0;
      if (!readNumber(std::string_view(value), seconds) || !std::isfinite(seconds) || seconds < 0.001 || seconds > 1e9) {
        c.error = "invalid value " + quotedText(value) + " for --gap: seconds, a number from 0.001 up";
        return c;
      }
      c.options.gapMs = std::llround(seconds * 1000);
    } else if (name == "--session") {
      std::string zoneError;
      if (!parseWeeklyClose(value, c.options.session, zoneError)) {
        c.error = "invalid value " + quotedText(value) + " for --session: " +
                  (zoneError.empty() ? "e.g. \"Fri 17:00-Sun 17:00 America/New_York\", \"Fri 22:00-Sun 22:00 UTC\" or \"none\""
                                     : zoneError);
        return c;
      }
    } else if (name == "--utc-offset") {
      std::int64_t ms = 0;
      if (!parseUtcOffset(value, ms)) {
        c.error = "invalid value " + quotedText(value) + " for --utc-offset: hours ahead of UTC, e.g. +01:00, -5 or +5:30";
        return c;
      }
      // The same clock as --from +HH:MM.
      char offset[16];
      const std::int64_t minutes = (ms < 0 ? -ms : ms) / 60000;
      std::snprintf(offset, sizeof offset, "%c%02d:%02d", ms < 0 ? '-' : '+', static_cast<int>(minutes / 60),
                    static_cast<int>(minutes % 60));
      std::string zoneError;
      c.options.from = zone::findZone(offset, zoneError);
      c.options.fromOption = name;
    } else if (name == "--from") {
      std::string zoneError;
      c.options.from = zone::findZone(value, zoneError);
      if (!c.options.from) {
        c.error = "invalid value " + quotedText(value) + " for --from: " + zoneError;
        return c;
      }
      c.options.fromOption = name;
    }
  }
  return c;
}

}  // namespace orv::check
