#include "export/program.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <utility>

#include "recordings/files.h"
#include "core/file_name.h"
#include "core/option_reader.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace orv::exporter {

const char* const kExportUsage =
    "usage: orvalda-export --to FORMAT [options] FILE...\n"
    "Writes recordings in Orvalda's row format (pair,YYYYMMDD HH:MM:SS.mmm,bid,ask)\n"
    "as the files other programs import, one output per symbol. Several files are\n"
    "read in the order given, as one recording; FILE - reads standard input.\n"
    "\n"
    "  --to FORMAT        mt5       DIR/SYMBOL.csv, tab-separated tick import\n"
    "                     nt8       DIR/SYMBOL.Bid.txt and DIR/SYMBOL.Ask.txt\n"
    "                     lean      DIR/forex/oanda/tick/symbol/YYYYMMDD_quote.zip\n"
    "                     histdata  DIR/DAT_ASCII_SYMBOL_T_YYYYMM.csv, one a month,\n"
    "                               YYYYMMDD HHMMSSmmm,bid,ask,0\n"
    "                     bars      DIR/SYMBOL-TF.csv, bid and ask OHLC, ticks, spreads\n"
    "                     template  DIR/SYMBOL.csv, one line per row as --template says\n"
    "  --from ZONE        the zone of the recording's stamps (default UTC)\n"
    "  --tz ZONE          the zone written (default: --from's; lean UTC, histdata -05:00)\n"
    "                     ZONE: UTC, +HH:MM, -HH:MM, an IANA name (Europe/London), or\n"
    "                     NY+7 (New York's clock 7 hours on)\n"
    "  --out DIR          the output folder (default: FILE-FORMAT beside the first file)\n"
    "  --tf TF            bars: M1, M5, M15, M30, H1, H4 or D1\n"
    "  --template TEXT    template: e.g. \"{time:%Y-%m-%d %H:%M:%S.%L},{bid},{ask}\" with\n"
    "                     {bid} {ask} {pair} {symbol} {spread} {ms_of_day} {unix_ms}\n"
    "  --header TEXT      template: a first line\n"
    "  --force            replace output files already there (without it, nothing is\n"
    "                     written when one is)\n"
    "  -h, --help         this text\n"
    "\n"
    "Rows that are torn, unparsable, crossed (bid above ask) or at a time the\n"
    "--from zone skips are left out and counted. Format and timeframe names may be\n"
    "written in any case. Exit code: 0 every row exported; 1 some left out; 2 a bad\n"
    "command line, an input that cannot be read, an output that cannot be written,\n"
    "would replace an input, or would replace a file without --force; then nothing\n"
    "is written.\n";

namespace {

std::string defaultOutDir(const std::string& first, const std::string& format) {
  if (first == "-") return "stdin-" + format;
  const std::filesystem::path path = recordings::pathOf(first);
  return recordings::utf8Of(path.parent_path() / recordings::pathOf(recordings::utf8Of(path.stem()) + "-" + format));
}

}  // namespace

ExportCommand parseExportArgs(const std::vector<std::string>& args) {
  ExportCommand c;
  ReadCommand command = readOptionsAndFiles(args, {"--to", "--from", "--tz", "--out", "--tf", "--template", "--header"}, {"--force"});
  c.files = std::move(command.files);
  const ReadOptions& read = command.read;
  c.help = read.help;
  c.error = read.error;
  if (c.help || !c.error.empty()) return c;
  std::string from = "UTC", tz, tf, templateText;
  bool haveTemplate = false, haveHeader = false;
  for (const auto& [name, value] : read.given) {
    if (name == "--to") c.formatName = asciiLower(value);
    if (name == "--force") c.settings.replace = true;
    if (name == "--from") from = value;
    if (name == "--tz") tz = value;
    if (name == "--out") c.settings.outDir = value;
    if (name == "--tf") tf = asciiUpper(value);
    if (name == "--template") {
      templateText = value;
      haveTemplate = true;
    }
    if (name == "--header") {
      c.settings.header = value;
      haveHeader = true;
    }
  }
  static constexpr struct {
    const char* name;
    Format format;
  } kFormats[] = {{"mt5", Format::Mt5},           {"nt8", Format::Nt8},   {"lean", Format::Lean},
                  {"histdata", Format::HistData}, {"bars", Format::Bars}, {"template", Format::Template}};
  const auto format = std::find_if(std::begin(kFormats), std::end(kFormats), [&](const auto& f) { return c.formatName == f.name; });
  if (c.formatName.empty()) {
    c.error = "--to FORMAT is needed: mt5, nt8, lean, histdata, bars or template";
  } else if (format == std::end(kFormats)) {
    c.error = "--to knows mt5, nt8, lean, histdata, bars and template, not " + quotedText(c.formatName);
  } else if (c.files.empty()) {
    c.error = "no recording given (FILE..., or - for standard input)";
  }
  if (!c.error.empty()) return c;
  c.settings.format = format->format;
  const Format f = c.settings.format;
  static constexpr struct {
    const char* name;
    std::int64_t ms;
  } kFrames[] = {{"M1", 60000},     {"M5", 300000},     {"M15", 900000},      {"M30", 1800000},
                 {"H1", 3600000},   {"H4", 14400000},   {"D1", 86400000}};
  if (f == Format::Bars) {
    const auto frame = std::find_if(std::begin(kFrames), std::end(kFrames), [&](const auto& k) { return tf == k.name; });
    if (frame == std::end(kFrames)) {
      c.error = tf.empty() ? "--to bars needs --tf: M1, M5, M15, M30, H1, H4 or D1"
                           : "--tf knows M1, M5, M15, M30, H1, H4 and D1, not " + quotedText(tf);
      return c;
    }
    c.settings.barMs = frame->ms;
    c.settings.barName = tf;
  } else if (!tf.empty()) {
    c.error = "--tf goes with --to bars only";
    return c;
  }
  if (f == Format::Template) {
    if (!haveTemplate) {
      c.error = "--to template needs --template TEXT";
      return c;
    }
    if (!readTemplate(templateText, c.settings.pieces, c.error)) return c;
  } else if (haveTemplate || haveHeader) {
    c.error = "--template and --header go with --to template only";
    return c;
  }
  std::string zoneError;
  c.settings.from = zone::findZone(from, zoneError);
  if (!c.settings.from) {
    c.error = "--from: " + zoneError;
    return c;
  }
  if (tz.empty()) tz = f == Format::Lean ? "UTC" : f == Format::HistData ? "-05:00" : from;
  c.settings.to = zone::findZone(tz, zoneError);
  if (!c.settings.to) {
    c.error = "--tz: " + zoneError;
    return c;
  }
  if (c.settings.outDir.empty()) c.settings.outDir = defaultOutDir(c.files.front(), c.formatName);
  c.settings.inputs = c.files;
  return c;
}

std::string recordingProblem(const std::string& path) {
  if (path == "-") return {};
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(recordings::pathOf(path), error);
  if (status.type() == std::filesystem::file_type::not_found) return path + " does not exist";
  if (status.type() == std::filesystem::file_type::directory) return path + " is a folder, not a recording";
  std::FILE* file = recordings::openFile(path, "rb");
  if (file == nullptr) return "cannot open " + path + ": " + std::strerror(errno);
  std::fclose(file);
  return {};
}

ExportRun runExport(const ExportCommand& command, const std::function<void(std::uint64_t)>& progress) {
  ExportRun run;
  const auto started = std::chrono::steady_clock::now();
  const auto done = [&](bool ok, ExportTotals totals) {
    run.totals = std::move(totals);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    run.exitCode = !ok ? 2 : run.totals.leftOutCount() > 0 ? 1 : 0;
    return run;
  };
  // Every input is looked at before anything is written.
  for (const std::string& path : command.files) {
    run.error = recordingProblem(path);
    if (!run.error.empty()) return done(false, {});
  }
  Exporter exporter(command.settings);
  std::uint64_t before = 0;
  // Reads each input in turn through into; false with the reason in run.error.
  const auto readEach = [&](const auto& into) {
    for (const std::string& path : command.files) {
      const bool standardInput = path == "-";
      std::FILE* file = standardInput ? stdin : recordings::openFile(path, "rb");
      if (file == nullptr) {
        run.error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
      }
#ifdef _WIN32
      if (standardInput) _setmode(_fileno(stdin), _O_BINARY);
#endif
      std::setvbuf(file, nullptr, _IONBF, 0);
      std::uint64_t readHere = 0;
      const bool ok = into(standardInput ? std::string("(standard input)") : path,
                           [&](char* buffer, std::size_t size, std::string& error) -> std::ptrdiff_t {
                             const std::size_t got = std::fread(buffer, 1, size, file);
                             if (got == 0 && std::ferror(file)) {
                               error = "cannot read " + path + ": " + std::strerror(errno);
                               return -1;
                             }
                             readHere += got;
                             if (progress) progress(before + readHere);
                             return static_cast<std::ptrdiff_t>(got);
                           });
      before += readHere;
      if (!standardInput) std::fclose(file);
      if (!ok) {
        run.error = exporter.error();
        return false;
      }
    }
    return true;
  };
  // Standard input is read once: its pairs' units are the most decimals seen so far.
  const bool learn = exporter.needsUnits() && std::find(command.files.begin(), command.files.end(), "-") == command.files.end();
  if (learn && !readEach([&](const std::string&, recordings::LineReader::ReadFn read) { return exporter.learnUnits(std::move(read)); }))
    return done(false, {});
  before = 0;
  bool ok = readEach([&](const std::string& name, recordings::LineReader::ReadFn read) { return exporter.read(name, std::move(read)); });
  if (ok && !exporter.finish()) {
    ok = false;
    run.error = exporter.error();
  }
  return done(ok, exporter.totals());
}

std::string summaryOf(const ExportRun& run) {
  if (run.exitCode == 2) return "Nothing was written: " + run.error + "\n";
  const ExportTotals& t = run.totals;
  char line[512];
  std::string s;
  std::snprintf(line, sizeof line, "%llu %s in, %llu exported, %llu left out, %.2f s\n",
                static_cast<unsigned long long>(t.rowsIn), t.rowsIn == 1 ? "row" : "rows",
                static_cast<unsigned long long>(t.rowsOut), static_cast<unsigned long long>(t.leftOutCount()), run.seconds);
  s += line;
  for (const WrittenFile& file : t.files) {
    std::snprintf(line, sizeof line, "  %llu %s  ", static_cast<unsigned long long>(file.rows), file.rows == 1 ? "row " : "rows");
    s += line + file.path + "\n";
  }
  for (std::size_t k = 0; k < kLeftOutKinds; ++k) {
    const LeftOutCount& kind = t.leftOut[k];
    if (kind.count == 0) continue;
    std::snprintf(line, sizeof line, "  left out, %s: %llu\n", leftOutName(static_cast<LeftOut>(k)),
                  static_cast<unsigned long long>(kind.count));
    s += line;
    for (const std::string& first : kind.first) s += "    " + first + "\n";
  }
  return s;
}

int runExportCommandLine(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  const ExportCommand command = parseExportArgs(args);
  if (command.help) {
    std::fputs(kExportUsage, out);
    return 0;
  }
  if (!command.error.empty()) {
    std::fprintf(err, "orvalda-export: %s (see --help)\n", command.error.c_str());
    return 2;
  }
  const ExportRun run = runExport(command);
  if (run.exitCode == 2) {
    std::fprintf(err, "orvalda-export: %s%s\n", run.error.c_str(),
                 run.totals.wouldReplace.empty() ? "" : " (--force replaces them)");
    return 2;
  }
  std::fputs(summaryOf(run).c_str(), out);
  return run.exitCode;
}

}  // namespace orv::exporter
