#include "core/statistics.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

#include "core/number_text.h"
#include "core/run_in_two.h"

namespace lotvue {

namespace {

bool NamesNoNumber(std::string_view t) {
  // One pass, looking at the words' first letters only.
  const std::size_t n = t.size();
  for (std::size_t i = 0; i + 4 <= n; ++i) {
    const std::string_view rest = t.substr(i);
    switch (t[i]) {
      case 'N': if (rest.starts_with("NoData")) return true; break;
      case 'O': if (rest.starts_with("Over") || rest.starts_with("Open")) return true; break;
      case 'S': if (rest.starts_with("Short")) return true; break;
      case '-': if (rest.starts_with("------")) return true; break;
      default: break;
    }
  }
  return false;
}

inline bool IsBlank(char c) { return c == ' '; }

constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// The number of a text shaped like a value text (blanks, sign, at most 15
// digits around one point, then no exponent): the digits over a power of
// ten, both exact, so the quotient is what atof gives. false for any other
// shape, which then takes the general reader. end: where the number ends.
inline bool ReadValueShape(std::string_view t, double& x, std::size_t& end) {
  const char* const begin = t.data();
  const char* const stop = begin + t.size();
  const char* p = begin;
  while (p < stop && *p == ' ') ++p;
  bool negative = false;
  if (p < stop && (*p == '-' || *p == '+')) negative = *p++ == '-';
  std::uint64_t digits = 0;
  const char* first = p;
  while (p < stop && static_cast<unsigned char>(*p - '0') < 10) digits = digits * 10 + static_cast<unsigned>(*p++ - '0');
  std::ptrdiff_t count = p - first;
  std::ptrdiff_t fraction = 0;
  if (p < stop && *p == '.') {
    const char* point = ++p;
    while (p < stop && static_cast<unsigned char>(*p - '0') < 10) digits = digits * 10 + static_cast<unsigned>(*p++ - '0');
    fraction = p - point;
    count += fraction;
  }
  if (count == 0 || count > 15) return false;
  if (p < stop && ((*p | 0x20) == 'e' || (*p | 0x20) == 'x')) return false;
  const double v = static_cast<double>(static_cast<std::int64_t>(digits)) / kPow10[fraction];
  x = negative ? -v : v;
  end = static_cast<std::size_t>(p - begin);
  return true;
}

// The readings of a value text; false for any other text.
inline bool ReadPlainValue(std::string_view t, CellReading& r) {
  if (t.empty()) return false;
  const char c = t.front();
  double x;
  std::size_t end;
  if (!((c == ' ' || c == '-' || static_cast<unsigned>(c - '0') < 10) && ReadValueShape(t, x, end))) return false;
  // No leading "F" after the blanks (the number follows them), and the
  // words that name no number need four letters after the number.
  const bool numeric = t.size() - end < 4 || !NamesNoNumber(t);
  r.averaged = numeric;
  r.averageValue = x;
  r.collected = true;
  r.stdValue = x;
  r.candidate = numeric;
  r.candidateText = t;
  r.candidateValue = x;
  return true;
}

}  // namespace

CellReading ReadCell(std::string_view t) {
  CellReading r{};
  if (t.empty()) return r;  // no result: not averaged, not collected, no candidate
  if (ReadPlainValue(t, r)) return r;
  // Average: IsNumericCell on the text as it stands.
  {
    std::string_view a = t;
    r.averaged = IsNumericCell(a) != 0;
    r.averageValue = r.averaged ? AtofC(a) : 0.0;
  }
  // Standard deviation: trimmed of blanks, a first "F" dropped.
  {
    std::string_view s = t;
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    r.collected = !s.empty();
    if (!s.empty() && s.front() == 'F') s.remove_prefix(1);
    r.stdValue = AtofC(s);
  }
  // Min/max: one leading "F" dropped, then IsNumericCell.
  {
    std::string_view m = t;
    if (m.front() == 'F') m.remove_prefix(1);
    r.candidate = IsNumericCell(m) != 0;
    r.candidateText = m;
    r.candidateValue = r.candidate ? AtofC(m) : 0.0;
  }
  return r;
}

int IsNumericCell(std::string_view& text) {
  if (NamesNoNumber(text)) return 0;
  if (!text.empty() && text.front() == 'F') {
    text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  }
  return 1;
}

int IsNumericCell(std::string& text) {
  std::string_view view = text;
  const int result = IsNumericCell(view);
  text = std::string(view);
  return result;
}

double SampleStdDev(const std::vector<double>& values) {
  if (values.size() < 2) return 0.0;
  double sum = 0;
  for (double x : values) sum += x;
  const double mean = sum / static_cast<double>(values.size());
  double squares = 0;
  for (double x : values) squares += (x - mean) * (x - mean);
  return std::sqrt(squares / static_cast<double>(values.size() - 1));
}

namespace {

// A value text whose number all three readings take as it stands: the
// common case, read without building a CellReading.
inline bool PlainNumber(std::string_view t, double& x) {
  if (t.empty()) return false;
  const char c = t.front();
  std::size_t end;
  if (!(c == ' ' || c == '-' || static_cast<unsigned char>(c - '0') < 10) || !ReadValueShape(t, x, end)) return false;
  return t.size() - end < 4 || !NamesNoNumber(t);
}

// The number the standard deviation takes from a value text, with or
// without a leading "F" (its rule drops one and reads the rest as AtofC
// does, whatever words follow); false for any other text, which then takes
// the general rules.
inline bool StdNumber(std::string_view t, double& x) {
  if (!t.empty() && t.front() == 'F') t.remove_prefix(1);
  if (t.empty()) return false;
  const char c = t.front();
  std::size_t end;
  return (c == ' ' || c == '-' || static_cast<unsigned char>(c - '0') < 10) && ReadValueShape(t, x, end);
}

// The reading of the last text of an item that took the general rules
// (columns repeat such texts).
struct LastReading {
  std::string_view text;
  CellReading reading;
  const CellReading& Of(std::string_view t) {
    if (text.empty() || t != text) {
      reading = ReadCell(t);
      text = t;
    }
    return reading;
  }
};

constexpr int kProgressStep = 4096;

// Counts the devices a pass has been through, every kProgressStep of them.
inline void CountDevice(std::atomic<std::int32_t>* progress, int d) {
  if (progress && d % kProgressStep == kProgressStep - 1) progress->fetch_add(kProgressStep, std::memory_order_relaxed);
}

// The first pass over the texts of items [first, last) of every device.
// Items are independent of each other, so ranges of items can run on
// separate threads.
void SumTexts(const LotData& lot, const std::vector<std::uint8_t>& included, int first, int last,
              std::vector<ItemSums>& sums, std::atomic<std::int32_t>* progress) {
  std::vector<LastReading> lastReadings(static_cast<std::size_t>(last));
  const int devices = lot.devices();
  for (int d = 0; d < devices; ++d) {
    CountDevice(progress, d);
    const bool in = included[d] != 0;
    const CellTable::RowCells row = lot.deviceCells.Row(static_cast<std::size_t>(d) + 1);
    for (int i = first; i < last; ++i) {
      const std::string_view t = row[i + 2];
      double x;
      if (PlainNumber(t, x)) {
        sums[i].TakeNumber(x, in, d);
      } else {
        sums[i].Take(lastReadings[i].Of(t), in, d);
      }
    }
  }
}

// The second pass: the squared deviations from each item's mean of the
// numbers the standard deviation takes, read from the texts again, summed
// in device order as the first pass summed them.
void SumSquares(const LotData& lot, const std::vector<std::uint8_t>& included, int first, int last,
                const std::vector<double>& means, std::vector<double>& squares, std::atomic<std::int32_t>* progress) {
  std::vector<LastReading> lastReadings(static_cast<std::size_t>(last));
  const int devices = lot.devices();
  for (int d = 0; d < devices; ++d) {
    CountDevice(progress, d);
    if (!included[d]) continue;
    const CellTable::RowCells row = lot.deviceCells.Row(static_cast<std::size_t>(d) + 1);
    for (int i = first; i < last; ++i) {
      const std::string_view t = row[i + 2];
      double x;
      if (!StdNumber(t, x)) {
        const CellReading& r = lastReadings[i].Of(t);
        if (!r.collected) continue;
        x = r.stdValue;
      }
      const double dev = x - means[i];
      squares[i] += dev * dev;
    }
  }
}

// Below this many cells a second thread costs more than it saves.
constexpr std::int64_t kCellsPerThread = std::int64_t{1} << 20;

int ThreadsFor(const LotData& lot, int threads) {
  if (threads > 0) return threads;
  const std::int64_t cells = static_cast<std::int64_t>(lot.devices()) * lot.items();
  return cells >= 2 * kCellsPerThread ? static_cast<int>(std::max(1u, std::thread::hardware_concurrency())) : 1;
}

// Runs work(first, last, progress) over all items, in two halves at once
// when threads > 1; the first half's progress stands for both.
template <class Work>
void OverItems(int items, int threads, std::atomic<std::int32_t>* progress, const Work& work) {
  if (threads > 1 && items > 1) {
    const int split = items / 2;
    RunInTwo([&] { work(0, split, progress); }, [&] { work(split, items, nullptr); });
  } else {
    work(0, items, progress);
  }
}

std::vector<std::uint8_t> IncludedDevices(const LotData& lot, bool avgStdOnlyPass) {
  std::vector<std::uint8_t> included(static_cast<std::size_t>(lot.devices()));
  for (std::size_t d = 0; d < included.size(); ++d) included[d] = !(avgStdOnlyPass && lot.deviceFailed[d] != 0);
  return included;
}

// What Min Data / Max Data show of an extreme: its text, or "0.000" for 0.
std::string ExtremeText(const LotData& lot, int item, double value, std::int32_t device) {
  if (value == 0) return "0.000";
  return std::string(ReadCell(lot.ResultText(device, item)).candidateText);
}

}  // namespace

void FinishItemStatistics(LotData& lot, const std::vector<ItemSums>& sums, bool avgStdOnlyPass, int threads,
                          const std::vector<double>* squaresFound) {
  const int items = lot.items();
  const int devices = lot.devices();
  const std::vector<std::uint8_t> included = IncludedDevices(lot, avgStdOnlyPass);
  std::int64_t includedCount = 0;
  for (std::uint8_t in : included) includedCount += in;

  const bool wantStd = devices > 1;
  std::vector<double> means(static_cast<std::size_t>(items)), squares(static_cast<std::size_t>(items));
  if (squaresFound) {
    squares = *squaresFound;
  } else if (wantStd) {
    lot.statisticsDone.store(devices, std::memory_order_relaxed);
    for (int i = 0; i < items; ++i) means[i] = sums[i].Mean();
    OverItems(items, ThreadsFor(lot, threads), &lot.statisticsDone,
              [&](int first, int last, std::atomic<std::int32_t>* progress) {
                SumSquares(lot, included, first, last, means, squares, progress);
              });
  }
  lot.statisticsDone.store(2 * devices, std::memory_order_relaxed);

  for (int i = 0; i < items; ++i) {
    const ItemSums& s = sums[i];
    const int col = i + 2;
    lot.ItemCell(kRowAverage, col) =
        includedCount == 0 ? std::string("All Fail") : FixedText(s.sum / static_cast<double>(includedCount), 3);
    double stdev = 0;
    if (wantStd && s.stdCount >= 2) stdev = std::sqrt(squares[i] / static_cast<double>(s.stdCount - 1));
    lot.ItemCell(kRowStdev, col) = FixedText(stdev, 5);
    lot.ItemCell(kRowMinData, col) = s.haveExtremes ? ExtremeText(lot, i, s.minValue, s.minDevice) : "0.000";
    lot.ItemCell(kRowMaxData, col) = s.haveExtremes ? ExtremeText(lot, i, s.maxValue, s.maxDevice) : "0.000";
  }
}

void ComputeItemStatistics(LotData& lot, bool avgStdOnlyPass, int threads) {
  std::vector<ItemSums> sums(static_cast<std::size_t>(lot.items()));
  const std::vector<std::uint8_t> included = IncludedDevices(lot, avgStdOnlyPass);
  lot.statisticsDone.store(0, std::memory_order_relaxed);
  OverItems(lot.items(), ThreadsFor(lot, threads), &lot.statisticsDone,
            [&](int first, int last, std::atomic<std::int32_t>* progress) {
              SumTexts(lot, included, first, last, sums, progress);
            });
  FinishItemStatistics(lot, sums, avgStdOnlyPass, threads);
}

}  // namespace lotvue
