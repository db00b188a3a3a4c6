// The item statistics window on a 1,000,000 x 64 lot, offscreen: opening it
// until its first item is shown (goal under 300 ms; the table goes on in
// its thread), a histogram redraw with another bin count and a trend redraw
// of another device range (goals under 50 ms each), and switching items.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QSpinBox>

#include <memory>

#include "analysis/custom_plot.h"
#include "analysis/item_stats_window.h"
#include "bench/bench_lot.h"
#include "view/user_prompts.h"

namespace {

// The windows' messages go nowhere.
struct SilentPrompts : lotvue::UserPrompts {
  void ShowMessage(QWidget*, const QString&) override {}
  bool AskYesNo(QWidget*, const QString&, const QString&) override { return false; }
  bool OpenFile(const std::string&, bool) override { return false; }
} prompts;

// Construction, showing and the first paint; closing is not timed.
void BM_OpenShowsFirstItem(benchmark::State& state) {
  const lotvue::LotData& lot = bench::MillionLot();
  for (auto _ : state) {
    auto window = std::make_unique<lotvue::CItemStatsWindow>(lot, prompts);
    window->show();
    QApplication::processEvents();
    state.PauseTiming();
    window.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenShowsFirstItem)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// A window whose table is complete, so that its thread does not compete;
// closed before the application ends.
std::unique_ptr<lotvue::CItemStatsWindow> readyWindow;

lotvue::CItemStatsWindow& ReadyWindow() {
  if (!readyWindow) {
    readyWindow = std::make_unique<lotvue::CItemStatsWindow>(bench::MillionLot(), prompts);
    readyWindow->show();
    while (!readyWindow->TableReady()) QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return *readyWindow;
}

void BM_HistogramRedraw(benchmark::State& state) {
  lotvue::CItemStatsWindow& w = ReadyWindow();
  auto* bins = w.findChild<QSpinBox*>();
  int count = 50;
  for (auto _ : state) {
    bins->setValue(count = count == 50 ? 51 : 50);
    QApplication::processEvents();
  }
}
BENCHMARK(BM_HistogramRedraw)->Unit(benchmark::kMillisecond)->UseRealTime();

// Zoomed out to the whole lot and in to a tenth of it, in turn.
void BM_TrendRedraw(benchmark::State& state) {
  lotvue::CItemStatsWindow& w = ReadyWindow();
  auto* trend = w.findChild<QCustomPlot*>(QStringLiteral("trend"));
  bool whole = false;
  for (auto _ : state) {
    whole = !whole;
    trend->xAxis->setRange(0.5, whole ? 1000000.5 : 100000.5);
    trend->replot();
    QApplication::processEvents();
  }
}
BENCHMARK(BM_TrendRedraw)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SwitchItem(benchmark::State& state) {
  lotvue::CItemStatsWindow& w = ReadyWindow();
  int item = 0;
  for (auto _ : state) {
    w.ShowItem(item = item == 0 ? 1 : 0);
    QApplication::processEvents();
  }
}
BENCHMARK(BM_SwitchItem)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  readyWindow.reset();
  return 0;
}
