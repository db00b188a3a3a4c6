// Loading a lot of 200,000 devices x 64 items (read, texts, statistics),
// beside the time to read the file's bytes into memory in the same run,
// with the heap the load takes at its peak and what the lot holds after it
// (every allocation of the process is counted).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "core/result_file.h"
#include "core/statistics.h"
#include "bench/bench_lot.h"
#include "tools/tsd_writer.h"

// Heap bytes in use, and the most since the last ResetPeak.
namespace heap {
std::atomic<std::size_t> live{0}, peak{0};

void* Take(std::size_t n, std::size_t align = 0) {
  void* p = align > alignof(std::max_align_t) ? std::aligned_alloc(align, (n + align - 1) / align * align)
                                              : std::malloc(n);
  if (!p) throw std::bad_alloc();
  const std::size_t now = live.fetch_add(malloc_usable_size(p), std::memory_order_relaxed) + malloc_usable_size(p);
  std::size_t top = peak.load(std::memory_order_relaxed);
  while (now > top && !peak.compare_exchange_weak(top, now, std::memory_order_relaxed)) {
  }
  return p;
}
void Give(void* p) {
  if (!p) return;
  live.fetch_sub(malloc_usable_size(p), std::memory_order_relaxed);
  std::free(p);
}
void ResetPeak() { peak.store(live.load()); }
}  // namespace heap

void* operator new(std::size_t n) { return heap::Take(n); }
void* operator new[](std::size_t n) { return heap::Take(n); }
void* operator new(std::size_t n, std::align_val_t a) { return heap::Take(n, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return heap::Take(n, static_cast<std::size_t>(a)); }
void operator delete(void* p) noexcept { heap::Give(p); }
void operator delete[](void* p) noexcept { heap::Give(p); }
void operator delete(void* p, std::size_t) noexcept { heap::Give(p); }
void operator delete[](void* p, std::size_t) noexcept { heap::Give(p); }
void operator delete(void* p, std::align_val_t) noexcept { heap::Give(p); }
void operator delete[](void* p, std::align_val_t) noexcept { heap::Give(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { heap::Give(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { heap::Give(p); }

namespace {

using bench::kDevices;
using bench::kItems;

// The lot as a file: loading reads it from there.
const std::string& LotPath() {
  static const std::string path = [] {
    const std::string p = bench::OutputFolder() + "lotvue-load-bench-200000x64.tsd";
    tsd::WriteFile(p, bench::LotBytes());
    return p;
  }();
  return path;
}

double TableCells() { return (kDevices + 1.0) * (kItems + 2.0); }

// Baseline: the file's bytes into memory, nothing more.
void BM_ReadFileBytes(benchmark::State& state) {
  const std::string& path = LotPath();
  std::vector<char> bytes;
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    bytes.clear();
    char chunk[1 << 16];
    ssize_t got;
    while ((got = ::read(fd, chunk, sizeof chunk)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    ::close(fd);
    benchmark::DoNotOptimize(bytes.data());
  }
  state.counters["ns_per_cell"] = benchmark::Counter(TableCells(), benchmark::Counter::kIsIterationInvariantRate |
                                                                       benchmark::Counter::kInvert);
  state.counters["file_MB"] = bytes.size() / 1e6;
}

// Argument: the reader's threads (0 as many as pay off).
void BM_LoadLot(benchmark::State& state) {
  const std::string& path = LotPath();
  lotvue::SilentReaderEvents events;
  lotvue::ReadOptions options;
  options.threads = static_cast<int>(state.range(0));
  std::size_t held = 0, heldHeap = 0, peak = 0;
  for (auto _ : state) {
    const std::size_t before = heap::live.load();
    heap::ResetPeak();
    lotvue::LotData lot;
    lot.path = path;
    lotvue::LoadResultFile(lot, options, events);
    held = lot.MemoryBytes();
    heldHeap = heap::live.load() - before;
    peak = std::max(peak, heap::peak.load() - before);
    benchmark::DoNotOptimize(lot.deviceCells.size());
  }
  state.counters["ns_per_cell"] = benchmark::Counter(TableCells(), benchmark::Counter::kIsIterationInvariantRate |
                                                                       benchmark::Counter::kInvert);
  state.counters["bytes_per_cell"] = static_cast<double>(held) / TableCells();
  state.counters["heap_held_per_cell"] = static_cast<double>(heldHeap) / TableCells();
  state.counters["heap_peak_per_cell"] = static_cast<double>(peak) / TableCells();
}

// The statistics alone, on a loaded lot.
void BM_Statistics(benchmark::State& state) {
  lotvue::LotData lot;
  lot.path = LotPath();
  lotvue::SilentReaderEvents events;
  lotvue::LoadResultFile(lot, {}, events);
  for (auto _ : state) lotvue::ComputeItemStatistics(lot, false);
  state.counters["ns_per_cell"] = benchmark::Counter(TableCells(), benchmark::Counter::kIsIterationInvariantRate |
                                                                       benchmark::Counter::kInvert);
}

BENCHMARK(BM_ReadFileBytes)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_LoadLot)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_Statistics)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
