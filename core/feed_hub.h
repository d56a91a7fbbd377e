// FeedHub: the main window's logic. A small coordinator that owns the
// window's controls and routes the feeder's messages, the user's clicks and
// the timers to the parts that do the work, each with its own state:
//  - AnnouncedSymbol   the symbol and decimals the feeder announced;
//  - FeedWatchdog      how long the feed has been quiet;
//  - TesterLink        the link to the tester, and the search for one;
//  - TableReplay       the built-in table replayed to the tester;
//  - RecordingFile     the file of a recording the user started;
//  - UnattendedRecording  the files a --record pattern names.
// It knows the window system only through Backend and the toolkit controls;
// ui/ forwards the real window's events to it. The parts tell it what
// happens by the callbacks it sets on them; it alone decides what the user
// is told, and shows it.
//
// The road of a tick: shown on the tick line, its row written while a
// recording goes on, then forwarded while the tester link is open.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/announced_symbol.h"
#include "core/command_line.h"
#include "core/feed_watchdog.h"
#include "core/recording_file.h"
#include "core/replay.h"
#include "core/notification_text.h"
#include "core/tester_link.h"
#include "core/tick_text.h"
#include "core/notification_menu.h"
#include "core/unattended_recording.h"
#include "core/wall_time.h"
#include "core/window_model.h"
#include "platform/backend.h"
#include "platform/toolkit.h"

namespace orv {

// The main window's controls, in the window's order: the logic sets their
// state, ui/ shows it (ui/control_table.h names each one's member).
struct MainWindowModel {
  explicit MainWindowModel(Backend& backend);
  BitmapButton closeButton;
  Label tickLine;
  BitmapButton recordButton;
  SaveDialog saveDialog;
  CheckBox liveBox;
  CheckBox testDataBox;
  Label silenceLine;
};

inline constexpr const char* kLastFolderSetting = "LastFolder";  // of the save dialog, kept between runs

class FeedHub {
 public:
  // options.recordPattern, when given, must be absolute (see startFolderPattern).
  explicit FeedHub(Backend& backend, const StartOptions& options = {});
  ~FeedHub();
  FeedHub(const FeedHub&) = delete;
  FeedHub& operator=(const FeedHub&) = delete;

  // A message another program sent to the main window. Returns false for a
  // code that is not the feeder's: the caller then gives it the window's
  // default handling. message.result is what the sender's send returns.
  bool handleFeedMessage(Message& message);

  // What a user or the window system does to the window: a click on a
  // control (or the key that stands for one), one period of a timer.
  void click(Control control);
  void timerElapsed(TimerRole timer);

  // The close question: unticks both boxes, then asks. True: the user said Yes.
  bool confirmClose();
  // The close operation: the close question, then the end of the loop on Yes.
  void close();
  // Windows asks whether the session may end (log-off, shutdown). A run
  // started to record (--record) says yes without a word: nobody may be
  // there to answer. Otherwise the close question; a question that fails
  // answers as No would, and its error is shown.
  bool mayEndSession();
  // The session did not end after all (another program refused): "Live
  // Data" is as it was before the question.
  void sessionEndCancelled();
  // The session ends: every open recording is ended (an unattended one
  // logged with its summary), then the run. The system may end the process
  // as soon as this returns.
  void sessionEnds();

  // The notification-area icon: its tooltip is shown now and kept current
  // every second from here on (call it once the window that runs the timers
  // exists). Its notices come as they happen: an unattended recording that
  // fails and recovers, a tester lost and found.
  void startNotificationTips();
  // What the tooltip tells, read now.
  NotificationSnapshot notificationSnapshot() const;
  // The icon's menu; checkerInstalled: the checker program is there to run.
  std::vector<NotificationMenuItem> notificationMenu(bool checkerInstalled, bool exporterInstalled = false) const;
  // The exporter's command line for the menu's recording: its stamps are in
  // this run's clock (machineZone: the machine's zone, as the system names it).
  std::vector<std::string> exporterArguments(std::string_view recording, std::string_view machineZone) const;
  // The checker's, the same clock given: its report written to reportPath.
  std::vector<std::string> checkerArguments(std::string_view reportPath, std::string_view recording,
                                            std::string_view machineZone) const;

  // The controls, for the window that shows them.
  const MainWindowModel& window() const noexcept { return window_; }
  const BitmapButton& recordButton() const noexcept { return window_.recordButton; }

 private:
  friend class FeedHubPeer;  // the unit tests' view of the parts' state

  // An unattended recording counts as recording from the start, while it
  // waits for its first tick and while it retries.
  bool isRecording() const noexcept;
  void onTick(const Quote& quote, bool forward = true);
  void onSymbolTail();
  void onRecordClicked();
  void endUnattendedRecording();
  void onLiveClicked();
  void onTestDataClicked();
  void setLive(bool on);
  void setTestData(bool on);
  void onPulse();
  void onTesterLost(std::uint64_t notPassedOn);
  void closeDeclined();
  void keepTimerPace();
  void startRecording();
  void stopRecording();
  void showRecordingState();
  void showNotificationTip();
  void notify(const Notice& notice);
  // What a recording told, for the user: a notice for the notification
  // area, if any, then an error box.
  struct Telling {
    std::optional<Notice> notice;
    std::string error;
  };
  void tell(const std::vector<Telling>& tellings);
  WallTime clock();

  Backend& backend_;
  // How the run was started.
  struct RunMode {
    bool utc;            // UTC instead of local time everywhere
    bool autoLive;       // tick "Live Data" by itself once it can, and look for the tester
    bool unattendedRun;  // started to record (--record): nobody need be at the window
  };
  const RunMode mode_;
  MainWindowModel window_;
  Timer pulseTimer_;  // paces the replay, or runs the watchdog once a symbol is announced
  // The notification icon's tooltip: its timer, and the text last shown.
  struct TipLine {
    Timer timer;
    std::string shown;
  } tip_;

  // The parts.
  AnnouncedSymbol symbol_;
  FeedWatchdog watchdog_;
  TesterLink link_;
  TableReplay replay_;
  // The recordings, and what they told that the user is not told yet.
  struct Recordings {
    std::unique_ptr<RecordingFile> user;              // the user's recording; none while idle
    std::unique_ptr<UnattendedRecording> unattended;  // --record, until the user stops it
    std::string stoppedLogPath;                       // the log of an unattended recording the user stopped
    std::string stoppedPath;                          // the file recorded to last, once the user stopped it
    std::vector<Telling> untold;
  } recordings_;

  struct CloseQuestion {
    bool open = false;                  // the close question is open
    bool liveBeforeSessionEnd = false;  // "Live Data" when the session's end was last asked about
  } closing_;
  std::optional<Quote> firstTick_;  // the tick whose arrival ticks "Live Data", until it does

  // Working buffers of the per-tick texts. A tick handled inside the forward
  // of another finds the outer tick's texts already used.
  struct TickTexts {
    TextBuffer display;
    TextBuffer row;
  } texts_;
};

}  // namespace orv
