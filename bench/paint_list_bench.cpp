// paint_list_bench: the paint list of one "Matrix" frame scrolled to the
// middle of a sorted and filtered window, for a lot of 1,000 devices and
// one of 200,000 (64 items each): its cost must not grow with the lot.
#include <benchmark/benchmark.h>

#include "bench/bench_lot.h"
#include "core/report_paint.h"
#include "core/row_order.h"

namespace {

const lotvue::LotData& LotOf(int devices) {
  if (devices == bench::kDevices) return bench::Lot("paint.tsd");
  static const std::unique_ptr<lotvue::LotData> small = [] {
    tsd::GenerateOptions o;
    o.seed = 42;
    o.devices = 1000;
    o.items = bench::kItems;
    o.failShare = 0.1;
    return bench::LoadLot(tsd::GenerateLot(o), bench::OutputFolder() + "paint_small.tsd");
  }();
  return *small;
}

// range(0): devices; range(1): 0 file order, 1 sorted by an item, 2 sorted and only failed devices.
void PaintFrame(benchmark::State& state) {
  const lotvue::LotData& lot = LotOf(static_cast<int>(state.range(0)));
  lotvue::RowOrder rows;
  rows.Reset(lot.devices());
  if (state.range(1) > 0) {
    lotvue::RowFilter filter;
    if (state.range(1) == 2) filter.kind = lotvue::RowFilterKind::kFailed;
    rows.Apply(lot, {5, false}, filter);
  }
  lotvue::ReportGrid grid;
  lotvue::BuildInitialGrid(grid, lot, 20);
  grid.rowCount = lotvue::MatrixRowCount(lot, &rows);
  grid.firstRow = grid.rowCount / 2;
  grid.scrollX = 300;
  lotvue::PaintInputs in;
  in.width = in.frameHeight = 1280;
  in.height = 800;
  in.showLine = true;
  in.maxCharWidth = 20;
  lotvue::PaintList list;
  for (auto _ : state) {
    list.Clear();
    lotvue::PaintReport(list, grid, lot, in, &rows);
    benchmark::DoNotOptimize(list.ops.data());
  }
  state.counters["ops"] = static_cast<double>(list.ops.size());
}

}  // namespace

BENCHMARK(PaintFrame)->ArgsProduct({{1000, bench::kDevices}, {0, 1, 2}})->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
