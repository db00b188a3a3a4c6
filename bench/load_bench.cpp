// Loading a lot of 200,000 devices x 64 items (read, texts, statistics),
// beside the time to read the file's bytes into memory in the same run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/result_file.h"
#include "core/statistics.h"
#include "bench/bench_lot.h"
#include "tools/tsd_writer.h"

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

void BM_LoadLot(benchmark::State& state) {
  const std::string& path = LotPath();
  lotvue::SilentReaderEvents events;
  std::size_t held = 0;
  for (auto _ : state) {
    lotvue::LotData lot;
    lot.path = path;
    lotvue::LoadResultFile(lot, {}, events);
    held = lot.MemoryBytes();
    benchmark::DoNotOptimize(lot.deviceCells.size());
  }
  state.counters["ns_per_cell"] = benchmark::Counter(TableCells(), benchmark::Counter::kIsIterationInvariantRate |
                                                                       benchmark::Counter::kInvert);
  state.counters["bytes_per_cell"] = static_cast<double>(held) / TableCells();
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
BENCHMARK(BM_LoadLot)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_Statistics)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
