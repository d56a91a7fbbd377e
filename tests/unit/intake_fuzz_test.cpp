// Hostile messages at volume: random messages by the million through the
// main window's intake on the in-memory backend, built with the sanitizers.
// Codes around the feeder's and the tester's with random parameters,
// announcements of random letters (commas, quotes, line ends, zero bytes,
// bytes above 127) and random Digits, ticks while recording (through the
// save dialog and unattended), forwarding and replaying, between clicks,
// timer periods, a tester that answers, lags or goes, messages inside a
// forward and inside a modal window, writes that fail part way, and another
// writer adding to the same files, and disks that hide how much of a failed
// write they took. Every file must hold only whole rows: each row a write
// reported whole, once and in order, and the other writer's rows; the hub's
// texts stay bounded.
//
// ORVALDA_FUZZ_MESSAGES sets how many messages (default 500,000, a few
// seconds), ORVALDA_FUZZ_SEED the seed.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "core/feed_hub.h"
#include "tests/unit/feed_hub_peer.h"
#include "core/protocol.h"
#include "platform/memory_backend.h"

namespace orv {
namespace {

std::uint64_t fromEnvironment(const char* name, std::uint64_t fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::strtoull(value, nullptr, 10) : fallback;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allDigits(std::string_view s) {
  for (char c : s)
    if (!isDigit(c)) return false;
  return !s.empty();
}

// "1.08150", "108150" (no decimals), "108150e-45", "108150e3".
bool isPrice(std::string_view p) {
  if (const std::size_t e = p.find('e'); e != std::string_view::npos) {
    const std::string_view exponent = p.substr(e + 1);
    return allDigits(p.substr(0, e)) && allDigits(exponent.substr(!exponent.empty() && exponent[0] == '-'));
  }
  const std::size_t point = p.find('.');
  return point == std::string_view::npos ? allDigits(p) : allDigits(p.substr(0, point)) && allDigits(p.substr(point + 1));
}

// "20261206 14:03:27.045"
bool isStamp(std::string_view s) {
  static constexpr std::string_view kShape = "00000000 00:00:00.000";
  if (s.size() != kShape.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i)
    if (kShape[i] == '0' ? !isDigit(s[i]) : s[i] != kShape[i]) return false;
  return true;
}

// Whether the data is whole rows only: pair (in double quotes, its quotes
// doubled, when it holds a comma, a quote, CR or LF), stamp, bid, ask, CR LF.
// `where` gets the offset of the first row that is not.
bool wholeRows(std::string_view data, std::size_t& where) {
  std::size_t at = 0;
  while (at < data.size()) {
    where = at;
    std::size_t i = at;
    if (data[i] == '"') {
      for (++i;; i += 2) {
        i = data.find('"', i);
        if (i == std::string_view::npos) return false;
        if (i + 1 >= data.size() || data[i + 1] != '"') break;
      }
      ++i;
    } else {
      i = data.find_first_of(",\"\r\n", i);
    }
    if (i >= data.size() || data[i] != ',') return false;
    const std::size_t end = data.find("\r\n", i);
    if (end == std::string_view::npos) return false;
    const std::string_view rest = data.substr(i + 1, end - i - 1);  // stamp,bid,ask
    const std::size_t c1 = rest.find(','), c2 = rest.find(',', c1 + 1);
    if (c1 == std::string_view::npos || c2 == std::string_view::npos || !isStamp(rest.substr(0, c1)) ||
        !isPrice(rest.substr(c1 + 1, c2 - c1 - 1)) || !isPrice(rest.substr(c2 + 1)))
      return false;
    at = end + 2;
  }
  return true;
}

TEST(RowGrammar, TellsWholeRowsFromCutOrGluedOnes) {
  std::size_t where = 0;
  for (std::string_view whole : {"", "EUR/USD,20261206 14:03:27.045,1.08150,1.08166\r\n",
                                 "\"a,\"\"b\r\n\",20261206 14:03:27.045,108150e-45,0\r\n,20261206 14:03:27.045,7e3,0.1\r\n"})
    EXPECT_TRUE(wholeRows(whole, where)) << whole;
  for (std::string_view cut : {"EUR/USD,20261206 14:03:27.045,1.08150,1.08166", "EUR/USD,20261206 14:03:27.045,1.0\r\n",
                               "EUR/USD,20261206 14:03:27.045,1.08150,1.08166\r\nEUR/USD,20261206 14:03",
                               "\"EUR,20261206 14:03:27.045,1.08150,1.08166\r\n", "EU\rR,20261206 14:03:27.045,1,1\r\n",
                               "EUR,20261206 14:03:27.045,1.1.1,1\r\n", "EUR,2026120614:03:27.045,1,1\r\n"})
    EXPECT_FALSE(wholeRows(cut, where)) << cut;
}

class IntakeFuzz {
 public:
  explicit IntakeFuzz(std::uint64_t seed) : rng_(seed) {
    be_.keepLog = false;
    be_.onSend = [this](const SentMessage&) {
      be_.sendResult = sendResult();
      if (nested_ == 0 && chance(40)) inside([this] { message(); });
    };
    be_.onModal = [this] {
      if (nested_ == 0)
        inside([this] {
          for (int n = pick(4); n > 0; --n) message();
        });
    };
    be_.saveDialog = [this](std::string& fileName, const SaveDialogOptions&) {
      fileName = "C:\\dialog\\" + std::to_string(pick(4)) + ".csv";
      const bool chosen = !chance(8);
      if (chosen) written_[fileName].clear();  // the file is started afresh
      return chosen;
    };
    be_.onWritten = [this](const MemoryFile& file, std::string_view bytes) {
      if (file.path.ends_with("orvalda.log")) return;
      written_[file.path] += bytes;
      ++rowsWritten_;
    };
  }

  // One message, or now and then something else the window lives through.
  void step() {
    if (replaySteps_ > 0) {
      --replaySteps_;
      if (chance(4)) runGuarded(be_, [&] { hub_->timerElapsed(TimerRole::Pulse); });
    }
    if (chance(6)) {
      event();
      return;
    }
    message();
  }

  // A new hub with random options; the old one's files are checked and let go.
  void newHub() {
    hub_.reset();
    checkFiles();
    be_.disk.clear();
    be_.files.clear();
    be_.errors.clear();
    be_.questions.clear();
    written_.clear();
    be_.failFilesAfterBytes = chance(3) ? 20 + pick(20000) : SIZE_MAX;
    be_.filesHidePartialWrites = chance(2);
    StartOptions options;
    if (chance(2)) options.recordPattern = chance(2) ? "C:\\rec\\{symbol}-{date}.csv" : "C:\\rec\\{time}\\{symbol}.csv";
    options.daily = options.recordPattern && chance(2);
    options.utc = chance(2);
    options.live = chance(2);
    hub_ = std::make_unique<FeedHub>(be_, options);
    if (chance(2)) be_.windows["Zentavor"] = 0x5150;
    // A third of the hubs replay the table first, for a while without announcements.
    replaySteps_ = chance(3) ? 20000 : 0;
    if (replaySteps_ > 0) runGuarded(be_, [&] { hub_->click(Control::TestDataBox); });
    // Every fourth begins with tails without a head, the symbol growing to its bound.
    tailRun_ = ++hubs_ % 4 == 2 ? 10000 : 0;
  }

  void checkFiles() {
    for (const auto& [path, file] : be_.disk) {
      if (path.ends_with("orvalda.log")) continue;
      std::size_t where = 0;
      ASSERT_TRUE(wholeRows(file->data, where))
          << path << " at " << where << ": " << testing::PrintToString(file->data.substr(where, 200));
      std::string ours = file->data;
      for (std::size_t at = ours.find(kOtherRow); at != std::string::npos; at = ours.find(kOtherRow, at))
        ours.erase(at, kOtherRow.size());
      ASSERT_EQ(ours, written_[path]) << path;
      rows_ += file->data.size();
    }
  }

  void checkState() {
    ASSERT_LE(FeedHubPeer(*hub_).symbol().size(), AnnouncedSymbol::kLongestSymbol);
    ASSERT_LE(FeedHubPeer(*hub_).pairText().size(), FeedHubPeer(*hub_).symbol().size() + 1);
  }

  std::uint64_t bytesChecked() const { return rows_; }

 private:
  bool chance(unsigned oneIn) { return rng_() % oneIn == 0; }
  int pick(unsigned n) { return static_cast<int>(rng_() % n); }
  template <typename F>
  void inside(F&& f) {
    nestedRan_ = true;
    ++nested_;
    f();
    --nested_;
  }

  SendResult sendResult() {
    const int r = pick(400);
    return r == 0 ? SendResult::NoWindow : r < 20 ? SendResult::NotAnswered : SendResult::Delivered;
  }

  // A letter byte as hostile feeders send them.
  std::uint32_t letter() {
    static constexpr char kOdd[] = {'\0', ',', '"', '\r', '\n', '/', '\\', ':', '*', '?', ' ', '\x7f', '\x80', '\xff'};
    return chance(3) ? static_cast<unsigned char>(kOdd[pick(sizeof kOdd)]) : 'A' + pick(26);
  }
  std::uint64_t letters() { return (rng_() & 0xFF00FF00u) | letter() << 16 | letter(); }

  std::uint64_t param() {
    switch (pick(5)) {
      case 0: return rng_();
      case 1: return rng_() & 0xFFFFFFFFu;
      case 2: return static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::int32_t>(rng_())));
      case 3: return letters();
      default: return 100000 + pick(20000);
    }
  }

  std::int64_t digits() {
    switch (pick(4)) {
      case 0: return static_cast<std::int32_t>(rng_());
      case 1: return pick(80) - 20;
      default: return 5;
    }
  }

  void message() {
    static constexpr std::uint32_t kCodes[] = {WM_TICK,          WM_TICK,         WM_TICK,          WM_TICK,
                                               WM_SYMBOL_HEAD,   WM_SYMBOL_TAIL,  WM_FEED_CONTROL,  WM_TICK - 1,
                                               WM_TICK + 1,      WM_SYMBOL_HEAD - 1, WM_FEED_CONTROL + 1, 0x10000400};
    Message m;
    m.msg = chance(50) ? static_cast<std::uint32_t>(rng_()) : kCodes[pick(sizeof kCodes / sizeof kCodes[0])];
    m.wParam = param();
    m.lParam = static_cast<std::int64_t>(m.msg == WM_SYMBOL_TAIL && chance(2) ? digits() : param());
    if (replaySteps_ > 0 && m.msg == WM_SYMBOL_TAIL) m.msg = WM_TICK;
    if (tailRun_ > 0) {
      --tailRun_;
      m.msg = WM_SYMBOL_TAIL;
      m.wParam = letters();
    }
    // A tick on its own, while a recording goes on without a failure
    // before and after it, leaves exactly one row; without a recording, none.
    const bool tickOnItsOwn = m.msg == WM_TICK && nested_ == 0;
    const bool recordingBefore = tickOnItsOwn && recordingWell();
    const std::size_t errorsBefore = be_.errors.size();
    if (nested_ == 0) {
      rowsWritten_ = 0;
      nestedRan_ = false;
    }
    bool handled = false;
    runGuarded(be_, [&] { handled = hub_->handleFeedMessage(m); });
    if (tickOnItsOwn && !nestedRan_) {
      if (recordingBefore && recordingWell() && be_.errors.size() == errorsBefore) {
        EXPECT_EQ(rowsWritten_, 1);
      }
      if (!FeedHubPeer(*hub_).isRecording()) {
        EXPECT_EQ(rowsWritten_, 0);
      }
    }
    const bool feeder = m.msg == WM_TICK || m.msg == WM_SYMBOL_HEAD || m.msg == WM_SYMBOL_TAIL;
    EXPECT_EQ(handled, feeder || m.msg == WM_FEED_CONTROL) << m.msg;
    EXPECT_EQ(m.result, feeder ? 1 : 0) << m.msg;
  }

  bool recordingWell() const { return FeedHubPeer(*hub_).isRecording() && hub_->status().failure.empty(); }

  void event() {
    switch (pick(8)) {
      case 0: runGuarded(be_, [&] { hub_->click(static_cast<Control>(controlId(Control::TickLine) + pick(kControlCount))); }); break;
      case 1: runGuarded(be_, [&] { hub_->timerElapsed(static_cast<TimerRole>(pick(3))); }); break;
      case 2:
        if (chance(2))
          be_.windows["Zentavor"] = 0x5150;
        else
          be_.windows.clear();
        break;
      case 3: be_.now += std::chrono::milliseconds(chance(50) ? 86'400'000 : pick(3000)); break;
      case 4:
        be_.utcClock += std::chrono::milliseconds(pick(100000));
        be_.seconds += pick(10);
        break;
      case 5:
        if (!be_.files.empty())
          be_.files[pick(be_.files.size())]->otherWriterAdds += kOtherRow;
        break;
      case 6: be_.yesNoAnswer = chance(2); break;
      default:
        if (chance(1000)) newHub();
        break;
    }
  }

  static constexpr std::string_view kOtherRow = "OTHER,20261206 14:03:27.045,1.0,2.0\r\n";
  std::mt19937_64 rng_;
  MemoryBackend be_;
  std::map<std::string, std::string> written_;  // path -> the rows whose writes were reported whole
  int rowsWritten_ = 0;    // rows written whole since the message began
  bool nestedRan_ = false;  // a message was handled inside it
  std::unique_ptr<FeedHub> hub_;
  int nested_ = 0;
  int tailRun_ = 0;
  int hubs_ = 0;
  int replaySteps_ = 0;
  std::uint64_t rows_ = 0;
};

TEST(IntakeFuzz, RandomMessagesLeaveEveryWrittenRowWholeOnceInOrderAndTheTextsBounded) {
  const std::uint64_t messages = fromEnvironment("ORVALDA_FUZZ_MESSAGES", 500'000);
  const std::uint64_t seed = fromEnvironment("ORVALDA_FUZZ_SEED", 20261206);
  RecordProperty("seed", std::to_string(seed));
  IntakeFuzz fuzz(seed);
  fuzz.newHub();
  for (std::uint64_t i = 0; i < messages; ++i) {
    fuzz.step();
    if (i % 1024 == 0) {
      ASSERT_NO_FATAL_FAILURE(fuzz.checkState()) << "after " << i << " steps, seed " << seed;
      if (testing::Test::HasFailure()) FAIL() << "after " << i << " steps, seed " << seed;
    }
    if (i % 50000 == 49999) {
      ASSERT_NO_FATAL_FAILURE(fuzz.newHub()) << "seed " << seed;
    }
  }
  ASSERT_NO_FATAL_FAILURE(fuzz.newHub());
  EXPECT_GT(fuzz.bytesChecked(), 0u);
}

}  // namespace
}  // namespace orv
