// RowOrder: which device rows a report window shows, and in which order.
// A window can sort its devices by a column and filter them without
// touching its lot: the order is a list of device indexes (0-based, file
// order), and the exports, Device QC and the fail list keep reading the lot
// itself. Find and go-to work on the rows as shown.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/lot_data.h"

namespace lotvue {

// Record columns of the device table: serial, bin, then one per item.
inline constexpr int kSerialColumn = 0;
inline constexpr int kBinColumn = 1;

enum class RowFilterKind : std::uint8_t {
  kAll,       // every device
  kFailed,    // failed devices only
  kPassed,    // passed devices only
  kBin,       // the devices of one bin (`text`, compared as a number)
  kContains,  // the devices whose text in `column` contains `text` (ASCII case ignored)
};

struct RowFilter {
  RowFilterKind kind = RowFilterKind::kAll;
  int column = kSerialColumn;
  std::string text;
  bool operator==(const RowFilter&) const = default;
};

struct RowSort {
  int column = -1;  // record column, -1 for file order
  bool descending = false;
  bool operator==(const RowSort&) const = default;
};

class RowOrder {
 public:
  // File order, every device: the state of a freshly loaded window.
  void Reset(int devices);
  // Sorts and filters the lot's devices. Serial and bin sort by their
  // numbers; item columns by the value of their texts (MeasuredValue, with
  // the prefix), texts without a value after them in byte order. Equal keys
  // keep file order in both directions; descending reverses the keys only.
  void Apply(const LotData& lot, const RowSort& sort, const RowFilter& filter);
  // A click on a title cell: sorts by that column, or reverses a column
  // already sorted by; the filter stays.
  void SortByClick(const LotData& lot, int column);

  const RowSort& sort() const { return sort_; }
  const RowFilter& filter() const { return filter_; }
  // Rows shown, and all devices of the lot.
  int shown() const { return identity_ ? devices_ : static_cast<int>(order_.size()); }
  int devices() const { return devices_; }
  // True while every device is shown in file order.
  bool identity() const { return identity_; }
  // The device shown at a row position (0-based).
  int DeviceAt(int position) const { return identity_ ? position : static_cast<int>(order_[static_cast<std::size_t>(position)]); }
  // Row position of a device, -1 when the filter hides it.
  int PositionOf(int device) const;

 private:
  std::vector<std::uint32_t> order_;  // empty while identity_
  int devices_ = 0;
  bool identity_ = true;
  RowSort sort_;
  RowFilter filter_;
};

// Whether a device passes a filter.
bool DeviceMatches(const LotData& lot, int device, const RowFilter& filter);

// The next (or previous) shown row after `from` whose serial number equals
// `text` as a number or whose row holds a cell containing `text` (ASCII
// case ignored), wrapping around at the ends; -1 when no row matches. A
// `from` of -1 searches from the top (or the bottom, backwards).
int FindRow(const LotData& lot, const RowOrder& rows, int from, std::string_view text, bool forward);

// The device of a 1-based file position, or of a serial number; -1 when there is none.
int DeviceAtFilePosition(const LotData& lot, long long position);
int DeviceWithSerial(const LotData& lot, long long serial);

// The number in a text as the sort reads serials and bins: its digits, the
// non-digit characters skipped; -1 when it has none.
long long NumberIn(std::string_view text);

// The status line of a window in an interface language, e.g. "12,345 of
// 200,000 devices shown, sorted by 3 IGSS".
std::string RowOrderStatus(const LotData& lot, const RowOrder& rows, int language);

}  // namespace lotvue
