// The notification-area icon: its tooltip, its notices and its menu in each
// state of the recording, the feed and the tester.
#include <functional>
#include <optional>

#include "core/notification_text.h"
#include "tests/unit/feed_hub_fixture.h"

namespace orv {
inline void PrintTo(const ShownNotice& n, std::ostream* out) {
  *out << "{" << static_cast<int>(n.kind) << ", \"" << n.title << "\", \"" << n.text << "\"}";
}
}  // namespace orv

namespace orv::test {
namespace {

const char* const kPattern = "C:\\t\\{symbol}-{date}.csv";
const std::string kEurUsdFile = "C:\\t\\EURUSD-20261206.csv";

class NotificationTest : public FeedHubTest {
 public:
  // What each case's steps use.
  using FeedHubTest::announce;
  using FeedHubTest::be;
  using FeedHubTest::hub;
  using FeedHubTest::testerRunning;
  using FeedHubTest::tick;
  void later(int seconds) {
    be.seconds += seconds;
    be.now += std::chrono::seconds(seconds);
  }

 protected:
  void restart(const StartOptions& options) {
    hub.reset();
    be = MemoryBackend();
    be.controlNames = controlName;
    hub = std::make_unique<FeedHub>(be, options);
  }
  // The menu in short: "show | folder C:\t | -log | ...", "-" for an item that cannot be used.
  std::string menuText(const std::vector<NotificationMenuItem>& items) const {
    static const char* const kNames[] = {"", "show", "folder", "log", "check", "close", "export"};
    std::string out;
    for (const NotificationMenuItem& item : items) {
      if (!out.empty()) out += " | ";
      out += std::string(item.enabled ? "" : "-") + kNames[static_cast<int>(item.command)];
      if (!item.target.empty()) out += " " + item.target;
    }
    return out;
  }
};

StartOptions recordingTo(const std::string& pattern, bool live = false) {
  StartOptions o;
  o.recordPattern = pattern;
  o.live = live;
  return o;
}

StartOptions liveOnly() {
  StartOptions o;
  o.live = true;
  return o;
}

TEST_F(NotificationTest, TheTooltipNoticesAndMenuTellEachState) {
  const std::string emoji = "\xF0\x9F\x98\x80";  // two UTF-16 units
  std::string manyEmoji;
  for (int i = 0; i < 35; ++i) manyEmoji += emoji;
  std::string thirtyEmoji;
  for (int i = 0; i < 30; ++i) thirtyEmoji += emoji;
  const ShownNotice failed{NoticeKind::Warning, "Orvalda cannot record",
                           "Cannot record to EURUSD-20261206.csv: The device is not ready. Orvalda tries again and "
                           "goes on recording as soon as it can."};
  const std::string usualMenu =
      "show | folder C:\\t | log C:\\t\\orvalda.log | check " + kEurUsdFile + " | close";
  struct Case {
    const char* what;
    StartOptions options;
    std::function<void(NotificationTest&)> act;
    std::string tip;
    std::vector<ShownNotice> notices;
    std::string menu;
  };
  const Case cases[] = {
      {"nothing yet", {}, [](NotificationTest&) {}, "Waiting for a feeder\nZentavor not in use", {},
       "show | -folder | -log | -check | close"},
      {"armed by --record", recordingTo(kPattern), [](NotificationTest&) {},
       "Waiting for a feeder; recording from its first tick\nZentavor not in use", {},
       "show | folder C:\\t | -log | -check | close"},
      {"recording, 2 s after its third tick", recordingTo(kPattern),
       [](NotificationTest& t) {
         t.announce("EURUSD", 5);
         for (int i = 0; i < 3; ++i) t.tick(2, 1);
         t.later(2);
       },
       "Recording EURUSD-20261206.csv \xC2\xB7 3 rows \xC2\xB7 last tick 2 s ago\nZentavor not in use", {}, usualMenu},
      {"the user's recording, forwarded", {},
       [](NotificationTest& t) {
         t.testerRunning();
         t.be.saveDialog = [](std::string& name, const SaveDialogOptions&) {
           name = "D:\\ticks\\mine.csv";
           return true;
         };
         t.hub->click(Control::RecordButton);
         t.tick(2, 1);
         t.hub->click(Control::LiveBox);
         for (int i = 0; i < 1233; ++i) t.tick(2, 1);
       },
       "Recording mine.csv \xC2\xB7 1,234 rows \xC2\xB7 last tick 0 s ago\nLinked to Zentavor", {},
       "show | folder D:\\ticks | -log | check D:\\ticks\\mine.csv | close"},
      {"not recording, the feed quiet", {},
       [](NotificationTest& t) {
         t.tick(2, 1);
         t.later(150);
       },
       "Not recording \xC2\xB7 last tick 2 min ago\nZentavor not in use", {},
       "show | -folder | -log | -check | close"},
      {"the file fails", recordingTo(kPattern),
       [](NotificationTest& t) {
         t.be.openErrors[kEurUsdFile] = "The device is not ready";
         t.announce("EURUSD", 5);
         t.tick(2, 1);
       },
       "Trying again to record EURUSD-20261206.csv (The device is not ready)\nZentavor not in use", {failed},
       usualMenu},
      {"the file records again", recordingTo(kPattern),
       [](NotificationTest& t) {
         t.be.nextOpenErrors[kEurUsdFile] = "The device is not ready";
         t.announce("EURUSD", 5);
         t.tick(2, 1);  // lost: the next try is a second later
         t.later(1);
         t.tick(4, 3);
       },
       "Recording EURUSD-20261206.csv \xC2\xB7 1 row \xC2\xB7 last tick 0 s ago\nZentavor not in use",
       {failed, {NoticeKind::Info, "Orvalda records again", "Recording to EURUSD-20261206.csv again; 1 tick was lost."}},
       usualMenu},
      {"looking for the tester", liveOnly(), [](NotificationTest& t) { t.tick(2, 1); },
       "Not recording \xC2\xB7 last tick 0 s ago\nLooking for Zentavor", {}, "show | -folder | -log | -check | close"},
      {"the tester found", liveOnly(),
       [](NotificationTest& t) {
         t.tick(2, 1);
         t.testerRunning();
         t.hub->timerElapsed(TimerRole::TesterSearch);
       },
       "Not recording \xC2\xB7 last tick 0 s ago\nLinked to Zentavor",
       {{NoticeKind::Info, "Zentavor found", "Orvalda passes ticks on to Zentavor from now on."}},
       "show | -folder | -log | -check | close"},
      {"the tester gone, looked for", liveOnly(),
       [](NotificationTest& t) {
         t.testerRunning();
         t.tick(2, 1);
         t.be.windows.clear();
         t.be.sendResult = SendResult::NoWindow;
         t.tick(4, 3);
       },
       "Not recording \xC2\xB7 last tick 0 s ago\nLooking for Zentavor",
       {{NoticeKind::Warning, "Zentavor is gone",
         "Zentavor closed its window; 1 tick was not passed on to it. Orvalda looks for it and passes ticks on again "
         "once it is back."}},
       "show | -folder | -log | -check | close"},
      {"stopped, with {symbol} in the folder: the one log, the recording just made",
       recordingTo("C:\\t\\{symbol}\\{date}.csv"),
       [](NotificationTest& t) {
         t.announce("EURUSD", 5);
         t.tick(2, 1);
         t.hub->click(Control::RecordButton);
         EXPECT_EQ(t.be.fileAt("C:\\t\\EURUSD\\orvalda.log"), nullptr) << "one log, beside no symbol's files";
       },
       "Not recording \xC2\xB7 last tick 0 s ago\nZentavor not in use", {},
       "show | folder C:\\t\\EURUSD | log C:\\t\\orvalda.log | check C:\\t\\EURUSD\\20261206.csv | close"},
      {"a name too long for the tooltip", recordingTo("C:\\t\\{symbol}-" + manyEmoji + ".csv"),
       [](NotificationTest& t) {
         t.announce("EURUSD", 5);
         t.tick(2, 1);
       },
       "Recording EURUSD-" + thirtyEmoji + "\xE2\x80\xA6 \xC2\xB7 1 row \xC2\xB7 last tick 0 s ago\nZentavor not in use",
       {},
       "show | folder C:\\t | log C:\\t\\orvalda.log | check C:\\t\\EURUSD-" + manyEmoji + ".csv | close"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    restart(c.options);
    hub->startNotificationTips();
    EXPECT_EQ(be.runningTimers.at(timerId(TimerRole::NotificationTip)), 1000u);
    const std::size_t shown = be.notificationTips.size();
    c.act(*this);
    EXPECT_EQ(be.notificationTips.size(), shown) << "the tooltip changes only at its timer";
    hub->timerElapsed(TimerRole::NotificationTip);
    ASSERT_FALSE(be.notificationTips.empty());
    EXPECT_EQ(be.notificationTips.back(), c.tip);
    EXPECT_LE(utf16Units(be.notificationTips.back()), kNotificationTextUnits);
    EXPECT_EQ(be.notices, c.notices);
    EXPECT_EQ(menuText(hub->notificationMenu(true)), c.menu);
    const std::size_t before = be.notificationTips.size();
    hub->timerElapsed(TimerRole::NotificationTip);  // nothing changed: nothing shown again
    EXPECT_EQ(be.notificationTips.size(), before);
  }
  // With the exporter installed its item follows the checker's.
  EXPECT_EQ(menuText(hub->notificationMenu(true, true)),
            "show | folder C:\\t | log C:\\t\\orvalda.log | check C:\\t\\EURUSD-" + manyEmoji + ".csv | export C:\\t\\EURUSD-" + manyEmoji + ".csv | close");
  // Without the checker installed its item is left out.
  EXPECT_EQ(menuText(hub->notificationMenu(false)),
            "show | folder C:\\t | log C:\\t\\orvalda.log | close");
}

// The report no browser showed is told; one that a browser shows, or still
// may, is not. Where read times are kept, only the report's own read counts:
// a launcher that ended well may have started a browser that refused.
TEST(CheckReport, AReportNoBrowserShowedIsTold) {
  using enum ReportShown;
  struct Case {
    ReportShowing showing;  // ended, exitCode, readsKept, read, timeUp
    ReportShown shown;
  };
  for (const Case& c : {Case{{true, 1, false, false, false}, No},
                        Case{{true, 1, true, false, false}, No},
                        Case{{true, 0, false, false, false}, Yes},
                        Case{{false, 0, false, false, false}, NotYet},
                        Case{{false, 0, false, false, true}, Yes},
                        Case{{true, 0, true, false, false}, NotYet},
                        Case{{true, 0, true, false, true}, No},
                        Case{{false, 0, true, true, false}, Yes}}) {
    const ReportShowing& s = c.showing;
    SCOPED_TRACE(::testing::Message() << s.ended << s.exitCode << s.readsKept << s.read << s.timeUp);
    EXPECT_EQ(reportShown(s), c.shown);
  }
  EXPECT_EQ(reportNotShownText("C:\\tmp\\r.html"),
            "The report was written to C:\\tmp\\r.html, but no browser could be started to show it");
  // The opener beside the report sends a browser on to it, by a name made safe for a URL.
  EXPECT_EQ(reportOpenerPath("C:\\tmp.d\\orvalda-check-EURUSD.html"), "C:\\tmp.d\\orvalda-check-EURUSD-open.html");
  const std::string page = reportOpenerPage("orvalda-check-EUR \"<&>\xC3\xA9.html");
  EXPECT_NE(page.find("url=orvalda-check-EUR%20%22%3C%26%3E%C3%A9.html\""), std::string::npos) << page;
  EXPECT_EQ(page.find_first_of("<&>\"", page.find("url=") + 4), page.find('"', page.find("url=")));
}

// Both tools are told the zone the recording's stamps were written in.
TEST_F(NotificationTest, TheToolsAreToldTheRecordingsClock) {
  using Args = std::vector<std::string>;
  const std::string report = "C:\\tmp\\r.html";
  struct Case {
    bool utc;
    const char* machineZone;
    Args clock;
  };
  for (const Case& c : {Case{true, "W. Europe Standard Time", {"--from", "UTC"}},
                        Case{false, "W. Europe Standard Time", {"--from", "W. Europe Standard Time"}},
                        Case{false, "", {}}}) {
    SCOPED_TRACE(std::string(c.machineZone) + (c.utc ? " --utc" : ""));
    StartOptions options = recordingTo(kPattern);
    options.utc = c.utc;
    restart(options);
    Args exporter = c.clock, checker = c.clock;
    exporter.push_back(kEurUsdFile);
    checker.insert(checker.end(), {"--html", report, kEurUsdFile});
    EXPECT_EQ(hub->exporterArguments(kEurUsdFile, c.machineZone), exporter);
    EXPECT_EQ(hub->checkerArguments(report, kEurUsdFile, c.machineZone), checker);
  }
}

}  // namespace
}  // namespace orv::test
