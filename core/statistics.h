// Per-item statistics of a lot: the rules that read a result text for the
// Average, STDEV, Min Data and Max Data rows, the sums they feed in device
// order, and the rows made from the sums.
//
// The rows come about in two passes, and no number is kept per cell in
// between. The first pass sums every item's numbers in device order
// (ItemSums); the reader feeds it from the records' packed numbers as it
// formats them, ComputeItemStatistics from the texts of a lot in memory.
// The second pass sums the squared deviations from each mean: the reader
// reads its records again for it, else FinishItemStatistics reads the texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/lot_data.h"

namespace lotvue {

// What the three rules take from one result text: its number for the
// average, for the standard deviation, and as a candidate for Min Data /
// Max Data, each only where that rule takes the text at all.
struct CellReading {
  bool averaged = false;
  double averageValue = 0;
  bool collected = false;
  double stdValue = 0;
  bool candidate = false;
  std::string_view candidateText;  // what Min Data / Max Data show of the text
  double candidateValue = 0;
};

// The rules one by one on any text, each number read with AtofC.
CellReading ReadCell(std::string_view text);

// The first pass's sums of one item, fed in device order.
struct ItemSums {
  double sum = 0;  // average: the numbers of the included devices
  double stdSum = 0;  // standard deviation: its numbers, and how many
  std::int64_t stdCount = 0;
  bool haveExtremes = false;  // Min Data / Max Data over every device
  double minValue = 0, maxValue = 0;
  std::int32_t minDevice = 0, maxDevice = 0;  // the first device with each

  // A value text whose number is x: every rule takes x.
  void TakeNumber(double x, bool included, std::int32_t device) {
    if (included) {
      sum += x;
      stdSum += x;
      ++stdCount;
    }
    Extremes(x, device);
  }
  void Take(const CellReading& r, bool included, std::int32_t device) {
    if (included) {
      if (r.averaged) sum += r.averageValue;
      if (r.collected) {
        stdSum += r.stdValue;
        ++stdCount;
      }
    }
    if (r.candidate) Extremes(r.candidateValue, device);
  }
  // The mean the second pass takes the deviations from.
  double Mean() const { return stdCount > 0 ? stdSum / static_cast<double>(stdCount) : 0.0; }
  void Extremes(double x, std::int32_t device) {
    if (!haveExtremes) {
      haveExtremes = true;
      minValue = maxValue = x;
      minDevice = maxDevice = device;
      return;
    }
    if (x < minValue) minValue = x, minDevice = device;
    if (x > maxValue) maxValue = x, maxDevice = device;
  }
};

// The second pass over the texts and the item-table rows 7 to 10 (Average,
// STDEV, Min Data, Max Data) from the first pass's sums of every item.
// Devices that failed are left out of the average and the standard
// deviation when avgStdOnlyPass is set. Large lots use two threads
// (threads 0); a given count forces it. statisticsDone goes from the device
// count to twice that. With `squares` (each item's sum of squared deviations
// from its Mean, in device order, found by the caller) there is no second pass.
void FinishItemStatistics(LotData& lot, const std::vector<ItemSums>& sums, bool avgStdOnlyPass, int threads = 0,
                          const std::vector<double>* squares = nullptr);

// Both passes over the texts of a lot in memory (statisticsDone from 0).
void ComputeItemStatistics(LotData& lot, bool avgStdOnlyPass, int threads = 0);

// 0 when the text names no number ("NoData", "Over", "Open", "Short" or
// "------" anywhere in it); else 1, after dropping a leading "F" and the
// blanks behind it from the text.
int IsNumericCell(std::string& text);
int IsNumericCell(std::string_view& text);

// Sample standard deviation (divisor k - 1); 0 for fewer than two values.
double SampleStdDev(const std::vector<double>& values);

}  // namespace lotvue
