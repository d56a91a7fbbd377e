// One tick's whole path through the program's logic, on the in-memory
// backend: the feeder's message taken in, the display text, the CSV row and
// its write call, the forward call to the tester. The window system's own
// cost (Wine's message hop, about 200 µs) is measured end to end by
// e2e_bench; this is what the logic adds on top.
#include <benchmark/benchmark.h>

#include "bench/tick_feed.h"

namespace {

enum class Work { ShowOnly, Record, RecordAndForward };

void tickPath(benchmark::State& state, Work work) {
  orv::StartOptions options;
  if (work != Work::ShowOnly) options.recordPattern = "C:\\ticks\\{symbol}-{date}.csv";
  orv::bench::TickFeed feed(options, true);
  feed.send(orv::WM_TICK, 108166, 108150);  // "Live Data" can be ticked from the first tick on
  if (work == Work::RecordAndForward) {
    feed.hub.click(orv::Control::LiveBox);
    // One tick before the timing: it must reach the tester.
    bool forwarded = false;
    feed.backend.onSend = [&](const orv::SentMessage& m) { forwarded = forwarded || m.msg == orv::WM_TICK; };
    feed.tick();
    feed.backend.onSend = nullptr;
    if (!forwarded) state.SkipWithError("the tester link did not open");
  }
  for (auto _ : state) feed.tick();
  state.counters["ns_per_tick"] = benchmark::Counter(static_cast<double>(feed.ticks()),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_TickShown(benchmark::State& state) { tickPath(state, Work::ShowOnly); }
void BM_TickShownAndRecorded(benchmark::State& state) { tickPath(state, Work::Record); }
void BM_TickShownRecordedAndForwarded(benchmark::State& state) { tickPath(state, Work::RecordAndForward); }
BENCHMARK(BM_TickShown);
BENCHMARK(BM_TickShownAndRecorded);
BENCHMARK(BM_TickShownRecordedAndForwarded);

}  // namespace

BENCHMARK_MAIN();
