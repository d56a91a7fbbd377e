#include "platform/win32_backend.h"

#include <cderr.h>
#include <commdlg.h>
#include <mmsystem.h>

#include <algorithm>
#include <cwchar>
#include <optional>
#include <string>

#include "platform/win32_file.h"
#include "platform/win32_text.h"

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

}  // namespace

COLORREF toColorRef(Color color) noexcept {
  if ((color & 0x80000000u) != 0) return GetSysColor(static_cast<int>(color & 0xFFu));
  return static_cast<COLORREF>(color & 0x00FFFFFFu);
}

void Win32Backend::bindControl(ControlId control, HWND window) {
  if (control < 0) return;
  const auto index = static_cast<std::size_t>(control);
  if (index >= controls_.size()) controls_.resize(index + 1, nullptr);
  controls_[index] = window;
}

HWND Win32Backend::controlWindow(ControlId control) const noexcept {
  if (control < 0) return nullptr;
  const auto index = static_cast<std::size_t>(control);
  return index < controls_.size() ? controls_[index] : nullptr;
}

namespace {

// The fields of a system time as milliseconds since 1970 on the same clock.
std::chrono::milliseconds sinceEpoch(const SYSTEMTIME& st) noexcept {
  using namespace std::chrono;
  const sys_days day{year_month_day{year{st.wYear}, month{st.wMonth}, std::chrono::day{st.wDay}}};
  return day.time_since_epoch() + hours{st.wHour} + minutes{st.wMinute} + seconds{st.wSecond} +
         milliseconds{st.wMilliseconds};
}

}  // namespace

std::chrono::local_time<std::chrono::milliseconds> Win32Backend::localNow() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return std::chrono::local_time<std::chrono::milliseconds>(sinceEpoch(st));
}

std::chrono::sys_time<std::chrono::milliseconds> Win32Backend::utcNow() {
  SYSTEMTIME st;
  GetSystemTime(&st);
  return std::chrono::sys_time<std::chrono::milliseconds>(sinceEpoch(st));
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

// Another program's window: a folder window of the shell (on a folder so
// named) or a window of this process is never the one looked for.
WindowHandle Win32Backend::findWindow(std::string_view title) {
  const std::wstring text = toWide(title);
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, nullptr, text.c_str())) != nullptr;) {
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    wchar_t className[32] = L"";
    GetClassNameW(w, className, 32);
    if (process == GetCurrentProcessId() || std::wcscmp(className, L"CabinetWClass") == 0 ||
        std::wcscmp(className, L"ExploreWClass") == 0)
      continue;
    return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(w));
  }
  return 0;
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

void Win32Backend::showCaption(ControlId c, const std::string& text) {
  HWND hwnd = controlWindow(c);
  if (hwnd == nullptr) return;
  SetWindowTextA(hwnd, text.c_str());  // each control repaints itself
}

void Win32Backend::showFontColor(ControlId c, Color) {
  if (HWND hwnd = controlWindow(c)) InvalidateRect(hwnd, nullptr, TRUE);
}

void Win32Backend::showChecked(ControlId c, bool checked) {
  if (HWND hwnd = controlWindow(c)) SendMessageA(hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32Backend::showEnabled(ControlId c, bool enabled) {
  if (HWND hwnd = controlWindow(c)) EnableWindow(hwnd, enabled ? TRUE : FALSE);
}

void Win32Backend::showButtonKind(ControlId c, ButtonKind) {
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
  wchar_t buffer[MAX_PATH] = {};
  toWide(fileName).copy(buffer, MAX_PATH - 1);
  std::wstring filter = toWide(options.filter);
  std::replace(filter.begin(), filter.end(), L'|', L'\0');
  filter.push_back(L'\0');  // c_str() adds the second NUL
  const std::wstring defaultExt = toWide(options.defaultExt);
  const std::wstring initialFolder = toWide(options.initialFolder);

  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = app_;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
  ofn.lpstrInitialDir = initialFolder.empty() ? nullptr : initialFolder.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | (options.confirmOverwrite ? OFN_OVERWRITEPROMPT : 0);

  ModalScope modal(app_, main_);
  BOOL confirmed = GetSaveFileNameW(&ofn);
  if (!confirmed && CommDlgExtendedError() == FNERR_INVALIDFILENAME) {
    // The proposed name is refused: offer the dialog without it.
    buffer[0] = L'\0';
    confirmed = GetSaveFileNameW(&ofn);
  }
  if (!confirmed) return false;
  fileName = toUtf8(buffer);
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
  const bool yes =
      MessageBoxW(main_, toWide(text).c_str(), toWide(caption).c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
  asking_ = false;
  return yes;
}

namespace {

// The error box on screen: the dialog of this thread that `owner` owns, with
// the error display's title (the save dialog has another).
HWND openErrorBox(HWND owner, const std::wstring& title) {
  struct Search {
    HWND owner;
    const std::wstring& title;
    HWND found = nullptr;
  } search{owner, title};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM param) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(param);
        wchar_t cls[16] = {}, text[256] = {};
        GetClassNameW(w, cls, 16);
        GetWindowTextW(w, text, 256);
        if (GetWindow(w, GW_OWNER) != s.owner || std::wstring_view(cls) != L"#32770" || text != s.title) return TRUE;
        s.found = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Gives a message box a new text, growing the box (and moving its buttons
// down) when the text needs more lines than the box has.
void retextMessageBox(HWND box, const std::wstring& text) {
  constexpr int kTextId = 0xFFFF;
  HWND label = GetDlgItem(box, kTextId);
  if (label == nullptr) return;
  SetWindowTextW(label, text.c_str());
  RECT have;
  GetWindowRect(label, &have);
  RECT need = {0, 0, have.right - have.left, 0};
  const HDC dc = GetDC(label);
  const HGDIOBJ font = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
  DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
  SelectObject(dc, font);
  ReleaseDC(label, dc);
  const int grow = need.bottom - (have.bottom - have.top);
  if (grow <= 0) return;
  // The text grows, what lies below it (the buttons) moves down, the box grows.
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT r;
    GetWindowRect(child, &r);
    const bool below = r.top >= have.bottom;
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&r), 2);
    if (child == label)
      SetWindowPos(child, nullptr, 0, 0, r.right - r.left, r.bottom - r.top + grow, SWP_NOMOVE | SWP_NOZORDER);
    else if (below)
      SetWindowPos(child, nullptr, r.left, r.top + grow, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  RECT outer;
  GetWindowRect(box, &outer);
  SetWindowPos(box, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top + grow,
               SWP_NOMOVE | SWP_NOZORDER);
}

}  // namespace

// kShowErrorsMessage, posted to the error display's window: show what
// waits. Its timer, for when the post fails (a full queue): a timer needs no room there.
constexpr UINT_PTR kShowErrorsTimer = 1;

// The box is modal: shown here, inside another program's message, it would
// hold that program until a person answers. It waits for the message loop,
// which a message to the error display's own window wakes. The box's owner
// is the application window.
void Win32Backend::showError(std::string_view text) {
  switch (errors_.add(text)) {
    case ErrorQueue::Added::First: {
      const auto show = [this](UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_TIMER) KillTimer(errorWindow_.hwnd(), kShowErrorsTimer);
        if (!showErrorsPost_.take(msg) && msg != WM_TIMER) return std::nullopt;
        showErrorsLeft();
        return 0;
      };
      if (errorWindow_.hwnd() == nullptr) errorWindow_.create("OrvaldaErrorDisplay", HWND_MESSAGE, show);
      if (!showErrorsPost_.post(errorWindow_.hwnd()))
        SetTimer(errorWindow_.hwnd(), kShowErrorsTimer, USER_TIMER_MINIMUM, nullptr);
      break;
    }
    case ErrorQueue::Added::OnScreen:
      if (HWND box = openErrorBox(app_, toWide(appTitle_))) retextMessageBox(box, toWide(errors_.onScreenText()));
      break;
    case ErrorQueue::Added::Waiting: break;
  }
}

void Win32Backend::showErrorsLeft() {
  while (const std::optional<std::string> text = errors_.open()) {
    {
      ModalScope modal(app_, main_);
      MessageBoxW(app_, toWide(*text).c_str(), toWide(appTitle_).c_str(), MB_OK | MB_ICONSTOP);
    }
    errors_.closed();
  }
}

std::unique_ptr<RawFile> Win32Backend::openFile(const std::string& path, FileOpening how, std::string& error) {
  return openWin32File(path, how, error);
}

// Kept under HKEY_CURRENT_USER\Software\<the application's title>.
std::string Win32Backend::loadSetting(std::string_view name) {
  const std::wstring key = toWide("Software\\" + appTitle_), value = toWide(name);
  wchar_t buffer[MAX_PATH * 2] = {};
  DWORD size = sizeof(buffer);
  if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &size) !=
      ERROR_SUCCESS)
    return std::string();
  return toUtf8(buffer);
}

void Win32Backend::saveSetting(std::string_view name, std::string_view value) {
  const std::wstring key = toWide("Software\\" + appTitle_), valueName = toWide(name), text = toWide(value);
  RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), valueName.c_str(), REG_SZ, text.c_str(),
                  static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void Win32Backend::requestQuit() { PostQuitMessage(0); }

}  // namespace orv
