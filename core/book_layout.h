// The sheet layout that the XLS and the XLSX books of a lot share: which
// cell gets which text or number in which colour. It writes into a
// BookSink, which the spreadsheet library binding (XLS) and the XLSX
// writer each implement, so both formats hold exactly the same cells.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "core/export_messages.h"
#include "core/lot_data.h"

namespace lotvue {

// A colour argument that leaves the cell's colour as it is.
inline constexpr int kNoColor = -1;

// Where the cells of one book go. Rows and columns count from 0 and may
// lie outside what the format holds (even below 0): such values are left
// out and counted by the sink. Colours are indexes of the XLS palette; a
// cell keeps its colours when a value follows, and a later value replaces
// an earlier one.
class BookSink {
 public:
  virtual ~BookSink() = default;
  // Starts the book that will replace the file at path; false after its message.
  virtual bool Open(const std::string& path, int sheets, ExportMessages& messages) = 0;
  virtual int SheetCount() = 0;
  virtual void BeginSheet(int sheet, const std::string& name) = 0;
  virtual void Text(int col, int row, std::string_view text, int fontColor) = 0;
  virtual void Number(int col, int row, double value, int fontColor) = 0;
  // Background colour of the cells firstCol to lastCol of a row.
  virtual void BackColor(int firstCol, int lastCol, int row, int color) = 0;
  // Finishes the book; true when it was written completely.
  virtual bool Close() = 0;
};

// The two-sheet book at path: "Data" (every cell as text) and "Scientific"
// (device values as numbers), over the device cells [firstCell, endCell).
bool WriteTwoSheetLayout(BookSink& sink, const std::string& path, const LotData& lot, std::size_t firstCell,
                         std::size_t endCell, ExportMessages& messages);

// Sheets of the one-kind book: rows of the device table (title row
// included) div devicesPerSheet, plus one.
int SheetCountFor(const LotData& lot, int devicesPerSheet);

// The one-kind book at path (kind 1 texts, kind 0 numbers), sheets "1",
// "2", ... of at most devicesPerSheet devices; progress gets the 1-based
// device row at the start of every device row.
bool WriteOneKindLayout(BookSink& sink, const std::string& path, const LotData& lot, int kind, int devicesPerSheet,
                        ExportMessages& messages, const std::function<void(int row)>& progress);

}  // namespace lotvue
