// LotData: one loaded lot, held as the texts the report shows and the
// exports write, and LoadingLot, the one lot the loading thread fills.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/cell_table.h"

namespace lotvue {

// Item type codes that the reader treats specially.
inline constexpr std::uint32_t kPinMaskItem = 0x00A21000;
inline constexpr std::uint32_t kLineItem = 0x01161001;
inline constexpr std::uint32_t kCapacitanceItem = 0x10102100;
inline constexpr std::uint32_t kPlainItem = 0x000C000C;  // no conditions, no limits
inline constexpr std::uint32_t kOpenItem = 0x00810000;   // over-range results read "Open"

// The four special types carry no device results: their cells read "No Data".
constexpr bool HasNoResults(std::uint32_t itemType) {
  return itemType == kPinMaskItem || itemType == kLineItem || itemType == kCapacitanceItem ||
         itemType == kPlainItem;
}

// Rows of the item table.
enum ItemTableRow : int {
  kRowItemName = 0,
  kRowBias1 = 1,
  kRowBias2 = 2,
  kRowBias3 = 3,
  kRowMinLimit = 4,
  kRowMaxLimit = 5,
  kRowSeparator = 6,
  kRowAverage = 7,
  kRowStdev = 8,
  kRowMinData = 9,
  kRowMaxData = 10,
  kItemTableRows = 11,
};

// Pairs of headerCells (label, value) whose values the device reader fills.
inline constexpr int kPassPair = 9;   // 0-based pair index of "Pass"
inline constexpr int kFailPair = 10;
inline constexpr int kYieldPair = 11;

enum LoadState : int { kIdle = 0, kReading = 1, kRead = 2, kConverting = 3 };

// A run of device records as the loader read it.
struct RecordChunk {
  std::size_t count;         // records
  std::uint64_t fingerprint;  // RecordFingerprint of their bytes
};

// What a lot holds, as a plain value: a default LotContent is the state
// after a reset, and assigning one copies the lot (the device cells share
// their bytes with the original instead of being copied).
struct LotContent {
  std::string waferNum;
  std::string systemName;
  std::string deviceName;
  std::string lotName;
  std::string operatorName;
  std::string testFileName;
  std::string comment;
  std::vector<std::uint8_t> itemUnits;
  std::vector<std::uint32_t> itemTypes;
  std::vector<std::string> headerCells;  // 12 label/value pairs
  std::vector<std::string> itemTable;    // 11 rows of itemCount + 2 cells
  CellTable deviceCells;                 // title row + one row per device, with the text colours
  std::vector<std::uint8_t> deviceFailed;
  std::int32_t fontHeight = 20;
  std::int32_t failCount = 0;
  std::vector<std::string> itemNames;
  std::string path;
  std::int32_t viewFormat = 1;  // 1 Matrix, 0 Per Device
  // The device records as the loader read them, for writers that take the
  // packed numbers again instead of the texts: where they start in the
  // file, and per chunk read its records and their RecordFingerprint.
  std::uint64_t recordsOffset = 0;
  std::vector<RecordChunk> recordChunks;
};

// One lot: its content and the counters that the user-interface thread reads
// while the loading thread fills the lot (progress display, load state);
// those are atomic, everything else is read only once loadState says the
// lot is complete. New fields belong in LotContent.
struct LotData : LotContent {
  // alignas keeps the counters out of LotContent's tail padding, so that
  // the size check below sees a counter added here (Reset and CopyFrom
  // must name it).
  alignas(8) std::atomic<std::int32_t> recordsRead{0};
  std::atomic<std::int32_t> deviceCount{0};
  std::atomic<std::int32_t> itemCount{0};
  std::atomic<int> loadState{kIdle};
  // Devices through the statistics after the records are read: each of
  // its two passes counts every device, so it ends at 2 * deviceCount.
  std::atomic<std::int32_t> statisticsDone{0};

  LotData() = default;
  LotData(const LotData&) = delete;
  LotData& operator=(const LotData&) = delete;

  // Every field back to its initial value.
  void Reset();
  // The hand-over copy: the content and the counts of `other`; recordsRead
  // becomes 0 and loadState stays as it is. Cell texts are shared, not copied.
  void CopyFrom(const LotData& other);

  int columns() const { return itemCount.load(std::memory_order_relaxed) + 2; }
  int devices() const { return deviceCount.load(std::memory_order_relaxed); }
  int items() const { return itemCount.load(std::memory_order_relaxed); }

  const std::string& ItemCell(int row, int col) const { return itemTable[static_cast<std::size_t>(row) * columns() + col]; }
  std::string& ItemCell(int row, int col) { return itemTable[static_cast<std::size_t>(row) * columns() + col]; }
  // Result text and colour of device d (0-based), item i.
  std::string_view ResultText(int d, int i) const { return deviceCells.At(static_cast<std::size_t>(d) + 1, i + 2); }
  CellColor ResultColor(int d, int i) const { return deviceCells.ColorAt(static_cast<std::size_t>(d) + 1, i + 2); }
  // Colour of device-cell entry `index` as a COLORREF.
  ColorRef CellColorRef(std::size_t index) const { return deviceCells.ColorRefAt(index); }
  int PassCount() const { return devices() - failCount; }
  // Bytes the lot holds (texts, offsets, colours and the per-item lists).
  std::size_t MemoryBytes() const;
};
static_assert(sizeof(LotData) == sizeof(LotContent) + 6 * sizeof(std::atomic<std::int32_t>),
              "LotData holds five counters (and padding) besides its LotContent");

// The process-wide lot that the loading thread fills.
extern LotData LoadingLot;

}  // namespace lotvue
