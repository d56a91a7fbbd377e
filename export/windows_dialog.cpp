// The export dialog: thin glue over ExportForm (export_form.h) and runExport.
// The export runs on a thread of its own; the window shows its progress and,
// at the end, the summary and a button that opens the folder.
#include "export/windows_dialog.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "recordings/files.h"
#include "recordings/windows_start.h"
#include "export/export_form.h"
#include "export/program.h"
#include "platform/win32_messages.h"
#include "platform/win32_text.h"

namespace orv::exporter {

namespace {

// Line ends as an edit control shows them.
std::wstring windowsLines(const std::string& text) {
  std::wstring w;
  for (wchar_t c : toWide(text)) {
    if (c == L'\n') w += L'\r';
    w += c;
  }
  return w;
}

struct Dialog {
  HWND window = nullptr;
  HFONT font = nullptr;
  ExportForm form;
  ExportCommand command;
  std::uint64_t totalBytes = 0;
  HANDLE worker = nullptr;
  std::atomic<ExportRun*> done{nullptr};  // the worker's result, until the dialog takes it
  std::unique_ptr<ExportRun> run;

  HWND item(int id) const { return GetDlgItem(window, id); }
  std::string text(int id) const {
    const int n = GetWindowTextLengthW(item(id));
    std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
    GetWindowTextW(item(id), w.data(), n + 1);
    w.resize(static_cast<std::size_t>(n));
    return toUtf8(w);
  }
  // The chosen item of a drop-down list (its text may follow only after the change is told).
  std::string selected(int id) const {
    const LRESULT i = SendMessageW(item(id), CB_GETCURSEL, 0, 0);
    if (i == CB_ERR) return text(id);
    std::wstring w(static_cast<std::size_t>(SendMessageW(item(id), CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
    SendMessageW(item(id), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(w.data()));
    w.resize(std::wcslen(w.c_str()));
    return toUtf8(w);
  }
  void setText(int id, const std::string& s) { SetWindowTextW(item(id), windowsLines(s).c_str()); }

  HWND add(const wchar_t* type, const wchar_t* caption, DWORD style, int x, int y, int w, int h, int id = 0) {
    const bool sunken = std::wstring(type) == L"EDIT" || std::wstring(type) == L"LISTBOX";
    HWND control = CreateWindowExW(sunken ? WS_EX_CLIENTEDGE : 0, type, caption, WS_CHILD | WS_VISIBLE | style, x, y, w, h, window,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
  }
  // shown: each name as the list shows it.
  void fill(int id, const std::vector<std::string>& names, const std::string& chosen,
            std::string (*shown)(const std::string&) = nullptr) {
    for (const std::string& name : names)
      SendMessageW(item(id), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(shown ? shown(name) : name).c_str()));
    setText(id, chosen);
    for (std::size_t i = 0; i < names.size(); ++i)
      if (names[i] == chosen) SendMessageW(item(id), CB_SETCURSEL, i, 0);
  }
  // The format chosen, as its code.
  std::string format() const {
    const LRESULT i = SendMessageW(item(kFormat), CB_GETCURSEL, 0, 0);
    return i >= 0 && static_cast<std::size_t>(i) < formatNames().size() ? formatNames()[static_cast<std::size_t>(i)] : form.format;
  }
  void problem(const std::string& text) const {
    MessageBoxW(window, windowsLines(text).c_str(), kDialogTitle, MB_OK | MB_ICONWARNING);
  }
  // Adds recordings to the list, each looked at first: those that cannot be exported are told in one box.
  void addRecordings(const std::vector<std::string>& files) {
    std::string problems;
    for (const std::string& file : files) {
      const std::string why = recordingProblem(file);
      if (!why.empty()) {
        problems += why + "\n";
        continue;
      }
      form.files.push_back(file);
      SendMessageW(item(kFiles), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(file).c_str()));
    }
    EnableWindow(item(kExport), !form.files.empty() && worker == nullptr);
    if (!problems.empty()) problem("Not added:\n" + problems);
  }

  void create() {
    const auto label = [&](const wchar_t* caption, int y) { add(L"STATIC", caption, 0, 12, y + 3, 100, 20); };
    label(L"Recordings:", 12);
    add(L"LISTBOX", L"", WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 116, 12, 330, 70, kFiles);
    add(L"BUTTON", L"Add\u2026", WS_TABSTOP, 454, 12, 80, 22, kAdd);
    add(L"BUTTON", L"Remove", WS_TABSTOP, 454, 37, 80, 22, kRemove);
    add(L"BUTTON", L"Clear", WS_TABSTOP, 454, 62, 80, 22, kClear);
    label(L"Format:", 92);
    add(L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 116, 92, 200, 200, kFormat);
    add(L"STATIC", L"Timeframe:", 0, 330, 95, 70, 20);
    add(L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 404, 92, 130, 300, kTimeframe);
    label(L"Template:", 122);
    add(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, 116, 122, 418, 22, kTemplate);
    label(L"Header:", 150);
    add(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, 116, 150, 418, 22, kHeader);
    label(L"Recorded in:", 180);
    add(L"COMBOBOX", L"", CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP, 116, 180, 180, 200, kFrom);
    add(L"STATIC", L"Write in:", 0, 306, 183, 60, 20);
    add(L"COMBOBOX", L"", CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP, 366, 180, 168, 200, kTo);
    label(L"Output folder:", 210);
    add(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, 116, 210, 418, 22, kOut);
    add(PROGRESS_CLASSW, L"", 0, 12, 242, 522, 16, kProgressBar);
    add(L"EDIT", L"", ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOVSCROLL, 12, 266, 522, 110, kSummary);
    add(L"BUTTON", L"Export", BS_DEFPUSHBUTTON | WS_TABSTOP, 286, 386, 80, 26, kExport);
    add(L"BUTTON", L"Open folder", WS_TABSTOP | WS_DISABLED, 370, 386, 80, 26, kOpen);
    add(L"BUTTON", L"Close", WS_TABSTOP, 454, 386, 80, 26, IDCANCEL);
    SendMessageW(item(kProgressBar), PBM_SETRANGE32, 0, 1000);
    fill(kFormat, formatNames(), form.format, &formatLabel);
    fill(kTimeframe, timeframeNames(), form.timeframe);
    fill(kFrom, commonZones(), form.fromZone);
    std::vector<std::string> toZones = commonZones();
    toZones.insert(toZones.begin(), kUsualZone);
    fill(kTo, toZones, form.toZone.empty() ? kUsualZone : form.toZone);
    SendMessageW(item(kOut), EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(toWide(kBesideFirst).c_str()));
    DragAcceptFiles(window, TRUE);
    setText(kTemplate, form.templateText);
    setText(kHeader, form.header);
    setText(kOut, form.outDir);
    formatChanged();
    EnableWindow(item(kExport), FALSE);  // until a recording is added
  }

  void formatChanged() {
    const std::string format = this->format();
    EnableWindow(item(kTimeframe), usesTimeframe(format));
    EnableWindow(item(kTemplate), usesTemplate(format));
    EnableWindow(item(kHeader), usesTemplate(format));
  }

  // The recording chosen in the list is taken off it; the next one is chosen then.
  void removeChosen() {
    const LRESULT i = SendMessageW(item(kFiles), LB_GETCURSEL, 0, 0);
    if (i == LB_ERR || static_cast<std::size_t>(i) >= form.files.size()) return;
    form.files.erase(form.files.begin() + i);
    SendMessageW(item(kFiles), LB_DELETESTRING, static_cast<WPARAM>(i), 0);
    if (!form.files.empty())
      SendMessageW(item(kFiles), LB_SETCURSEL, static_cast<WPARAM>(std::min<std::size_t>(i, form.files.size() - 1)), 0);
    EnableWindow(item(kExport), !form.files.empty() && worker == nullptr);
  }

  // Opens where the recordings are, or in the user's documents: never
  // wherever the program happened to start.
  void addFiles() {
    std::wstring folder = toWide(addDialogFolder(form));
    PWSTR documents = nullptr;
    if (folder.empty() && SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &documents))) folder = documents;
    CoTaskMemFree(documents);
    std::vector<wchar_t> buffer(65536, L'\0');
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = window;
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrFilter = L"Recordings (*.csv, *.csv.gz)\0*.csv;*.csv.gz\0All files (*.*)\0*.*\0";
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&ofn)) return;
    // One file: its full path. Several: the folder, then each name.
    const std::wstring first(buffer.data());
    const wchar_t* p = buffer.data() + first.size() + 1;
    std::vector<std::wstring> chosen;
    if (*p == L'\0') chosen.push_back(first);
    for (; *p != L'\0'; p += std::wcslen(p) + 1) chosen.push_back(first + L"\\" + p);
    std::vector<std::string> files;
    for (const std::wstring& file : chosen) files.push_back(toUtf8(file));
    addRecordings(files);
  }

  void dropped(HDROP drop) {
    std::vector<std::string> files;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      std::wstring name(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
      name.resize(DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size())));
      files.push_back(toUtf8(name));
    }
    DragFinish(drop);
    addRecordings(files);
  }

  void startExport() {
    form.format = format();
    form.timeframe = selected(kTimeframe);
    form.templateText = text(kTemplate);
    form.header = text(kHeader);
    form.fromZone = text(kFrom);
    form.toZone = text(kTo) == kUsualZone ? std::string() : text(kTo);
    form.outDir = text(kOut);
    command = parseExportArgs(argsOf(form));
    if (!command.error.empty()) {
      setText(kSummary, "");
      problem(formMessage(command.error));
      return;
    }
    totalBytes = 0;
    for (const std::string& file : command.files) {
      std::error_code error;
      totalBytes += std::filesystem::file_size(recordings::pathOf(file), error);
    }
    EnableWindow(item(kExport), FALSE);
    EnableWindow(item(kOpen), FALSE);
    SendMessageW(item(kProgressBar), PBM_SETPOS, 0, 0);
    setText(kSummary, "Exporting\u2026");
    worker = CreateThread(nullptr, 0, &Dialog::work, this, 0, nullptr);
  }

  static DWORD WINAPI work(void* self) {
    Dialog& d = *static_cast<Dialog*>(self);
    LONG shown = -1;
    auto result = std::make_unique<ExportRun>(runExport(d.command, [&](std::uint64_t bytes) {
      const LONG permille = d.totalBytes == 0 ? 0 : static_cast<LONG>(bytes * 1000 / d.totalBytes);
      if (permille != shown) PostMessageW(d.window, kExportProgressMessage, static_cast<WPARAM>(shown = permille), 0);
    }));
    d.done.store(result.release());
    PostMessageW(d.window, kExportDoneMessage, 0, 0);
    return 0;
  }

  void finished(ExportRun* done) {
    run.reset(done);
    CloseHandle(worker);
    worker = nullptr;
    EnableWindow(item(kExport), TRUE);
    if (run->exitCode == 2) {
      SendMessageW(item(kProgressBar), PBM_SETPOS, 0, 0);
      setText(kSummary, "Nothing was written.");
      const std::size_t replaced = run->totals.wouldReplace.size();
      if (replaced == 0) {
        problem("Nothing was written: " + run->error + ".");
        return;
      }
      const std::string question = (replaced == 1 ? std::string("1 file") : std::to_string(replaced) + " files") + " in " +
                                   command.settings.outDir + " would be replaced. Replace " + (replaced == 1 ? "it?" : "them?");
      if (MessageBoxW(window, windowsLines(question).c_str(), kDialogTitle, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES) {
        form.replace = true;
        startExport();
        form.replace = false;
      }
      return;
    }
    SendMessageW(item(kProgressBar), PBM_SETPOS, 1000, 0);
    setText(kSummary, summaryOf(*run) + "Written to " + command.settings.outDir + "\n");
    EnableWindow(item(kOpen), TRUE);
  }

  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* d = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
      d = static_cast<Dialog*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      d->window = window;
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(d));
    }
    if (d == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
      case WM_CREATE: d->create(); return 0;
      // Another program may post the same numbers: only the worker's result is taken.
      case kExportProgressMessage:
        if (d->worker != nullptr) SendMessageW(d->item(kProgressBar), PBM_SETPOS, wParam, 0);
        return 0;
      case kExportDoneMessage:
        if (ExportRun* result = d->done.exchange(nullptr)) d->finished(result);
        return 0;
      case WM_DROPFILES: d->dropped(reinterpret_cast<HDROP>(wParam)); return 0;
      case WM_COMMAND:
        switch (LOWORD(wParam)) {
          case kFormat:
            if (HIWORD(wParam) == CBN_SELCHANGE) d->formatChanged();
            return 0;
          case kAdd: d->addFiles(); return 0;
          case kRemove: d->removeChosen(); return 0;
          case kClear:
            d->form.files.clear();
            SendMessageW(d->item(kFiles), LB_RESETCONTENT, 0, 0);
            EnableWindow(d->item(kExport), FALSE);
            return 0;
          case kExport: d->startExport(); return 0;
          case kOpen:
            ShellExecuteW(window, L"open", toWide(d->command.settings.outDir).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
            return 0;
          case IDCANCEL:
            if (d->worker == nullptr) DestroyWindow(window);
            return 0;
        }
        break;
      case WM_CLOSE:
        if (d->worker == nullptr) DestroyWindow(window);
        return 0;
      case WM_DESTROY: PostQuitMessage(d->run ? d->run->exitCode : 0); return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }
};

int showDialog(std::vector<std::string> files, std::string fromZone) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  Dialog dialog;
  if (!fromZone.empty()) dialog.form.fromZone = std::move(fromZone);
  dialog.font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Dialog::procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kDialogClass;
  RegisterClassExW(&wc);
  RECT size = {0, 0, 546, 424};
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  AdjustWindowRect(&size, style, FALSE);
  // Centred on the screen's work area.
  RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int width = size.right - size.left, height = size.bottom - size.top;
  HWND window = CreateWindowExW(0, kDialogClass, kDialogTitle, style, work.left + (work.right - work.left - width) / 2,
                                work.top + (work.bottom - work.top - height) / 2, width, height, nullptr, nullptr, wc.hInstance, &dialog);
  if (window == nullptr) return 2;
  ShowWindow(window, SW_SHOWNORMAL);
  dialog.addRecordings(files);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int windowsMain(int argc, wchar_t** argv) {
  const std::vector<std::string> args = recordings::startArguments(argc, argv);
  // Only recordings, or nothing, perhaps after the zone they were recorded
  // in (--from ZONE, "Recorded in"): the dialog.
  std::vector<std::string> files = args;
  std::string fromZone;
  if (files.size() >= 2 && files[0] == "--from") {
    fromZone = files[1];
    files.erase(files.begin(), files.begin() + 2);
  }
  bool onlyFiles = true;
  for (const std::string& a : files) onlyFiles = onlyFiles && (a.empty() || a[0] != '-');
  if (!onlyFiles) return runExportCommandLine(args, stdout, stderr);
  recordings::hideOwnConsole();
  return showDialog(std::move(files), std::move(fromZone));
}

}  // namespace orv::exporter
