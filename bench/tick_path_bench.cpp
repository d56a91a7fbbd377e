// One tick's whole path through the program's logic, on the in-memory
// backend: the feeder's message taken in, the display text, the CSV row and
// its write call, the forward call to the tester. The window system's own
// cost (Wine's message hop, about 200 µs) is measured end to end by
// e2e_bench; this is what the logic adds on top.
#include <benchmark/benchmark.h>

#include "core/feed_hub.h"
#include "tests/unit/feed_hub_peer.h"
#include "core/protocol.h"
#include "platform/memory_backend.h"

namespace {

enum class Work { ShowOnly, Record, RecordAndForward };

void tickPath(benchmark::State& state, Work work) {
  orv::MemoryBackend backend;
  backend.keepLog = false;  // the log would cost more than the logic
  backend.windows["Zentavor"] = 0x5150;
  orv::StartOptions options;
  if (work != Work::ShowOnly) options.recordPattern = "C:\\ticks\\{symbol}-{date}.csv";
  orv::FeedHub hub(backend, options);
  auto send = [&hub](std::uint32_t msg, std::uint32_t wParam, std::uint32_t lParam) {
    orv::Message m;
    m.msg = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    hub.handleFeedMessage(m);
  };
  send(orv::WM_SYMBOL_HEAD, orv::packLetters('E', 'U'), orv::packLetters('R', 'U'));
  send(orv::WM_SYMBOL_TAIL, orv::packLetters('S', 'D'), 5);
  send(orv::WM_TICK, 108166, 108150);  // "Live Data" can be ticked from the first tick on
  if (work == Work::RecordAndForward) hub.click(orv::Control::LiveBox);
  std::uint32_t bid = 108150;
  std::uint64_t ticks = 0;
  for (auto _ : state) {
    send(orv::WM_TICK, bid + 16, bid);
    bid += 7;
    // The "disk" keeps its room: emptied now and then, not freed.
    if ((++ticks & 0xFFFF) == 0)
      for (auto& [path, file] : backend.disk) file->data.clear();
  }
  state.counters["ns_per_tick"] =
      benchmark::Counter(static_cast<double>(ticks), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  if (orv::FeedHubPeer(hub).tester() == 0 && work == Work::RecordAndForward) state.SkipWithError("the tester link did not open");
}

void BM_TickShown(benchmark::State& state) { tickPath(state, Work::ShowOnly); }
void BM_TickShownAndRecorded(benchmark::State& state) { tickPath(state, Work::Record); }
void BM_TickShownRecordedAndForwarded(benchmark::State& state) { tickPath(state, Work::RecordAndForward); }
BENCHMARK(BM_TickShown);
BENCHMARK(BM_TickShownAndRecorded);
BENCHMARK(BM_TickShownRecordedAndForwarded);

}  // namespace

BENCHMARK_MAIN();
