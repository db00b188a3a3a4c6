#include "core/item_stats.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

#include "core/measured_value.h"

namespace lotvue {

namespace {

// Sum with Neumaier's compensation: a million equal terms of 1e-9 add up
// to their exact sum to within a unit of the last place.
class AccurateSum {
 public:
  void Add(double x) {
    const double t = sum_ + x;
    compensation_ += std::fabs(sum_) >= std::fabs(x) ? (sum_ - t) + x : (x - t) + sum_;
    sum_ = t;
  }
  double value() const { return sum_ + compensation_; }

 private:
  double sum_ = 0;
  double compensation_ = 0;
};

bool Taken(const LotData& lot, int device, DeviceSelection selection) {
  return selection == DeviceSelection::kAll || lot.deviceFailed[device] == 0;
}

// Scratch memory for the values of the items collected in one pass over the
// devices: the cells of a few neighbouring items lie together in each row,
// so a pass per group reads the table almost as fast as one pass for all.
constexpr std::size_t kGroupScratchBytes = std::size_t{64} << 20;

// Collects the values and the fails of the given items (columns of the
// device table) over the taken devices, row by row. values and fails hold
// one entry per item, already cleared and zeroed; devices, when given,
// receives the device index of each value of the one item. Returns false
// when *stop became true before the end.
bool CollectItems(const LotData& lot, std::span<const int> items, DeviceSelection selection,
                  std::span<std::vector<double>> values, std::span<std::int64_t> fails,
                  std::vector<std::int32_t>* devices, const std::atomic<bool>* stop) {
  constexpr int kStopCheckRows = 4096;
  const int devicesInLot = lot.devices();
  const std::size_t count = items.size();
  for (int d = 0; d < devicesInLot; ++d) {
    if (stop && d % kStopCheckRows == 0 && stop->load(std::memory_order_relaxed)) return false;
    if (!Taken(lot, d, selection)) continue;
    const CellTable::RowCells row = lot.deviceCells.Row(static_cast<std::size_t>(d) + 1);
    for (std::size_t k = 0; k < count; ++k) {
      const std::string_view text = row[static_cast<std::size_t>(items[k]) + 2];
      if (const std::optional<double> v = MeasuredValue(text)) {
        values[k].push_back(*v);
        if (devices) devices->push_back(d);
      }
      fails[k] += ResultFailed(text);
    }
  }
  return true;
}

// The mean of the two middle values (the middle one for an odd count).
double MedianInPlace(std::span<double> values) {
  const std::size_t half = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + half, values.end());
  const double upper = values[half];
  if (values.size() % 2 == 1) return upper;
  const double lower = *std::max_element(values.begin(), values.begin() + half);
  return (lower + upper) / 2;
}

}  // namespace

bool HasItemStats(const LotData& lot, int item) { return !HasNoResults(lot.itemTypes[item]); }

std::int64_t TakenDevices(const LotData& lot, DeviceSelection selection) {
  if (selection == DeviceSelection::kAll) return lot.devices();
  return std::count(lot.deviceFailed.begin(), lot.deviceFailed.begin() + lot.devices(), std::uint8_t{0});
}

bool LoadedOnlyPass(const LotData& lot) {
  return lot.headerCells.size() > 1 && lot.headerCells[1].ends_with("AvgStd_OlnyPass=TRUE");
}

std::optional<double> LowerLimit(const LotData& lot, int item) {
  return MeasuredValue(lot.ItemCell(kRowMinLimit, item + 2));
}

std::optional<double> UpperLimit(const LotData& lot, int item) {
  return MeasuredValue(lot.ItemCell(kRowMaxLimit, item + 2));
}

std::int64_t CollectItemValues(const LotData& lot, int item, DeviceSelection selection, std::vector<double>& values,
                               std::vector<std::int32_t>* devices) {
  values.clear();
  if (devices) devices->clear();
  std::int64_t fails = 0;
  CollectItems(lot, std::span(&item, 1), selection, std::span(&values, 1), std::span(&fails, 1), devices, nullptr);
  return fails;
}

ItemStats SummarizeItem(int item, std::span<double> values, std::int64_t taken, std::int64_t fails,
                        std::optional<double> lsl, std::optional<double> usl) {
  ItemStats s;
  s.item = item;
  s.n = static_cast<std::int64_t>(values.size());
  s.fails = fails;
  s.lsl = lsl;
  s.usl = usl;
  if (taken > 0) s.failPct = 100.0 * static_cast<double>(fails) / static_cast<double>(taken);
  if (values.empty()) return s;

  AccurateSum sum;
  double lo = values[0], hi = values[0];
  for (double x : values) {
    sum.Add(x);
    lo = std::min(lo, x);
    hi = std::max(hi, x);
  }
  const double n = static_cast<double>(values.size());
  // Equal values have exactly their value as mean and no spread, whatever
  // the rounding of their sum.
  const double mean = lo == hi ? lo : sum.value() / n;
  s.mean = mean;
  s.min = lo;
  s.max = hi;
  if (values.size() >= 2) {
    AccurateSum squares;
    if (lo != hi) {
      for (double x : values) squares.Add((x - mean) * (x - mean));
    }
    s.stdev = std::sqrt(squares.value() / (n - 1));
  }
  s.median = MedianInPlace(values);

  if (s.stdev && *s.stdev > 0) {
    const double sigma = *s.stdev;
    if (lsl && usl) s.cp = (*usl - *lsl) / (6 * sigma);
    // The nearer side among the limits that exist (one-sided with one).
    if (usl) s.cpk = (*usl - mean) / (3 * sigma);
    if (lsl) {
      const double lower = (mean - *lsl) / (3 * sigma);
      s.cpk = s.cpk ? std::min(*s.cpk, lower) : lower;
    }
  }
  return s;
}

std::vector<ItemStats> ComputeItemStats(const LotData& lot, DeviceSelection selection, const std::atomic<bool>* stop) {
  std::vector<int> ordinary;
  for (int i = 0; i < lot.items(); ++i) {
    if (HasItemStats(lot, i)) ordinary.push_back(i);
  }
  const std::int64_t taken = TakenDevices(lot, selection);
  const std::size_t perItem = std::max<std::size_t>(1, static_cast<std::size_t>(taken) * sizeof(double));
  const std::size_t group = std::clamp<std::size_t>(kGroupScratchBytes / perItem, 1, std::max<std::size_t>(1, ordinary.size()));

  std::vector<std::vector<double>> values(group);
  std::vector<std::int64_t> fails(group);
  for (std::vector<double>& v : values) v.reserve(static_cast<std::size_t>(taken));
  std::vector<ItemStats> table;
  table.reserve(ordinary.size());
  for (std::size_t first = 0; first < ordinary.size(); first += group) {
    const std::size_t count = std::min(group, ordinary.size() - first);
    const std::span<const int> items(ordinary.data() + first, count);
    for (std::size_t k = 0; k < count; ++k) values[k].clear();
    std::fill(fails.begin(), fails.end(), 0);
    if (!CollectItems(lot, items, selection, std::span(values.data(), count), std::span(fails.data(), count), nullptr,
                      stop)) {
      break;
    }
    for (std::size_t k = 0; k < count; ++k) {
      const int item = items[k];
      table.push_back(SummarizeItem(item, values[k], taken, fails[k], LowerLimit(lot, item), UpperLimit(lot, item)));
    }
  }
  return table;
}

std::vector<BinStats> ComputeBinStats(const LotData& lot, DeviceSelection selection) {
  std::map<std::int64_t, BinStats> bins;
  std::int64_t taken = 0;
  for (int d = 0; d < lot.devices(); ++d) {
    if (!Taken(lot, d, selection)) continue;
    ++taken;
    // The bin cell holds the record's bin number in decimal.
    const std::string_view text = lot.deviceCells.Row(static_cast<std::size_t>(d) + 1)[1];
    std::int64_t bin = 0;
    std::from_chars(text.data(), text.data() + text.size(), bin);
    BinStats& b = bins[bin];
    b.bin = bin;
    ++b.count;
    ++(lot.deviceFailed[d] ? b.failed : b.passed);
  }
  std::vector<BinStats> list;
  list.reserve(bins.size());
  for (auto& [bin, b] : bins) {
    b.percent = 100.0 * static_cast<double>(b.count) / static_cast<double>(taken);
    list.push_back(b);
  }
  return list;
}

}  // namespace lotvue
