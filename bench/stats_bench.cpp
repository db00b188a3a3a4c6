// The item statistics table of a 1,000,000 x 64 lot against one pass that
// only reads every cell's value, in the same run: the table should take at
// most twice as long. Also the single item the statistics window opens on,
// and the bin summary.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/bench_lot.h"
#include "core/item_stats.h"
#include "core/measured_value.h"

namespace {

void ReportCells(benchmark::State& state, const lotvue::LotData& lot) {
  state.counters["cells/s"] = benchmark::Counter(static_cast<double>(lot.devices()) * lot.items(),
                                                 benchmark::Counter::kIsIterationInvariantRate);
}

// The floor: MeasuredValue of every result cell, row by row, nothing kept.
void BM_ReadEveryValue(benchmark::State& state) {
  const lotvue::LotData& lot = bench::MillionLot();
  for (auto _ : state) {
    double sum = 0;
    for (int d = 0; d < lot.devices(); ++d) {
      const lotvue::CellTable::RowCells row = lot.deviceCells.Row(static_cast<std::size_t>(d) + 1);
      for (int i = 0; i < lot.items(); ++i) {
        if (const std::optional<double> v = lotvue::MeasuredValue(row[static_cast<std::size_t>(i) + 2])) sum += *v;
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  ReportCells(state, lot);
}
BENCHMARK(BM_ReadEveryValue)->Unit(benchmark::kMillisecond);

void BM_ItemStatsTable(benchmark::State& state) {
  const lotvue::LotData& lot = bench::MillionLot();
  const auto selection = state.range(0) ? lotvue::DeviceSelection::kOnlyPass : lotvue::DeviceSelection::kAll;
  for (auto _ : state) benchmark::DoNotOptimize(lotvue::ComputeItemStats(lot, selection));
  ReportCells(state, lot);
}
BENCHMARK(BM_ItemStatsTable)->ArgName("onlyPass")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// What the window computes for the item it shows first.
void BM_FirstItem(benchmark::State& state) {
  const lotvue::LotData& lot = bench::MillionLot();
  std::vector<double> values;
  for (auto _ : state) {
    const std::int64_t fails = lotvue::CollectItemValues(lot, 0, lotvue::DeviceSelection::kAll, values);
    benchmark::DoNotOptimize(lotvue::SummarizeItem(0, values, lot.devices(), fails, lotvue::LowerLimit(lot, 0),
                                                   lotvue::UpperLimit(lot, 0)));
  }
}
BENCHMARK(BM_FirstItem)->Unit(benchmark::kMillisecond);

void BM_BinStats(benchmark::State& state) {
  const lotvue::LotData& lot = bench::MillionLot();
  for (auto _ : state) benchmark::DoNotOptimize(lotvue::ComputeBinStats(lot, lotvue::DeviceSelection::kAll));
}
BENCHMARK(BM_BinStats)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
