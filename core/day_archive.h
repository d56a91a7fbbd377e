// Closed days of an unattended recording, compressed. With --compress, every
// plain file the pattern names for a day before the recording's current one
// is compressed to NAME.gz (see gzip/day_compression.h for the steps that
// make it safe), at the recording's start and whenever its day moves on, by
// the archiver, off the window's thread. What is decided here:
//  - which files: those the pattern could have named (any symbol, date and
//    time), found by walking its folders; a file in use is never touched,
//    nor one of the current day or a later one;
//  - a day with both NAME.gz and a plain NAME (the clock went back, or the
//    recording started again after the day was compressed) ends as one
//    NAME.gz with both, in order;
//  - where the new compressed file is written before its rename: in the
//    pattern's fixed folder (beside orvalda.log), never among the days, so
//    that no reader's pattern for them matches it (*.csv, *.csv.gz, *.csv*,
//    a folder's **/*);
//  - a part left by a compression that was cut short is written over by the
//    day's next compression; a NAME.gz.part beside the day, left so by an
//    earlier version, is removed;
//  - what the log tells of each.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/archiver.h"

namespace orv {

inline constexpr const char* kCompressedSuffix = ".gz";

// A file the pattern could have named, or its compressed form, or a part of one.
struct DayFile {
  enum class Kind { Plain, Compressed, Part };
  std::string path;
  std::uint32_t day = 0;  // yyyymmdd, from the pattern's {date}
  Kind kind = Kind::Plain;
};

// The files of the pattern on the disk. Folders that cannot be read are told in `errors`.
std::vector<DayFile> findDayFiles(ArchiveFiles& files, std::string_view pattern, std::vector<ArchiveNote>& errors);

// The temporary name the compression of `gzPath` writes to: one name a
// file, ".orvalda-HASH.part" in the pattern's fixed folder.
std::string compressionPartPath(std::string_view pattern, std::string_view gzPath);

struct SweepPlan {
  std::vector<std::string> leftoverParts;  // to remove
  std::vector<std::string> toCompress;     // plain files, by day
  bool operator==(const SweepPlan&) const = default;
};

// What a sweep does with the files found, on day `today`, with `inUse` open.
SweepPlan planSweep(std::vector<DayFile> found, std::uint32_t today, const std::vector<std::string>& inUse);

// A whole sweep, as the archiver runs it: find, plan, carry out; the log's lines.
std::vector<ArchiveNote> sweepClosedDays(ArchiveFiles& files, const std::string& pattern, std::uint32_t today,
                                         const std::vector<std::string>& inUse);

// The log's line on one compression.
std::string compressionText(const std::string& plainPath, const std::string& gzPath,
                            const gzip::DayCompression& result);

}  // namespace orv
