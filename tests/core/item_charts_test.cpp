// The statistics window's chart numbers: engineering texts and tick labels,
// Freedman-Diaconis bins, histogram edges, the normal curve's scale and the
// min/max trend columns.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "core/item_charts.h"

namespace lotvue {
namespace {

TEST(ItemChartsTest, EngineeringTexts) {
  const std::vector<std::tuple<double, const char*, std::string>> cases = {
      {0.001234, "V", "1.234 mV"}, {-12346, "V", "-12.35 kV"}, {0, "A", "0 A"},        {999.96e-6, "A", "1.000 mA"},
      {1.5e-13, "F", "150.0 fF"},  {2.5e15, "V", "2500 TV"},   {0.5, "", "500.0 m"}, {42, "", "42.00"}};
  for (const auto& [v, unit, text] : cases) EXPECT_EQ(EngineeringText(v, unit), text) << v;
  const std::vector<std::pair<std::vector<double>, std::vector<std::string>>> ticks = {
      {{0.001, 0.0015, 0.002}, {"1.0 mV", "1.5 mV", "2.0 mV"}},
      {{-0.5, 0, 0.5}, {"-500 mV", "0 mV", "500 mV"}},
      {{0.0025, 0.005, 0.0075}, {"2.5 mV", "5.0 mV", "7.5 mV"}},
      {{1000, 2000}, {"1 kV", "2 kV"}}};
  for (const auto& [t, labels] : ticks) EXPECT_EQ(EngineeringTickLabels(t, "V"), labels);
}

TEST(ItemChartsTest, HistogramBinsAndCurve) {
  std::vector<double> values;
  for (int i = 0; i < 1000; ++i) values.push_back(i * 0.001);  // IQR 0.5, range 0.999
  EXPECT_EQ(FreedmanDiaconisBins(values), 10);                  // ceil(0.999 / (2 * 0.4995 / 10))
  std::vector<double> equal(100000, 1.0);
  EXPECT_EQ(FreedmanDiaconisBins(equal), 1);
  for (int i = 0; i < 1000; ++i) values[static_cast<std::size_t>(i)] = i;
  values.push_back(1e9);  // an outlier: far more bins than the limit
  EXPECT_EQ(FreedmanDiaconisBins(values), kMaxHistogramBins);
  values = {1, 2, 2, 3, 4};  // 4 is the right edge: the last bin
  const Histogram h = MakeHistogram(values, 3);
  EXPECT_EQ(h.counts, (std::vector<std::int64_t>{1, 2, 2}));
  EXPECT_DOUBLE_EQ(h.width, 1.0);
  const Histogram same = MakeHistogram(std::vector<double>{-2, -2}, 20);
  EXPECT_EQ(same.counts, std::vector<std::int64_t>{2});
  EXPECT_DOUBLE_EQ(same.Center(0), -2);
  const std::vector<ChartPoint> curve = NormalCurve(1, 0.5, 200, 0.1, -1, 3, 201);
  ASSERT_EQ(curve.size(), 201u);
  EXPECT_DOUBLE_EQ(curve[100].x, 1);
  EXPECT_NEAR(curve[100].y, 200 * 0.1 / (0.5 * std::sqrt(2 * std::numbers::pi)), 1e-12);
  EXPECT_TRUE(NormalCurve(1, 0, 10, 1, 0, 2, 50).empty());
}

TEST(ItemChartsTest, TrendColumnsHoldTheirExtremes) {
  std::vector<double> xs, ys;
  for (int i = 1; i <= 1000; ++i) {
    xs.push_back(i);
    ys.push_back(i % 7 - (i == 500 ? 100 : 0));
  }
  const std::vector<TrendColumn> columns = TrendEnvelope(xs, ys, 100.5, 600.5, 10);  // 50 devices a column
  ASSERT_EQ(columns.size(), 10u);
  EXPECT_DOUBLE_EQ(columns[0].x, 125.5);
  EXPECT_EQ(columns[0].min, 0);
  EXPECT_EQ(columns[0].max, 6);
  EXPECT_EQ(columns[7].min, 500 % 7 - 100);
  EXPECT_TRUE(TrendEnvelope(xs, ys, 2000, 3000, 10).empty());
}

}  // namespace
}  // namespace lotvue
