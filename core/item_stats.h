// Item statistics for analysis: for every ordinary item the number of
// values and of failed results, mean, median, sample standard deviation,
// extremes, limits and process capability; and the bin summary. Computed
// from the result texts through MeasuredValue and ResultFailed, in base
// units and double precision. The report's own Average, STDEV, Min Data
// and Max Data rows are a different, older reading (core/statistics.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/lot_data.h"

namespace lotvue {

// The devices taken: every device, or only the passed ones (fail word 0).
enum class DeviceSelection { kAll, kOnlyPass };

struct ItemStats {
  int item = 0;           // 0-based position among the lot's items
  std::int64_t n = 0;     // values among the taken devices
  std::int64_t fails = 0; // taken devices whose result failed
  // Each is empty when undefined: failPct with no device taken; mean,
  // median, min and max with no value; stdev with fewer than two values;
  // lsl and usl when the limit cell holds no value; cp without both limits
  // or without a positive stdev; cpk without a limit or a positive stdev.
  std::optional<double> failPct{}, mean{}, median{}, stdev{}, min{}, max{}, lsl{}, usl{}, cp{}, cpk{};
};

struct BinStats {
  std::int64_t bin = 0;
  std::int64_t count = 0;   // taken devices of this bin
  std::int64_t passed = 0;  // of them with fail word 0
  std::int64_t failed = 0;
  double percent = 0;       // 100 * count / taken devices
};

// True for the items whose cells can hold values: all but the four special types.
bool HasItemStats(const LotData& lot, int item);

// The AvgStdOnlyPass setting the lot was loaded with, as its DataFileName
// header cell records it.
bool LoadedOnlyPass(const LotData& lot);

std::int64_t TakenDevices(const LotData& lot, DeviceSelection selection);

// LSL and USL: the values of the item's Min Limit and Max Limit cells.
std::optional<double> LowerLimit(const LotData& lot, int item);
std::optional<double> UpperLimit(const LotData& lot, int item);

// The values of one item over the taken devices, in device order (values
// is cleared first), and when asked the 0-based device of each value;
// returns the number of taken devices whose result failed.
std::int64_t CollectItemValues(const LotData& lot, int item, DeviceSelection selection, std::vector<double>& values,
                               std::vector<std::int32_t>* devices = nullptr);

// The statistics of one item from its values, which it reorders (the
// median is found in place), the counts and the limits.
ItemStats SummarizeItem(int item, std::span<double> values, std::int64_t taken, std::int64_t fails,
                        std::optional<double> lsl, std::optional<double> usl);

// One entry per ordinary item, in item order. When *stop becomes true (set
// by another thread) it returns soon, without the items not done yet.
std::vector<ItemStats> ComputeItemStats(const LotData& lot, DeviceSelection selection,
                                        const std::atomic<bool>* stop = nullptr);

// One entry per bin number among the taken devices, in ascending bin order.
std::vector<BinStats> ComputeBinStats(const LotData& lot, DeviceSelection selection);

}  // namespace lotvue
