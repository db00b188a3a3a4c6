// ItemStatsCharts: the three plots of the item statistics window and what
// they show. The histogram of the shown item's values with the LSL, USL,
// mean and +-3 sigma lines and the normal curve of mean and stdev scaled to
// the counts; the trend of the values in device order with the limit lines,
// each value a dot while there are at most two per pixel column, beyond that
// each column's smallest and largest value; the bin summary as passed and
// failed bars. Axes in the item's unit with engineering prefixes; the mouse
// drags and zooms them.
//
// Parts that tests look for carry object names: the plots "histogram",
// "trend" and "bins"; the histogram's "bars", "normal" and lines "LSL",
// "USL", "Mean", "-3s", "+3s"; the trend's "values", "LSL" and "USL"; the
// bin chart's "passed" and "failed".
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include <QObject>
#include <QString>

#include "core/item_stats.h"

class QCustomPlot;

namespace lotvue {

// The item the charts show.
struct ItemSeries {
  ItemStats stats;
  std::vector<double> values;     // in device order
  std::vector<double> positions;  // the 1-based device of each value
  std::string unit;               // UTF-8, empty without one
  QString name;
};

class ItemStatsCharts : public QObject {
 public:
  // The plots are made without a parent; the window lays them out and owns them.
  ItemStatsCharts();
  ~ItemStatsCharts() override;

  QCustomPlot* histogram() const;
  QCustomPlot* trend() const;
  QCustomPlot* bins() const;
  const ItemSeries& series() const { return series_; }

  // A new item: its histogram in `bins` bins and its trend over the lot's devices.
  void Show(ItemSeries series, int bins, int devices);
  void DrawHistogram(int bins);
  void DrawBins(std::span<const BinStats> bins);
  // Axis titles, legend names and the histogram's title in the current language.
  void ApplyTexts();

 private:
  struct Parts;
  void DrawTrend(int devices);
  void FitTrendToColumns();
  void UpdateTitle();

  std::unique_ptr<Parts> parts_;
  ItemSeries series_;
};

// Writes the chart as PDF when the path ends in ".pdf" (any case), else as
// PNG, through the replacing writer; false when it cannot be written.
bool SavePlot(QCustomPlot* plot, const QString& path);

}  // namespace lotvue
