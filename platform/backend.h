// The window-system operations the recorder needs, as one small interface.
// Two implementations: Win32 (the real program) and in memory (unit tests).
// The backends only carry operations out; every rule about what follows
// from them (check-box clicks, timer restarts, button kinds) lives in
// toolkit.h, once, above both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace orv {

// Opaque handle of a top-level window of another program; 0 is "none".
using WindowHandle = std::uint64_t;

// One reading of the local wall clock.
struct LocalTime {
  std::uint16_t year = 0, month = 0, day = 0;
  std::uint16_t hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The main window's controls, by their role.
enum class Control : int {
  TickLine,     // the latest tick, or the symbol just announced
  SilenceLine,  // seconds since the last tick when the feed has gone quiet
  RecordButton, // START RECORDING / STOP RECORDING
  CloseButton,
  TesterGroup,  // the frame around the two boxes below
  LiveBox,      // "Live Data": forward live ticks to the tester
  TestDataBox,  // "Test Data": replay the built-in table to the tester
};
inline constexpr int kControlCount = 7;
const char* controlName(Control c) noexcept;

// What a bitmap button stands for: its glyph, its stock caption, and whether
// Enter (Ok) or Escape (Cancel) presses it.
enum class ButtonKind : int { Ok, Cancel, Close };

// Colours as the toolkit encodes them: 0x00BBGGRR, or 0x80000000 | system colour index.
using Color = std::uint32_t;
inline constexpr Color kRed = 0x000000FF;
inline constexpr Color kWindowTextColor = 0x80000008;

// The timers the window runs. Pulse paces the replay, or runs the watchdog
// once a symbol has been announced; Reopen tries again to open the file of an
// unattended recording that failed; TesterSearch looks for a tester that is
// not there yet.
enum class TimerId : int { Pulse = 1, Reopen = 2, TesterSearch = 3 };

// What became of a message sent to another program's window.
enum class SendResult {
  Delivered,    // the window handled it
  NotAnswered,  // the window did not answer in time, or is hung: the message is lost
  NoWindow,     // the handle names no window (any more)
};

struct SaveDialogOptions {
  std::string_view defaultExt;  // "csv"
  std::string_view filter;      // "CSV files|*.csv"
  bool confirmOverwrite = true;
  std::string_view initialFolder;  // where the dialog opens; empty: the system's choice
};

// A file opened to be added to: how it ended before anything was added.
struct AppendStart {
  std::uint64_t size = 0;   // bytes it held
  char lastByte = '\0';     // its last byte, when it held any
};

// A file being recorded. Writes go straight to the system: the recorder
// hands each row over whole, in one write.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  // False with a readable reason on failure (disk full, file gone, ...).
  virtual bool write(const char* data, std::size_t size, std::string& error) = 0;
  virtual bool close(std::string& error) = 0;
};

class Backend {
 public:
  virtual ~Backend() = default;

  // Clocks.
  virtual LocalTime localTime() = 0;
  virtual LocalTime utcTime() = 0;
  virtual std::int64_t calendarSeconds() = 0;  // time(): whole seconds

  // Other programs' windows. send waits until the target has handled the
  // message, or gives up on a window that does not answer; the target's own
  // answer is not used.
  virtual WindowHandle findWindow(std::string_view title) = 0;
  virtual SendResult sendMessage(WindowHandle window, std::uint32_t msg, std::uint64_t wParam, std::int64_t lParam) = 0;

  // Drawing the controls' state, which the toolkit layer keeps.
  virtual void showCaption(Control c, const std::string& text) = 0;
  virtual void showFontColor(Control c, Color color) = 0;
  virtual void showChecked(Control c, bool checked) = 0;
  virtual void showEnabled(Control c, bool enabled) = 0;
  virtual void showButtonKind(Control c, ButtonKind kind) = 0;

  // Periodic timers. start replaces a running period of the same id;
  // false when the window system has no timer left.
  virtual bool startTimer(TimerId id, unsigned intervalMs) = 0;
  virtual void stopTimer(TimerId id) = 0;
  // The shortest timer period that must keep its pace now, 0 for none. The
  // system's timer ticks every 15.6 ms by default, which would stretch a
  // 20 ms period to 31 ms; the backend chooses the resolution from this.
  virtual void keepTimerPace(unsigned periodMs) = 0;

  // Modal windows. While one is open, incoming messages are still handled.
  virtual bool runSaveDialog(std::string& fileName, const SaveDialogOptions& options) = 0;
  virtual bool askYesNo(std::string_view text, std::string_view caption) = 0;
  virtual void showError(std::string_view text) = 0;

  // Creates or empties a file for recording; nullptr with a reason on failure.
  virtual std::unique_ptr<OutputFile> createFile(const std::string& path, std::string& error) = 0;
  // Opens a file to add to its end, creating it and any missing folders; it
  // is never emptied, and a write that fails part way is cut back no further
  // than where this run began. nullptr with a reason on failure.
  virtual std::unique_ptr<OutputFile> openForAppend(const std::string& path, AppendStart& start,
                                                    std::string& error) = 0;

  // The few values kept between runs (the folder last chosen for a
  // recording); an empty text when none is kept.
  virtual std::string loadSetting(std::string_view name) = 0;
  virtual void saveSetting(std::string_view name, std::string_view value) = 0;

  // Tells the message loop to end once it has handled what is queued.
  virtual void requestQuit() = 0;
};

}  // namespace orv
