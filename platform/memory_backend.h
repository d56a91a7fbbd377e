// In-memory backend for the unit tests: records every operation, lets a test
// set the clocks, answer the modal windows, find or lose the tester window,
// fail timers, opens and writes (part way), have a second writer add to a
// file between two writes, and run a feeder message from inside a send.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/archiver.h"
#include "platform/backend.h"

namespace orv {

struct ShownNotice {
  NoticeKind kind = NoticeKind::Info;
  std::string title;
  std::string text;
  bool operator==(const ShownNotice&) const = default;
};

struct SentMessage {
  WindowHandle window = 0;
  std::uint32_t msg = 0;
  std::uint64_t wParam = 0;
  std::int64_t lParam = 0;
  bool operator==(const SentMessage&) const = default;
};

// One file on the "disk", shared by every handle opened on it.
struct MemoryFile {
  std::string path;
  std::string data;      // bytes that reached the "disk"
  int writes = 0;        // number of write calls
  bool closed = false;   // the last handle opened on it was closed
  int openHandles = 0;
  // A write that would pass this size writes up to it, then fails (disk full).
  std::size_t failAfterBytes = SIZE_MAX;
  bool failClose = false;
  // A write that fails part way reports nothing written (as some systems do).
  bool hidesPartialWrites = false;
  // Bytes another program adds to the end: just before the next write (or
  // the turn it is made in), or, with otherWriterAtCall set, before that
  // call on the file (calls counts every append, size, read and truncate of
  // every handle). The other program takes turns as this one does: while a
  // handle holds the turn, the bytes wait for its end.
  std::string otherWriterAdds;
  int otherWriterAtCall = -1;
  int calls = 0;
  bool turnHeld = false;
};

class MemoryBackend;

// The archiver's files on the backend's "disk", and its work run when the
// test says (on the test's thread). A budget of file operations stops the
// work where it stands, as a kill would: each operation after it fails, a
// write part way.
class MemoryArchiver : public Archiver, public ArchiveFiles {
 public:
  explicit MemoryArchiver(MemoryBackend& backend) : backend_(&backend) {}
  MemoryArchiver(const MemoryArchiver&) = delete;
  // A backend assigned keeps its own archiver, with the other's state.
  MemoryArchiver& operator=(const MemoryArchiver& other) {
    operationsLeft = other.operationsLeft;
    posted = other.posted;
    notes_ = other.notes_;
    return *this;
  }
  // --- what the test sets and reads ---
  std::int64_t operationsLeft = -1;  // -1: no end
  std::vector<Work> posted;          // not run yet
  // Runs what was posted, in order (and what it posts meanwhile).
  void runPosted();

  // --- Archiver ---
  void post(Work work) override { posted.push_back(std::move(work)); }
  std::vector<ArchiveNote> takeNotes() override { return std::exchange(notes_, {}); }
  // --- ArchiveFiles ---
  bool list(const std::string& folder, std::vector<FolderEntry>& entries, std::string& error) override;
  bool exists(const std::string& path) override;
  bool size(const std::string& path, std::uint64_t& bytes, std::string& error) override;
  gzip::ReadFn openRead(const std::string& path, std::string& error) override;
  std::unique_ptr<gzip::NewFile> create(const std::string& path, std::string& error) override;
  bool replace(const std::string& from, const std::string& to, std::string& error) override;
  bool remove(const std::string& path, std::string& error) override;
  // Fails while a handle of the backend is open on the file.
  std::unique_ptr<gzip::HeldFile> holdToRemove(const std::string& path, std::string& error) override;

 private:
  friend class MemoryNewFile;
  bool spend(std::string& error);
  MemoryBackend* backend_;
  std::vector<ArchiveNote> notes_;
};

class MemoryBackend : public Backend {
 public:
  // --- what the test sets ---
  std::chrono::local_time<std::chrono::milliseconds> now = localAt(2026, 12, 6, 14, 3, 27, 45);
  std::chrono::sys_time<std::chrono::milliseconds> utcClock = std::chrono::sys_time<std::chrono::milliseconds>(
      localAt(2026, 12, 6, 13, 3, 27, 45).time_since_epoch());
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
  std::map<std::string, std::string> openErrors;      // path -> reason: every open fails
  std::map<std::string, std::string> nextOpenErrors;  // path -> reason: the next open fails
  // Names of the controls in the log; numbers when not set.
  std::function<std::string(ControlId)> controlNames;
  // Off: the log and `sent` keep nothing (long runs and benchmarks).
  bool keepLog = true;
  // Settings applied to every file created from now on.
  std::size_t failFilesAfterBytes = SIZE_MAX;
  bool filesHidePartialWrites = false;
  // Called with each write that reached a file whole.
  std::function<void(const MemoryFile&, std::string_view written)> onWritten;

  // --- what the test reads ---
  std::vector<SentMessage> sent;
  int sendsInFlight = 0;  // sends begun and not yet returned; onSend runs inside its own
  std::vector<std::string> log;  // every operation in order, as text
  std::map<ControlId, std::string> captions;
  std::map<ControlId, Color> colors;
  std::map<ControlId, bool> checked;
  std::map<ControlId, bool> enabled;
  std::map<ControlId, ButtonKind> kinds;
  std::map<TimerId, unsigned> runningTimers;  // id -> interval of the running period
  std::map<TimerId, int> timerStarts;         // how often a period was (re)started
  unsigned pacedPeriodMs = 0;                 // what keepTimerPace last asked for
  std::vector<std::string> errors;            // texts of the error display
  std::vector<std::string> questions;         // texts asked with Yes/No
  std::vector<std::string> notificationTips;          // the notification-area tooltips, in order
  std::vector<ShownNotice> notices;           // the notices beside the icon, in order
  std::vector<std::shared_ptr<MemoryFile>> files;  // in the order they were opened
  // The "disk": each path's file.
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

  // A local clock value from its calendar fields.
  static std::chrono::local_time<std::chrono::milliseconds> localAt(int year, unsigned month, unsigned day,
                                                                    unsigned hour, unsigned minute, unsigned second,
                                                                    unsigned millisecond);

  // --- Backend ---
  std::chrono::local_time<std::chrono::milliseconds> localNow() override { return now; }
  std::chrono::sys_time<std::chrono::milliseconds> utcNow() override { return utcClock; }
  std::int64_t calendarSeconds() override { return seconds; }
  WindowHandle findWindow(std::string_view title) override;
  SendResult sendMessage(WindowHandle window, std::uint32_t msg, std::uint64_t wParam, std::int64_t lParam) override;
  void showCaption(ControlId c, const std::string& text) override;
  void showFontColor(ControlId c, Color color) override;
  void showChecked(ControlId c, bool value) override;
  void showEnabled(ControlId c, bool value) override;
  void showButtonKind(ControlId c, ButtonKind kind) override;
  bool startTimer(TimerId id, unsigned intervalMs) override;
  void stopTimer(TimerId id) override;
  void keepTimerPace(unsigned periodMs) override;
  bool runSaveDialog(std::string& fileName, const SaveDialogOptions& options) override;
  bool askYesNo(std::string_view text, std::string_view caption) override;
  void showError(std::string_view text) override;
  void showNotificationTip(std::string_view text) override;
  void notify(NoticeKind kind, std::string_view title, std::string_view text) override;
  std::unique_ptr<RawFile> openFile(const std::string& path, FileOpening how, std::string& error) override;
  std::string loadSetting(std::string_view name) override;
  MemoryArchiver& archiver() override { return archiver_; }
  void saveSetting(std::string_view name, std::string_view value) override;
  void requestQuit() override {
    ++quitRequests;
    note("quit");
  }

 private:
  MemoryArchiver archiver_{*this};
  void note(std::string entry) {
    if (keepLog) log.push_back(std::move(entry));
  }
  std::string nameOf(ControlId c) const { return controlNames ? controlNames(c) : std::to_string(c); }
};

}  // namespace orv
