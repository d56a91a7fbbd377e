#include "core/day_archive.h"

#include <algorithm>
#include <optional>
#include <tuple>

#include "core/activity_log.h"
#include "gzip/day_compression.h"

namespace orv {

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Matches a folder or file name against one part of the pattern, its fields
// standing for any symbol (one character or more), any date (8 digits) and
// any time (6 digits). Literal text matches as Windows names do, without
// regard to case. `day` takes the date (0 when there is none).
bool matchName(std::string_view part, std::string_view name, std::uint32_t& day) {
  if (part.empty()) return name.empty();
  if (part.starts_with("{symbol}")) {
    for (std::size_t take = 1; take <= name.size(); ++take)
      if (matchName(part.substr(8), name.substr(take), day)) return true;
    return false;
  }
  for (const auto& [field, digits] : {std::pair<std::string_view, std::size_t>{"{date}", 8}, {"{time}", 6}}) {
    if (!part.starts_with(field)) continue;
    if (name.size() < digits || !std::all_of(name.begin(), name.begin() + digits, isDigit)) return false;
    std::uint32_t here = 0;
    if (!matchName(part.substr(field.size()), name.substr(digits), here)) return false;
    if (field == "{date}") {
      std::uint32_t value = 0;
      for (char c : name.substr(0, digits)) value = value * 10 + static_cast<std::uint32_t>(c - '0');
      if (here != 0 && here != value) return false;
      here = value;
    }
    day = here;
    return true;
  }
  return !name.empty() && lowerAscii(part[0]) == lowerAscii(name[0]) && matchName(part.substr(1), name.substr(1), day);
}

// Windows names one file with "/" or "\\", in any letter case.
bool isSamePath(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return (isSeparator(x) && isSeparator(y)) || lowerAscii(x) == lowerAscii(y);
  });
}

bool endsWithNoCase(std::string_view name, std::string_view suffix) {
  return name.size() >= suffix.size() &&
         std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                    [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
}

bool hasField(std::string_view part) {
  return part.find("{symbol}") != std::string_view::npos || part.find("{date}") != std::string_view::npos ||
         part.find("{time}") != std::string_view::npos;
}

struct Walk {
  ArchiveFiles& files;
  std::vector<std::string_view> parts;
  std::vector<DayFile>& found;
  std::vector<ArchiveNote>& errors;

  // Looks in `folder` for names of parts[at], with the date the path so far holds.
  void look(const std::string& folder, std::size_t at, std::uint32_t day) {
    std::vector<FolderEntry> entries;
    std::string error;
    if (!files.list(folder, entries, error)) {
      errors.push_back({folder + "\\" + kLogName, "Cannot look for closed days in " + folder + ": " + error});
      return;
    }
    const bool last = at + 1 == parts.size();
    for (const FolderEntry& entry : entries) {
      if (entry.isFolder == last) continue;
      const std::string path = folder + "\\" + entry.name;
      if (!last) {
        std::uint32_t here = 0;
        if (matchName(parts[at], entry.name, here) && (here == 0 || day == 0 || here == day))
          look(path, at + 1, here != 0 ? here : day);
        continue;
      }
      // A compressed file or a part of one is never taken for a plain file,
      // however its name might fill {symbol}.
      for (const auto& [suffix, kind] : {std::pair<std::string_view, DayFile::Kind>{".gz.part", DayFile::Kind::Part},
                                         {".gz", DayFile::Kind::Compressed},
                                         {"", DayFile::Kind::Plain}}) {
        if (!endsWithNoCase(entry.name, suffix)) continue;
        if (kind == DayFile::Kind::Plain && (endsWithNoCase(entry.name, ".gz") || endsWithNoCase(entry.name, ".part")))
          break;
        const std::string_view name = std::string_view(entry.name).substr(0, entry.name.size() - suffix.size());
        std::uint32_t here = 0;
        if (!matchName(parts[at], name, here) || (here != 0 && day != 0 && here != day)) continue;
        found.push_back({path, here != 0 ? here : day, kind});
        break;
      }
    }
  }
};

// The folder the pattern's fields start below (its own name as the pattern
// says), and the parts of the pattern below it.
struct PatternFolders {
  std::string root;
  std::vector<std::string_view> below;
};

PatternFolders splitPattern(std::string_view pattern) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = std::find_if(pattern.begin() + start, pattern.end(), isSeparator) - pattern.begin();
    parts.push_back(pattern.substr(start, end - start));
    if (end == pattern.size()) break;
    start = end + 1;
  }
  std::size_t fixed = 0;
  while (fixed + 1 < parts.size() && !hasField(parts[fixed])) ++fixed;
  PatternFolders split;
  for (std::size_t i = 0; i < fixed; ++i) {
    if (i > 0) split.root += '\\';
    split.root += parts[i];
  }
  split.below.assign(parts.begin() + static_cast<std::ptrdiff_t>(fixed), parts.end());
  return split;
}

std::string rowsText(std::uint64_t rows) { return std::to_string(rows) + (rows == 1 ? " row" : " rows"); }

std::string ratioText(std::uint64_t before, std::uint64_t after) {
  const std::uint64_t tenths = after == 0 ? 0 : (before * 10 + after / 2) / after;
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

}  // namespace

std::vector<DayFile> findDayFiles(ArchiveFiles& files, std::string_view pattern, std::vector<ArchiveNote>& errors) {
  const PatternFolders split = splitPattern(pattern);
  std::vector<DayFile> found;
  Walk walk{files, split.below, found, errors};
  walk.look(split.root, 0, 0);
  return found;
}

std::string compressionPartPath(std::string_view pattern, std::string_view gzPath) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a, over the path as Windows compares it
  for (const char c : gzPath) {
    hash ^= static_cast<unsigned char>(isSeparator(c) ? '\\' : lowerAscii(c));
    hash *= 1099511628211ull;
  }
  std::string name = ".orvalda-0000000000000000.part";
  for (std::size_t i = 24; i >= 9; --i, hash >>= 4) name[i] = "0123456789abcdef"[hash & 15];
  const std::string root = splitPattern(pattern).root;
  return root.empty() ? name : root + "\\" + name;
}

SweepPlan planSweep(std::vector<DayFile> found, std::uint32_t today, const std::vector<std::string>& inUse) {
  std::sort(found.begin(), found.end(),
            [](const DayFile& a, const DayFile& b) { return std::tie(a.day, a.path) < std::tie(b.day, b.path); });
  SweepPlan plan;
  for (const DayFile& file : found) {
    if (file.day == 0 || file.day >= today) continue;
    if (file.kind == DayFile::Kind::Part) plan.leftoverParts.push_back(file.path);
    if (file.kind == DayFile::Kind::Plain &&
        std::none_of(inUse.begin(), inUse.end(), [&](const std::string& open) { return isSamePath(open, file.path); }))
      plan.toCompress.push_back(file.path);
  }
  return plan;
}

std::vector<ArchiveNote> sweepClosedDays(ArchiveFiles& files, const std::string& pattern, std::uint32_t today,
                                         const std::vector<std::string>& inUse) {
  std::vector<ArchiveNote> notes;
  const SweepPlan plan = planSweep(findDayFiles(files, pattern, notes), today, inUse);
  for (const std::string& part : plan.leftoverParts) {
    std::string error;
    if (files.remove(part, error))
      notes.push_back({part, "Removed " + part + ", left over by a compression that was cut short"});
  }
  for (const std::string& plain : plan.toCompress) {
    const std::string gz = plain + kCompressedSuffix;
    const gzip::DayCompression result = gzip::compressDay(files, plain, gz, compressionPartPath(pattern, gz));
    notes.push_back({plain, compressionText(plain, gz, result), !result.done});
  }
  return notes;
}

std::string compressionText(const std::string& plainPath, const std::string& gzPath,
                            const gzip::DayCompression& r) {
  if (!r.done)
    return "Cannot compress " + plainPath + ": " + r.error + "; it stays as it is, and is tried again within a minute";
  if (r.alreadyIn) return "Removed " + plainPath + ": its rows were in " + gzPath + " already, verified before";
  const std::uint64_t before = r.earlierBytes + r.plainBytes;
  std::string text = "Compressed " + plainPath + ", " + std::to_string(r.plainBytes) + " bytes, " +
                     rowsText(r.plainRows) + ", to " + gzPath;
  if (r.earlierBytes > 0 || r.earlierRows > 0)
    text += " after the " + rowsText(r.earlierRows) + " it held";
  return text + ", " + std::to_string(r.compressedBytes) + " bytes for " + std::to_string(before) + ", " +
         ratioText(before, r.compressedBytes) + " times smaller, verified";
}

}  // namespace orv
