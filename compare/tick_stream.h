// Both sides' recordings read as one stream of ticks in UTC order. A side is
// one or more files and folders (every .csv and .csv.gz of a folder's tree);
// its files are taken in the order of their first stamps, each opened only
// once the stream reaches that stamp and closed at its end, so only the
// files whose times overlap are open at once: memory does not grow with the
// recordings' length. Each side's stamps are turned to UTC by its own clock.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "compare/comparison.h"
#include "core/row_format.h"
#include "zone/zone_rules.h"

namespace orv::compare {

// "EUR/USD", "eurusd", "EUR-USD" -> "EURUSD": a pair's letters and digits, in
// capitals; the name pairs are matched by.
std::string pairKey(std::string_view written);

struct SideInput {
  std::vector<std::string> paths;  // files and folders, as given
  zone::Zone clock;                // the zone its stamps are written in
};

// The recordings a side's paths name: files as given, folders walked for
// .csv and .csv.gz files (any case). False, with one line in error, when a
// path does not exist.
bool recordingsOf(const std::vector<std::string>& paths, std::vector<std::string>& files, std::string& error);

struct Tick {
  int side = 0;
  std::uint32_t pair = 0;     // index into TickStream::pairs()
  std::int64_t utcMs = 0;
  Price bid, ask;
  std::uint32_t file = 0;     // index into that side's files
  std::uint64_t line = 0;
};

class TickStream {
 public:
  // pairMap: pair keys of side B that stand for pair keys of side A
  // (--pair EURUSD=EURUSDm: "EURUSDM" -> "EURUSD").
  TickStream(std::array<SideInput, kSides> sides, std::unordered_map<std::string, std::string> pairMap);
  ~TickStream();

  // Finds the files and their first stamps. False, with one line in error,
  // when a path does not exist or a file cannot be read.
  bool open(std::string& error);
  // The next tick in UTC order (ties: side A first); false at the end or on
  // a read error (error not empty).
  bool next(Tick& tick, std::string& error);

  struct PairSeen {
    std::string key;
    std::array<std::string, kSides> written;  // "" where a side has not shown it
  };
  const std::vector<PairSeen>& pairs() const noexcept;
  // Filled as the stream goes: files, rows, unreadable lines, first and last
  // stamps, backward stamps (the name and pairs are the caller's to set).
  const std::array<SideSummary, kSides>& sides() const noexcept;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orv::compare
