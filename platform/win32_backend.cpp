#include "platform/win32_backend.h"

#include <cderr.h>
#include <commdlg.h>
#include <mmsystem.h>

#include <algorithm>
#include <optional>
#include <string>

#include "platform/win32_file.h"

namespace orv {

namespace {

HWND toHwnd(WindowHandle window) noexcept {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
}

// Dialogs owned by the hidden application window would leave the main window
// usable behind them. While one is open the main window is disabled, as
// under the question box, and the window that was active gets the activation
// back afterwards. The hidden owner first moves to the main window's corner:
// a dialog that places itself by its owner then opens over the main window.
class ModalScope {
 public:
  ModalScope(HWND appWindow, HWND mainWindow) : active_(GetActiveWindow()) {
    RECT r;
    if (appWindow != nullptr && mainWindow != nullptr && GetWindowRect(mainWindow, &r))
      SetWindowPos(appWindow, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (mainWindow != nullptr && IsWindow(mainWindow) && IsWindowEnabled(mainWindow)) {
      EnableWindow(mainWindow, FALSE);
      disabled_ = mainWindow;
    }
  }
  ~ModalScope() {
    if (disabled_ != nullptr && IsWindow(disabled_)) EnableWindow(disabled_, TRUE);
    if (active_ != nullptr && IsWindow(active_)) SetActiveWindow(active_);
  }
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

 private:
  HWND active_;
  HWND disabled_ = nullptr;
};

// "Description|pattern|..." as the dialog wants it: NUL-separated, ending in two NULs.
std::string dialogFilter(std::string_view filter) {
  std::string out(filter);
  std::replace(out.begin(), out.end(), '|', '\0');
  out.push_back('\0');
  return out;  // c_str() adds the second NUL
}

}  // namespace

COLORREF toColorRef(Color color) noexcept {
  if ((color & 0x80000000u) != 0) return GetSysColor(static_cast<int>(color & 0xFFu));
  return static_cast<COLORREF>(color & 0x00FFFFFFu);
}

void Win32Backend::bindControl(Control control, HWND window) noexcept {
  const auto index = static_cast<std::size_t>(control);
  if (index < controls_.size()) controls_[index] = window;
}

HWND Win32Backend::controlWindow(Control control) const noexcept {
  const auto index = static_cast<std::size_t>(control);
  return index < controls_.size() ? controls_[index] : nullptr;
}

namespace {

LocalTime fromSystemTime(const SYSTEMTIME& st) noexcept {
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.millisecond = st.wMilliseconds;
  return t;
}

}  // namespace

LocalTime Win32Backend::localTime() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return fromSystemTime(st);
}

LocalTime Win32Backend::utcTime() {
  SYSTEMTIME st;
  GetSystemTime(&st);
  return fromSystemTime(st);
}

// Whole seconds since 1970, as time() gives them, read from the system clock
// directly: a tenth of the cost of time() on every tick.
std::int64_t Win32Backend::calendarSeconds() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  const std::uint64_t ticks = (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  constexpr std::uint64_t kTicksTo1970 = 116444736000000000ull;  // 100 ns ticks from 1601
  return static_cast<std::int64_t>((ticks - kTicksTo1970) / 10000000ull);
}

std::int64_t Win32Backend::monotonicMs() { return static_cast<std::int64_t>(GetTickCount64()); }

WindowHandle Win32Backend::findWindow(std::string_view title) {
  const std::string text(title);
  return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(FindWindowA(nullptr, text.c_str())));
}

SendResult Win32Backend::sendMessage(WindowHandle window, std::uint32_t msg, std::uint64_t wParam,
                                     std::int64_t lParam) {
  const SendPolicy::Attempt attempt = sendPolicy_.begin(window, monotonicMs());
  DWORD_PTR result = 0;
  SetLastError(ERROR_SUCCESS);
  // SMTO_ABORTIFHUNG: a window the system deems hung (no message fetched for
  // about 5 s) fails at once instead of making every message wait.
  const LRESULT delivered =
      SendMessageTimeoutA(toHwnd(window), msg, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam),
                          SMTO_NORMAL | SMTO_ABORTIFHUNG, attempt.timeoutMs, &result);
  SendResult outcome = SendResult::Delivered;
  if (delivered == 0)
    outcome = GetLastError() == ERROR_INVALID_WINDOW_HANDLE ? SendResult::NoWindow : SendResult::NotAnswered;
  sendPolicy_.finish(attempt, outcome);
  return outcome;
}

void Win32Backend::showCaption(Control c, const std::string& text) {
  HWND hwnd = controlWindow(c);
  if (hwnd == nullptr) return;
  SetWindowTextA(hwnd, text.c_str());  // each control repaints itself
}

void Win32Backend::showFontColor(Control c, Color) {
  if (HWND hwnd = controlWindow(c)) InvalidateRect(hwnd, nullptr, TRUE);
}

void Win32Backend::showChecked(Control c, bool checked) {
  if (HWND hwnd = controlWindow(c)) SendMessageA(hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32Backend::showEnabled(Control c, bool enabled) {
  if (HWND hwnd = controlWindow(c)) EnableWindow(hwnd, enabled ? TRUE : FALSE);
}

void Win32Backend::showButtonKind(Control c, ButtonKind) {
  if (HWND hwnd = controlWindow(c)) InvalidateRect(hwnd, nullptr, TRUE);
}

bool Win32Backend::startTimer(TimerId id, unsigned intervalMs) {
  if (main_ == nullptr) return false;
  return SetTimer(main_, static_cast<UINT_PTR>(id), intervalMs, nullptr) != 0;
}

void Win32Backend::stopTimer(TimerId id) {
  if (main_ != nullptr) KillTimer(main_, static_cast<UINT_PTR>(id));
}

// Periods this short need the system timer at 1 ms; longer ones keep their
// pace well enough at its default 15.6 ms.
constexpr unsigned kFineTimerBelowMs = 100;

void Win32Backend::keepTimerPace(unsigned periodMs) {
  const bool fine = periodMs != 0 && periodMs < kFineTimerBelowMs;
  if (fine == fineTimer_) return;
  if (fine) {
    fineTimer_ = timeBeginPeriod(1) == TIMERR_NOERROR;
  } else {
    timeEndPeriod(1);
    fineTimer_ = false;
  }
}

Win32Backend::~Win32Backend() {
  if (fineTimer_) timeEndPeriod(1);
}

bool Win32Backend::runSaveDialog(std::string& fileName, const SaveDialogOptions& options) {
  char buffer[MAX_PATH] = {};
  fileName.copy(buffer, MAX_PATH - 1);
  const std::string filter = dialogFilter(options.filter);
  const std::string defaultExt(options.defaultExt);

  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = app_;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
  const std::string initialFolder(options.initialFolder);
  ofn.lpstrInitialDir = initialFolder.empty() ? nullptr : initialFolder.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | (options.confirmOverwrite ? OFN_OVERWRITEPROMPT : 0);

  ModalScope modal(app_, main_);
  BOOL confirmed = GetSaveFileNameA(&ofn);
  if (!confirmed && CommDlgExtendedError() == FNERR_INVALIDFILENAME) {
    // The proposed name holds characters no file name may have (the symbol
    // comes from the feeder as it is): offer the dialog without it.
    buffer[0] = '\0';
    confirmed = GetSaveFileNameA(&ofn);
  }
  if (!confirmed) return false;
  fileName = buffer;
  return true;
}

// One question at a time. The box's own message loop takes the messages
// meanwhile, so the same request can come again while it is open: "taskkill"
// asks each top-level window to close, a tool presses Close once more. Such a
// second question is answered No at once, without a second box; the open one
// decides.
bool Win32Backend::askYesNo(std::string_view text, std::string_view caption) {
  if (asking_) return false;
  asking_ = true;
  const std::string body(text), title(caption);
  const bool yes = MessageBoxA(main_, body.c_str(), title.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
  asking_ = false;
  return yes;
}

// The box is modal: shown here, inside another program's message, it would
// hold that program until a person answers. It waits for the message loop.
void Win32Backend::showError(std::string_view text) {
  if (errors_.add(text) && !PostMessageA(app_, kShowErrorsMessage, 0, 0)) showQueuedErrors();
}

void Win32Backend::showQueuedErrors() {
  while (const std::optional<std::string> text = errors_.open()) {
    {
      ModalScope modal(app_, main_);
      MessageBoxA(app_, text->c_str(), appTitle_.c_str(), MB_OK | MB_ICONSTOP);
    }
    errors_.closed();
  }
}

std::unique_ptr<OutputFile> Win32Backend::createFile(const std::string& path, std::string& error) {
  return openWin32File(path, error);
}

std::unique_ptr<OutputFile> Win32Backend::openForAppend(const std::string& path, AppendStart& start,
                                                        std::string& error) {
  return appendWin32File(path, start, error);
}

// Kept under HKEY_CURRENT_USER\Software\<the application's title>.
std::string Win32Backend::loadSetting(std::string_view name) {
  const std::string key = "Software\\" + appTitle_, value(name);
  char buffer[MAX_PATH * 2] = {};
  DWORD size = sizeof(buffer);
  if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &size) !=
      ERROR_SUCCESS)
    return std::string();
  return buffer;
}

void Win32Backend::saveSetting(std::string_view name, std::string_view value) {
  const std::string key = "Software\\" + appTitle_, valueName(name), text(value);
  RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), valueName.c_str(), REG_SZ, text.c_str(),
                  static_cast<DWORD>(text.size() + 1));
}

void Win32Backend::requestQuit() { PostQuitMessage(0); }

}  // namespace orv
