#include "check/reports.h"

#include <algorithm>
#include <cstdio>

#include "report/texts.h"

namespace orv::check {

namespace {

constexpr const char* kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

std::string weekMinuteText(int minute) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%s %02d:%02d", kDayNames[(minute / 1440) % 7], minute % 1440 / 60, minute % 60);
  return buf;
}

}  // namespace

std::string timeBasisText(const CheckOptions& options) {
  if (!options.from) return "stamps taken as UTC (no --from given)";
  if (options.fromOption == "--utc-offset") return "stamps taken as UTC" + options.from->name() + " (--utc-offset)";
  return "stamps on the clock of " + options.from->name() + " (" + options.fromOption + ")";
}

std::string weeklyCloseText(const WeeklyClose& close) {
  if (close.none) return "none";
  return weekMinuteText(close.closeMinute) + " to " + weekMinuteText(close.openMinute) + " " +
         (close.zone ? close.zone->name() : std::string("UTC"));
}

namespace {

// "line 3", "lines 3, 4, ..."
std::string linesText(const NoteCount& n) {
  std::string lines;
  for (std::uint64_t line : n.lines) lines += (lines.empty() ? "" : ", ") + std::to_string(line);
  if (n.count > n.lines.size()) lines += ", ...";
  return (n.count == 1 ? "line " : "lines ") + lines;
}

}  // namespace

std::string notesText(const FileReport& file) {
  std::string out;
  for (std::size_t k = 0; k < kNoteKinds; ++k) {
    const NoteCount& n = file.notes[k];
    if (n.count == 0) continue;
    out += (out.empty() ? "" : "; ") + std::to_string(n.count) + " " + std::string(kindName(static_cast<NoteKind>(k))) +
           (n.count == 1 ? "" : "s") + " (" + linesText(n) + ")";
  }
  for (const FileReport::Symbol& s : file.symbols) {
    const NoteCount& n = s.otherDigits;
    if (n.count == 0) continue;
    out += (out.empty() ? "" : "; ") + readable(s.pair) + " digits: " + plural(n.count, "row", "rows") +
           (s.someFiner ? " with other than its " : " with fewer than its ") +
           std::to_string(s.digits) + " decimals (" + linesText(n) + ")";
  }
  return out;
}

std::string gapBucketsText(const FileReport& file) {
  static constexpr const char* kNames[kGapBuckets] = {"1 min", "5 min", "30 min", "1 h"};
  std::string out;
  for (std::size_t b = 0; b < kGapBuckets; ++b)
    out += (b == 0 ? "> " : ", > ") + std::string(kNames[b]) + " " + std::to_string(file.gapBuckets[b]);
  return out;
}

std::string symbolRowsText(const FileReport& file) {
  std::string out;
  const std::size_t shown = std::min(file.pairs.size(), kKeptPairs);
  for (std::size_t k = 0; k < shown; ++k)
    out += (out.empty() ? "" : ", ") + readable(file.pairs[k].pair) + " " + std::to_string(file.pairs[k].rows);
  if (file.pairs.size() > shown) out += " and " + plural(file.pairs.size() - shown, "more pair", "more pairs");
  return out;
}

std::string ticksPerHourText(const FileReport::Symbol& pair) {
  return "ticks per hour: min " + std::to_string(pair.ticksPerHour.min()) + ", median " +
         std::to_string(pair.ticksPerHour.quantile(0.5)) + ", max " + std::to_string(pair.ticksPerHour.max());
}

std::string spreadText(const FileReport::Symbol& pair) {
  return "spread in points of " + std::to_string(pair.digits) + (pair.digits == 1 ? " decimal" : " decimals") + ": min " +
         std::to_string(pair.spread.min()) + ", median " + std::to_string(pair.spread.quantile(0.5)) +
         ", 99th percentile " + std::to_string(pair.spread.quantile(0.99)) + ", max " + std::to_string(pair.spread.max());
}

std::string symbolChangesText(const FileReport& file) {
  std::string lines;
  for (const SymbolChange& c : file.symbolChanges) lines += (lines.empty() ? "" : ", ") + std::to_string(c.line);
  if (file.symbolChangeCount > file.symbolChanges.size()) lines += ", ...";
  const SymbolChange& first = file.symbolChanges.front();
  return plural(file.symbolChangeCount, "pair change", "pair changes") + " (" +
         (file.symbolChangeCount == 1 ? "line " : "lines ") + lines + "), the first from " + readable(first.from) + " to " +
         readable(first.to);
}

std::string weeklyCloseRule(const WeeklyClose& close) {
  if (close.none) return "every silence counts, the weekly close too (--session none)";
  return "the weekly close, " + weeklyCloseText(close) + ", is not counted as silence";
}

std::string verdictText(const FileReport& file) {
  if (!file.error.empty()) return file.notARecording ? "not a recording" : "not read";
  const std::string notes = notesText(file);
  if (file.clean()) return notes.empty() ? "clean" : "clean, with notes: " + notes;
  std::string out;
  if (file.problemTotal() > 0) out = plural(file.problemTotal(), "problem", "problems");
  if (file.silenceCount > 0) out += (out.empty() ? "" : ", ") + plural(file.silenceCount, "silence", "silences");
  return out;
}

std::string lineEndsText(const FileReport& file) {
  static constexpr const char* kNames[recordings::kLineEnds] = {"CR LF", "LF", "CR", "none"};
  std::string out;
  int kinds = 0;
  for (std::size_t i = 0; i < recordings::kLineEnds - 1; ++i) kinds += file.lineEnds[i] > 0;
  for (std::size_t i = 0; i < recordings::kLineEnds - 1; ++i) {
    if (file.lineEnds[i] == 0) continue;
    if (!out.empty()) out += ", ";
    out += kinds > 1 ? std::to_string(file.lineEnds[i]) + " " + kNames[i] : kNames[i];
  }
  return out.empty() ? "none" : out;
}

std::vector<std::string> fileRemarks(const FileReport& file) {
  std::vector<std::string> notes;
  if (!file.error.empty()) return notes;
  if (file.bytes == 0) notes.push_back("the file is empty: no rows");
  if (file.header) notes.push_back("line 1 names the columns (a header): no row, and no problem");
  if (file.linesWithNul > 0)
    notes.push_back(plural(file.linesWithNul, "line holds", "lines hold") + " NUL bytes: a binary file, or one damaged by a crash");
  const std::uint64_t otherEnds = file.lineEnds[1] + file.lineEnds[2];
  if (otherEnds > 0)
    notes.push_back("line ends " + lineEndsText(file) + ", where Orvalda writes CR LF; read as line ends all the same");
  if (file.byteOrderMark) notes.push_back("the file starts with a UTF-8 byte-order mark, which Orvalda never writes");
  for (std::size_t k = 0; k < kProblemKinds; ++k) {
    if (file.problemCount[k] > kKeptPerKind)
      notes.push_back("only the first " + std::to_string(kKeptPerKind) + " of " + std::to_string(file.problemCount[k]) + " " +
                      std::string(kindName(static_cast<ProblemKind>(k))) + " problems are listed");
  }
  if (file.silenceCount > file.silences.size())
    notes.push_back("only the first " + std::to_string(file.silences.size()) + " of " +
                    std::to_string(file.silenceCount) + " silences are listed");
  return notes;
}

// ---------------------------------------------------------------------------
// The terminal summary

std::string textReport(const std::vector<FileReport>& files, const CheckOptions& options) {
  std::string out;
  const auto line = [&](const std::string& s) { out += s + "\n"; };
  for (const FileReport& f : files) {
    line(readable(f.path, 400) + ": " + verdictText(f));
    if (!f.error.empty()) {
      line("  " + f.error);
      continue;
    }
    const std::string symbols = f.pairs.size() > 1 ? symbolRowsText(f) : f.pairs.empty() ? "" : readable(f.pairs[0].pair);
    line("  " + plural(f.rows, "row", "rows") + (symbols.empty() ? "" : " of " + symbols) + " in " +
         plural(f.lines, "line", "lines") + ", " + plural(f.bytes, "byte", "bytes") + ", line ends " + lineEndsText(f));
    if (f.rows > 0) {
      line("  first " + readable(f.first) + " (line " + std::to_string(f.firstLine) + "), last " + readable(f.last) +
           " (line " + std::to_string(f.lastLine) + ")");
      for (const FileReport::Symbol& pair : f.symbols) {
        if (pair.rows == 0) continue;
        line("  " + readable(pair.pair) + ": " + plural(pair.rows, "row", "rows") + ", first " + readable(pair.first) +
             ", last " + readable(pair.last));
        line("    " + ticksPerHourText(pair) + " (" + plural(pair.ticksPerHour.count(), "clock hour", "clock hours") +
             " with ticks)");
        line("    " + spreadText(pair));
      }
    }
    if (f.symbolChangeCount > 0) line("  " + symbolChangesText(f));
    line("  " + timeBasisText(options) + "; " + weeklyCloseRule(options.session));
    const std::string silenceHead = "  silences longer than " + shortSecondsText(options.gapMs) + ": ";
    if (f.silenceCount == 0) {
      line(silenceHead + "none");
    } else {
      line(silenceHead + std::to_string(f.silenceCount));
      constexpr std::size_t kShown = 20;
      for (std::size_t i = 0; i < f.silences.size() && i < kShown; ++i) {
        const Silence& s = f.silences[i];
        std::string text = "    " + readable(s.from) + " to " + readable(s.to) + ", " + durationText(s.toMs - s.fromMs);
        if (!s.file.empty()) text += " (from the end of " + readable(s.file, 200) + ")";
        if (s.openMs != s.toMs - s.fromMs) text += " (" + durationText(s.openMs) + " of it outside the weekly close)";
        line(text + ", line " + std::to_string(s.line));
      }
      if (f.silenceCount > kShown) line("    ... and " + std::to_string(f.silenceCount - kShown) + " more");
    }
    if (f.rows > 0) line("  silences by length: " + gapBucketsText(f));
    if (f.problemTotal() == 0) {
      line("  problems: none");
    } else {
      line("  problems:");
      for (std::size_t k = 0; k < kProblemKinds; ++k) {
        if (f.problemCount[k] == 0) continue;
        const auto kind = static_cast<ProblemKind>(k);
        std::vector<const Problem*> of;
        for (const Problem& p : f.problems)
          if (p.kind == kind && of.size() < 5) of.push_back(&p);
        std::string lines;
        for (const Problem* p : of) lines += (lines.empty() ? "" : ", ") + std::to_string(p->line);
        if (f.problemCount[k] > of.size()) lines += ", ...";
        char head[64];
        std::snprintf(head, sizeof head, "    %-10s %6llu  %s ", std::string(kindName(kind)).c_str(),
                      static_cast<unsigned long long>(f.problemCount[k]), f.problemCount[k] == 1 ? "line" : "lines");
        line(head + lines + (f.problemCount[k] == 1 ? ": " : "; first: ") + of.front()->text);
      }
    }
    const std::string notes = notesText(f);
    line("  notes (what real feeds send, no problem): " + (notes.empty() ? std::string("none") : notes));
    for (const std::string& remark : fileRemarks(f)) line("  remark: " + remark);
  }
  return out;
}

// ---------------------------------------------------------------------------
// JSON

namespace {

std::string jsonString(std::string_view bytes, std::size_t maxBytes = 400) {
  const std::string text = readable(bytes, maxBytes);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

namespace {

// "\"count\": 2, \"lines\": [3, 4]"
std::string jsonCountAndLines(const NoteCount& note) {
  std::string out = "\"count\": " + std::to_string(note.count) + ", \"lines\": [";
  for (std::size_t l = 0; l < note.lines.size(); ++l) out += (l == 0 ? "" : ", ") + std::to_string(note.lines[l]);
  return out + "]";
}

}  // namespace

std::string jsonReport(const std::vector<FileReport>& files, const CheckOptions& options) {
  std::string out = "{\"files\": [";
  for (std::size_t i = 0; i < files.size(); ++i) {
    const FileReport& f = files[i];
    const auto n = [](std::uint64_t v) { return std::to_string(v); };
    const auto stamp = [&](const std::string& s) { return f.rows > 0 ? jsonString(s) : std::string("null"); };
    out += i == 0 ? "\n  " : ",\n  ";
    out += "{\"path\": " + jsonString(f.path, 4000);
    if (!f.error.empty()) {
      out += ", \"error\": " + jsonString(f.error, 4000) + "}";
      continue;
    }
    out += ", \"rows\": " + n(f.rows) + ", \"first\": " + stamp(f.first) + ", \"last\": " + stamp(f.last);
    out += ",\n   \"problems\": [";
    for (std::size_t k = 0; k < f.problems.size(); ++k) {
      const Problem& p = f.problems[k];
      out += (k == 0 ? "\n    " : ",\n    ") + std::string("{\"kind\": \"") + std::string(kindName(p.kind)) +
             "\", \"line\": " + n(p.line) + ", \"text\": " + jsonString(p.text, 1000) + "}";
    }
    out += f.problems.empty() ? "]" : "\n   ]";
    out += ",\n   \"gaps\": [";
    for (std::size_t k = 0; k < f.silences.size(); ++k) {
      const Silence& s = f.silences[k];
      out += (k == 0 ? "\n    " : ",\n    ") + std::string("{\"from\": ") + jsonString(s.from) +
             ", \"to\": " + jsonString(s.to) + ", \"seconds\": " + secondsText(s.toMs - s.fromMs) +
             ", \"open_seconds\": " + secondsText(s.openMs) + ", \"line\": " + n(s.line) + "}";
    }
    out += f.silences.empty() ? "]" : "\n   ]";
    out += ",\n   \"problem_counts\": {";
    for (std::size_t k = 0; k < kProblemKinds; ++k)
      out += (k == 0 ? "\"" : ", \"") + std::string(kindName(static_cast<ProblemKind>(k))) + "\": " + n(f.problemCount[k]);
    out += "}, \"gap_count\": " + n(f.silenceCount) + ", \"gap_buckets\": {";
    for (std::size_t b = 0; b < kGapBuckets; ++b)
      out += (b == 0 ? "\"over_" : ", \"over_") + std::to_string(kGapBucketsMs[b] / 1000) + "s\": " + n(f.gapBuckets[b]);
    out += "},\n   \"notes\": [";
    for (std::size_t k = 0, shown = 0; k < kNoteKinds; ++k) {
      const NoteCount& note = f.notes[k];
      if (note.count == 0) continue;
      out += (shown++ == 0 ? "" : ", ") + std::string("{\"kind\": \"") + std::string(kindName(static_cast<NoteKind>(k))) +
             "\", " + jsonCountAndLines(note) + "}";
    }
    for (const FileReport::Symbol& s : f.symbols)
      if (s.otherDigits.count > 0)
        out += (out.back() == '[' ? "" : ", ") + std::string("{\"kind\": \"digits\", \"pair\": ") + jsonString(s.pair) +
               ", \"decimals\": " + std::to_string(s.digits) + ", " + jsonCountAndLines(s.otherDigits) + "}";
    out += "]";
    out += ",\n   \"lines\": " + n(f.lines) + ", \"bytes\": " + n(f.bytes) + ", \"first_line\": " + n(f.firstLine) +
           ", \"last_line\": " + n(f.lastLine) + ", \"line_ends\": {\"crlf\": " + n(f.lineEnds[0]) +
           ", \"lf\": " + n(f.lineEnds[1]) + ", \"cr\": " + n(f.lineEnds[2]) + ", \"none\": " + n(f.lineEnds[3]) + "}";
    out += ",\n   \"symbols\": [";
    for (std::size_t k = 0; k < f.pairs.size(); ++k) out += (k == 0 ? "" : ", ") + jsonString(f.pairs[k].pair);
    out += "], \"symbol_rows\": {";
    for (std::size_t k = 0; k < f.pairs.size(); ++k)
      out += (k == 0 ? "" : ", ") + jsonString(f.pairs[k].pair) + ": " + n(f.pairs[k].rows);
    out += "}, \"symbol_change_count\": " + n(f.symbolChangeCount) + ", \"symbol_changes\": [";
    for (std::size_t k = 0; k < f.symbolChanges.size(); ++k) {
      const SymbolChange& c = f.symbolChanges[k];
      out += (k == 0 ? "" : ", ") + std::string("{\"line\": ") + n(c.line) + ", \"from\": " + jsonString(c.from) +
             ", \"to\": " + jsonString(c.to) + "}";
    }
    out += "]";
    out += ",\n   \"per_symbol\": {";
    for (std::size_t k = 0; k < f.symbols.size(); ++k) {
      const FileReport::Symbol& pair = f.symbols[k];
      out += (k == 0 ? "\n    " : ",\n    ") + jsonString(pair.pair) + ": {\"rows\": " + n(pair.rows) +
             ", \"first\": " + jsonString(pair.first) + ", \"last\": " + jsonString(pair.last) +
             ", \"decimals\": " + std::to_string(pair.digits) + ", \"spread_points\": {\"min\": " +
             std::to_string(pair.spread.min()) + ", \"median\": " + std::to_string(pair.spread.quantile(0.5)) +
             ", \"p99\": " + std::to_string(pair.spread.quantile(0.99)) + ", \"max\": " + std::to_string(pair.spread.max()) +
             "}, \"ticks_per_hour\": {\"min\": " + n(pair.ticksPerHour.min()) + ", \"median\": " +
             n(pair.ticksPerHour.quantile(0.5)) + ", \"max\": " + n(pair.ticksPerHour.max()) + "}}";
    }
    out += f.symbols.empty() ? "}" : "\n   }";
    out += ",\n   \"time_basis\": " + jsonString(timeBasisText(options)) + ", \"remarks\": [";
    const std::vector<std::string> remarks = fileRemarks(f);
    for (std::size_t k = 0; k < remarks.size(); ++k) out += (k == 0 ? "" : ", ") + jsonString(remarks[k], 1000);
    out += "]}";
  }
  out += files.empty() ? "]}\n" : "\n]}\n";
  return out;
}

}  // namespace orv::check
