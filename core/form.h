// TForm1: the main window's logic and the one object that holds the
// recorder's state. It knows the window system only through Backend and the
// toolkit controls; ui/ forwards the real window's events to it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/backend.h"
#include "platform/toolkit.h"

namespace orv {

class RecordStream;

// Fixed values of the main window.
inline constexpr unsigned kReplayIntervalMs = 20;    // Timer1 from the layout
inline constexpr unsigned kWatchdogIntervalMs = 500; // Timer1 after a symbol announcement
inline constexpr unsigned kFlushIntervalMs = 1000;   // recorded rows reach the disk at least this often
inline constexpr std::int64_t kStaleAfterSeconds = 5;

class TForm1 {
 public:
  explicit TForm1(Backend& backend);
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // The window procedure for the protocol's codes. Returns false for any
  // other code: the caller then gives it the window's default handling.
  bool WndProc(Message& message);
  void ProcessTick(std::uint32_t wParam, std::uint32_t lParam);

  // Event handlers.
  void BitBtn1Click();
  void BitBtn2Click();
  void FormCloseQuery(bool& CanClose);
  void LiveCheckBoxClick();
  void Timer1Timer();
  void TestCheckBoxClick();
  void FlushTimerTimer();

  // The close operation: the close query, then the end of the loop on Yes.
  void Close();
  // The Windows session is ending: recorded rows must reach the disk now.
  void EndSession();

  Backend& backend;

  // Controls, in the form's order.
  BitBtn BitBtn2;
  Label TickLabel;
  BitBtn BitBtn1;
  SaveDialog SaveDialog1;
  Timer Timer1;
  CheckBox LiveCheckBox;
  CheckBox TestCheckBox;
  Label NoTickLabel;
  Timer FlushTimer;

  // The recorder's state.
  std::unique_ptr<RecordStream> RecordFile;  // none while idle
  std::string Symbol;
  std::string SymbolPair;
  std::int32_t Digits = 4;
  WindowHandle TesterWnd = 0;
  std::int64_t LastTickTime = 0;  // time() of the latest live tick; 0: none yet

 private:
  void symbolHead(std::uint32_t wParam, std::uint32_t lParam);
  void symbolTail(std::uint32_t wParam, std::uint32_t lParam);
  void connectTester();
  void disconnectTester();
  void replayStep();
  void watchdogStep();
  void startRecording();
  void stopRecording();
  std::unique_ptr<RecordStream> endRecording();
  void recordingFailed(std::string& reason);
};

}  // namespace orv
