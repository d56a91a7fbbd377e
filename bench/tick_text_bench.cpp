// Per-tick text work: the display line and the CSV row of one tick, against
// the same two texts made with snprintf("%.0*f") of a double.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "core/tick_text.h"

namespace {

// Counts heap allocations made while a benchmark runs.
std::size_t g_allocations = 0;

const orv::WallTime kTime{2026, 12, 6, 14, 3, 27, 45};

void BM_TickTexts(benchmark::State& state) {
  orv::TextBuffer line, row;
  std::uint32_t bid = 108150, ask = 108166;
  const std::size_t before = g_allocations;
  for (auto _ : state) {
    orv::buildDisplayLine(line, kTime, "EURUSD", 5, bid, ask);
    orv::buildCsvRow(row, "EUR/USD", kTime, 5, bid, ask);
    benchmark::DoNotOptimize(line.view().data());
    benchmark::DoNotOptimize(row.view().data());
    bid += 7;
    ask += 7;
  }
  state.counters["allocs_per_tick"] =
      benchmark::Counter(static_cast<double>(g_allocations - before) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_TickTexts);

void BM_TickTextsSnprintfBaseline(benchmark::State& state) {
  char time[200], line[200], stamp[64], row[300];
  std::uint32_t bid = 108150, ask = 108166;
  const int digits = 5;
  for (auto _ : state) {
    const float scale = static_cast<float>(std::pow(10.0, digits));
    const double b = bid / static_cast<double>(scale), a = ask / static_cast<double>(scale);
    std::snprintf(line, sizeof line, "%s bid %.*f ask %.*f", "EURUSD", digits, b, digits, a);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d.%03d ", kTime.hour, kTime.minute, kTime.second,
                  kTime.millisecond);
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d %02d:%02d:%02d.%03d", kTime.year, kTime.month, kTime.day,
                  kTime.hour, kTime.minute, kTime.second, kTime.millisecond);
    std::snprintf(row, sizeof row, "%s,%s,%.*f,%.*f", "EUR/USD", stamp, digits, b, digits, a);
    benchmark::DoNotOptimize(time);
    benchmark::DoNotOptimize(line);
    benchmark::DoNotOptimize(row);
    bid += 7;
    ask += 7;
  }
}
BENCHMARK(BM_TickTextsSnprintfBaseline);

}  // namespace

void* operator new(std::size_t n) {
  ++g_allocations;
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

BENCHMARK_MAIN();
