// What the window's pixel tests cannot see in the report's paint list: the
// texts and where they stand, text colours, the "Per Device" wrapping, the
// cost of a paint, and the status screens.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "core/language.h"
#include "core/report_paint.h"
#include "core/row_order.h"
#include "tests/core/lot_files.h"

namespace lotvue {
namespace {

using testing::ReadLot;
using testing::SmallLot;

constexpr int kR = 22;

struct Painted {
  PaintList list;
  // The left-aligned text drawn last (on top) with its rectangle's corner at (x, y), if any.
  std::optional<PaintOp> TextAt(int x, int y) const {
    std::optional<PaintOp> found;
    for (const PaintOp& op : list.ops) {
      if (op.kind == PaintKind::kText && op.place == TextPlace::kLeft && op.rect.left == x && op.rect.top == y) found = op;
    }
    return found;
  }
  std::string Text(int x, int y) const {
    const auto op = TextAt(x, y);
    return op ? std::string(list.TextOf(*op)) : "<none>";
  }
  std::optional<ColorRef> FillAt(int x, int y) const {
    std::optional<ColorRef> c;
    for (const PaintOp& op : list.ops) {
      if (op.kind == PaintKind::kFill && x >= op.rect.left && x < op.rect.right && y >= op.rect.top && y < op.rect.bottom) c = op.color;
    }
    return c;
  }
  int Rows(const std::string& prefix) const {
    return static_cast<int>(std::count_if(list.ops.begin(), list.ops.end(), [&](const PaintOp& op) {
      return op.kind == PaintKind::kText && list.TextOf(op).substr(0, prefix.size()) == prefix;
    }));
  }
};

class ReportPaint : public ::testing::Test {
 protected:
  void SetUp() override { SelectLanguageTable(0); }
  void Load(int items, int devices, const std::vector<std::vector<int>>& values = {}) {
    ReadLot(SmallLot(items, devices, values).Bytes(), lot);
    BuildInitialGrid(grid, lot, 20);
    grid.rowHeight = kR;
  }
  Painted Paint(bool lines, int width = 800, int height = 440) {
    Painted p;
    PaintInputs in;
    in.width = width;
    in.height = height;
    in.frameHeight = height;
    in.showLine = lines;
    PaintReport(p.list, grid, lot, in, rows);
    return p;
  }
  LotData lot;
  ReportGrid grid;
  const RowOrder* rows = nullptr;
};

TEST_F(ReportPaint, MatrixTextsAndTheirColours) {
  Load(3, 200);
  Painted p = Paint(false);
  // Header label over columns 0 and 1, value to the full width; item table
  // from row 13 without its second column; no records fit at P = 0.
  EXPECT_EQ(p.TextAt(0, 0)->rect, (PaintRect{0, 0, 120, kR}));
  EXPECT_EQ(p.TextAt(120, 0)->rect, (PaintRect{120, 0, 480, kR}));
  EXPECT_EQ(p.Text(0, 0), " DataFileName");
  EXPECT_EQ(p.Text(0, 11 * kR), " Yield");
  EXPECT_EQ(p.Text(0, 13 * kR), " Item Name");
  EXPECT_EQ(p.Text(120, 13 * kR), " 1 I0");
  EXPECT_FALSE(p.TextAt(80, 13 * kR));
  EXPECT_EQ(p.Rows(" Serial"), 0);
  grid.scrollX = 130;  // sideways: the item table's row names stay at the left, clipped, over what scrolls
  p = Paint(false);
  EXPECT_EQ(p.Text(0, 13 * kR), " Item Name");
  EXPECT_TRUE(p.TextAt(0, 13 * kR)->clip);
  EXPECT_EQ(p.FillAt(110, 13 * kR + 3), kBackgroundColor);
  EXPECT_EQ(p.Text(-130, 0), " DataFileName");
  grid.scrollX = 0;

  grid.firstRow = 60;  // past the title record: it sticks on top, drawn once, over device row 60
  p = Paint(false);
  EXPECT_EQ(p.Rows(" Serial"), 1);
  EXPECT_EQ(p.Text(0, 0), " Serial");
  EXPECT_FALSE(p.TextAt(0, 25 * kR)) << "the header is not drawn";
  grid.firstRow = 25;  // the title record where it stands: on the title colour only with lines
  EXPECT_EQ(Paint(true).FillAt(300, 3), kTitleColor);
  EXPECT_NE(Paint(false).FillAt(300, 3), kTitleColor);

  // Text colours with and without the selection mark; failed devices (every
  // third) stay red. Rows: item-table Min Limit, header line 3, title, devices.
  grid.firstRow = 20;
  struct Case { int first, mark, y; ColorRef text; bool highlighted; } cases[] = {
      {20, 0, 8 * kR, kRed, false},               {20, 26, 6 * kR, kBackgroundColor, true},
      {20, 28, 8 * kR, kRed, true},               {20, 25, 5 * kR, kTextColor, false},
      {0, 12 + 1 + 4, 17 * kR, kBackgroundColor, true}, {0, 3, 3 * kR, kTextColor, false},
  };
  for (const Case& c : cases) {
    grid.firstRow = c.first;
    grid.selectionMark = c.mark;
    p = Paint(false);
    ASSERT_TRUE(p.TextAt(0, c.y)) << c.mark;
    EXPECT_EQ(p.TextAt(0, c.y)->color, c.text) << c.mark;
    EXPECT_EQ(p.FillAt(300, c.y + 3) == kSelectionColor, c.highlighted) << c.mark;
  }
}

TEST_F(ReportPaint, SortedFilteredAndFrozenColumns) {
  Load(3, 200);
  RowOrder order;
  rows = &order;
  const int n = MatrixHeaderRows(lot);
  auto serialOf = [&](int position) { return " " + std::string(lot.deviceCells.At(order.DeviceAt(position) + 1, 0)); };
  struct Case { RowSort sort; RowFilter filter; int shown; } cases[] = {
      {{0, true}, {}, 200},
      {{2, false}, {RowFilterKind::kFailed, 0, ""}, lot.failCount},
      {{-1, false}, {RowFilterKind::kContains, 0, "9"}, 38},  // 9, 19, ..., 99, 109, ... and 190..199
  };
  for (const Case& c : cases) {
    order.Apply(lot, c.sort, c.filter);
    ASSERT_EQ(order.shown(), c.shown);
    RebuildGrid(grid, lot, 20, 800, rows);
    EXPECT_EQ(grid.rowCount, n + 1 + c.shown);
    grid.firstRow = n + 5;  // the title sticks on top of the sixth shown device
    grid.scrollX = 0;
    Painted p = Paint(true);
    EXPECT_EQ(p.Text(0, 0), " Serial");
    for (int i = 1; i < 6; ++i) EXPECT_EQ(p.Text(0, i * kR), serialOf(4 + i)) << i;
    // Sideways: serial and bin stay at the left on their fills, clipped; item 1 moves.
    grid.scrollX = 130;
    p = Paint(false);
    ASSERT_TRUE(p.TextAt(0, kR));
    EXPECT_EQ(p.Text(0, kR), serialOf(5));
    EXPECT_TRUE(p.TextAt(0, kR)->clip);
    EXPECT_EQ(p.TextAt(80, kR)->rect, (PaintRect{80, kR, 140, 2 * kR}));
    EXPECT_EQ(p.FillAt(100, kR + 3), kBackgroundColor) << "the bin covers what scrolls under it";
    EXPECT_EQ(p.FillAt(100, 3), kTitleColor);
    EXPECT_TRUE(p.TextAt(140 - 130, kR)) << "item 1 scrolled under the frozen columns";
  }
}

TEST_F(ReportPaint, PerDeviceWrapsValuesWithoutGaps) {
  // Device 1 has values for items 1, 2 and 4 only; the items are titled "1 I0", ...
  Load(4, 2, {{0, 1, 3}});
  lot.viewFormat = kFormatPerDevice;
  RebuildGrid(grid, lot, 20, 480);  // two cells of 240 per line
  ASSERT_EQ(grid.rowCount, 12 + (1 + 2) + (1 + 2));
  const Painted p = Paint(true, 480);
  const int band = 12 * kR;
  EXPECT_EQ(p.TextAt(0, 0)->rect, (PaintRect{0, 0, 240, kR})) << "header label as wide as column 0";
  EXPECT_EQ(p.Text(0, band), " Ser# : P1        Bin# : 1");
  // Row one: items 1 and 2; row two: item 4 in the first cell again. The
  // label is the title's leading number and the text after its blank.
  EXPECT_EQ(p.Text(240, band + kR), " M2");
  EXPECT_EQ(p.Text(240 + 60, band + kR), "I1");
  EXPECT_EQ(p.Text(0, band + 2 * kR), " M4");
  EXPECT_EQ(p.Text(60, band + 2 * kR), "I3");
  EXPECT_FALSE(p.FillAt(300, band + 2 * kR + 5)) << "the missing item leaves no gap and no cell";
  // Cells on their fill entries with lines, on the background without; bands whatever the lines.
  EXPECT_EQ(p.FillAt(120, band + kR + 1), CellFillColor(0));
  EXPECT_EQ(p.FillAt(360, band + kR + 1), CellFillColor(1));
  const Painted plain = Paint(false, 480);
  EXPECT_FALSE(plain.FillAt(120, band + kR + 1));
  for (const Painted* q : {&p, &plain}) EXPECT_EQ(q->FillAt(5, band + 1), kBandColor);
  // The value stands right-aligned with a blank behind it.
  int rightTexts = 0;
  for (const PaintOp& op : p.list.ops) {
    if (op.kind == PaintKind::kText && op.place == TextPlace::kRight) {
      ++rightTexts;
      EXPECT_EQ(p.list.TextOf(op).back(), ' ');
    }
  }
  EXPECT_EQ(rightTexts, 3 + 4);
  // The selection counts header, band and value rows alike.
  grid.selectionMark = 12 + 1;
  EXPECT_EQ(Paint(false, 480).FillAt(300, band + kR + 5), kSelectionColor);
}

TEST_F(ReportPaint, MatrixCostDoesNotGrowWithTheLot) {
  std::size_t ops[2];
  int k = 0;
  for (int devices : {1000, 20000}) {
    Load(30, devices);
    grid.firstRow = grid.rowCount / 2;
    grid.scrollX = 600;
    ops[k++] = Paint(true, 1200, 700).list.ops.size();
  }
  EXPECT_EQ(ops[0], ops[1]);
  EXPECT_LT(ops[0], 2000u) << "only the visible cells";
}

TEST(StatusScreens, TextsAndProgressBar) {
  SelectLanguageTable(0);
  LotData loading;
  loading.deviceCount = 1000;
  loading.recordsRead = 250;
  StatusScreen s = LoadingStatus(loading, 0);
  EXPECT_EQ(s.text, "Loading Data:250/1000");
  PaintList list;
  PaintStatus(list, s);
  ASSERT_EQ(list.ops.size(), 4u);
  EXPECT_EQ(list.ops[1].rect, (PaintRect{10, 50, 110, 70}));  // a quarter of the 400-pixel frame
  EXPECT_EQ(list.ops[2].rect, (PaintRect{10, 50, 410, 70}));
  EXPECT_EQ(list.TextOf(list.ops[3]), "25.000%");

  loading.recordsRead = 1000;
  loading.statisticsDone = 500;  // the statistics' first pass half done
  s = LoadingStatus(loading, 0);
  EXPECT_EQ(s.text, "Format Data");
  EXPECT_TRUE(s.bar);
  EXPECT_EQ(s.done * 4, s.total);

  ReadLot(SmallLot(2, 3).Bytes(), loading);  // 24 + 11 x 4 + 4 x 4 strings
  EXPECT_EQ(LoadingStatus(loading, 10).text, "Format List:10/29");
  EXPECT_EQ(ConvertingStatus(loading, 2).text, "Convering : 2/3");
  list.Clear();
  PaintProgressBar(list, 0, 0);  // a lot without devices: an empty bar
  EXPECT_EQ(list.TextOf(list.ops.back()), "0.000%");
  SelectLanguageTable(1);
  EXPECT_EQ(LoadingStatus(LotData{}, 0).text, Lang(kSlotFormatData));
  SelectLanguageTable(0);
}

}  // namespace
}  // namespace lotvue
