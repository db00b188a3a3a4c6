#include "core/report_grid.h"

#include <algorithm>

namespace lotvue {

int ReportGrid::TotalWidth() const {
  int total = 0;
  for (int w : columnWidths) total += w;
  return total;
}

int ReportGrid::ColumnLeft(int c) const {
  int x = -scrollX;
  for (int i = 0; i < c && i < columnCount(); ++i) x += columnWidths[static_cast<std::size_t>(i)];
  return x;
}

int ReportGrid::RowAt(int y) const {
  if (y < 0 || rowHeight <= 0) return -1;
  const int row = firstRow + y / rowHeight;
  return row < rowCount ? row : -1;
}

int ReportGrid::FullRowsIn(int height) const {
  if (rowHeight <= 0) return 1;
  return std::max(1, height / rowHeight);
}

int ReportGrid::MaxFirstRow(int height) const { return std::max(0, rowCount - FullRowsIn(height)); }

int ReportGrid::MaxScrollX(int width) const { return std::max(0, TotalWidth() - width); }

void ReportGrid::ClampScroll(int width, int height) {
  firstRow = std::clamp(firstRow, 0, MaxFirstRow(height));
  scrollX = std::clamp(scrollX, 0, MaxScrollX(width));
}

void ReportGrid::Clear() {
  columnWidths.clear();
  rowCount = 0;
  firstRow = 0;
  scrollX = 0;
  selectionMark = -1;
  selectionAnchor = -1;
}

int RecordWidth(const LotData& lot) { return lot.items() + 2; }

int RecordCount(const LotData& lot) { return static_cast<int>(lot.deviceCells.size() / static_cast<std::size_t>(RecordWidth(lot))); }

int MatrixHeaderRows(const LotData& lot) {
  const std::size_t k = static_cast<std::size_t>(RecordWidth(lot));
  return static_cast<int>(lot.headerCells.size() / 2 + lot.itemTable.size() / k) + 2;
}

int MatrixRowCount(const LotData& lot, const RowOrder* rows) {
  if (rows && RecordCount(lot) > 0) return MatrixHeaderRows(lot) + 1 + rows->shown();
  return MatrixHeaderRows(lot) + RecordCount(lot);
}

void BuildInitialGrid(ReportGrid& grid, const LotData& lot, int fontHeight) {
  const int h = fontHeight;
  grid.columnWidths.assign(2, 0);
  grid.columnWidths[0] = 4 * h;
  grid.columnWidths[1] = 2 * h;
  grid.columnWidths.resize(static_cast<std::size_t>(RecordWidth(lot)), 6 * h);
  grid.rowCount = MatrixRowCount(lot);
}

int PerDeviceCellsPerLine(int clientWidth, int fontHeight) {
  const int w = 12 * fontHeight;
  return w > 0 ? std::max(1, clientWidth / w) : 1;
}

int DeviceValueCount(const LotData& lot, int record) {
  const int k = RecordWidth(lot);
  int count = 0;
  for (int c = 2; c < k; ++c) {
    if (!lot.deviceCells.At(static_cast<std::size_t>(record), static_cast<std::size_t>(c)).empty()) ++count;
  }
  return count;
}

void RebuildGrid(ReportGrid& grid, const LotData& lot, int fontHeight, int clientWidth, const RowOrder* rows) {
  const int h = fontHeight;
  if (lot.viewFormat == kFormatMatrix) {
    for (int c = 0; c < grid.columnCount(); ++c) grid.columnWidths[static_cast<std::size_t>(c)] = c == 0 ? 4 * h : c == 1 ? 3 * h : 6 * h;
    grid.rowCount = MatrixRowCount(lot, rows);
    return;
  }
  const int n = PerDeviceCellsPerLine(clientWidth, h);
  for (int c = 0; c < grid.columnCount(); ++c) grid.columnWidths[static_cast<std::size_t>(c)] = c < n ? 12 * h : 0;
  const int records = RecordCount(lot);
  const int shown = rows ? rows->shown() : records - 1;
  int count = static_cast<int>(lot.headerCells.size() / 2);
  for (int i = 0; i < shown && i + 1 < records; ++i) {
    const int r = rows ? rows->DeviceAt(i) + 1 : i + 1;
    count += 1 + (DeviceValueCount(lot, r) + n - 1) / n;
  }
  grid.rowCount = count;
}

int RowAfterKey(const ReportGrid& grid, RowKey key, int height, int firstDeviceRow) {
  const int last = grid.rowCount - 1;
  if (last < 0) return -1;
  const int page = std::max(1, grid.FullRowsIn(height) - 1);
  const int mark = grid.selectionMark;
  int row = mark;
  switch (key) {
    case RowKey::kUp: row = mark < 0 ? last : mark - 1; break;
    case RowKey::kDown: row = mark + 1; break;
    case RowKey::kPageUp: row = mark < 0 ? 0 : mark - page; break;
    case RowKey::kPageDown: row = mark < 0 ? 0 : mark + page; break;
    case RowKey::kHome: row = std::min(firstDeviceRow, last); break;
    case RowKey::kEnd: row = last; break;
    case RowKey::kFirst: row = 0; break;
    case RowKey::kLast: row = last; break;
  }
  return std::clamp(row, 0, last);
}

int FirstRowShowing(const ReportGrid& grid, int row, int height, int titleRow) {
  const int full = grid.FullRowsIn(height);
  int p = grid.firstRow;
  const int top = p > titleRow ? p + 1 : p;  // the sticky title covers row p
  if (row < top) p = row > titleRow ? row - 1 : row;
  else if (row >= p + full) p = row - full + 1;
  return std::clamp(p, 0, grid.MaxFirstRow(height));
}

std::string MatrixRowsText(const LotData& lot, const RowOrder* rows, int first, int last) {
  std::string out;
  const int k = RecordWidth(lot);
  const int pairs = static_cast<int>(lot.headerCells.size() / 2);
  const int tableRows = static_cast<int>(lot.itemTable.size() / static_cast<std::size_t>(k));
  const int n = MatrixHeaderRows(lot);
  const int rowCount = MatrixRowCount(lot, rows);
  for (int row = std::max(first, 0); row <= last && row < rowCount; ++row) {
    if (row < pairs) {
      out += lot.headerCells[2 * static_cast<std::size_t>(row)];
      out += '\t';
      out += lot.headerCells[2 * static_cast<std::size_t>(row) + 1];
    } else if (row > pairs && row <= pairs + tableRows) {
      const int t = row - pairs - 1;
      for (int c = 0; c < k; ++c) {
        if (c == 1) continue;
        if (c > 0) out += '\t';
        out += lot.ItemCell(t, c);
      }
    } else if (row >= n) {
      const int shown = row - n;
      const int record = shown == 0 ? 0 : 1 + (rows ? rows->DeviceAt(shown - 1) : shown - 1);
      for (int c = 0; c < k; ++c) {
        if (c > 0) out += '\t';
        out += lot.deviceCells.At(static_cast<std::size_t>(record), static_cast<std::size_t>(c));
      }
    }
    out += "\r\n";
  }
  return out;
}

bool FormatEnabledFor(const LotData& lot) { return lot.deviceCells.size() <= kFormatCellLimit; }

}  // namespace lotvue
