// Recorder: the main window's logic and the one object that holds the
// recorder's state. It knows the window system only through Backend and the
// toolkit controls; ui/ forwards the real window's events to it.
//
// What it does with the feeder's messages:
//  - a symbol announcement (head, then tail with the number of decimals)
//    names the ticks that follow and switches the pulse timer from pacing the
//    replay to watching for a quiet feed;
//  - every tick is shown on the tick line, recorded while a recording is
//    open, and forwarded to the tester while the tester link is open.
// Started with options (StartOptions), it also records unattended: to files
// named from a pattern, one per symbol (and per day with `daily`), tried
// again once a minute when the disk fails it; it can tick "Live Data" by
// itself and wait for a tester that starts later.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/command_line.h"
#include "core/tick_text.h"
#include "platform/backend.h"
#include "platform/toolkit.h"

namespace orv {

class RecordStream;

// Fixed values of the main window.
inline constexpr unsigned kReplayIntervalMs = 20;    // the pulse while it paces the replay
inline constexpr unsigned kWatchdogIntervalMs = 500; // the pulse once a symbol has been announced
inline constexpr std::int64_t kStaleAfterSeconds = 5;
inline constexpr unsigned kReopenIntervalMs = 60000;       // an unattended recording's next try after a failure
inline constexpr unsigned kTesterSearchIntervalMs = 3000;  // --live: looking for a tester not there yet
inline constexpr const char* kLogName = "orvalda.log";     // beside unattended recordings
inline constexpr const char* kLastFolderSetting = "LastFolder";  // of the save dialog, kept between runs

class Recorder {
 public:
  explicit Recorder(Backend& backend, const StartOptions& options = {});
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // A message another program sent to the main window. Returns false for a
  // code that is not the feeder's: the caller then gives it the window's
  // default handling. message.result is what the sender's send returns.
  bool handleFeedMessage(Message& message);

  // What a user or the window system does to the window: a click on a
  // control (or the key that stands for one), one period of a timer.
  void click(Control control);
  void timerElapsed(TimerId timer);

  // The close question: unticks both boxes, then asks. True: the user said Yes.
  bool confirmClose();
  // The close operation: the close question, then the end of the loop on Yes.
  void close();
  // Windows asks whether the session may end: the close question. A question
  // that fails answers as No would, and its error is shown.
  bool mayEndSession();

  // The controls, for the window that shows them.
  const Label& tickLine() const noexcept { return tickLine_; }
  const Label& silenceLine() const noexcept { return silenceLine_; }
  const BitmapButton& recordButton() const noexcept { return recordButton_; }
  const BitmapButton& closeButton() const noexcept { return closeButton_; }
  const CheckBox& liveBox() const noexcept { return liveBox_; }
  const CheckBox& testDataBox() const noexcept { return testDataBox_; }
  const Timer& pulseTimer() const noexcept { return pulseTimer_; }

  // The state, read-only.
  const std::string& symbol() const noexcept { return symbol_; }
  const std::string& pairText() const noexcept { return pairText_; }
  std::int32_t digits() const noexcept { return digits_; }
  std::int64_t lastTickTime() const noexcept { return lastTickTime_; }
  WindowHandle tester() const noexcept { return tester_; }
  std::uint64_t ticksNotTaken() const noexcept { return ticksNotTaken_; }
  bool isRecording() const noexcept { return recording_ != nullptr; }
  std::int32_t replayRow() const noexcept { return replayRow_; }
  // Moves the replay to a row of the table (rows past the end wrap to 0).
  void seekReplay(std::int32_t row) noexcept;

 private:
  void onTick(std::uint32_t ask, std::uint32_t bid);
  void onSymbolHead(std::uint32_t wParam, std::uint32_t lParam);
  void onSymbolTail(std::uint32_t wParam, std::uint32_t lParam);
  void onRecordClicked();
  void onLiveClicked();
  void onTestDataClicked();
  void onPulse();
  void connectTester();
  void disconnectTester();
  void sendToTester(std::uint32_t msg, std::uint64_t wParam, std::int64_t lParam);
  void reportTicksNotTaken();
  void updateTimerPace();
  void replayStep();
  void watchdogStep();
  void startRecording();
  void stopRecording();
  LocalTime clock();
  void recordRow(const LocalTime& now, std::uint32_t ask, std::uint32_t bid, std::string& failure);
  void followAnnouncedSymbol();
  bool openPatternFile(const LocalTime& now, std::string& failure);
  void patternFileFailed(const std::string& path, const std::string& message);
  void onReopen();
  void onTesterSearch();
  void writeLog(const std::string& folder, const std::string& text);
  std::unique_ptr<RecordStream> endRecording();
  void recordingFailed(std::string& reason);

  Backend& backend_;

  // Controls, in the window's order.
  BitmapButton closeButton_;
  Label tickLine_;
  BitmapButton recordButton_;
  SaveDialog saveDialog_;
  Timer pulseTimer_;  // paces the replay, or runs the watchdog once a symbol is announced
  CheckBox liveBox_;
  CheckBox testDataBox_;
  Label silenceLine_;
  Timer reopenTimer_;        // an unattended recording that failed is tried again
  Timer testerSearchTimer_;  // --live: looks for a tester that is not there yet

  // The recorder's state.
  std::unique_ptr<RecordStream> recording_;  // none while idle
  std::string symbol_;                       // "EURUSD"
  std::string pairText_;                     // "EUR/USD", as the rows show it
  std::int32_t digits_ = 4;                  // decimals of the price points
  WindowHandle tester_ = 0;                  // set while the tester link is open
  std::int64_t lastTickTime_ = 0;            // calendar seconds of the latest live tick; 0: none yet
  std::int32_t replayRow_ = 0;               // next row of the built-in table to replay
  std::uint64_t ticksNotTaken_ = 0;          // by the tester since it last answered
  bool replaySending_ = false;               // a replay step waits in its send
  // How it was started.
  bool utc_ = false;                        // UTC instead of local time everywhere
  bool autoLive_ = false;                   // tick "Live Data" by itself once usable
  std::optional<std::string> pattern_;      // unattended recording's file names, while it goes on
  bool daily_ = false;                      // a new file of the pattern at midnight
  // The unattended recording's file: its symbol and day, and how it fares.
  std::string fileSymbol_;
  std::uint32_t fileDay_ = 0;
  std::string failedPath_;                  // the file that failed, while it is tried again
  std::uint64_t ticksNotRecorded_ = 0;      // since it failed
  // Working buffers of the per-tick texts. A tick handled inside the forward
  // of another finds the outer tick's texts already used.
  TextBuffer displayText_;
  TextBuffer rowText_;
};

}  // namespace orv
