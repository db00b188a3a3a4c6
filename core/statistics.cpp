#include "core/statistics.h"

#include <algorithm>
#include <cmath>
#include <thread>
#include <limits>

#include "core/huge_pages.h"
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

// The three ways the statistics read one result text. Value texts (the bulk
// of every lot) start with a blank, a minus sign or a digit and can contain
// none of the words above, so all three readings are the text's number.
struct CellReading {
  bool averaged;       // contributes its number to the average (else 0)
  double averageValue;
  bool collected;      // collected for the standard deviation
  double stdValue;
  bool candidate;      // candidate for Min Data / Max Data
  std::string_view candidateText;
  double candidateValue;
};

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

// The readings of any text, by the rules one by one.
CellReading Read(std::string_view t) {
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

}  // namespace

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

struct Accumulator {
  double sum = 0;  // average
  double stdSum = 0;  // standard deviation, first pass
  std::int64_t stdCount = 0;
  double squares = 0;  // standard deviation, second pass
  double mean = 0;
  bool haveExtremes = false;
  std::string_view minText, maxText;
  double minValue = 0, maxValue = 0;
  std::string_view lastText;  // the last text that took the general reader,
  CellReading lastReading{};  // and its reading (columns repeat such texts)

  const CellReading& General(std::string_view t) {
    if (lastText.empty() || t != lastText) {
      lastReading = Read(t);
      lastText = t;
    }
    return lastReading;
  }
  void Extremes(double x, std::string_view text) {
    if (!haveExtremes) {
      haveExtremes = true;
      minValue = maxValue = x;
      minText = maxText = text;
      return;
    }
    if (x < minValue) minValue = x, minText = text;
    if (x > maxValue) maxValue = x, maxText = text;
  }
};

}  // namespace

namespace {

// The two passes over the items [first, last) of every device. Items are
// independent of each other, so ranges of items can run on separate threads.
// With `progress`, every pass counts the devices it has been through.
void AccumulateItems(const LotData& lot, const std::vector<std::uint8_t>& included, int first, int last,
                     std::vector<Accumulator>& acc, std::atomic<std::int32_t>* progress) {
  constexpr int kProgressStep = 4096;
  const int devices = lot.devices();
  const int width = last - first;
  // The numbers collected for the standard deviation, device by device
  // (NaN where a cell is not collected; no cell of a lot reads as NaN).
  const bool wantStd = devices > 1;
  std::vector<double> collected;
  if (wantStd) {
    collected.reserve(static_cast<std::size_t>(devices) * static_cast<std::size_t>(width));
    AdviseHugePages(collected.data(), collected.capacity() * sizeof(double));
  }
  constexpr double kNotCollected = std::numeric_limits<double>::quiet_NaN();

  // First pass over the devices in file order: sums and extremes. Summing
  // per item in device order gives the same doubles as one item at a time.
  // Extremes take every device, failed or not, whatever the setting: they
  // report what was measured.
  for (int d = 0; d < devices; ++d) {
    if (progress && d % kProgressStep == kProgressStep - 1) progress->fetch_add(kProgressStep, std::memory_order_relaxed);
    const bool in = included[d] != 0;
    const CellTable::RowCells row = lot.deviceCells.Row(static_cast<std::size_t>(d) + 1);
    for (int i = first; i < last; ++i) {
      const std::string_view t = row[i + 2];
      Accumulator& a = acc[i];
      double x;
      if (PlainNumber(t, x)) {
        if (in) {
          a.sum += x;
          a.stdSum += x;
          ++a.stdCount;
          if (wantStd) collected.push_back(x);
        }
        a.Extremes(x, t);
        continue;
      }
      const CellReading& r = a.General(t);
      if (in) {
        if (r.averaged) a.sum += r.averageValue;
        if (r.collected) {
          a.stdSum += r.stdValue;
          ++a.stdCount;
        }
        if (wantStd) collected.push_back(r.collected ? r.stdValue : kNotCollected);
      }
      if (r.candidate) a.Extremes(r.candidateValue, r.candidateText);
    }
  }
  if (progress) progress->store(devices, std::memory_order_relaxed);
  if (!wantStd) return;

  // Second pass: squared deviations from each item's mean.
  for (int i = first; i < last; ++i) {
    if (acc[i].stdCount > 0) acc[i].mean = acc[i].stdSum / static_cast<double>(acc[i].stdCount);
  }
  const double* x = collected.data();
  const double* const end = x + collected.size();
  for (int d = 0; x < end; ++d) {
    if (progress && d % kProgressStep == kProgressStep - 1) progress->fetch_add(kProgressStep, std::memory_order_relaxed);
    for (int i = first; i < last; ++i, ++x) {
      if (std::isnan(*x)) continue;
      const double dev = *x - acc[i].mean;
      acc[i].squares += dev * dev;
    }
  }
}

// Below this many cells a second thread costs more than it saves.
constexpr std::int64_t kCellsPerThread = std::int64_t{1} << 20;

}  // namespace

void ComputeItemStatistics(LotData& lot, bool avgStdOnlyPass, int threads) {
  const int items = lot.items();
  const int devices = lot.devices();
  std::vector<Accumulator> acc(static_cast<std::size_t>(items));
  std::vector<std::uint8_t> included(static_cast<std::size_t>(devices));
  std::int64_t includedCount = 0;
  for (int d = 0; d < devices; ++d) {
    included[d] = !(avgStdOnlyPass && lot.deviceFailed[d] != 0);
    includedCount += included[d];
  }

  const std::int64_t cells = static_cast<std::int64_t>(devices) * items;
  if (threads <= 0) {
    threads = cells >= 2 * kCellsPerThread ? static_cast<int>(std::max(1u, std::thread::hardware_concurrency())) : 1;
  }
  if (threads > 1 && items > 1) {
    const int split = items / 2;
    // The first piece's progress stands for both.
    RunInTwo([&] { AccumulateItems(lot, included, 0, split, acc, &lot.statisticsDone); },
             [&] { AccumulateItems(lot, included, split, items, acc, nullptr); });
  } else {
    AccumulateItems(lot, included, 0, items, acc, &lot.statisticsDone);
  }
  lot.statisticsDone.store(2 * devices, std::memory_order_relaxed);

  const bool wantStd = devices > 1;
  for (int i = 0; i < items; ++i) {
    const Accumulator& a = acc[i];
    const int col = i + 2;
    lot.ItemCell(kRowAverage, col) =
        includedCount == 0 ? std::string("All Fail") : FixedText(a.sum / static_cast<double>(includedCount), 3);
    double stdev = 0;
    if (wantStd && a.stdCount >= 2) stdev = std::sqrt(a.squares / static_cast<double>(a.stdCount - 1));
    lot.ItemCell(kRowStdev, col) = FixedText(stdev, 5);
    lot.ItemCell(kRowMinData, col) = (!a.haveExtremes || a.minValue == 0) ? std::string("0.000") : std::string(a.minText);
    lot.ItemCell(kRowMaxData, col) = (!a.haveExtremes || a.maxValue == 0) ? std::string("0.000") : std::string(a.maxText);
  }
}

}  // namespace lotvue
