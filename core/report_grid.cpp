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

bool FormatEnabledFor(const LotData& lot) { return lot.deviceCells.size() <= kFormatCellLimit; }

}  // namespace lotvue
