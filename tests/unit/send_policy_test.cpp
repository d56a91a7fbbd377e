// How long sends to the tester may wait: one long wait for a hung window,
// brief tries after it, the full wait again once it answers.
#include <gtest/gtest.h>

#include "platform/send_policy.h"

namespace orv {
namespace {

using Outcome = SendPolicy::Outcome;

TEST(SendPolicy, AHungWindowCostsOneLongWaitThenBriefTriesUntilItAnswers) {
  SendPolicy p;
  auto a = p.begin(7, 0);
  EXPECT_EQ(a.timeoutMs, SendPolicy::kPatientMs);
  p.finish(a, Outcome::TimedOut);
  EXPECT_TRUE(p.isUnresponsive(7));
  for (int i = 0; i < 3; ++i) {
    a = p.begin(7, 6000 + i);
    EXPECT_EQ(a.timeoutMs, SendPolicy::kBriefMs);
    p.finish(a, Outcome::TimedOut);
  }
  // Other windows are not affected.
  EXPECT_EQ(p.begin(8, 6000).timeoutMs, SendPolicy::kPatientMs);
  a = p.begin(7, 7000);
  p.finish(a, Outcome::Delivered);
  EXPECT_FALSE(p.isUnresponsive(7));
  EXPECT_EQ(p.begin(7, 7001).timeoutMs, SendPolicy::kPatientMs);
}

TEST(SendPolicy, NestedSendsShareTheOutermostDeadline) {
  SendPolicy p;
  const auto outer = p.begin(7, 1000);
  EXPECT_EQ(outer.timeoutMs, 5000u);
  // A feeder tick handled 3 s into the outer wait forwards to the same window.
  const auto inner = p.begin(7, 4000);
  EXPECT_EQ(inner.timeoutMs, 2000u);
  p.finish(inner, Outcome::Delivered);
  // Past the deadline an inner send still gets a brief try, never zero.
  const auto late = p.begin(7, 9000);
  EXPECT_EQ(late.timeoutMs, SendPolicy::kBriefMs);
  p.finish(late, Outcome::TimedOut);
  p.finish(outer, Outcome::TimedOut);
  EXPECT_TRUE(p.isUnresponsive(7));
}

TEST(SendPolicy, AVanishedWindowIsForgotten) {
  SendPolicy p;
  auto a = p.begin(7, 0);
  p.finish(a, Outcome::TimedOut);
  a = p.begin(7, 10);
  p.finish(a, Outcome::NoWindow);
  // A new window may get the same handle later: it gets the full wait.
  EXPECT_FALSE(p.isUnresponsive(7));
  EXPECT_EQ(p.begin(7, 20).timeoutMs, SendPolicy::kPatientMs);
}

}  // namespace
}  // namespace orv
