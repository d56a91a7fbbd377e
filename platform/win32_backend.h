// The window-system operations on Win32.
//
// The backend carries the operations out and decides nothing: the toolkit
// layer keeps every control's state and calls show* after a change; here the
// change reaches the control's window, which the main window binds once it
// has created them. Labels and bitmap buttons paint from the toolkit's state,
// so a new colour or kind only asks them to repaint.
//
// Where the methods live:
//  - win32_backend.cpp: the clocks, finding and sending to other windows,
//    the show* of the controls, the timers, the save dialog, the question
//    and the error display (with its hidden window), the settings, openFile
//    (over win32_file.cpp's raw file) and the end of the loop;
//  - this header: the tooltip and notices, handed to the notification icon;
//  - win32_notification_icon.cpp: NotificationIcon, the icon with its own
//    hidden window: its calls to the shell, the shell's clicks, its menu;
//  - win32_hidden_window.cpp: HiddenWindow, the windows that only take messages.
#pragma once

#include "platform/win32.h"

#include <vector>
#include <string>
#include <utility>

#include "platform/backend.h"
#include "platform/win32_archiver.h"
#include "platform/error_queue.h"
#include "platform/win32_hidden_window.h"
#include "platform/win32_messages.h"
#include "platform/win32_notification_icon.h"
#include "platform/send_policy.h"

namespace orv {

class Win32Backend : public Backend {
 public:
  // appTitle: the caption of the error display, the application's name.
  explicit Win32Backend(std::string appTitle) : appTitle_(std::move(appTitle)), notificationIcon_(appTitle_) {}

  // The application's hidden window: owner of the save dialog and the error display.
  void setAppWindow(HWND window) noexcept { app_ = window; }
  // The main window: owner of the question box and of the timers.
  void setMainWindow(HWND window) noexcept { main_ = window; }
  void bindControl(ControlId control, HWND window);

  HWND mainWindow() const noexcept { return main_; }
  HWND controlWindow(ControlId control) const noexcept;

  std::chrono::local_time<std::chrono::milliseconds> localNow() override;
  std::chrono::sys_time<std::chrono::milliseconds> utcNow() override;
  std::int64_t calendarSeconds() override;
  std::int64_t monotonicMs();  // a steady clock, for the send waits

  WindowHandle findWindow(std::string_view title) override;
  SendResult sendMessage(WindowHandle window, std::uint32_t msg, std::uint64_t wParam, std::int64_t lParam) override;

  void showCaption(ControlId c, const std::string& text) override;
  void showFontColor(ControlId c, Color color) override;
  void showChecked(ControlId c, bool checked) override;
  void showEnabled(ControlId c, bool enabled) override;
  void showButtonKind(ControlId c, ButtonKind kind) override;

  bool startTimer(TimerId id, unsigned intervalMs) override;
  void stopTimer(TimerId id) override;
  void keepTimerPace(unsigned periodMs) override;

  bool runSaveDialog(std::string& fileName, const SaveDialogOptions& options) override;
  // One at a time: asked again while one is open, it answers No without a box.
  bool askYesNo(std::string_view text, std::string_view caption) override;
  // Queues the error; a hidden window of the backend's own shows it from the
  // message loop, after the message being handled has been answered, in a
  // box owned by the application window.
  void showError(std::string_view text) override;
  // Shows the errors waiting, one box at a time, until none is left: called
  // by that window, and at the end of the run, when no loop is left.
  void showErrorsLeft();

  // The notification-area icon, added by its user with its handlers; until
  // then, its tooltip is the application's name. What the logic asks of it
  // is carried out from the message loop.
  NotificationIcon& notificationIcon() noexcept { return notificationIcon_; }
  void showNotificationTip(std::string_view text) override { notificationIcon_.setTip(text); }
  void notify(NoticeKind kind, std::string_view title, std::string_view text) override {
    notificationIcon_.showBalloon(kind, title, text);
  }

  std::unique_ptr<RawFile> openFile(const std::string& path, FileOpening how, std::string& error) override;
  std::string loadSetting(std::string_view name) override;
  void saveSetting(std::string_view name, std::string_view value) override;

  void requestQuit() override;
  Archiver& archiver() override { return archiver_; }
  ~Win32Backend() override;

 private:
  std::string appTitle_;
  HWND app_ = nullptr;
  HWND main_ = nullptr;
  std::vector<HWND> controls_;  // by ControlId
  SendPolicy sendPolicy_;
  ErrorQueue errors_;
  bool fineTimer_ = false;  // the system timer runs at 1 ms (timeBeginPeriod)
  bool asking_ = false;     // a yes/no question is open
  HiddenWindow errorWindow_;  // takes the message that shows them
  OwnPost showErrorsPost_{kShowErrorsMessage};
  NotificationIcon notificationIcon_;
  Win32Archiver archiver_;
};

// A colour as the toolkit encodes it (0x00BBGGRR, or 0x80000000 | system
// colour index) as the colour GDI draws with.
COLORREF toColorRef(Color color) noexcept;

}  // namespace orv
