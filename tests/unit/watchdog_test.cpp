// The stale-feed watchdog.
#include "tests/unit/form_fixture.h"

namespace orv::test {
namespace {

class WatchdogTest : public FormTest {
 protected:
  WatchdogTest() { announce("EURUSD", 5); }
};

TEST_F(WatchdogTest, FreshUpToFiveSecondsStaleFromSix) {
  const std::int64_t t = be.seconds;
  tick(108166, 108150);
  be.seconds = t + 5;
  form->Timer1.fire();
  EXPECT_EQ(form->TickLabel.fontColor(), clWindowText);
  EXPECT_EQ(form->NoTickLabel.caption(), "");
  be.seconds = t + 6;
  form->Timer1.fire();
  EXPECT_EQ(form->TickLabel.fontColor(), clRed);
  EXPECT_EQ(form->NoTickLabel.caption(), "6 sec");
  be.seconds = t + 3600;
  form->Timer1.fire();
  EXPECT_EQ(form->NoTickLabel.caption(), "3600 sec");
  // Ticks resume: the next step restores the line, not the tick itself.
  tick(108166, 108150);
  EXPECT_EQ(form->TickLabel.fontColor(), clRed);
  form->Timer1.fire();
  EXPECT_EQ(form->TickLabel.fontColor(), clWindowText);
  EXPECT_EQ(form->NoTickLabel.caption(), "");
}

TEST_F(WatchdogTest, NothingChangesBeforeTheFirstTick) {
  be.seconds += 1000;
  be.log.clear();
  form->Timer1.fire();
  EXPECT_EQ(form->NoTickLabel.caption(), "No Ticks");
  EXPECT_TRUE(be.log.empty());
}

TEST_F(WatchdogTest, AClockSetBackCountsAsFresh) {
  tick(1, 1);
  be.seconds += 10;
  form->Timer1.fire();
  EXPECT_EQ(form->NoTickLabel.caption(), "10 sec");
  be.seconds -= 20;
  form->Timer1.fire();
  EXPECT_EQ(form->TickLabel.fontColor(), clWindowText);
  EXPECT_EQ(form->NoTickLabel.caption(), "");
}

TEST_F(WatchdogTest, WorksPast2038) {
  be.seconds = 4'102'444'800;  // 2100-01-01
  tick(1, 1);
  be.seconds += 7;
  form->Timer1.fire();
  EXPECT_EQ(form->NoTickLabel.caption(), "7 sec");
}

TEST(WatchdogWithoutAnnouncement, TicksAloneNeverStartItUntilTestDataIsToggled) {
  TestPos = 0;
  MemoryBackend be;
  TForm1 form(be);
  Message m;
  m.msg = WM_TICK;
  form.WndProc(m);
  EXPECT_FALSE(form.Timer1.enabled());
  EXPECT_EQ(form.NoTickLabel.caption(), "No Ticks");
  form.TestCheckBox.click();
  form.TestCheckBox.click();
  // The watchdog now runs at the layout's 20 ms.
  EXPECT_EQ(be.runningTimers.at(TimerId::Timer1), 20u);
  be.seconds += 6;
  form.Timer1.fire();
  EXPECT_EQ(form.NoTickLabel.caption(), "6 sec");
}

TEST(WatchdogWithoutAnnouncement, ReplayedRowsNeitherRefreshNorAgeTheDisplay) {
  TestPos = 0;
  MemoryBackend be;
  be.windows["Zentavor"] = 7;
  TForm1 form(be);
  Message m;
  m.msg = WM_TICK;
  form.WndProc(m);
  form.TestCheckBox.click();
  form.TestCheckBox.click();
  be.seconds += 6;
  form.Timer1.fire();
  ASSERT_EQ(form.NoTickLabel.caption(), "6 sec");
  form.TestCheckBox.click();
  be.seconds += 10;
  for (int i = 0; i < 5; ++i) form.Timer1.fire();  // replay steps only
  EXPECT_EQ(form.NoTickLabel.caption(), "6 sec");
  EXPECT_EQ(form.TickLabel.fontColor(), clRed);
}

}  // namespace
}  // namespace orv::test
