// orvalda-compare on two brokers' recordings made from one hidden price path
// (bench/two_brokers.h), one table of cases: what it finds against what was
// planted.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/two_brokers.h"
#include "compare/program.h"

namespace {

using orv::twobrokers::BrokerCase;
using orv::twobrokers::Span;
namespace fs = std::filesystem;

constexpr std::int64_t kHour = 3600000, kMin = 60000, kSec = 1000;

struct Case {
  BrokerCase brokers;
  std::vector<std::string> options;  // beyond the two sides
};

std::vector<Case> cases() {
  std::vector<Case> all;
  {
    // B behind A, drifting over two days; different decimals, zones and pair names; .csv.gz days.
    Case c;
    BrokerCase& b = c.brokers;
    b.name = "behind_drifting";
    b.seed = 7;
    b.days = 2;
    b.lagMs = 142;
    b.lagDriftMsPerDay = 10;
    b.drop = {0.005, 0.02};
    b.outages[0] = {{6 * kHour + 70 * kMin, 6 * kHour + 70 * kMin + 90 * kSec}};
    b.outages[1] = {{6 * kHour + 2 * kHour, 6 * kHour + 2 * kHour + 45 * kSec}, {30 * kHour + 40 * kMin, 30 * kHour + 40 * kMin + 31 * kSec}};
    b.spikes[0] = {8 * kHour + 5 * kMin};
    b.spikes[1] = {7 * kHour, 9 * kHour + 30 * kMin, 31 * kHour};
    b.digits = {5, 4};
    b.zones = {"UTC", "+02:00"};
    b.pairNames = {"EUR/USD", "eurusd"};
    b.offsetSteps = 2;
    b.wideHoursB = {7};
    b.gzip = true;
    c.options = {"--from-b", "+02:00"};
    all.push_back(c);
  }
  {
    // B ahead by almost two seconds, its pair named otherwise.
    Case c;
    BrokerCase& b = c.brokers;
    b.name = "ahead";
    b.seed = 11;
    b.lagMs = -1850;
    b.lagDriftMsPerDay = -20;
    b.drop = {0.01, 0.01};
    b.outages[1] = {{8 * kHour, 8 * kHour + 120 * kSec}};
    b.spikes[0] = {7 * kHour, 9 * kHour};
    b.digits = {5, 6};
    b.zones = {"-05:00", "UTC"};
    b.pairNames = {"EURUSD", "EURUSDm"};
    b.offsetSteps = -3;
    c.options = {"--from-a", "-05:00", "--pair", "EURUSD=EURUSDm"};
    all.push_back(c);
  }
  {
    // Together, B missing a share.
    Case c;
    BrokerCase& b = c.brokers;
    b.name = "together";
    b.seed = 3;
    b.drop = {0, 0.03};
    b.digits = {3, 3};
    b.pairNames = {"USDJPY", "USD.JPY"};
    all.push_back(c);
  }
  {
    // A feed that sends at most every 250 ms, B exactly as late: the
    // contrast's top is as wide as the shortest gaps, its highest point
    // anywhere on it.
    Case c;
    BrokerCase& b = c.brokers;
    b.name = "throttled";
    b.seed = 13;
    b.changesPerDay = 20000;
    b.minGapMs = 250;
    b.jitterMs = 0;
    b.lagMs = 150;
    all.push_back(c);
  }
  {
    // A million ticks of two clean sides, busy for twenty hours.
    Case c;
    BrokerCase& b = c.brokers;
    b.name = "clean_million";
    b.seed = 5;
    b.changesPerDay = 500000;
    b.busyFromMs = 2 * kHour;
    b.busyMs = 20 * kHour;
    b.lagMs = 300;
    all.push_back(c);
  }
  return all;
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.brokers.name; }

class CompareCases : public ::testing::TestWithParam<Case> {};

TEST_P(CompareCases, FindsWhatWasPlanted) {
  const Case& c = GetParam();
  const BrokerCase& b = c.brokers;
  const fs::path root = fs::path(::testing::TempDir()) / ("orvalda_compare_" + std::string(b.name));
  fs::remove_all(root);
  const auto truth = orv::twobrokers::writeBrokers(b, root / "a", root / "b");

  std::vector<std::string> args = {(root / "a").string(), "--against", (root / "b").string()};
  args.insert(args.end(), c.options.begin(), c.options.end());
  const orv::compare::CompareCommand command = orv::compare::parseCompareArgs(args);
  ASSERT_EQ(command.error, "");
  orv::compare::Comparison result;
  std::string error;
  ASSERT_TRUE(orv::compare::compareSides(command, result, error)) << error;
  ASSERT_EQ(result.pairs.size(), 1u);
  const orv::compare::PairComparison& p = result.pairs[0];
  EXPECT_EQ(result.sides[0].rows + result.sides[1].rows, truth.ticks);

  // The lag, each day within 5 ms of the day's planted lag.
  ASSERT_EQ(p.lagByDay.size(), static_cast<std::size_t>(b.days));
  for (int d = 0; d < b.days; ++d) {
    EXPECT_TRUE(p.lagByDay[d].found) << "day " << d;
    EXPECT_NEAR(p.lagByDay[d].lagMs, truth.lagByDay[d], 5.0) << "day " << d;
  }
  EXPECT_TRUE(p.lagFound);
  EXPECT_GT(p.lagSharpness, 0.5);

  // Missed changes, each side's share within 0.2 percentage points.
  for (int s = 0; s < 2; ++s) EXPECT_NEAR(p.missing[s].share, truth.share(s), 0.002) << "side " << s;

  // Every planted outage, its ends within a second, and no other.
  std::size_t planted = 0;
  for (int s = 0; s < 2; ++s)
    for (const Span& g : truth.outages[s]) {
      ++planted;
      const bool found = std::any_of(p.outages.begin(), p.outages.end(), [&](const orv::compare::Outage& o) {
        return o.side == s && std::llabs(o.fromUtcMs - g.fromMs) <= 1000 && std::llabs(o.toUtcMs - g.toMs) <= 1000;
      });
      EXPECT_TRUE(found) << "side " << s << " silent " << g.fromMs << " to " << g.toMs;
    }
  EXPECT_EQ(p.outages.size(), planted);

  // Every spike, and nothing else.
  std::size_t spikes = 0;
  for (int s = 0; s < 2; ++s)
    for (std::int64_t at : truth.spikes[s]) {
      ++spikes;
      const bool found = std::any_of(p.badTicks.begin(), p.badTicks.end(),
                                     [&](const orv::compare::BadTick& t) { return t.side == s && t.utcMs == at && t.line > 0 && !t.file.empty(); });
      EXPECT_TRUE(found) << "side " << s << " spike at " << at;
    }
  EXPECT_EQ(p.badTickCount, spikes);

  EXPECT_NEAR(p.difference.median, truth.differencePoints, 0.5);
  for (int hour : b.wideHoursB) EXPECT_GT(p.spreadsByHour[1][hour].median, p.spreads[1].median) << "hour " << hour;
  fs::remove_all(root);
}

INSTANTIATE_TEST_SUITE_P(TwoBrokers, CompareCases, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.brokers.name); });

}  // namespace
