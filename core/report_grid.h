// The report window's grid: rows of one height, columns of settable width
// (0 hides a column), the scroll position and the selection mark, and the
// row and column arithmetic of the two report formats, "Matrix" and
// "Per Device". The window paints over this grid; nothing here draws.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "core/lot_data.h"
#include "core/row_order.h"

namespace lotvue {

inline constexpr int kFormatPerDevice = 0;
inline constexpr int kFormatMatrix = 1;

// Files with more cell strings than this are shown in "Matrix" only.
inline constexpr std::size_t kFormatCellLimit = 2000;

struct ReportGrid {
  int rowHeight = 22;              // R, from the report font
  std::vector<int> columnWidths;   // 0 = hidden
  int rowCount = 0;
  int firstRow = 0;                // P: the first visible row (vertical scroll position)
  int scrollX = 0;                 // horizontal scroll position in pixels
  int selectionMark = -1;          // S: the row clicked last, -1 for none
  int selectionAnchor = -1;        // the other end of a selected block; -1: the mark alone

  // Whether a grid row lies in the selected block (the mark and its anchor).
  bool RowSelected(int row) const {
    const int a = selectionAnchor < 0 ? selectionMark : selectionAnchor;
    return selectionMark >= 0 && row >= std::min(a, selectionMark) && row <= std::max(a, selectionMark);
  }

  int columnCount() const { return static_cast<int>(columnWidths.size()); }
  int ColumnWidth(int c) const { return c >= 0 && c < columnCount() ? columnWidths[static_cast<std::size_t>(c)] : 0; }
  // Sum of all column widths (T).
  int TotalWidth() const;
  // Left edge of column c in the window (scrolling applied).
  int ColumnLeft(int c) const;
  // Top edge of row r in the window: rows above the first visible one are negative.
  int RowTop(int row) const { return (row - firstRow) * rowHeight; }
  // Row under the window point y, or -1 when there is none.
  int RowAt(int y) const;
  // Rows that fit completely into a window of that height (at least 1).
  int FullRowsIn(int height) const;
  // Largest first row and horizontal position for a window of this size.
  int MaxFirstRow(int height) const;
  int MaxScrollX(int width) const;
  // Keeps the scroll position within its range.
  void ClampScroll(int width, int height);
  // No columns, no rows, top-left position, no selection.
  void Clear();
};

// Keys that move the selected row, as in a list control.
enum class RowKey { kUp, kDown, kPageUp, kPageDown, kHome, kEnd, kFirst, kLast };

// The row the selection mark moves to for a key: Home and End go to the
// first and last device row of "Matrix" (from `firstDeviceRow` on; in
// "Per Device", pass 0), First and Last (Ctrl+Home, Ctrl+End) to the
// first and last row; a page is the rows a window of that height shows.
// With no mark, Down and PageDown start at the top, Up at the bottom.
int RowAfterKey(const ReportGrid& grid, RowKey key, int height, int firstDeviceRow);
// The first visible row that shows `row` whole in a window of that height,
// the row on top staying put while it is in view. Above the title record,
// the title sticks over the top row, so the row goes one further down.
int FirstRowShowing(const ReportGrid& grid, int row, int height, int titleRow);

// Strings per device record (itemCount + 2).
int RecordWidth(const LotData& lot);
// Records of deviceCells, the title record included.
int RecordCount(const LotData& lot);
// Rows in front of the title record in "Matrix": header pairs, a blank row,
// the item-table rows, a blank row (N).
int MatrixHeaderRows(const LotData& lot);
// All rows of "Matrix": the header rows and one per record; with a row
// order, the title record and the rows it shows.
int MatrixRowCount(const LotData& lot, const RowOrder* rows = nullptr);

// Columns and rows of a freshly read lot in "Matrix": column 0 of 4 h,
// column 1 of 2 h, one column of 6 h per item; MatrixRowCount rows.
void BuildInitialGrid(ReportGrid& grid, const LotData& lot, int fontHeight);

// Cells per line of "Per Device" for a client width (at least 1).
int PerDeviceCellsPerLine(int clientWidth, int fontHeight);
// Non-empty values of device record r (1-based: record 0 is the title).
int DeviceValueCount(const LotData& lot, int record);

// Lays the grid out again for lot.viewFormat. "Matrix": column 0 4 h,
// column 1 3 h, the others 6 h. "Per Device": n = clientWidth / 12 h cells of
// 12 h, the other columns hidden; a row per header pair and per device a band
// row plus its values n to a row. Scroll position and selection stay.
// With a row order, only the devices it shows count.
void RebuildGrid(ReportGrid& grid, const LotData& lot, int fontHeight, int clientWidth, const RowOrder* rows = nullptr);

// The grid rows first..last of "Matrix" as they are shown, for the
// clipboard: one line per row, its texts separated by tabs, each line
// ending in CR LF. Header lines give their label and value, item-table
// rows and records every column but the empty second of the item table.
std::string MatrixRowsText(const LotData& lot, const RowOrder* rows, int first, int last);

// Whether the Format command is offered for a loaded lot: at most 2000
// strings in deviceCells.
bool FormatEnabledFor(const LotData& lot);

}  // namespace lotvue
