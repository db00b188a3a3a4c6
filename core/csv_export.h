// The CSV file of a conversion: its name, its exact layout and the three
// number formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/lot_data.h"
#include "core/replacing_writer.h"

namespace lotvue {

// How value cells of device rows are written (the CSVFormat setting).
enum class CsvFormat { kData, kScientific, kValue };

// 1 = Scientific, 2 = Value, every other setting = Data.
constexpr CsvFormat CsvFormatOf(std::int32_t setting) {
  return setting == 1 ? CsvFormat::kScientific : setting == 2 ? CsvFormat::kValue : CsvFormat::kData;
}

// The lot's path without its last three characters, followed by "CSV".
std::string CsvPathOf(const std::string& lotPath);

// Half-open range of device-cell indexes [firstCell, endCell).
struct CellRange {
  std::size_t firstCell = 0;
  std::size_t endCell = 0;
};

// firstDevice and lastDevice are 1-based device rows, both inclusive; both
// negative select the whole table, title row included. The end is kept
// within the table.
CellRange DeviceCellRange(const LotData& lot, int firstDevice, int lastDevice);

// Number of devices as the device table holds them (rows less the title row).
int DeviceRowCount(const LotData& lot);

// Writes the CSV layout of the lot for the device cells [firstCell, endCell):
// title line, lot summary, an empty line, the item table without its row 6,
// the device title row when the range starts after it, then the device cells.
void WriteCsv(const LotData& lot, std::size_t firstCell, std::size_t endCell, CsvFormat format, ReplacingWriter& out);

// The CSV bytes in memory.
std::string CsvText(const LotData& lot, std::size_t firstCell, std::size_t endCell, CsvFormat format);

// Writes the CSV file at path by way of a temporary file; false (nothing
// changed, *error set to the system's reason when given) when it cannot be written.
bool WriteCsvFile(const std::string& path, const LotData& lot, std::size_t firstCell, std::size_t endCell,
                  CsvFormat format, int* error = nullptr);

}  // namespace lotvue
