// Orvalda's entry point: the command line (its usage or error shown, and the
// exit code), the application's hidden window, the main window, the message
// loop, and the end of the run.
#include "platform/win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

#include "app/console.h"
#include "core/command_line.h"
#include "core/file_pattern.h"
#include "core/feed_hub.h"
#include "core/protocol.h"
#include "core/second_start.h"
#include "platform/toolkit.h"
#include "platform/win32_backend.h"
#include "platform/win32_text.h"
#include "ui/application_window.h"
#include "ui/main_window.h"
#include "ui/win32_error.h"

namespace {

HICON loadIcon(HINSTANCE instance, int size) {
  return static_cast<HICON>(LoadImageA(instance, "MAINICON", IMAGE_ICON, size, size, LR_SHARED));
}

// The folder the program was started in, as UTF-8; empty when unknown.
std::string startFolder() {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  std::wstring folder(size, L'\0');
  const DWORD length = size > 0 ? GetCurrentDirectoryW(size, folder.data()) : 0;
  if (length == 0 || length >= size) return std::string();
  folder.resize(length);
  return orv::toUtf8(folder);
}

// Each copy of Orvalda owns, for its whole run, a mutex named after its
// desktop; the system lets it go when the process ends, however it ends.
class DesktopMark {
 public:
  DesktopMark() {
    wchar_t desktop[256] = L"";
    GetUserObjectInformationW(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, desktop,
                              sizeof(desktop) - sizeof(wchar_t), nullptr);
    mutex_ = CreateMutexW(nullptr, FALSE, (L"Local\\Orvalda-desktop-" + std::wstring(desktop)).c_str());
  }
  // True once this copy owns it; false while another copy does.
  bool take() {
    if (mutex_ == nullptr) return true;
    const DWORD got = WaitForSingleObject(mutex_, 0);
    return got == WAIT_OBJECT_0 || got == WAIT_ABANDONED;
  }

 private:
  HANDLE mutex_;  // kept until the process ends
};

// Whether a window can be made at all: under Wine without an X server every
// window fails, with no reason given, and so would every box telling it.
bool windowSystemThere(HINSTANCE instance) {
  const HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);
  if (probe == nullptr) return false;
  DestroyWindow(probe);
  return true;
}

HWND runningMainWindow() { return FindWindowA(orv::kMainWindowClass, orv::kAppTitle); }

// Another copy owns the mark, or shows its main window (one started with --another).
bool anotherCopyRuns(DesktopMark& mark) { return !mark.take() || runningMainWindow() != nullptr; }

enum class HandOver { Done, HolderGone, NoWindow };

// Restores the running copy's main window and brings it to the front; a busy
// one is not waited for (the restore is posted). A copy that is still
// starting gets a few seconds to show its window.
HandOver handOver(DesktopMark& mark) {
  for (int tries = 0; tries < 50; ++tries) {
    if (const HWND main = runningMainWindow()) {
      if (IsIconic(main)) ShowWindowAsync(main, SW_RESTORE);
      SetForegroundWindow(main);
      return HandOver::Done;
    }
    if (mark.take()) return HandOver::HolderGone;
    Sleep(100);
  }
  return HandOver::NoWindow;
}

// On the console Orvalda was started from; in a box when there is none.
int replyAndEnd(const orv::CommandLineReply& reply) {
  if (!orv::app::writeToConsole(reply.text, reply.error))
    MessageBoxW(nullptr, orv::toWide(reply.text).c_str(), orv::toWide(orv::kAppTitle).c_str(),
                MB_OK | (reply.error ? MB_ICONSTOP : MB_ICONINFORMATION));
  return reply.exitCode;
}

void runMessageLoop(orv::ui::MainWindow& mainWindow) {
  MSG msg;
  for (;;) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) return;  // the quit request, or a broken queue
    if (mainWindow.translateKey(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  const orv::CommandLine commandLine = orv::parseCommandLine(orv::commandLineArguments());
  if (const auto reply = orv::replyWithoutStarting(commandLine)) return replyAndEnd(*reply);
  orv::StartOptions startOptions = std::get<orv::StartOptions>(commandLine);
  // Read once, at the start: the save dialog may change the current folder later.
  if (startOptions.recordPattern)
    startOptions.recordPattern = orv::patternFromFolder(*startOptions.recordPattern, startFolder());
  orv::Win32Backend backend(orv::kAppTitle);
  if (!windowSystemThere(instance)) return replyAndEnd(orv::noWindowSystem(backend, backend, startOptions));
  DesktopMark mark;
  if (orv::chooseStart(anotherCopyRuns(mark), startOptions) == orv::StartChoice::HandOver) {
    switch (handOver(mark)) {
      case HandOver::Done: return 0;
      case HandOver::NoWindow: return replyAndEnd(orv::heldWithoutWindow(backend, backend, startOptions));
      case HandOver::HolderGone: break;  // this copy runs after all
    }
  }
  if (startOptions.minimized) showCommand = SW_SHOWMINNOACTIVE;
  orv::ui::ApplicationWindow appWindow(backend);
  try {
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);

    const HICON icon = loadIcon(instance, GetSystemMetrics(SM_CXICON));
    const HICON smallIcon = loadIcon(instance, GetSystemMetrics(SM_CXSMICON));
    appWindow.create(instance, icon, smallIcon);
    backend.setAppWindow(appWindow.hwnd());

    // The logic outlives its window: destroying it closes a recording that
    // was never stopped.
    orv::FeedHub hub(backend, startOptions);
    appWindow.setHub(&hub);
    {
      orv::ui::MainWindow mainWindow(hub, backend);
      mainWindow.create(instance, icon, smallIcon);
      orv::ui::setIcons(mainWindow.hwnd(), icon, smallIcon);
      mainWindow.show(showCommand);
      runMessageLoop(mainWindow);
    }
    appWindow.setHub(nullptr);
  } catch (const std::exception& e) {
    appWindow.setHub(nullptr);
    backend.showError(orv::errorDisplayText(e.what()));
  }
  backend.showErrorsLeft();  // what the loop had no time left to show
  return 0;
}
