// The charts of the item statistics window as numbers, computed without a
// window: engineering-notation texts and axis labels, the histogram bins
// (Freedman-Diaconis by default), the normal curve scaled to the counts and
// the trend of a large lot reduced to a minimum and maximum per pixel column.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lotvue {

// v with four significant digits and the engineering prefix (f p n u m k M
// G T) of its size, a blank, then prefix and unit: 0.001234 "1.234 mV",
// 12345 "12.35 kV", 0 "0 V". Without a unit the prefix stands alone.
std::string EngineeringText(double v, std::string_view unit);

// Labels of evenly spaced axis ticks, all in one prefix (the one of the
// largest tick) with as many decimals as the spacing needs: 0.0010, 0.0015,
// 0.0020 with unit V give "1.0 mV", "1.5 mV", "2.0 mV".
std::vector<std::string> EngineeringTickLabels(std::span<const double> ticks, std::string_view unit);

inline constexpr int kMaxHistogramBins = 200;

// Freedman-Diaconis: bin width 2 * IQR / cbrt(n) over the range of the
// values, at least 1 and at most kMaxHistogramBins bins (the square root
// of n when the quartiles coincide); 1 without spread. Reorders the values
// (the quartiles are found in place; values that SummarizeItem has left
// split at their median take half the time).
int FreedmanDiaconisBins(std::span<double> values);

struct Histogram {
  double first = 0;  // left edge of the first bin
  double width = 1;  // of every bin
  std::vector<std::int64_t> counts;
  double Center(std::size_t bin) const { return first + (static_cast<double>(bin) + 0.5) * width; }
};

// `bins` equal bins from the smallest to the largest value (the largest
// counts in the last bin); a single value or equal values get a bin of
// width 1 around them, or of their size when they are not 0.
Histogram MakeHistogram(std::span<const double> values, int bins);

struct ChartPoint {
  double x = 0;
  double y = 0;
};

// The normal density of mean and stdev times n * binWidth (so that it
// matches the bar heights), at `points` evenly spaced x from `from` to `to`.
std::vector<ChartPoint> NormalCurve(double mean, double stdev, double n, double binWidth, double from, double to,
                                    int points);

// A trend reduced for drawing: for each of `columns` equal slices of
// [from, to] that holds values, the slice's centre with the smallest and
// the largest value in it. xs ascending, ys alongside.
struct TrendColumn {
  double x = 0;
  double min = 0;
  double max = 0;
};
std::vector<TrendColumn> TrendEnvelope(std::span<const double> xs, std::span<const double> ys, double from, double to,
                                       int columns);

}  // namespace lotvue
