#include "analysis/item_stats_charts.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QPdfWriter>

#include <algorithm>

#include "analysis/custom_plot.h"
#include "core/item_charts.h"
#include "core/number_text.h"
#include "core/replacing_writer.h"
#include "core/stats_texts.h"

namespace lotvue {

namespace {

QString Tr(StatsText text) { return QString::fromUtf8(StatsTextOf(text)); }
QString Utf8(const std::string& text) { return QString::fromStdString(text); }

// Axis labels in the item's unit with engineering prefixes.
class EngineeringTicker : public QCPAxisTicker {
 public:
  std::string unit;

 protected:
  QVector<QString> createLabelVector(const QVector<double>& ticks, const QLocale&, QChar, int) override {
    QVector<QString> labels;
    labels.reserve(ticks.size());
    for (const std::string& l : EngineeringTickLabels(std::span(ticks.constData(), ticks.size()), unit)) {
      labels.push_back(Utf8(l));
    }
    return labels;
  }
};

QCustomPlot* NewPlot(const char* name) {
  auto* plot = new QCustomPlot;
  plot->setObjectName(QLatin1String(name));
  plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  plot->setNoAntialiasingOnDrag(true);
  plot->setMinimumSize(300, 200);
  return plot;
}

template <typename T>
T* Named(T* part, const char* name) {
  part->setObjectName(QLatin1String(name));
  return part;
}

QCPItemStraightLine* NewLine(QCustomPlot* plot, const char* name, const QPen& pen) {
  auto* line = Named(new QCPItemStraightLine(plot), name);
  line->setPen(pen);
  return line;
}

// A vertical line at x with its label near the top (y as a share of the
// axis rect's height), or neither when x is undefined.
void PlaceVertical(QCPItemStraightLine* line, QCPItemText* label, const std::optional<double>& x, double labelY) {
  line->setVisible(x.has_value());
  label->setVisible(x.has_value());
  if (!x) return;
  line->point1->setCoords(*x, 0);
  line->point2->setCoords(*x, 1);
  label->position->setCoords(*x, labelY);
}

void PlaceHorizontal(QCPItemStraightLine* line, const std::optional<double>& y) {
  line->setVisible(y.has_value());
  if (!y) return;
  line->point1->setCoords(0, *y);
  line->point2->setCoords(1, *y);
}

// The range of values and the defined extra positions, widened by 5 %.
QCPRange Padded(double lo, double hi, std::initializer_list<std::optional<double>> extra) {
  for (const std::optional<double>& v : extra) {
    if (!v) continue;
    lo = std::min(lo, *v);
    hi = std::max(hi, *v);
  }
  const double margin = hi > lo ? (hi - lo) * 0.05 : (lo == 0 ? 1 : std::fabs(lo) * 0.05);
  return {lo - margin, hi + margin};
}

}  // namespace

// The plots and the parts of them that change with the shown item.
struct ItemStatsCharts::Parts {
  QCustomPlot* histogram = nullptr;
  QCPTextElement* histogramTitle = nullptr;
  QCPBars* bars = nullptr;
  QCPGraph* normal = nullptr;
  enum { kLsl, kUsl, kMean, kMinus3, kPlus3, kLines };
  QCPItemStraightLine* lines[kLines] = {};
  QCPItemText* labels[kLines] = {};
  QSharedPointer<EngineeringTicker> histogramX{new EngineeringTicker};

  QCustomPlot* trend = nullptr;
  QCPGraph* values = nullptr;
  QCPItemStraightLine* trendLimits[2] = {};
  QSharedPointer<EngineeringTicker> trendY{new EngineeringTicker};

  QCustomPlot* bins = nullptr;
  QCPBars* passed = nullptr;
  QCPBars* failed = nullptr;
  QSharedPointer<QCPAxisTickerText> binTicks{new QCPAxisTickerText};

  Parts() {
    histogram = NewPlot("histogram");
    histogram->plotLayout()->insertRow(0);
    histogramTitle = new QCPTextElement(histogram, QString(), QFont(QApplication::font().family(), 10, QFont::Bold));
    histogram->plotLayout()->addElement(0, 0, histogramTitle);
    bars = Named(new QCPBars(histogram->xAxis, histogram->yAxis), "bars");
    bars->setPen(QPen(QColor(40, 80, 160)));
    bars->setBrush(QColor(120, 160, 220));
    normal = Named(histogram->addGraph(), "normal");
    normal->setPen(QPen(QColor(200, 0, 0), 2));
    const char* lineNames[kLines] = {"LSL", "USL", "Mean", "-3s", "+3s"};
    const char* labelTexts[kLines] = {"LSL", "USL", "Mean", "-3\u03c3", "+3\u03c3"};
    const QPen limitPen(QColor(255, 0, 0), 2), meanPen(QColor(0, 140, 0), 2);
    const QPen sigmaPen(QColor(0, 140, 0), 1, Qt::DashLine);
    for (int k = 0; k < kLines; ++k) {
      lines[k] = NewLine(histogram, lineNames[k], k < kMean ? limitPen : k == kMean ? meanPen : sigmaPen);
      labels[k] = new QCPItemText(histogram);
      labels[k]->setText(QString::fromUtf8(labelTexts[k]));
      labels[k]->setColor(lines[k]->pen().color());
      labels[k]->position->setTypeX(QCPItemPosition::ptPlotCoords);
      labels[k]->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
      labels[k]->setPositionAlignment(Qt::AlignHCenter | Qt::AlignTop);
      labels[k]->setClipToAxisRect(true);
    }
    histogram->xAxis->setTicker(histogramX);

    trend = NewPlot("trend");
    values = Named(trend->addGraph(), "values");
    values->setPen(QPen(QColor(40, 80, 160)));
    for (int k = 0; k < 2; ++k) trendLimits[k] = NewLine(trend, k == 0 ? "LSL" : "USL", limitPen);
    trend->yAxis->setTicker(trendY);

    bins = NewPlot("bins");
    passed = Named(new QCPBars(bins->xAxis, bins->yAxis), "passed");
    passed->setBrush(QColor(120, 200, 120));
    passed->setPen(QPen(QColor(40, 120, 40)));
    failed = Named(new QCPBars(bins->xAxis, bins->yAxis), "failed");
    failed->setBrush(QColor(230, 110, 110));
    failed->setPen(QPen(QColor(160, 30, 30)));
    failed->moveAbove(passed);
    bins->xAxis->setTicker(binTicks);
    bins->legend->setVisible(true);
    bins->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);
  }
};


ItemStatsCharts::ItemStatsCharts() : parts_(std::make_unique<Parts>()) {
  // Each drawing of the trend fits its points to the visible range and width.
  connect(parts_->trend, &QCustomPlot::afterLayout, this, &ItemStatsCharts::FitTrendToColumns);
}

ItemStatsCharts::~ItemStatsCharts() = default;

QCustomPlot* ItemStatsCharts::histogram() const { return parts_->histogram; }
QCustomPlot* ItemStatsCharts::trend() const { return parts_->trend; }
QCustomPlot* ItemStatsCharts::bins() const { return parts_->bins; }

void ItemStatsCharts::Show(ItemSeries series, int bins, int devices) {
  series_ = std::move(series);
  parts_->histogramX->unit = series_.unit;
  parts_->trendY->unit = series_.unit;
  DrawHistogram(bins);
  DrawTrend(devices);
}

void ItemStatsCharts::ApplyTexts() {
  Parts& c = *parts_;
  c.histogram->yAxis->setLabel(Tr(kStCount));
  c.labels[Parts::kMean]->setText(Tr(kStMean));
  c.normal->setName(Tr(kStNormal));
  c.trend->xAxis->setLabel(Tr(kStDevice));
  c.bins->xAxis->setLabel(Tr(kStBin));
  c.bins->yAxis->setLabel(Tr(kStCount));
  c.passed->setName(Tr(kStPassed));
  c.failed->setName(Tr(kStFailed));
  UpdateTitle();
  for (QCustomPlot* plot : {c.histogram, c.trend, c.bins}) plot->replot();
}

void ItemStatsCharts::DrawHistogram(int bins) {
  Parts& c = *parts_;
  const std::vector<double>& values = series_.values;
  const Histogram h = MakeHistogram(values, bins);
  QVector<double> keys, counts;
  double peak = 0;
  if (!values.empty()) {
    for (std::size_t b = 0; b < h.counts.size(); ++b) {
      keys.push_back(h.Center(b));
      counts.push_back(static_cast<double>(h.counts[b]));
      peak = std::max(peak, counts.back());
    }
  }
  c.bars->setWidth(h.width);
  c.bars->setData(keys, counts, true);

  const ItemStats& s = series_.stats;
  std::optional<double> minus3, plus3;
  if (s.mean && s.stdev && *s.stdev > 0) {
    minus3 = *s.mean - 3 * *s.stdev;
    plus3 = *s.mean + 3 * *s.stdev;
  }
  const double last = h.first + h.width * static_cast<double>(h.counts.size());
  const QCPRange x = values.empty() ? Padded(s.lsl.value_or(s.usl.value_or(0)), s.usl.value_or(s.lsl.value_or(0)), {})
                                    : Padded(h.first, last, {s.lsl, s.usl, minus3, plus3});
  QVector<double> curveX, curveY;
  if (s.mean && s.stdev) {
    for (const ChartPoint& p : NormalCurve(*s.mean, *s.stdev, static_cast<double>(s.n), h.width, x.lower, x.upper, 241)) {
      curveX.push_back(p.x);
      curveY.push_back(p.y);
      peak = std::max(peak, p.y);
    }
  }
  c.normal->setData(curveX, curveY, true);
  const std::optional<double> at[Parts::kLines] = {s.lsl, s.usl, s.mean, minus3, plus3};
  const double labelY[Parts::kLines] = {0.01, 0.01, 0.07, 0.13, 0.13};
  for (int k = 0; k < Parts::kLines; ++k) PlaceVertical(c.lines[k], c.labels[k], at[k], labelY[k]);
  c.histogram->xAxis->setRange(x);
  c.histogram->yAxis->setRange(0, peak > 0 ? peak * 1.25 : 1);
  UpdateTitle();
  c.histogram->replot();
}

void ItemStatsCharts::UpdateTitle() {
  const ItemStats& s = series_.stats;
  const std::string& unit = series_.unit;
  QString title = series_.name + QStringLiteral("    N = %1").arg(s.n);
  if (series_.values.empty()) title += QStringLiteral("    ") + Tr(kStNoValues);
  if (s.mean) title += QStringLiteral("    %1 = %2").arg(Tr(kStMean), Utf8(EngineeringText(*s.mean, unit)));
  if (s.stdev) title += QStringLiteral("    %1 = %2").arg(Tr(kStStdev), Utf8(EngineeringText(*s.stdev, unit)));
  if (s.cpk) title += QStringLiteral("    Cpk = %1").arg(Utf8(FixedText(*s.cpk, 3)));
  parts_->histogramTitle->setText(title);
}

void ItemStatsCharts::DrawTrend(int devices) {
  Parts& c = *parts_;
  const ItemStats& s = series_.stats;
  PlaceHorizontal(c.trendLimits[0], s.lsl);
  PlaceHorizontal(c.trendLimits[1], s.usl);
  const double lo = s.min.value_or(s.lsl.value_or(s.usl.value_or(0)));
  const double hi = s.max.value_or(s.usl.value_or(s.lsl.value_or(0)));
  c.trend->yAxis->setRange(Padded(lo, hi, {s.lsl, s.usl}));
  c.trend->xAxis->setRange(0.5, std::max(1, devices) + 0.5);
  c.trend->replot();
}

void ItemStatsCharts::FitTrendToColumns() {
  Parts& c = *parts_;
  const std::vector<double>& positions = series_.positions;
  const std::vector<double>& values = series_.values;
  const QCPRange range = c.trend->xAxis->range();
  const int columns = std::max(100, c.trend->axisRect()->width());
  const auto first = std::lower_bound(positions.begin(), positions.end(), range.lower);
  const auto end = std::upper_bound(first, positions.end(), range.upper);
  QVector<double> keys, ys;
  if (end - first <= 2 * columns) {
    // One more on each side, so that panning does not show a gap at the edge.
    const auto from = first == positions.begin() ? first : first - 1;
    const auto to = end == positions.end() ? end : end + 1;
    for (auto it = from; it != to; ++it) {
      keys.push_back(*it);
      ys.push_back(values[static_cast<std::size_t>(it - positions.begin())]);
    }
    c.values->setLineStyle(QCPGraph::lsNone);
    c.values->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 4));
  } else {
    for (const TrendColumn& t : TrendEnvelope(positions, values, range.lower, range.upper, columns)) {
      keys.push_back(t.x);
      ys.push_back(t.min);
      keys.push_back(t.x);
      ys.push_back(t.max);
    }
    c.values->setLineStyle(QCPGraph::lsLine);
    c.values->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
  }
  c.values->setData(keys, ys, true);
}

void ItemStatsCharts::DrawBins(std::span<const BinStats> bins) {
  Parts& c = *parts_;
  QVector<double> keys, passed, failed;
  QVector<QString> labels;
  double peak = 0;
  for (std::size_t k = 0; k < bins.size(); ++k) {
    keys.push_back(static_cast<double>(k + 1));
    passed.push_back(static_cast<double>(bins[k].passed));
    failed.push_back(static_cast<double>(bins[k].failed));
    labels.push_back(QString::number(bins[k].bin));
    peak = std::max(peak, static_cast<double>(bins[k].count));
  }
  c.passed->setData(keys, passed, true);
  c.failed->setData(keys, failed, true);
  c.binTicks->setTicks(keys, labels);
  c.bins->xAxis->setRange(0.5, std::max<double>(1, static_cast<double>(keys.size())) + 0.5);
  c.bins->yAxis->setRange(0, peak > 0 ? peak * 1.15 : 1);
  c.bins->replot();
}

bool SavePlot(QCustomPlot* plot, const QString& path) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  bool drawn = false;
  if (path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
    // One page of the plot's size in points, drawn as vectors.
    QPdfWriter pdf(&buffer);
    pdf.setResolution(72);
    pdf.setPageLayout(QPageLayout(QPageSize(plot->size(), QPageSize::Point, QString(), QPageSize::ExactMatch),
                                  QPageLayout::Portrait, QMarginsF()));
    QCPPainter painter;
    if (painter.begin(&pdf)) {
      painter.setMode(QCPPainter::pmVectorized);
      painter.setMode(QCPPainter::pmNoCaching);
      plot->toPainter(&painter, plot->width(), plot->height());
      drawn = painter.end();
    }
  } else {
    drawn = plot->toPixmap().save(&buffer, "PNG");
  }
  ReplacingWriter out;
  if (!drawn || !out.Open(QFile::encodeName(path).toStdString())) return false;
  out.Put(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  return out.Commit();
}

}  // namespace lotvue
