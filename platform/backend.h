// The window-system operations a program built on the toolkit needs, as one
// small interface. Two implementations: Win32 (the real program) and in
// memory (unit tests). The backends only carry operations out; every rule
// about what follows from them (check-box clicks, timer restarts, button
// kinds) lives in toolkit.h, once, above both, and every rule about files
// lives above the raw file below. Nothing here knows which program uses it:
// controls and timers are numbers the program chooses.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/archiver.h"

namespace orv {

// Opaque handle of a top-level window of another program; 0 is "none".
using WindowHandle = std::uint64_t;

// A child control of the program's main window, and a periodic timer of it,
// by the numbers the program gives them.
using ControlId = int;
using TimerId = int;

// What a bitmap button stands for: its glyph, its stock caption, and whether
// Enter (Ok) or Escape (Cancel) presses it.
enum class ButtonKind : int { Ok, Cancel, Close };

// Colours as the toolkit encodes them: 0x00BBGGRR, or 0x80000000 | system colour index.
using Color = std::uint32_t;

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

// A file as the system keeps it, with no rule of its own. Every write lands
// at the file's current end, wherever other writers have brought it (append
// only). Paths are UTF-8.
class RawFile {
 public:
  virtual ~RawFile() = default;
  // Writes at the end. `written` is how much reached the file, also when it
  // fails part way. False with a readable reason (disk full, file gone, ...).
  virtual bool append(const char* data, std::size_t size, std::size_t& written, std::string& error) = 0;
  virtual bool size(std::uint64_t& bytes, std::string& error) = 0;
  // Reads exactly `size` bytes from `offset`.
  virtual bool read(std::uint64_t offset, char* out, std::size_t size, std::string& error) = 0;
  virtual bool truncate(std::uint64_t size, std::string& error) = 0;
  virtual bool close(std::string& error) = 0;
  // Writers of one file take turns: each holds the turn while it adds to the
  // file and while it cuts back what it added, so no other writer's bytes
  // land between its look at the end and its cut. A turn to add may be
  // only nominal while no other writer is there (it then costs nothing);
  // a turn to cut back is asked for inside it, and is false when the cut
  // is not safe (the turn could not be had within a short wait, or another
  // writer may add without it): nothing may be cut back then. endTurn ends
  // whatever was taken.
  enum class TurnFor { Adding, CuttingBack };
  // Another writer (another copy of Orvalda) holds the file open now.
  virtual bool othersAddToIt() = 0;
  virtual bool takeTurn(TurnFor why) = 0;
  virtual void endTurn() = 0;
};

// How a notice beside the notification-area icon looks.
enum class NoticeKind { Info, Warning };

// The room the notification area has for its texts, in UTF-16 code units.
inline constexpr std::size_t kNotificationTextUnits = 127;  // the icon's tooltip
inline constexpr std::size_t kNoticeTitleUnits = 63;
inline constexpr std::size_t kNoticeTextUnits = 255;

enum class FileOpening {
  Empty,   // created, or emptied when it is there
  AddTo,   // kept as it is; created, with every missing folder on its way, when it is not
  Existing,  // kept as it is; fails when it is not there (nothing is made)
};

// The backend's narrow doors: each part of the program takes the one or two
// it uses, never the whole backend.

// Clocks: the wall clock in local time and in UTC, to the millisecond, and
// whole seconds since 1970 as time() gives them.
class WallClock {
 public:
  virtual ~WallClock() = default;
  virtual std::chrono::local_time<std::chrono::milliseconds> localNow() = 0;
  virtual std::chrono::sys_time<std::chrono::milliseconds> utcNow() = 0;
  virtual std::int64_t calendarSeconds() = 0;
};

// Other programs' windows. send waits until the target has handled the
// message, or gives up on a window that does not answer; the target's own
// answer is not used. findWindow finds another program's window by its
// title, never a folder window of the shell (a folder may bear any name).
class WindowSender {
 public:
  virtual ~WindowSender() = default;
  virtual WindowHandle findWindow(std::string_view title) = 0;
  virtual SendResult sendMessage(WindowHandle window, std::uint32_t msg, std::uint64_t wParam, std::int64_t lParam) = 0;
};

// Periodic timers. start replaces a running period of the same id;
// false when the window system has no timer left.
class TimerService {
 public:
  virtual ~TimerService() = default;
  virtual bool startTimer(TimerId id, unsigned intervalMs) = 0;
  virtual void stopTimer(TimerId id) = 0;
};

// Opens a file to write; nullptr with a reason on failure.
class FileOpener {
 public:
  virtual ~FileOpener() = default;
  virtual std::unique_ptr<RawFile> openFile(const std::string& path, FileOpening how, std::string& error) = 0;
};

// Every operation, for the coordinator and the window that owns it.
class Backend : public WallClock, public WindowSender, public TimerService, public FileOpener {
 public:
  ~Backend() override = default;

  // Drawing the controls' state, which the toolkit layer keeps.
  virtual void showCaption(ControlId c, const std::string& text) = 0;
  virtual void showFontColor(ControlId c, Color color) = 0;
  virtual void showChecked(ControlId c, bool checked) = 0;
  virtual void showEnabled(ControlId c, bool enabled) = 0;
  virtual void showButtonKind(ControlId c, ButtonKind kind) = 0;

  // The shortest timer period that must keep its pace now, 0 for none. The
  // system's timer ticks every 15.6 ms by default, which would stretch a
  // 20 ms period to 31 ms; the backend chooses the resolution from this.
  virtual void keepTimerPace(unsigned periodMs) = 0;

  // Modal windows. While one is open, incoming messages are still handled.
  virtual bool runSaveDialog(std::string& fileName, const SaveDialogOptions& options) = 0;
  virtual bool askYesNo(std::string_view text, std::string_view caption) = 0;
  // Never waits: the text is shown once the message being handled has been answered.
  virtual void showError(std::string_view text) = 0;

  // The program's icon in the notification area: its tooltip (one or two
  // lines, at most kNotificationTextUnits), and a notice beside it that nobody has
  // to answer. Neither waits: both are shown once the message being handled
  // has been answered.
  virtual void showNotificationTip(std::string_view text) = 0;
  virtual void notify(NoticeKind kind, std::string_view title, std::string_view text) = 0;

  // The few values kept between runs (the folder last chosen for a
  // recording); an empty text when none is kept.
  virtual std::string loadSetting(std::string_view name) = 0;
  virtual void saveSetting(std::string_view name, std::string_view value) = 0;

  // Where work on whole files goes, off the window's thread.
  virtual Archiver& archiver() = 0;

  // Tells the message loop to end once it has handled what is queued.
  virtual void requestQuit() = 0;
};

}  // namespace orv
