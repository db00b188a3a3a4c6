// Per-item statistics of a lot, computed from its result texts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/lot_data.h"

namespace lotvue {

// Fills item-table rows 7 to 10 (Average, STDEV, Min Data, Max Data) of
// every item. Devices that failed are left out of the average and the
// standard deviation when avgStdOnlyPass is set. Large lots use two threads
// (threads 0); a given count forces it.
void ComputeItemStatistics(LotData& lot, bool avgStdOnlyPass, int threads = 0);

// 0 when the text names no number ("NoData", "Over", "Open", "Short" or
// "------" anywhere in it); else 1, after dropping a leading "F" and the
// blanks behind it from the text.
int IsNumericCell(std::string& text);
int IsNumericCell(std::string_view& text);

// Sample standard deviation (divisor k - 1); 0 for fewer than two values.
double SampleStdDev(const std::vector<double>& values);

}  // namespace lotvue
