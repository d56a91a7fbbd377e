// In-memory backend for the unit tests: records every operation, lets a test
// set the clocks, answer the modal windows, find or lose the tester window,
// fail timers and files, and run a feeder message from inside a send.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/backend.h"

namespace orv {

struct SentMessage {
  WindowHandle window = 0;
  std::uint32_t msg = 0;
  std::uint64_t wParam = 0;
  std::int64_t lParam = 0;
  bool operator==(const SentMessage&) const = default;
};

// The contents and fate of one file the recorder created.
struct MemoryFile {
  std::string path;
  std::string data;      // bytes that reached the "disk"
  int writes = 0;        // number of write calls
  bool closed = false;
  std::size_t failAfterBytes = SIZE_MAX;  // a write that would pass this fails (disk full)
  bool failClose = false;
};

class MemoryBackend : public Backend {
 public:
  // --- what the test sets ---
  LocalTime now{2026, 12, 6, 14, 3, 27, 45};
  LocalTime utcNow{2026, 12, 6, 13, 3, 27, 45};
  std::int64_t seconds = 1'800'000'000;
  std::map<std::string, WindowHandle> windows;  // titles found by findWindow (case-insensitive)
  // Called inside sendMessage, after the message is logged: the place where a
  // test runs a nested feeder message, or lets time pass in a slow tester.
  std::function<void(const SentMessage&)> onSend;
  // What sendMessage reports; a test may change it from onSend.
  SendResult sendResult = SendResult::Delivered;
  // Answers of the modal windows; each runs onModal first (ticks arriving while it is open).
  std::function<bool(std::string& fileName, const SaveDialogOptions&)> saveDialog;
  bool yesNoAnswer = true;
  std::function<void()> onModal;
  int timersLeft = 1000;                 // startTimer fails when none is left
  std::map<std::string, std::string> createErrors;  // path -> reason: createFile fails
  // Settings applied to every file created from now on.
  std::size_t failFilesAfterBytes = SIZE_MAX;

  // --- what the test reads ---
  std::vector<SentMessage> sent;
  int sendsInFlight = 0;  // sends begun and not yet returned; onSend runs inside its own
  std::vector<std::string> log;  // every operation in order, as text
  std::map<Control, std::string> captions;
  std::map<Control, Color> colors;
  std::map<Control, bool> checked;
  std::map<Control, bool> enabled;
  std::map<Control, ButtonKind> kinds;
  std::map<TimerId, unsigned> runningTimers;  // id -> interval of the running period
  std::map<TimerId, int> timerStarts;         // how often a period was (re)started
  unsigned pacedPeriodMs = 0;                 // what keepTimerPace last asked for
  std::vector<std::string> errors;            // texts of the error display
  std::vector<std::string> questions;         // texts asked with Yes/No
  std::vector<std::shared_ptr<MemoryFile>> files;  // in the order they were opened
  // The "disk": each path's latest file, which openForAppend adds to.
  std::map<std::string, std::shared_ptr<MemoryFile>> disk;
  std::map<std::string, std::string> settings;
  std::string lastDialogFolder;  // where the last save dialog opened
  int saveDialogRuns = 0;
  int quitRequests = 0;

  std::shared_ptr<MemoryFile> lastFile() const { return files.empty() ? nullptr : files.back(); }
  std::shared_ptr<MemoryFile> fileAt(const std::string& path) const {
    auto it = disk.find(path);
    return it == disk.end() ? nullptr : it->second;
  }

  // --- Backend ---
  LocalTime localTime() override { return now; }
  LocalTime utcTime() override { return utcNow; }
  std::int64_t calendarSeconds() override { return seconds; }
  WindowHandle findWindow(std::string_view title) override;
  SendResult sendMessage(WindowHandle window, std::uint32_t msg, std::uint64_t wParam, std::int64_t lParam) override;
  void showCaption(Control c, const std::string& text) override;
  void showFontColor(Control c, Color color) override;
  void showChecked(Control c, bool value) override;
  void showEnabled(Control c, bool value) override;
  void showButtonKind(Control c, ButtonKind kind) override;
  bool startTimer(TimerId id, unsigned intervalMs) override;
  void stopTimer(TimerId id) override;
  void keepTimerPace(unsigned periodMs) override;
  bool runSaveDialog(std::string& fileName, const SaveDialogOptions& options) override;
  bool askYesNo(std::string_view text, std::string_view caption) override;
  void showError(std::string_view text) override;
  std::unique_ptr<OutputFile> createFile(const std::string& path, std::string& error) override;
  std::unique_ptr<OutputFile> openForAppend(const std::string& path, AppendStart& start, std::string& error) override;
  std::string loadSetting(std::string_view name) override;
  void saveSetting(std::string_view name, std::string_view value) override;
  void requestQuit() override {
    ++quitRequests;
    log.push_back("quit");
  }
};

}  // namespace orv
