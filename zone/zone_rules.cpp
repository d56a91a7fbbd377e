#include "zone/zone_rules.h"

#include <algorithm>
#include <charconv>

#include "zone/system_zone.h"

namespace orv::zone {

namespace {

constexpr std::int64_t kMsPerMinute = 60000;

class FixedZone final : public ZoneRules {
 public:
  FixedZone(std::string name, std::int64_t offset) : ZoneRules(std::move(name)), offset_(offset) {}
  std::int64_t offsetMs(std::int64_t) const override { return offset_; }

 private:
  std::int64_t offset_;
};

// Another zone's clock moved by a fixed amount.
class ShiftedZone final : public ZoneRules {
 public:
  ShiftedZone(std::string name, Zone base, std::int64_t shift)
      : ZoneRules(std::move(name)), base_(std::move(base)), shift_(shift) {}
  std::int64_t offsetMs(std::int64_t utcMs) const override { return base_->offsetMs(utcMs) + shift_; }

 private:
  Zone base_;
  std::int64_t shift_;
};

// "+02:00", "-5", "+5:30": sign, 1 or 2 digits of hours, optionally ":" and 2 of minutes.
bool readOffset(std::string_view text, std::int64_t& ms) {
  if (text.size() < 2 || (text[0] != '+' && text[0] != '-')) return false;
  const bool negative = text[0] == '-';
  text.remove_prefix(1);
  const auto number = [](std::string_view s, int& out) {
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return !s.empty() && s[0] >= '0' && s[0] <= '9' && r.ec == std::errc() && r.ptr == s.data() + s.size();
  };
  int hours = 0, minutes = 0;
  const std::size_t colon = text.find(':');
  const std::string_view h = text.substr(0, colon);
  if (h.empty() || h.size() > 2 || !number(h, hours) || hours > 23) return false;
  if (colon != std::string_view::npos) {
    const std::string_view m = text.substr(colon + 1);
    if (m.size() != 2 || !number(m, minutes) || minutes > 59) return false;
  }
  ms = (negative ? -1 : 1) * (hours * 60 + minutes) * kMsPerMinute;
  return true;
}

Zone namedZone(std::string_view name, std::string& error) {
  if (name == "UTC" || name == "GMT" || name == "Z") return std::make_shared<FixedZone>(std::string(name), 0);
  std::int64_t offset = 0;
  if (readOffset(name, offset)) return std::make_shared<FixedZone>(std::string(name), offset);
  if (name == "NY") {
    Zone newYork = systemZone("America/New_York", error);
    return newYork ? std::make_shared<ShiftedZone>(std::string(name), std::move(newYork), 0) : nullptr;
  }
  if (name.empty()) {
    error = "no zone given";
    return nullptr;
  }
  return systemZone(std::string(name), error);
}

}  // namespace

Zone findZone(std::string_view name, std::string& error) {
  std::string firstError;
  if (Zone zone = namedZone(name, firstError)) return zone;
  // A zone and a shift: "NY+7". An IANA name may hold a sign itself
  // ("Etc/GMT+5"), so the whole name was tried first.
  const std::size_t sign = name.find_last_of("+-");
  std::int64_t shift = 0;
  if (sign != std::string_view::npos && sign > 0 && readOffset(name.substr(sign), shift)) {
    std::string baseError;
    if (Zone base = namedZone(name.substr(0, sign), baseError))
      return std::make_shared<ShiftedZone>(std::string(name), std::move(base), shift);
  }
  error = firstError;
  return nullptr;
}

std::int64_t utcOf(const ZoneRules& zone, std::int64_t localMs) {
  const Instants at = instantsOf(zone, localMs);
  if (at.count > 0) return at.at[0];
  // A skipped time, with the offset before the change.
  constexpr std::int64_t kDay = 86400000;
  return localMs - zone.offsetMs(localMs - kDay);
}

Instants instantsOf(const ZoneRules& zone, std::int64_t localMs) {
  // Zone rules change at most a few times a year: the offsets a day either
  // side are the only candidates.
  constexpr std::int64_t kDay = 86400000;
  const std::int64_t before = zone.offsetMs(localMs - kDay), after = zone.offsetMs(localMs + kDay);
  Instants found;
  // The larger offset gives the earlier instant.
  for (const std::int64_t offset : {std::max(before, after), std::min(before, after)}) {
    const std::int64_t at = localMs - offset;
    if (zone.offsetMs(at) == offset && (found.count == 0 || found.at[0] != at)) found.at[found.count++] = at;
  }
  return found;
}

void StampsToUtc::findMinute(std::int64_t localMs) {
  minuteStart_ = (localMs >= 0 ? localMs : localMs - 59999) / 60000 * 60000;
  const Instants at = instantsOf(*zone_, minuteStart_);
  count_ = at.count;
  for (int i = 0; i < at.count; ++i) offset_[i] = minuteStart_ - at.at[i];
  if (count_ == 0) offset_[0] = minuteStart_ - zone::utcOf(*zone_, minuteStart_);  // skipped: the offset before the change
}

// The later instant of a time shown twice, whose earlier one is earlierUtc:
// the row before was already past the change, or the step back from it is
// more than half the change.
bool StampsToUtc::laterOfTwo(std::int64_t earlierUtc) const {
  if (previousUtc_ == INT64_MIN || previousUtc_ < earlierUtc) return false;
  const std::int64_t change = offset_[0] - offset_[1];
  return previousUtc_ - earlierUtc > change / 2 || zone_->offsetMs(previousUtc_) == offset_[1];
}

}  // namespace orv::zone
