// Rows and columns of the report grid in both formats.
#include <gtest/gtest.h>

#include "core/report_grid.h"
#include "tests/core/lot_files.h"

namespace lotvue {
namespace {

using testing::ReadLot;
using testing::SmallLot;

// The grid of a loaded lot is its matrix, and the format is offered up to
// 2000 strings.
TEST(ReportGrid, InitialGridAndFormatOfTheLoadedCounts) {
  struct Case {
    int items, devices;
    std::vector<int> widths;  // empty: not checked
    int rows;
    bool formatEnabled;
  } cases[] = {
      {3, 10, {80, 40, 120, 120, 120}, 12 + 1 + 11 + 1 + 11, true},
      {0, 2, {80, 40}, 12 + 1 + 11 + 1 + 3, true},
      {1, 0, {80, 40, 120}, 12 + 1 + 11 + 1 + 1, true},
      {12, 153, {}, 12 + 1 + 11 + 1 + 154, false},  // 154 records x 14 = 2156 strings
      {12, 141, {}, 12 + 1 + 11 + 1 + 142, true},   // 142 x 14 = 1988
      {0, 999, {}, 12 + 1 + 11 + 1 + 1000, true},   // 1000 x 2 = 2000
      {0, 1000, {}, 12 + 1 + 11 + 1 + 1001, false},  // 2002
  };
  for (const Case& c : cases) {
    LotData lot;
    ReadLot(SmallLot(c.items, c.devices).Bytes(), lot);
    ReportGrid grid;
    BuildInitialGrid(grid, lot, 20);
    if (!c.widths.empty()) EXPECT_EQ(grid.columnWidths, c.widths) << c.items << " items";
    EXPECT_EQ(grid.rowCount, c.rows) << c.devices << " devices";
    EXPECT_EQ(MatrixHeaderRows(lot), 25);
    EXPECT_EQ(FormatEnabledFor(lot), c.formatEnabled) << lot.deviceCells.size() << " strings";
  }
}

TEST(ReportGrid, PerDeviceWrapsValuesAndMatrixComesBack) {
  // Device 1 has 9 values, device 2 none, device 3 all 12.
  const std::vector<std::vector<int>> values = {{0, 1, 2, 3, 4, 5, 6, 7, 8}, {99}, {}};
  LotData lot;
  ReadLot(SmallLot(12, 3, values).Bytes(), lot);
  ASSERT_EQ(DeviceValueCount(lot, 1), 9);
  ASSERT_EQ(DeviceValueCount(lot, 2), 0);
  ReportGrid grid;
  BuildInitialGrid(grid, lot, 20);
  const int matrixRows = grid.rowCount;

  struct Case {
    int clientWidth, cellsPerLine, rows;
  } cases[] = {
      // 12 header rows; device 1: band + ceil(9/n); device 2: band; device 3: band + ceil(12/n).
      {1000, 4, 12 + (1 + 3) + 1 + (1 + 3)},
      {239, 1, 12 + (1 + 9) + 1 + (1 + 12)},
      {480, 2, 12 + (1 + 5) + 1 + (1 + 6)},
      {100000, 416, 12 + 2 + 1 + 2},
  };
  for (const Case& c : cases) {
    lot.viewFormat = kFormatPerDevice;
    RebuildGrid(grid, lot, 20, c.clientWidth);
    EXPECT_EQ(PerDeviceCellsPerLine(c.clientWidth, 20), c.cellsPerLine);
    EXPECT_EQ(grid.rowCount, c.rows) << "width " << c.clientWidth;
    ASSERT_EQ(grid.columnCount(), 14) << "columns are hidden, never added or deleted";
    for (int col = 0; col < 14; ++col) {
      EXPECT_EQ(grid.ColumnWidth(col), col < c.cellsPerLine ? 240 : 0) << "width " << c.clientWidth << " col " << col;
    }
    lot.viewFormat = kFormatMatrix;
    RebuildGrid(grid, lot, 20, c.clientWidth);
    EXPECT_EQ(grid.rowCount, matrixRows);
    EXPECT_EQ(grid.ColumnWidth(0), 80);
    EXPECT_EQ(grid.ColumnWidth(1), 60) << "column 1 is 60 after a rebuild, 40 after loading";
    EXPECT_EQ(grid.ColumnWidth(13), 120);
  }
}

TEST(ReportGrid, KeysMoveTheSelectionAndKeepItInView) {
  // 100 rows of 20 pixels, a window of 10 rows, the title record at row 25.
  ReportGrid g;
  g.rowHeight = 20;
  g.rowCount = 100;
  struct Case {
    int mark, first;
    RowKey key;
    int row, firstAfter;
  } cases[] = {
      {40, 35, RowKey::kDown, 41, 35},    {44, 35, RowKey::kDown, 45, 36},     {36, 35, RowKey::kUp, 35, 34},
      {30, 30, RowKey::kUp, 29, 28},      {26, 26, RowKey::kUp, 25, 25},       {10, 5, RowKey::kUp, 9, 5},
      {40, 35, RowKey::kPageDown, 49, 40}, {40, 35, RowKey::kPageUp, 31, 30},  {95, 90, RowKey::kPageDown, 99, 90},
      {3, 0, RowKey::kPageUp, 0, 0},      {60, 55, RowKey::kHome, 26, 25},     {60, 55, RowKey::kEnd, 99, 90},
      {60, 55, RowKey::kFirst, 0, 0},     {0, 0, RowKey::kLast, 99, 90},       {-1, 0, RowKey::kDown, 0, 0},
      {-1, 0, RowKey::kUp, 99, 90},       {99, 90, RowKey::kDown, 99, 90},
  };
  for (const Case& c : cases) {
    g.selectionMark = c.mark;
    g.firstRow = c.first;
    const int row = RowAfterKey(g, c.key, 200, 26);
    EXPECT_EQ(row, c.row) << c.mark << " key " << static_cast<int>(c.key);
    EXPECT_EQ(FirstRowShowing(g, row, 200, 25), c.firstAfter) << c.mark << " key " << static_cast<int>(c.key);
  }
}

TEST(ReportGrid, CopiedRowsAreTheShownTexts) {
  LotData lot;
  ReadLot(SmallLot(2, 3).Bytes(), lot);
  RowOrder rows;
  rows.Apply(lot, {kSerialColumn, true}, {});
  // Header line 0, the first item-table row, the title record and the first two shown devices.
  EXPECT_EQ(MatrixRowsText(lot, &rows, 0, 0), "DataFileName\t" + lot.headerCells[1] + "\r\n");
  EXPECT_EQ(MatrixRowsText(lot, &rows, 13, 13), "Item Name\t" + lot.ItemCell(0, 2) + "\t" + lot.ItemCell(0, 3) + "\r\n");
  auto record = [&](int r) {
    return std::string(lot.deviceCells.At(r, 0)) + "\t" + std::string(lot.deviceCells.At(r, 1)) + "\t" +
           std::string(lot.deviceCells.At(r, 2)) + "\t" + std::string(lot.deviceCells.At(r, 3)) + "\r\n";
  };
  EXPECT_EQ(MatrixRowsText(lot, &rows, 24, 27), "\r\n" + record(0) + record(3) + record(2));
  EXPECT_EQ(MatrixRowsText(lot, nullptr, 27, 40), record(2) + record(3));
}

}  // namespace
}  // namespace lotvue
