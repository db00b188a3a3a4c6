#include "core/item_charts.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/number_text.h"

namespace lotvue {

namespace {

// Prefixes from 1e-15 to 1e12 in steps of a thousand; index 5 is none.
constexpr char kPrefixes[] = {'f', 'p', 'n', 'u', 'm', 0, 'k', 'M', 'G', 'T'};
constexpr int kNoPrefix = 5;
constexpr int kLastPrefix = 9;

int FloorDiv3(int e) { return e >= 0 ? e / 3 : -((2 - e) / 3); }

double Pow10(int e) { return std::pow(10.0, e); }

// The prefix index for numbers whose largest decimal exponent is e.
int PrefixIndex(int e) { return std::clamp(FloorDiv3(e) + kNoPrefix, 0, kLastPrefix); }

// number, a blank, prefix and unit ("1.234 mV"; "1.234 m" and "1.234" without a unit).
std::string WithUnit(std::string number, int prefix, std::string_view unit) {
  if (kPrefixes[prefix] == 0 && unit.empty()) return number;
  number += ' ';
  if (kPrefixes[prefix] != 0) number += kPrefixes[prefix];
  number += unit;
  return number;
}

// v in units of the prefix.
double Scaled(double v, int prefix) { return v / Pow10(3 * (prefix - kNoPrefix)); }

}  // namespace

std::string EngineeringText(double v, std::string_view unit) {
  if (!std::isfinite(v)) return FixedText(v, 0);
  if (v == 0) return WithUnit("0", kNoPrefix, unit);
  constexpr int kDigits = 4;
  int e = static_cast<int>(std::floor(std::log10(std::fabs(v))));
  // Rounding to four digits can reach the next power of ten (999.96 -> 1000).
  if (std::round(std::fabs(v) / Pow10(e - kDigits + 1)) >= Pow10(kDigits)) ++e;
  const int prefix = PrefixIndex(e);
  const int integerDigits = e - 3 * (prefix - kNoPrefix) + 1;
  return WithUnit(FixedText(Scaled(v, prefix), std::clamp(kDigits - integerDigits, 0, 15)), prefix, unit);
}

std::vector<std::string> EngineeringTickLabels(std::span<const double> ticks, std::string_view unit) {
  double largest = 0;
  for (double t : ticks) largest = std::max(largest, std::fabs(t));
  const int prefix = largest > 0 && std::isfinite(largest)
                         ? PrefixIndex(static_cast<int>(std::floor(std::log10(largest))))
                         : kNoPrefix;
  // The fewest decimals that write the spacing (1, 2, 2.5 or 5 times a power of ten).
  int decimals = 0;
  if (ticks.size() >= 2) {
    const double step = std::fabs(Scaled(ticks[1] - ticks[0], prefix));
    if (step > 0 && std::isfinite(step)) {
      decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step))));
      while (decimals < 12) {
        const double digits = step * Pow10(decimals);
        if (std::fabs(digits - std::round(digits)) < 1e-6 * digits) break;
        ++decimals;
      }
    }
  }
  std::vector<std::string> labels;
  labels.reserve(ticks.size());
  for (double t : ticks) labels.push_back(WithUnit(FixedText(Scaled(t, prefix), decimals), prefix, unit));
  return labels;
}

int FreedmanDiaconisBins(std::span<double> values) {
  const std::size_t n = values.size();
  if (n < 2) return 1;
  const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
  const double range = *hi - *lo;
  if (!(range > 0)) return 1;
  const auto q1 = values.begin() + static_cast<std::ptrdiff_t>((n - 1) / 4);
  const auto q3 = values.begin() + static_cast<std::ptrdiff_t>(3 * (n - 1) / 4);
  std::nth_element(values.begin(), q3, values.end());
  std::nth_element(values.begin(), q1, q3);
  const double iqr = *q3 - *q1;
  const double bins = iqr > 0 ? std::ceil(range / (2 * iqr / std::cbrt(static_cast<double>(n))))
                              : std::ceil(std::sqrt(static_cast<double>(n)));
  return static_cast<int>(std::clamp(bins, 1.0, static_cast<double>(kMaxHistogramBins)));
}

Histogram MakeHistogram(std::span<const double> values, int bins) {
  Histogram h;
  bins = std::clamp(bins, 1, kMaxHistogramBins);
  if (values.empty()) {
    h.counts.assign(static_cast<std::size_t>(bins), 0);
    return h;
  }
  const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
  if (!(*hi > *lo)) {
    h.width = *lo == 0 ? 1 : std::fabs(*lo);
    h.first = *lo - h.width / 2;
    h.counts = {static_cast<std::int64_t>(values.size())};
    return h;
  }
  h.first = *lo;
  h.width = (*hi - *lo) / bins;
  h.counts.assign(static_cast<std::size_t>(bins), 0);
  const double perWidth = 1 / h.width;
  for (double x : values) {
    const int bin = static_cast<int>((x - h.first) * perWidth);
    ++h.counts[static_cast<std::size_t>(std::clamp(bin, 0, bins - 1))];
  }
  return h;
}

std::vector<ChartPoint> NormalCurve(double mean, double stdev, double n, double binWidth, double from, double to,
                                    int points) {
  std::vector<ChartPoint> curve;
  if (!(stdev > 0) || points < 2) return curve;
  const double scale = n * binWidth / (stdev * std::sqrt(2 * std::numbers::pi));
  curve.reserve(static_cast<std::size_t>(points));
  for (int i = 0; i < points; ++i) {
    const double x = from + (to - from) * i / (points - 1);
    const double z = (x - mean) / stdev;
    curve.push_back({x, scale * std::exp(-0.5 * z * z)});
  }
  return curve;
}

std::vector<TrendColumn> TrendEnvelope(std::span<const double> xs, std::span<const double> ys, double from, double to,
                                       int columns) {
  std::vector<TrendColumn> out;
  if (columns < 1 || !(to > from)) return out;
  const auto begin = std::lower_bound(xs.begin(), xs.end(), from);
  const auto end = std::upper_bound(begin, xs.end(), to);
  const double width = (to - from) / columns;
  const double perWidth = 1 / width;
  int current = -1;
  for (auto it = begin; it != end; ++it) {
    const double y = ys[static_cast<std::size_t>(it - xs.begin())];
    const int column = std::min(columns - 1, static_cast<int>((*it - from) * perWidth));
    if (column != current) {
      current = column;
      out.push_back({from + (column + 0.5) * width, y, y});
    } else {
      out.back().min = std::min(out.back().min, y);
      out.back().max = std::max(out.back().max, y);
    }
  }
  return out;
}

}  // namespace lotvue
