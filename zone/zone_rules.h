// The rules of a clock: how far it is ahead of UTC at any instant. Used to
// place a weekly close given in a city's time ("Fri 17:00 America/New_York")
// on UTC stamps, and to turn local stamps into UTC and back.
//
// Names findZone() knows:
//   "UTC" (also "GMT", "Z")       no offset
//   "+02:00", "-05:00", "+5:30", "+3"   a fixed offset, up to 23:59
//   an IANA name, "America/New_York"    the system's time-zone data: the tz
//                                       database natively; on Windows, the
//                                       system's own zones (see system_zone.h)
//   "NY"                                short for America/New_York
//   a zone and a shift, "NY+7", "Europe/London-1:30"
//                                       that zone's clock moved ahead (or back)
//                                       by the hours given ("NY+7": New York
//                                       time plus 7 h, whose midnight is 17:00
//                                       in New York)
// Times are milliseconds since 1970-01-01 00:00 of the clock they are in.
#pragma once

#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace orv::zone {

class ZoneRules {
 public:
  virtual ~ZoneRules() = default;
  // How far the zone's clock is ahead of UTC at the UTC instant utcMs.
  virtual std::int64_t offsetMs(std::int64_t utcMs) const = 0;
  // The name it was found by, as given.
  const std::string& name() const noexcept { return name_; }

 protected:
  explicit ZoneRules(std::string name) : name_(std::move(name)) {}

 private:
  std::string name_;
};

using Zone = std::shared_ptr<const ZoneRules>;

// The zone of that name, or null with a one-line reason in error.
Zone findZone(std::string_view name, std::string& error);

// The UTC instant at which the zone's clock shows localMs. A time the clock
// shows twice (when it is set back) is the earlier instant; a time it skips
// (when it is set ahead) is taken with the offset before the change, which
// lands it just after the skipped hour.
std::int64_t utcOf(const ZoneRules& zone, std::int64_t localMs);
// Every UTC instant at which the zone's clock shows localMs, earlier first:
// none for a time the clock skips, two for a time it shows twice.
struct Instants {
  std::int64_t at[2] = {};
  int count = 0;
};
Instants instantsOf(const ZoneRules& zone, std::int64_t localMs);
inline std::int64_t localOf(const ZoneRules& zone, std::int64_t utcMs) { return utcMs + zone.offsetMs(utcMs); }

// The stamps of one recording, in file order (and, for a recording cut into
// several files, in the order of its files), as UTC instants, on the
// recording's own time line. A time the clock shows twice is the earlier
// instant, unless the row before (of any pair) is already past the change,
// or lies more than half the change after that earlier instant (a step back
// of most of the change: the clock was set back between the two rows); so a
// row written a moment before the row above it keeps its pass. A time the
// clock skips is placed as utcOf() places it, with the offset before the
// change. The zone is asked once per minute of its clock, and again only for
// the rows of a time it shows twice.
class StampsToUtc {
 public:
  explicit StampsToUtc(Zone zone) : zone_(std::move(zone)) {}
  // Sets utcMs; false for a time the clock skips.
  bool utcOf(std::int64_t localMs, std::int64_t& utcMs) {
    if (localMs < minuteStart_ || localMs - minuteStart_ >= 60000) findMinute(localMs);
    utcMs = localMs - offset_[0];
    if (count_ == 2 && laterOfTwo(utcMs)) utcMs = localMs - offset_[1];
    previousUtc_ = utcMs;
    return count_ > 0;
  }

 private:
  void findMinute(std::int64_t localMs);
  bool laterOfTwo(std::int64_t earlierUtc) const;
  Zone zone_;
  std::int64_t minuteStart_ = INT64_MAX;
  std::int64_t offset_[2] = {};
  int count_ = 0;
  std::int64_t previousUtc_ = INT64_MIN;
};

}  // namespace orv::zone
