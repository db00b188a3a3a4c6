// The XLSX workbooks of a loaded lot, written by our streaming XLSX writer
// with exactly the cells, texts, numbers and colours of the XLS books: the
// two-sheet book "A.xlsx" ("Data" and "Scientific") over a device range,
// and the one-kind books "A_Data.xlsx" and "A_Scientific.xlsx" in sheets
// of at most 1,000,000 devices. A sheet holds 1,048,576 rows and 16,384
// columns; cells beyond are left out and counted in one message. The old
// book is replaced only by a complete new one.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "core/export_messages.h"
#include "core/lot_data.h"
#include "core/xls_export.h"

namespace lotvue {

inline constexpr int kDevicesPerXlsxSheet = 1000000;
inline constexpr SheetLimits kXlsxSheetLimits{1048576, 16384, "XLSX"};

// The lot's path without its last three characters, followed by "xlsx".
std::string TwoSheetXlsxPath(const std::string& lotPath);
// Without its last four characters, followed by "_Data" (kind 1) or
// "_Scientific" (kind 0), and ".xlsx".
std::string OneKindXlsxPath(const std::string& lotPath, int kind);

// The two-sheet book for the device cells [firstCell, endCell). Messages:
// the language's XLS error with "(My_Convert)(0)" when a folder is in the
// way of the book, with "(My_Convert)(1)" and the system's reason when it
// cannot be written; after a book that could not hold every cell, how many
// it left out. True when the book was written (cells left out or not).
bool WriteTwoSheetXlsx(const LotData& lot, std::size_t firstCell, std::size_t endCell, ExportMessages& messages);

// The one-kind book of the whole lot (kind 1 texts, kind 0 numbers);
// progress gets the 1-based device row at the start of every device row.
// Same messages and result as WriteTwoSheetXlsx.
bool WriteOneKindXlsx(const LotData& lot, int kind, ExportMessages& messages,
                      const std::function<void(int row)>& progress = {});

}  // namespace lotvue
