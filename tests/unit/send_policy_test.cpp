// How long sends to the tester may wait: the full wait for every send that is
// not nested in another, the outer deadline for nested ones.
#include <gtest/gtest.h>

#include "platform/send_policy.h"

namespace orv {
namespace {

TEST(SendPolicy, AWindowThatTimedOutGetsTheFullWaitAgain) {
  SendPolicy p;
  auto a = p.begin(7, 0);
  EXPECT_EQ(a.timeoutMs, SendPolicy::kPatientMs);
  p.finish(a, SendResult::NotAnswered);
  // A hung window fails at once by the system's own judgement; one that
  // fetches messages again, however slowly, is waited for in full.
  for (int i = 0; i < 3; ++i) {
    a = p.begin(7, 6000 + i * 20);
    EXPECT_EQ(a.timeoutMs, SendPolicy::kPatientMs);
    p.finish(a, SendResult::Delivered);
  }
}

TEST(SendPolicy, NestedSendsShareTheOutermostDeadline) {
  SendPolicy p;
  const auto outer = p.begin(7, 1000);
  EXPECT_EQ(outer.timeoutMs, 5000u);
  // A feeder tick handled 3 s into the outer wait forwards to the same window.
  const auto inner = p.begin(7, 4000);
  EXPECT_EQ(inner.timeoutMs, 2000u);
  p.finish(inner, SendResult::Delivered);
  // Other windows are not affected.
  EXPECT_EQ(p.begin(8, 4000).timeoutMs, SendPolicy::kPatientMs);
  // Past the deadline an inner send still gets a brief try, never zero.
  const auto late = p.begin(7, 9000);
  EXPECT_EQ(late.timeoutMs, SendPolicy::kBriefMs);
  p.finish(late, SendResult::NotAnswered);
  p.finish(outer, SendResult::NotAnswered);
  // The nest is over: the next send starts a deadline of its own.
  EXPECT_EQ(p.begin(7, 9100).timeoutMs, SendPolicy::kPatientMs);
}

}  // namespace
}  // namespace orv
