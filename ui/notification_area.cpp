#include "ui/notification_area.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "core/notification_text.h"
#include "platform/win32_text.h"
#include "ui/win32_error.h"

namespace orv::ui {

namespace {

// Posted to the owner: a checker run has ended (wParam: its number, lParam:
// nonzero when it was given up on). Any program may post the same number:
// only a run this started is taken.
constexpr UINT kCheckEndedMessage = WM_APP + 23;

// How long a checker run is waited for before it is told as unfinished.
constexpr DWORD kCheckLimitMs = 10 * 60 * 1000;

// The folder orvalda.exe is in, with its final backslash.
std::wstring programFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return std::wstring();
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

// A tool beside orvalda.exe; empty when it is not installed.
std::wstring installedTool(const char* program) {
  const std::wstring path = programFolder() + toWide(program);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::wstring();
  return path;
}

// One argument as the usual Windows rules for quotes and backslashes read it back.
std::wstring quotedArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  for (auto it = arg.begin();; ++it) {
    std::size_t backslashes = 0;
    while (it != arg.end() && *it == L'\\') {
      ++it;
      ++backslashes;
    }
    if (it == arg.end()) {
      out.append(backslashes * 2, L'\\');
      break;
    }
    if (*it == L'"') {
      out.append(backslashes * 2 + 1, L'\\');
    } else {
      out.append(backslashes, L'\\');
    }
    out.push_back(*it);
  }
  out.push_back(L'"');
  return out;
}

// Opens a folder or a file as the shell opens it when double-clicked; a file
// of a kind the shell has no program for (as in Wine), as the kind the logic
// names for it.
void openInShell(HWND owner, const std::string& path, bool isFile) {
  // Some shell handlers need COM on the calling thread; already there, it stays as it is.
  static const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  (void)com;
  const std::wstring file = toWide(path);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_FLAG_NO_UI;
  info.hwnd = owner;
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.nShow = SW_SHOWNORMAL;
  const std::wstring fileClass = toWide(fallbackFileClass(path));
  DWORD length = 0;
  if (isFile && FAILED(AssocQueryStringW(ASSOCF_INIT_IGNOREUNKNOWN, ASSOCSTR_COMMAND, PathFindExtensionW(file.c_str()),
                                         L"open", nullptr, &length))) {
    info.fMask |= SEE_MASK_CLASSNAME;
    info.lpClass = fileClass.c_str();
  }
  if (!ShellExecuteExW(&info)) throwLastError(("Cannot open " + path).c_str(), fileNameOf(path));
}

// Restored when minimized, shown, and brought to the front.
void bringToFront(HWND window) {
  if (window == nullptr) return;
  ShowWindow(window, IsIconic(window) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(window);
}

// On a thread of the system's pool: the run's fields are only read.
void CALLBACK onCheckEnded(void* param, BOOLEAN timedOut) {
  const auto* run = static_cast<const NotificationArea::CheckRun*>(param);
  PostMessageW(run->owner, kCheckEndedMessage, run->number, timedOut ? 1 : 0);
}

}  // namespace

void NotificationArea::create(HWND owner, HICON icon) {
  owner_ = owner;
  NotificationIcon::Handlers handlers;
  handlers.doubleClicked = [this] { runGuarded(backend_, [this] { run(NotificationCommand::ShowWindow); }); };
  handlers.menu = [this] { return menuLines(); };
  handlers.chosen = [this](UINT id) {
    if (const std::optional<NotificationCommand> command = notificationCommandOf(id))
      runGuarded(backend_, [this, command] { run(*command); });
  };
  backend_.notificationIcon().add(icon, std::move(handlers));
}

void NotificationArea::remove() { backend_.notificationIcon().remove(); }

NotificationArea::~NotificationArea() {
  remove();
  for (const auto& [number, check] : checks_) {
    UnregisterWaitEx(check->wait, INVALID_HANDLE_VALUE);  // its callback has returned
    CloseHandle(check->process);
  }
}

bool NotificationArea::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != kCheckEndedMessage) return false;
  runGuarded(backend_, [this, wParam, lParam] { checkEnded(wParam, lParam != 0); });
  return true;
}

std::vector<NotificationMenuItem> NotificationArea::menuItems() const {
  if (hub_ == nullptr) return {};
  return hub_->notificationMenu(!installedTool(kCheckerProgram).empty(), !installedTool(kExporterProgram).empty());
}

std::vector<NotificationIcon::MenuLine> NotificationArea::menuLines() {
  std::vector<NotificationIcon::MenuLine> lines;
  runGuarded(backend_, [this, &lines] {
    for (const NotificationMenuItem& item : menuItems())
      lines.push_back(NotificationIcon::MenuLine{notificationMenuId(item.command), item.text, item.enabled});
  });
  return lines;
}

// A choice is carried out only while the logic's menu offers it.
void NotificationArea::run(NotificationCommand command) {
  const std::vector<NotificationMenuItem> items = menuItems();
  const auto item = std::find_if(items.begin(), items.end(), [command](const NotificationMenuItem& i) { return i.command == command; });
  if (item == items.end() || !item->enabled) return;
  switch (command) {
    case NotificationCommand::ShowWindow: bringToFront(backend_.mainWindow()); break;
    case NotificationCommand::OpenRecordingsFolder: openInShell(owner_, item->target, false); break;
    case NotificationCommand::OpenLog: openInShell(owner_, item->target, true); break;
    case NotificationCommand::CheckRecording: startCheck(item->target); break;
    case NotificationCommand::ExportRecording: startExport(item->target); break;
    case NotificationCommand::Close: hub_->close(); break;
  }
}

// The exporter's dialog, on its own, filled in with the recording.
void NotificationArea::startExport(const std::string& recording) {
  const std::wstring exporter = installedTool(kExporterProgram);
  std::wstring commandLine = quotedArgument(exporter) + L" " + quotedArgument(toWide(recording));
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(exporter.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &started))
    throwLastError(("Cannot start " + toUtf8(exporter)).c_str());
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
}

// The checker runs on its own; its report opens once it has ended.
void NotificationArea::startCheck(const std::string& recording) {
  const std::wstring checker = installedTool(kCheckerProgram);
  std::wstring temp(MAX_PATH + 1, L'\0');
  temp.resize(GetTempPathW(static_cast<DWORD>(temp.size()), temp.data()));
  auto check = std::make_unique<CheckRun>();
  check->owner = owner_;
  check->number = ++lastCheckNumber_;
  check->recording = recording;
  check->report = toUtf8(temp) + checkReportName(recording);
  DeleteFileW(toWide(check->report).c_str());  // a report of an earlier run is not taken for this one's

  std::wstring commandLine = quotedArgument(checker);
  for (const std::string& arg : checkerArguments(check->report, recording)) commandLine += L" " + quotedArgument(toWide(arg));
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(checker.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &started))
    throwLastError(("Cannot start " + toUtf8(checker)).c_str());
  CloseHandle(started.hThread);
  check->process = started.hProcess;
  if (!RegisterWaitForSingleObject(&check->wait, check->process, onCheckEnded, check.get(), kCheckLimitMs,
                                   WT_EXECUTEONLYONCE)) {
    CloseHandle(check->process);
    throwLastError(("Cannot wait for " + toUtf8(checker)).c_str());
  }
  const WPARAM number = check->number;
  checks_.emplace(number, std::move(check));  // until kCheckEndedMessage
}

void NotificationArea::checkEnded(WPARAM number, bool timedOut) {
  const auto found = checks_.find(number);
  if (found == checks_.end()) return;  // not a run of this program's
  const std::unique_ptr<CheckRun> check = std::move(found->second);
  checks_.erase(found);
  UnregisterWait(check->wait);
  DWORD exitCode = 0;
  GetExitCodeProcess(check->process, &exitCode);
  CloseHandle(check->process);
  WIN32_FILE_ATTRIBUTE_DATA report = {};
  const bool written = GetFileAttributesExW(toWide(check->report).c_str(), GetFileExInfoStandard, &report) &&
                       (report.nFileSizeLow != 0 || report.nFileSizeHigh != 0);
  if (!timedOut && written) return openInShell(owner_, check->report, true);
  throw Error(checkerFailedText(check->recording, exitCode, !timedOut));
}

}  // namespace orv::ui
