// The archiver of the native build (the tools, the benchmark and the tests
// that stop a compression by killing it): a thread of its own, files through
// the standard library. Paths are taken as the work gives them, with "\"
// read as "/".
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/archiver.h"

namespace orv {

// The files alone, for work run on the caller's thread.
ArchiveFiles& nativeArchiveFiles();

class NativeArchiver : public Archiver {
 public:
  NativeArchiver() = default;
  // Waits for the work in hand to end.
  ~NativeArchiver() override;
  NativeArchiver(const NativeArchiver&) = delete;
  NativeArchiver& operator=(const NativeArchiver&) = delete;
  void post(Work work) override;
  std::vector<ArchiveNote> takeNotes() override;
  // Waits until every piece of work posted has ended.
  void waitIdle();

 private:
  void run();
  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<Work> work_;
  std::vector<ArchiveNote> notes_;
  bool busy_ = false;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace orv
