#include "core/statistics.h"

#include <cmath>
#include <limits>

#include "core/number_text.h"

namespace lotvue {

namespace {

bool NamesNoNumber(std::string_view t) {
  for (std::string_view word : {"NoData", "Over", "Open", "Short", "------"}) {
    if (t.find(word) != std::string_view::npos) return true;
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

CellReading Read(std::string_view t) {
  CellReading r{};
  if (t.empty()) return r;  // no result: not averaged, not collected, no candidate
  const char c = t.front();
  std::string_view trimmed = t;
  while (!trimmed.empty() && IsBlank(trimmed.front())) trimmed.remove_prefix(1);
  const bool plain = c == ' ' || c == '-' || (c >= '0' && c <= '9');
  if (plain && (trimmed.empty() || trimmed.front() != 'F')) {
    bool numeric = true;
    if (t.size() >= 4 && NamesNoNumber(t)) numeric = false;
    const double x = AtofC(t);
    r.averaged = numeric;
    r.averageValue = x;
    // Trimmed of blanks it is non-empty unless it is all blanks.
    r.collected = !trimmed.empty();
    r.stdValue = x;
    r.candidate = numeric;
    r.candidateText = t;
    r.candidateValue = x;
    return r;
  }
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

void ComputeItemStatistics(LotData& lot, bool avgStdOnlyPass) {
  const int items = lot.items();
  const int devices = lot.devices();
  struct Accumulator {
    double sum = 0;          // average
    double stdSum = 0;       // standard deviation, first pass
    std::int64_t stdCount = 0;
    double squares = 0;      // standard deviation, second pass
    double mean = 0;
    bool haveMin = false, haveMax = false;
    std::string_view minText, maxText;
    double minValue = 0, maxValue = 0;
  };
  std::vector<Accumulator> acc(static_cast<std::size_t>(items));
  std::int64_t included = 0;

  auto isIncluded = [&](int d) { return !(avgStdOnlyPass && lot.deviceFailed[d] != 0); };

  // First pass over the devices in file order: sums and extremes. Summing
  // per item in device order gives the same doubles as one item at a time.
  for (int d = 0; d < devices; ++d) {
    const bool in = isIncluded(d);
    if (in) ++included;
    for (int i = 0; i < items; ++i) {
      const CellReading r = Read(lot.ResultText(d, i));
      Accumulator& a = acc[i];
      if (in) {
        if (r.averaged) a.sum += r.averageValue;
        if (r.collected) {
          a.stdSum += r.stdValue;
          ++a.stdCount;
        }
      }
      // Extremes take every device, failed or not, whatever the setting:
      // they report what was measured.
      if (r.candidate) {
        if (!a.haveMin || r.candidateValue < a.minValue) {
          a.haveMin = true;
          a.minValue = r.candidateValue;
          a.minText = r.candidateText;
        }
        if (!a.haveMax || r.candidateValue > a.maxValue) {
          a.haveMax = true;
          a.maxValue = r.candidateValue;
          a.maxText = r.candidateText;
        }
      }
    }
  }

  // Second pass: squared deviations from each item's mean.
  const bool wantStd = devices > 1;
  if (wantStd) {
    for (Accumulator& a : acc) {
      if (a.stdCount > 0) a.mean = a.stdSum / static_cast<double>(a.stdCount);
    }
    for (int d = 0; d < devices; ++d) {
      if (!isIncluded(d)) continue;
      for (int i = 0; i < items; ++i) {
        const CellReading r = Read(lot.ResultText(d, i));
        if (r.collected) {
          const double dev = r.stdValue - acc[i].mean;
          acc[i].squares += dev * dev;
        }
      }
    }
  }

  for (int i = 0; i < items; ++i) {
    const Accumulator& a = acc[i];
    const int col = i + 2;
    lot.ItemCell(kRowAverage, col) =
        included == 0 ? std::string("All Fail") : FixedText(a.sum / static_cast<double>(included), 3);
    double stdev = 0;
    if (wantStd && a.stdCount >= 2) stdev = std::sqrt(a.squares / static_cast<double>(a.stdCount - 1));
    lot.ItemCell(kRowStdev, col) = FixedText(stdev, 5);
    lot.ItemCell(kRowMinData, col) = (!a.haveMin || a.minValue == 0) ? std::string("0.000") : std::string(a.minText);
    lot.ItemCell(kRowMaxData, col) = (!a.haveMax || a.maxValue == 0) ? std::string("0.000") : std::string(a.maxText);
  }
}

}  // namespace lotvue
