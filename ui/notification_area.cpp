#include "ui/notification_area.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "core/notification_text.h"
#include "platform/win32_messages.h"
#include "platform/win32_text.h"
#include "ui/win32_error.h"

namespace orv::ui {

namespace {

// kCheckEndedMessage, posted to the owner: a checker run has ended (wParam:
// its number, lParam: nonzero when it was given up on). Any program may post
// the same number: only a run this started is taken.

// How long a checker run is waited for before it is told as unfinished.
constexpr DWORD kCheckLimitMs = 10 * 60 * 1000;
// How long a browser has to show the report (and how often it is looked at
// meanwhile): where the file system keeps the time of reads, a report not
// read by then was not shown; elsewhere, a launcher that runs on past it is
// taken to show it.
constexpr ULONGLONG kShowLimitMs = 30 * 1000;
constexpr DWORD kShowLookMs = 250;

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
// names for it. False when the shell could not (the reason in GetLastError);
// process, when given, gets the program started for it, if any.
bool shellOpen(HWND owner, const std::string& path, bool isFile, HANDLE* process = nullptr) {
  // Some shell handlers need COM on the calling thread; already there, it stays as it is.
  static const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  (void)com;
  const std::wstring file = toWide(path);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_FLAG_NO_UI | (process != nullptr ? SEE_MASK_NOCLOSEPROCESS : 0);
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
  if (!ShellExecuteExW(&info)) return false;
  if (process != nullptr) *process = info.hProcess;
  return true;
}

void openInShell(HWND owner, const std::string& path, bool isFile) {
  if (!shellOpen(owner, path, isFile)) throwLastError(("Cannot open " + path).c_str(), fileNameOf(path));
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

constexpr ULONGLONG kFileTimeSecond = 10'000'000;

ULONGLONG unitsOf(const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

bool lastReadOf(const std::wstring& path, ULONGLONG& at) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  at = unitsOf(data.ftLastAccessTime);
  return true;
}

// The file's last read time is set a second before its last write, so that
// the next read of it moves it; true when the file system keeps read times
// (a read of one byte moved it, and it was set back again), with `mark`,
// the time set.
bool markUnread(const std::wstring& path, ULONGLONG& mark) {
  HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILETIME written = {}, before = {};
  bool kept = GetFileTime(file, nullptr, nullptr, &written) != FALSE && unitsOf(written) > kFileTimeSecond;
  mark = unitsOf(written) - kFileTimeSecond;
  before.dwLowDateTime = static_cast<DWORD>(mark);
  before.dwHighDateTime = static_cast<DWORD>(mark >> 32);
  kept = kept && SetFileTime(file, nullptr, &before, nullptr) != FALSE;
  if (kept) {
    // Read through a handle of its own: a time set through one handle may
    // no longer follow the reads made through it.
    HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    char byte = 0;
    DWORD got = 0;
    kept = reader != INVALID_HANDLE_VALUE && ReadFile(reader, &byte, 1, &got, nullptr) && got == 1;
    if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
    ULONGLONG read = 0;
    kept = kept && lastReadOf(path, read) && read > mark && SetFileTime(file, nullptr, &before, nullptr) != FALSE;
  }
  CloseHandle(file);
  return kept;
}

// The machine's time zone as the system names it; empty when it names none.
std::string machineZoneName() {
  DYNAMIC_TIME_ZONE_INFORMATION zone = {};
  if (GetDynamicTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return std::string();
  return toUtf8(zone.TimeZoneKeyName);
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

// The exporter's dialog, on its own, filled in with the recording and the zone it was recorded in.
void NotificationArea::startExport(const std::string& recording) {
  const std::wstring exporter = installedTool(kExporterProgram);
  std::wstring commandLine = quotedArgument(exporter);
  for (const std::string& arg : hub_->exporterArguments(recording, machineZoneName()))
    commandLine += L" " + quotedArgument(toWide(arg));
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(exporter.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &started))
    throwLastError(("Cannot start " + toUtf8(exporter)).c_str());
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
}

// The checker runs on its own, told the clock the recording was written in;
// its report opens once it has ended.
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
  for (const std::string& arg : hub_->checkerArguments(check->report, recording, machineZoneName()))
    commandLine += L" " + quotedArgument(toWide(arg));
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(checker.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &started))
    throwLastError(("Cannot start " + toUtf8(checker)).c_str());
  CloseHandle(started.hThread);
  check->process = started.hProcess;
  await(std::move(check), kCheckLimitMs);
}

// The run's process is waited for, up to limitMs, off this thread; its end
// comes back as kCheckEndedMessage.
void NotificationArea::await(std::unique_ptr<CheckRun> check, DWORD limitMs) {
  if (!RegisterWaitForSingleObject(&check->wait, check->process, onCheckEnded, check.get(), limitMs,
                                   WT_EXECUTEONLYONCE)) {
    CloseHandle(check->process);
    throwLastError("Cannot wait for a program Orvalda started");
  }
  const WPARAM number = check->number;
  checks_.emplace(number, std::move(check));  // until kCheckEndedMessage
}

// The report in the browser. Where the file system keeps read times, the
// browser is handed the opener page beside the report, and the report's own
// read tells that a browser showed it; what the system starts for it is
// watched all the same, so that a page no browser could show is told.
void NotificationArea::showReport(std::unique_ptr<CheckRun> check) {
  std::string handed = check->report;
  check->readsKept = markUnread(toWide(check->report), check->unreadMark);
  if (check->readsKept) {
    const std::string opener = reportOpenerPath(check->report);
    const std::string page = reportOpenerPage(fileNameOf(check->report));
    std::string ignored;
    std::size_t written = 0;
    std::unique_ptr<RawFile> file = backend_.openFile(opener, FileOpening::Empty, ignored);
    const bool made = file && file->append(page.data(), page.size(), written, ignored) && file->close(ignored);
    if (made) handed = opener;
    check->readsKept = made;
  }
  HANDLE shower = nullptr;
  if (!shellOpen(owner_, handed, true, &shower)) throw Error(reportNotShownText(check->report));
  check->showing = true;
  check->showingSince = GetTickCount64();
  check->ended = shower == nullptr;  // handed to a program already running
  check->process = shower != nullptr ? shower : CreateEventW(nullptr, TRUE, FALSE, nullptr);
  await(std::move(check), kShowLookMs);
}

void NotificationArea::watchShowing(std::unique_ptr<CheckRun> check, bool timedOut) {
  if (!check->ended) {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(check->process, &code);
    if (!timedOut || code != STILL_ACTIVE) {
      check->ended = true;
      check->exitCode = code;
      CloseHandle(check->process);
      check->process = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
  }
  ULONGLONG read = 0;
  ReportShowing showing;
  showing.ended = check->ended;
  showing.exitCode = check->exitCode;
  showing.readsKept = check->readsKept;
  showing.read = check->readsKept && lastReadOf(toWide(check->report), read) && read > check->unreadMark;
  showing.timeUp = GetTickCount64() - check->showingSince >= kShowLimitMs;
  const ReportShown shown = reportShown(showing);
  if (shown == ReportShown::NotYet) return await(std::move(check), kShowLookMs);
  CloseHandle(check->process);
  if (shown == ReportShown::No) throw Error(reportNotShownText(check->report));
}

void NotificationArea::checkEnded(WPARAM number, bool timedOut) {
  const auto found = checks_.find(number);
  if (found == checks_.end()) return;  // not a run of this program's
  std::unique_ptr<CheckRun> check = std::move(found->second);
  checks_.erase(found);
  UnregisterWait(check->wait);
  if (check->showing) return watchShowing(std::move(check), timedOut);
  DWORD exitCode = 0;
  GetExitCodeProcess(check->process, &exitCode);
  CloseHandle(check->process);
  WIN32_FILE_ATTRIBUTE_DATA report = {};
  const bool written = GetFileAttributesExW(toWide(check->report).c_str(), GetFileExInfoStandard, &report) &&
                       (report.nFileSizeLow != 0 || report.nFileSizeHigh != 0);
  if (!timedOut && written) return showReport(std::move(check));
  throw Error(checkerFailedText(check->recording, exitCode, !timedOut));
}

}  // namespace orv::ui
