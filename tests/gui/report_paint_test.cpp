// What the report paints where: cells, colours, lines, highlighting, the
// sticky title row, the "Per Device" bands and the status screens.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "core/language.h"
#include "core/report_paint.h"
#include "tests/gui/test_lots.h"

namespace lotvue {
namespace {

using testing::ReadLot;
using testing::SmallLot;

constexpr int kR = 22;

struct Painted {
  PaintList list;
  // The text drawn with its top-left cell corner at (x, y), if any.
  // The left-aligned text drawn last (on top) with its rectangle's corner at (x, y), if any.
  std::optional<PaintOp> TextAt(int x, int y) const {
    std::optional<PaintOp> found;
    for (const PaintOp& op : list.ops) {
      if (op.kind == PaintKind::kText && op.place == TextPlace::kLeft && op.rect.left == x && op.rect.top == y) found = op;
    }
    return found;
  }
  // Device serial texts (" P12", " F3").
  int Serials() const {
    return static_cast<int>(std::count_if(list.ops.begin(), list.ops.end(), [&](const PaintOp& op) {
      const std::string_view t = list.TextOf(op);
      return op.kind == PaintKind::kText && t.size() > 2 && (t[1] == 'P' || t[1] == 'F') && t[2] >= '0' && t[2] <= '9';
    }));
  }
  std::string TextOf(const PaintOp& op) const { return std::string(list.TextOf(op)); }
  // The colour of the last fill covering the point (what shows under texts and frames).
  std::optional<ColorRef> FillAt(int x, int y) const {
    std::optional<ColorRef> c;
    for (const PaintOp& op : list.ops) {
      if (op.kind == PaintKind::kFill && x >= op.rect.left && x < op.rect.right && y >= op.rect.top && y < op.rect.bottom) c = op.color;
    }
    return c;
  }
  bool FrameEdgeAt(int x, int y) const {
    for (const PaintOp& op : list.ops) {
      if (op.kind != PaintKind::kFrame) continue;
      const PaintRect& r = op.rect;
      const bool inY = y >= r.top && y < r.bottom;
      const bool inX = x >= r.left && x < r.right;
      if ((inY && (x == r.left || x == r.right - 1)) || (inX && (y == r.top || y == r.bottom - 1))) return true;
    }
    return false;
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
    PaintReport(p.list, grid, lot, in);
    return p;
  }
  LotData lot;
  ReportGrid grid;
};

TEST_F(ReportPaint, MatrixHeaderItemTableAndRecordsAtTheirRows) {
  Load(3, 30);
  const Painted p = Paint(false);
  // Header pairs: label over columns 0 and 1, value to the full width.
  ASSERT_TRUE(p.TextAt(0, 0));
  EXPECT_EQ(p.TextOf(*p.TextAt(0, 0)), " DataFileName");
  EXPECT_EQ(p.TextAt(0, 0)->rect, (PaintRect{0, 0, 120, kR}));
  EXPECT_EQ(p.TextAt(120, 0)->rect, (PaintRect{120, 0, 480, kR}));
  EXPECT_EQ(p.TextOf(*p.TextAt(0, 11 * kR)), " Yield");
  // Item table from row 13; its second column is not drawn.
  EXPECT_EQ(p.TextOf(*p.TextAt(0, 13 * kR)), " Item Name");
  EXPECT_EQ(p.TextOf(*p.TextAt(120, 13 * kR)), " 1 I0");
  EXPECT_FALSE(p.TextAt(80, 13 * kR));
  // Records start at row 25, and only as many as fit into the frame
  // (440 / 22 = 20 rows): none at P = 0.
  EXPECT_EQ(p.Rows(" Serial"), 0);
  EXPECT_EQ(p.Serials(), 0);
  grid.firstRow = 10;  // V = 20 - 25 + 10 = 5 records: title and four devices
  const Painted q = Paint(false);
  EXPECT_EQ(q.TextOf(*q.TextAt(0, (25 - 10) * kR)), " Serial");
  EXPECT_EQ(q.Serials(), 4);
  EXPECT_EQ(q.TextOf(*q.TextAt(0, (26 - 10) * kR)), " P1");
  EXPECT_EQ(q.TextAt(0, (28 - 10) * kR)->color, kRed) << "device 3 failed: red serial";
}

TEST_F(ReportPaint, FillsAndLinesFollowShowLine) {
  Load(45, 5);
  grid.firstRow = 20;
  const int titleY = (25 - 20) * kR;
  const int deviceY = titleY + kR;
  const int col2 = grid.ColumnLeft(2);
  const int col3 = grid.ColumnLeft(3);
  const Painted off = Paint(false, 8000);
  EXPECT_FALSE(off.FillAt(col2 + 5, deviceY + 5)) << "no cell backgrounds without lines";
  EXPECT_FALSE(off.FillAt(col2 + 5, titleY + 5));
  EXPECT_FALSE(off.FrameEdgeAt(col3 - 1, deviceY + 5));
  EXPECT_EQ(off.FillAt(5, 5), kBackgroundColor) << "header lines are white";

  const Painted on = Paint(true, 8000);
  EXPECT_EQ(on.FillAt(col2 + 5, deviceY + 5), Rgb(0xFF, 0xFF, 0xC8)) << "column c uses entry c mod 40";
  EXPECT_TRUE(on.FrameEdgeAt(0, deviceY + 5)) << "the first cell keeps its left edge";
  const int col42 = grid.ColumnLeft(42);
  EXPECT_EQ(on.FillAt(col42 + 5, deviceY + 5), CellFillColor(2)) << "the table repeats after 40 columns";
}

TEST_F(ReportPaint, StickyTitleRowWhenScrolledPastTheHeader) {
  Load(3, 200);
  for (bool lines : {false, true}) {
    grid.firstRow = 25;  // P == N: the title record is the first row, once
    Painted at = Paint(lines);
    EXPECT_EQ(at.Rows(" Serial"), 1);
    EXPECT_EQ(at.FillAt(300, 5), lines ? std::optional<ColorRef>(kTitleColor) : std::nullopt);
    grid.firstRow = 60;  // past it: drawn over the first visible row, always on the title colour
    Painted past = Paint(lines);
    ASSERT_EQ(past.Rows(" Serial"), 1);
    EXPECT_EQ(past.TextAt(0, 0)->rect.top, 0);
    EXPECT_EQ(past.TextOf(*past.TextAt(0, 0)), " Serial") << "the sticky row is drawn last, over device row 60";
    EXPECT_EQ(past.FillAt(300, 5), kTitleColor);
    EXPECT_FALSE(past.TextAt(0, 25 * kR)) << "the header is not drawn";
  }
}

TEST_F(ReportPaint, SelectedRowHighlight) {
  Load(3, 10);
  grid.firstRow = 20;
  struct Case {
    int row;           // selection mark
    int x, y;          // a text of that row
    ColorRef fill;     // fill under it, if highlighted
    ColorRef text;
  } cases[] = {
      {26, 0, 6 * kR, kSelectionColor, kBackgroundColor},  // device 1, black serial turns white
      {28, 0, 8 * kR, kSelectionColor, kRed},              // device 3 failed: red stays red
      {25, 0, 5 * kR, 0, kTextColor},                      // the title record is never highlighted
  };
  for (const Case& c : cases) {
    grid.selectionMark = c.row;
    const Painted p = Paint(false);
    ASSERT_TRUE(p.TextAt(c.x, c.y)) << c.row;
    EXPECT_EQ(p.TextAt(c.x, c.y)->color, c.text) << c.row;
    if (c.fill) {
      EXPECT_EQ(p.FillAt(300, c.y + 3), c.fill) << c.row;
    } else {
      EXPECT_FALSE(p.FillAt(300, c.y + 3)) << c.row;
    }
  }
  // Item-table rows highlight too (row G + 1 + r), header lines do not.
  grid.firstRow = 0;
  grid.selectionMark = 12 + 1 + 4;  // Min Limit
  Painted items = Paint(false);
  EXPECT_EQ(items.FillAt(200, 17 * kR + 3), kSelectionColor);
  EXPECT_EQ(items.TextAt(0, 17 * kR)->color, kBackgroundColor);
  grid.selectionMark = 3;
  Painted header = Paint(false);
  EXPECT_EQ(header.FillAt(200, 3 * kR + 3), kBackgroundColor);
  EXPECT_EQ(header.TextAt(0, 3 * kR)->color, kTextColor);
}

TEST_F(ReportPaint, PerDeviceBandsLabelsAndWrapping) {
  // Device 1 has values for items 1, 2 and 4 only; the items are titled "1 I0", ...
  Load(4, 2, {{0, 1, 3}});
  lot.viewFormat = kFormatPerDevice;
  RebuildGrid(grid, lot, 20, 480);  // two cells of 240 per line
  ASSERT_EQ(grid.rowCount, 12 + (1 + 2) + (1 + 2));
  const Painted p = Paint(true, 480);
  const int band = 12 * kR;
  EXPECT_EQ(p.FillAt(400, band + 5), kBandColor);
  EXPECT_EQ(p.TextOf(*p.TextAt(0, band)), " Ser# : P1        Bin# : 1");
  // Row one: items 1 and 2; row two: item 4 in the first cell again.
  EXPECT_EQ(p.FillAt(100, band + kR + 5), Rgb(0x99, 0x99, 0xFF));
  EXPECT_EQ(p.FillAt(300, band + kR + 5), Rgb(0x99, 0x32, 0x64));
  EXPECT_EQ(p.FillAt(100, band + 2 * kR + 5), Rgb(0x99, 0x99, 0xFF));
  EXPECT_EQ(p.TextOf(*p.TextAt(0, band + 2 * kR)), " M4");
  EXPECT_EQ(p.TextOf(*p.TextAt(60, band + 2 * kR)), "I3");
  EXPECT_FALSE(p.FillAt(300, band + 2 * kR + 5)) << "the missing item leaves no gap and no cell";
  // Labels: the leading number of the title, and the text after its blank.
  EXPECT_EQ(p.TextOf(*p.TextAt(240, band + kR)), " M2");
  EXPECT_EQ(p.TextOf(*p.TextAt(240 + 60, band + kR)), "I1");
  // Header lines: label as wide as column 0.
  EXPECT_EQ(p.TextAt(0, 0)->rect, (PaintRect{0, 0, 240, kR}));
  // The value stands right-aligned with a blank behind it.
  int rightTexts = 0;
  for (const PaintOp& op : p.list.ops) {
    if (op.kind == PaintKind::kText && op.place == TextPlace::kRight) {
      ++rightTexts;
      EXPECT_EQ(p.list.TextOf(op).back(), ' ');
    }
  }
  EXPECT_EQ(rightTexts, 3 + 4);
  // Selection: the row counter counts header, band and value rows alike.
  grid.selectionMark = 12 + 1;  // device 1's first value row
  const Painted s = Paint(false, 480);
  EXPECT_EQ(s.FillAt(300, band + kR + 5), kSelectionColor);
  EXPECT_EQ(s.FillAt(400, band + 5), kBandColor) << "bands are not highlighted";
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
  s = LoadingStatus(loading, 0);
  EXPECT_EQ(s.text, "Format Data");
  EXPECT_FALSE(s.bar);

  ReadLot(SmallLot(2, 3).Bytes(), loading);  // 24 + 11 x 4 + 4 x 4 strings
  s = LoadingStatus(loading, 10);
  EXPECT_EQ(s.text, "Format List:10/29");

  s = ConvertingStatus(loading, 2);
  EXPECT_EQ(s.text, "Convering : 2/3");
  list.Clear();
  PaintProgressBar(list, 0, 0);  // a lot without devices: an empty bar
  EXPECT_EQ(list.TextOf(list.ops.back()), "0.000%");
  SelectLanguageTable(1);
  EXPECT_EQ(LoadingStatus(LotData{}, 0).text, Lang(kSlotFormatData));
  SelectLanguageTable(0);
}

}  // namespace
}  // namespace lotvue
