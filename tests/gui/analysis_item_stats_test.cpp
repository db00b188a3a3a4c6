// The item statistics window: its table (texts, Cpk marks, sorting, Ctrl+C),
// the CSV file, and the charts read back from the plot objects.
#include <gtest/gtest.h>

#include <numbers>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QSpinBox>
#include <QTableView>

#include "analysis/custom_plot.h"
#include "analysis/item_stats_charts.h"
#include "analysis/item_stats_window.h"
#include "core/item_stats_text.h"
#include "core/language.h"
#include "tests/core/lot_files.h"
#include "tests/gui/gui_fixture.h"

namespace lotvue {
namespace {

// Items VTH (Cpk below 1), a pin mask (no row), IDSS in mA (Cpk far above
// 1.33), BV without values and GFS (Cpk 1.217); device 5 failed, bin 3.
std::vector<std::uint8_t> StatsLot() {
  tsd::TsdBuilder b;
  b.AddItem("VTH", 'V').Limits(1000, 12, 3000, 12);
  b.AddItem("PINS", 0, kPinMaskItem);
  b.AddItem("IDSS", 'A').Limits(0, 9, 5000, 9);
  b.AddItem("BV", 'V');
  b.AddItem("GFS", 'S').Limits(-2000, 12, 6000, 12);
  const std::int16_t vth[] = {1500, 2000, 2500, 2000, 1000, 2200}, idss[] = {2400, 2500, 2600, 2500, 2450, 2550};
  for (int d = 0; d < 6; ++d) {
    const std::uint8_t status = d == 4 ? 0x11 : 0x10;
    b.AddDevice(d + 1, d == 4 ? 3 : 1, d == 4 ? 1 : 0,
                {{vth[d], status, 12}, {}, {idss[d], status, 9}, {0, 0x14, 12}, {static_cast<std::int16_t>(d < 3 ? 1000 : 3000), 0x10, 12}});
  }
  return b.Bytes();
}

class ItemStatsWindowTest : public testing::PromptsTest {
 protected:
  std::unique_ptr<CItemStatsWindow> Open(const std::vector<std::uint8_t>& bytes, const std::string& path) {
    testing::ReadLot(bytes, lot_, path);
    auto window = std::make_unique<CItemStatsWindow>(lot_, static_cast<UserPrompts&>(*this));
    window->show();
    EXPECT_TRUE(WaitReady(*window));
    return window;
  }
  static bool WaitReady(const CItemStatsWindow& window) { return testing::WaitFor([&] { return window.TableReady(); }); }
  static std::vector<int> ItemOrder(const CItemStatsWindow& w) {
    std::vector<int> items;
    for (int r = 0; r < w.table()->model()->rowCount(); ++r) {
      items.push_back(w.table()->model()->index(r, 0).data().toInt() - 1);
    }
    return items;
  }
  template <typename T>
  static T* Part(const CItemStatsWindow& w, const char* plot, const char* name) {
    return w.findChild<QCustomPlot*>(QLatin1String(plot))->findChild<T*>(QLatin1String(name));
  }

  LotData lot_;
  std::string dir_ = testing::TempFolder("item_stats_window");
};

TEST_F(ItemStatsWindowTest, TableRowsMarksSortingAndCopy) {
  const auto w = Open(StatsLot(), dir_ + "/A.tsd");
  EXPECT_EQ(w->windowTitle().toStdString(), "Item Statistics - " + dir_ + "/A.tsd");
  QAbstractItemModel* m = w->table()->model();
  EXPECT_EQ(ItemOrder(*w), (std::vector<int>{0, 2, 3, 4}));
  // Cpk 0.540: red; far above 1.33: plain; none; 1.217: marked.
  const QVariant backgrounds[] = {QColor(255, 200, 200), QVariant(), QVariant(), QColor(255, 235, 150)};
  for (int r = 0; r < 4; ++r) EXPECT_EQ(m->index(r, 14).data(Qt::BackgroundRole), backgrounds[r]) << r;
  EXPECT_EQ(m->index(0, 14).data(Qt::ForegroundRole), QVariant(QColor(255, 0, 0)));

  struct Sort {
    int column;
    Qt::SortOrder order;
    std::vector<int> items;
  };
  for (const Sort& s : std::vector<Sort>{{0, Qt::DescendingOrder, {4, 3, 2, 0}},
                                         {1, Qt::AscendingOrder, {3, 4, 2, 0}},
                                         {6, Qt::DescendingOrder, {0, 2, 3, 4}},  // the fail Pareto
                                         {8, Qt::AscendingOrder, {2, 0, 4, 3}},   // no mean: last
                                         {8, Qt::DescendingOrder, {4, 0, 2, 3}},
                                         {14, Qt::AscendingOrder, {0, 4, 2, 3}}}) {
    w->table()->sortByColumn(s.column, s.order);
    EXPECT_EQ(ItemOrder(*w), s.items) << s.column;
  }
  w->table()->sortByColumn(0, Qt::AscendingOrder);
  w->table()->selectRow(0);
  w->table()->selectionModel()->select(m->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  const QString copied = w->CopySelectedRows();
  EXPECT_EQ(copied.toStdString(),
            "1\tVTH\tV\t1.000 V\t3.000 V\t6\t1\t16.67\t1.867 V\t2.000 V\t535.4 mV\t1.000 V\t2.500 V\t0.623\t0.540\r\n"
            "5\tGFS\tS\t-2.000 S\t6.000 S\t6\t0\t0.00\t2.000 S\t2.000 S\t1.095 S\t1.000 S\t3.000 S\t1.217\t1.217\r\n");
  EXPECT_EQ(QApplication::clipboard()->text(), copied);
}

TEST_F(ItemStatsWindowTest, CsvFileFollowsOnlyPass) {
  const std::string lotPath = dir_ + "/B.tsd";
  const auto w = Open(StatsLot(), lotPath);
  ASSERT_EQ(w->csvPath(), dir_ + "/B_Stats.CSV");
  ASSERT_TRUE(w->SaveCsv());
  const std::string all = testing::ReadFileBytes(w->csvPath());
  EXPECT_EQ(all, ItemStatsCsv(lot_, ComputeItemStats(lot_, DeviceSelection::kAll), "\r\n"));
  w->findChild<QCheckBox*>()->setChecked(true);
  ASSERT_TRUE(WaitReady(*w));
  ASSERT_TRUE(w->SaveCsv());
  EXPECT_EQ(testing::ReadFileBytes(w->csvPath()), ItemStatsCsv(lot_, ComputeItemStats(lot_, DeviceSelection::kOnlyPass), "\r\n"));
  EXPECT_TRUE(messages.empty());

  const auto lost = Open(StatsLot(), dir_ + "/missing/C.tsd");
  EXPECT_FALSE(lost->SaveCsv());
  EXPECT_EQ(messages, std::vector<QString>{QString::fromUtf8(Lang(kSlotCreatCsvError))});
}

TEST_F(ItemStatsWindowTest, ChartsOfTheShownItem) {
  const auto w = Open(StatsLot(), dir_ + "/D.tsd");
  ASSERT_EQ(w->shownItem(), 0);
  auto* spin = w->findChild<QSpinBox*>();
  EXPECT_EQ(spin->value(), 3);  // Freedman-Diaconis for these six values
  spin->setValue(5);
  auto* bars = Part<QCPBars>(*w, "histogram", "bars");
  ASSERT_EQ(bars->dataCount(), 5);
  double counted = 0;
  for (int b = 0; b < 5; ++b) counted += bars->data()->at(b)->value;
  EXPECT_EQ(counted, 6);
  const double mean = 11.2 / 6, sigma = std::sqrt((22.34 - 11.2 * mean) / 5);
  const std::pair<const char*, double> lines[] = {
      {"LSL", 1}, {"USL", 3}, {"Mean", mean}, {"-3s", mean - 3 * sigma}, {"+3s", mean + 3 * sigma}};
  for (const auto& [name, x] : lines) {
    EXPECT_NEAR(Part<QCPItemStraightLine>(*w, "histogram", name)->point1->coords().x(), x, 1e-9) << name;
  }
  double peak = 0;
  auto* curve = Part<QCPGraph>(*w, "histogram", "normal");
  for (int i = 0; i < curve->dataCount(); ++i) peak = std::max(peak, curve->data()->at(i)->value);
  EXPECT_NEAR(peak, 6 * 0.3 / (sigma * std::sqrt(2 * std::numbers::pi)), peak * 1e-3);  // bins of 0.3 V
  EXPECT_EQ(Part<QCPGraph>(*w, "trend", "values")->dataCount(), 6);
  EXPECT_EQ(Part<QCPItemStraightLine>(*w, "trend", "USL")->point1->coords().y(), 3);
  EXPECT_EQ(Part<QCPBars>(*w, "bins", "passed")->dataCount(), 2);  // bins 1 and 3
  EXPECT_EQ(Part<QCPBars>(*w, "bins", "failed")->data()->at(1)->value, 1);

  w->ShowItem(3);  // BV: no values
  EXPECT_EQ(bars->dataCount(), 0);
  EXPECT_EQ(curve->dataCount(), 0);
  EXPECT_FALSE(Part<QCPItemStraightLine>(*w, "histogram", "Mean")->visible());

  const std::string png = dir_ + "/h.png", pdf = dir_ + "/h.PDF";
  auto* histogram = w->findChild<QCustomPlot*>(QStringLiteral("histogram"));
  ASSERT_TRUE(SavePlot(histogram, QString::fromStdString(png)));
  ASSERT_TRUE(SavePlot(histogram, QString::fromStdString(pdf)));
  EXPECT_TRUE(testing::ReadFileBytes(png).starts_with("\x89PNG"));
  EXPECT_TRUE(testing::ReadFileBytes(pdf).starts_with("%PDF"));
  EXPECT_FALSE(SavePlot(histogram, QString::fromStdString(dir_ + "/missing/h.png")));
}

TEST_F(ItemStatsWindowTest, BigTrendIsDrawnAsColumnsUntilZoomedIn) {
  const auto w = Open(tsd::GenerateLot({.devices = 20000, .items = 2, .specialItems = false}), dir_ + "/E.tsd");
  auto* trend = w->findChild<QCustomPlot*>(QStringLiteral("trend"));
  auto* values = Part<QCPGraph>(*w, "trend", "values");
  const int columns = std::max(100, trend->axisRect()->width());
  EXPECT_EQ(values->lineStyle(), QCPGraph::lsLine);
  EXPECT_GT(values->dataCount(), columns);
  EXPECT_LE(values->dataCount(), 2 * columns);
  trend->xAxis->setRange(1001, 1100);
  trend->replot();
  EXPECT_EQ(values->lineStyle(), QCPGraph::lsNone);
  EXPECT_GE(values->dataCount(), 90);
  EXPECT_LE(values->dataCount(), 102);
}

}  // namespace
}  // namespace lotvue
