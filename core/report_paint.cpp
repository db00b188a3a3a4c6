#include "core/report_paint.h"

#include <algorithm>

#include "core/language.h"
#include "core/number_text.h"

namespace lotvue {

const ColorRef kCellFillTable[kFillColors] = {
    Rgb(0x99, 0x99, 0xFF), Rgb(0x99, 0x32, 0x64), Rgb(0xFF, 0xFF, 0xC8), Rgb(0xC8, 0xFF, 0xFF), Rgb(0x66, 0x00, 0x66),
    Rgb(0xFF, 0x80, 0x80), Rgb(0x00, 0x66, 0xCC), Rgb(0xCC, 0xCC, 0xFF), Rgb(0x00, 0x00, 0x80), Rgb(0xFF, 0x00, 0xFF),
    Rgb(0xFF, 0xFF, 0x00), Rgb(0x00, 0xFF, 0xFF), Rgb(0x80, 0x00, 0x80), Rgb(0x80, 0x00, 0x00), Rgb(0x00, 0x80, 0x80),
    Rgb(0x00, 0xFF, 0xFF), Rgb(0x00, 0xCC, 0xFF), Rgb(0xCC, 0xFF, 0xFF), Rgb(0xCC, 0xFF, 0xCC), Rgb(0xFF, 0xFF, 0x99),
    Rgb(0x99, 0xCC, 0xFF), Rgb(0xFF, 0x99, 0xCC), Rgb(0xCC, 0x99, 0xFF), Rgb(0xFF, 0xF0, 0x99), Rgb(0x33, 0x66, 0xFF),
    Rgb(0x33, 0xCC, 0xCC), Rgb(0x99, 0xCC, 0x00), Rgb(0xCD, 0xCC, 0x00), Rgb(0xFF, 0x99, 0x00), Rgb(0xFF, 0x66, 0x00),
    Rgb(0x66, 0x66, 0x99), Rgb(0x96, 0x96, 0x96), Rgb(0x00, 0x33, 0x66), Rgb(0x33, 0x99, 0x66), Rgb(0x00, 0x33, 0x00),
    Rgb(0x33, 0x33, 0x00), Rgb(0x99, 0x33, 0x00), Rgb(0x99, 0x33, 0x66), Rgb(0x33, 0x33, 0x99), Rgb(0x33, 0x33, 0x33),
};

void PaintList::Text(const PaintRect& r, ColorRef c, TextPlace place, std::string_view text, bool leadingBlank) {
  PaintOp op{PaintKind::kText, place, false, c, r, static_cast<std::uint32_t>(texts.size()), 0};
  if (leadingBlank) texts.push_back(' ');
  texts.append(text);
  op.textLength = static_cast<std::uint32_t>(texts.size() - op.textBegin);
  ops.push_back(op);
}

namespace {

// The outline of a cell's lines: one pixel out to the left (except for the
// first cell of a row) and to the top, so neighbouring cells share lines.
PaintRect LineRect(const PaintRect& cell, bool firstInRow) {
  return {firstInRow ? cell.left : cell.left - 1, cell.top - 1, cell.right, cell.bottom};
}

// Cells that cannot put a pixel into the window are skipped. Texts are not
// clipped to their cells, so a cell left of the window is kept while its
// text could still reach into it.
bool CellMayShow(const PaintRect& cell, std::size_t textLength, const PaintInputs& in) {
  if (cell.bottom <= 0 || cell.top > in.height) return false;
  if (cell.left - 1 >= in.width) return false;
  if (cell.right < 0 && in.maxCharWidth > 0 &&
      cell.left + static_cast<long long>(textLength + 1) * in.maxCharWidth < 0) {
    return false;
  }
  return true;
}

// The selected row: the cell on the selection colour; black (or selection
// coloured) text turns white, other text colours stay.
ColorRef Highlight(PaintList& out, const PaintRect& cell, ColorRef textColor) {
  out.Fill(cell, kSelectionColor);
  return (textColor == kTextColor || textColor == kSelectionColor) ? kBackgroundColor : textColor;
}

// A cell of the header lines or the item table: white, lines, text.
void PlainCell(PaintList& out, const PaintRect& cell, bool first, std::string_view text, bool highlight,
               const PaintInputs& in) {
  if (!CellMayShow(cell, text.size(), in)) return;
  out.Fill(cell, kBackgroundColor);
  if (in.showLine) out.Frame(LineRect(cell, first), kLineColor);
  ColorRef color = kTextColor;
  if (highlight) color = Highlight(out, cell, color);
  out.Text(cell, color, TextPlace::kLeft, text, true);
}

void PaintMatrix(PaintList& out, const ReportGrid& g, const LotData& lot, const PaintInputs& in, const RowOrder* rows) {
  const int k = RecordWidth(lot);
  const int headerPairs = static_cast<int>(lot.headerCells.size() / 2);
  const int n = MatrixHeaderRows(lot);
  const int r = g.rowHeight;
  const int p = g.firstRow;
  const int x0 = -g.scrollX;
  const int total = g.TotalWidth();
  const int w01 = g.ColumnWidth(0) + g.ColumnWidth(1);
  auto cellOf = [&](int column, int y) {
    const int left = g.ColumnLeft(column);
    return PaintRect{left, y, left + g.ColumnWidth(column), y + r};
  };

  if (p < n) {
    for (std::size_t i = 0; i < lot.headerCells.size(); ++i) {
      const int y = g.RowTop(static_cast<int>(i / 2));
      const bool even = i % 2 == 0;
      const PaintRect cell = even ? PaintRect{x0, y, x0 + w01, y + r} : PaintRect{x0 + w01, y, x0 + total, y + r};
      PlainCell(out, cell, even, lot.headerCells[i], false, in);
    }
    for (std::size_t j = 0; j < lot.itemTable.size(); ++j) {
      const int c = static_cast<int>(j % static_cast<std::size_t>(k));
      if (c == 1) continue;
      const int row = headerPairs + 1 + static_cast<int>(j / static_cast<std::size_t>(k));
      const int y = g.RowTop(row);
      const PaintRect cell = c == 0 ? PaintRect{x0, y, x0 + w01, y + r} : cellOf(c, y);
      PlainCell(out, cell, c == 0, lot.itemTable[j], g.RowSelected(row), in);
    }
    // Scrolled sideways: the row names of the item table (Item Name, Bias1,
    // Min Limit, ...) stay at the left over the scrolled cells, as Serial and
    // Bin do below them.
    if (g.scrollX > 0 && k >= 2) {
      for (std::size_t j = 0; j < lot.itemTable.size(); j += static_cast<std::size_t>(k)) {
        const int row = headerPairs + 1 + static_cast<int>(j / static_cast<std::size_t>(k));
        const int y = g.RowTop(row);
        const std::size_t before = out.ops.size();
        PlainCell(out, PaintRect{0, y, w01, y + r}, true, lot.itemTable[j], g.RowSelected(row), in);
        if (out.ops.size() > before && out.ops.back().kind == PaintKind::kText) out.ops.back().clip = true;
      }
    }
  }

  const int fullRows = r > 0 ? in.frameHeight / r : 0;
  int first = 0;
  int visible = 0;
  if (p < n) {
    first = 0;
    visible = std::max(0, fullRows - n + p);
  } else {
    first = p - n;
    visible = fullRows + 1;
  }
  // Shown records: the title and the rows of the order.
  const int records = RecordCount(lot);
  const int shownRecords = records == 0 ? 0 : 1 + (rows ? rows->shown() : records - 1);
  const bool frozen = g.scrollX > 0 && k >= 2;
  const int w0 = g.ColumnWidth(0);
  auto frozenCell = [&](int column, int y) {
    return column == 0 ? PaintRect{0, y, w0, y + r} : PaintRect{w0, y, w01, y + r};
  };
  // One cell of a record. Without lines only cells drawn over others
  // (`cover`) are filled; the title record is on the title colour with
  // lines or when it stays on top (`sticky`).
  auto deviceCell = [&](int record, int column, const PaintRect& cell, bool sticky, bool selected, bool cover) {
    const std::size_t idx = static_cast<std::size_t>(record) * static_cast<std::size_t>(k) + static_cast<std::size_t>(column);
    const std::string_view text = lot.deviceCells[idx];
    if (!CellMayShow(cell, text.size(), in)) return;
    const PaintRect lines = LineRect(cell, column == 0);
    if (in.showLine || cover) {
      const bool title = record == 0 && (in.showLine || sticky);
      out.Fill(in.showLine ? lines : cell, title ? kTitleColor : in.showLine ? CellFillColor(column) : kBackgroundColor);
      if (in.showLine) out.Frame(lines, kLineColor);
    }
    ColorRef color = lot.deviceCells.ColorRefAt(idx);
    if (selected) color = Highlight(out, cell, color);
    out.Text(cell, color, TextPlace::kLeft, text, true);
    out.ops.back().clip = column < 2;
  };
  auto recordAt = [&](int shown) { return shown == 0 ? 0 : 1 + (rows ? rows->DeviceAt(shown - 1) : shown - 1); };
  const int last = std::min(shownRecords, first + visible);
  for (int shown = first; shown < last; ++shown) {
    const int record = recordAt(shown);
    const int y = g.RowTop(n + shown);
    const bool selected = shown != 0 && g.RowSelected(n + shown);
    for (int c = 0; c < k; ++c) deviceCell(record, c, cellOf(c, y), false, selected, false);
    if (frozen) {
      for (int c = 0; c < 2; ++c) deviceCell(record, c, frozenCell(c, y), false, selected, true);
    }
  }

  // Scrolled past the title record: it stays on top, over the first visible row.
  if (p > n && shownRecords > 0) {
    const int y = g.RowTop(p);
    for (int c = 0; c < k; ++c) deviceCell(0, c, cellOf(c, y), true, false, true);
    if (frozen) {
      for (int c = 0; c < 2; ++c) deviceCell(0, c, frozenCell(c, y), true, false, true);
    }
  }
}

// The number at the start of an item title, as atoi reads it.
int LeadingNumber(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  long long v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    v = v * 10 + (s[i] - '0');
    if (v > 2147483648LL) v = 2147483648LL;
  }
  if (negative) v = -v;
  return static_cast<int>(std::clamp<long long>(v, -2147483647LL - 1, 2147483647LL));
}

void PaintPerDevice(PaintList& out, const ReportGrid& g, const LotData& lot, const PaintInputs& in, const RowOrder* rows) {
  const int k = RecordWidth(lot);
  const int r = g.rowHeight;
  const int x0 = -g.scrollX;
  const int total = g.TotalWidth();
  const int w0 = g.ColumnWidth(0);
  int n = 0;
  while (n < g.columnCount() && g.ColumnWidth(n) != 0) ++n;
  n = std::max(n, 1);

  int row = -1;
  for (std::size_t i = 0; i < lot.headerCells.size(); ++i) {
    const bool even = i % 2 == 0;
    if (even) ++row;
    const int y = g.RowTop(row);
    const PaintRect cell = even ? PaintRect{x0, y, x0 + w0, y + r} : PaintRect{x0 + w0, y, x0 + total, y + r};
    PlainCell(out, cell, even, lot.headerCells[i], false, in);
  }

  std::string band;
  char number[16];
  const int records = RecordCount(lot);
  const int shownDevices = records == 0 ? 0 : rows ? rows->shown() : records - 1;
  for (int i = 0; i < shownDevices; ++i) {
    const int d = 1 + (rows ? rows->DeviceAt(i) : i);
    const std::size_t base = static_cast<std::size_t>(d) * static_cast<std::size_t>(k);
    ++row;
    {
      const int y = g.RowTop(row);
      const PaintRect cell{x0, y, x0 + total, y + r};
      if (CellMayShow(cell, 0, in)) {
        const std::string_view serial = lot.deviceCells[base];
        band.assign(" Ser# : ");
        band.append(serial);
        if (serial.size() < 10) band.append(10 - serial.size(), ' ');
        band.append("Bin# : ");
        band.append(lot.deviceCells[base + 1]);
        out.Fill(cell, kBandColor);
        out.Text(cell, kTextColor, TextPlace::kLeft, band);
      }
    }
    int shown = 0;
    for (int j = 0; j < k - 2; ++j) {
      const std::size_t idx = base + static_cast<std::size_t>(j) + 2;
      const std::string_view value = lot.deviceCells[idx];
      if (value.empty()) continue;
      const int c = shown % n;
      ++shown;
      if (c == 0) ++row;
      const int y = g.RowTop(row);
      const int left = g.ColumnLeft(c);
      const PaintRect cell{left, y, left + g.ColumnWidth(c), y + r};
      const std::string_view title = lot.deviceCells[static_cast<std::size_t>(j) + 2];
      if (!CellMayShow(cell, title.size() + 2, in)) continue;
      if (in.showLine) {
        const PaintRect lines = LineRect(cell, c == 0);
        out.Fill(lines, CellFillColor(c));
        out.Frame(lines, kLineColor);
      }
      ColorRef color = lot.deviceCells.ColorRefAt(idx);
      if (g.RowSelected(row)) color = Highlight(out, cell, color);
      const std::size_t blank = title.find(' ');
      const std::string_view name = blank == std::string_view::npos ? title : title.substr(blank + 1);
      std::string_view label(number, WriteInt(LeadingNumber(title), number));
      out.Text(cell, color, TextPlace::kLeft, " M", false);
      out.texts.append(label);
      out.ops.back().textLength += static_cast<std::uint32_t>(label.size());
      const PaintRect nameCell{cell.left + (cell.right - cell.left) / 4, cell.top, cell.right, cell.bottom};
      out.Text(nameCell, color, TextPlace::kLeft, name);
      out.Text(cell, color, TextPlace::kRight, value);
      out.texts.push_back(' ');
      out.ops.back().textLength += 1;
    }
  }
}

}  // namespace

void PaintReport(PaintList& out, const ReportGrid& grid, const LotData& lot, const PaintInputs& in,
                 const RowOrder* rows) {
  if (grid.rowCount == 0) return;
  if (lot.viewFormat == kFormatPerDevice) {
    PaintPerDevice(out, grid, lot, in, rows);
  } else {
    PaintMatrix(out, grid, lot, in, rows);
  }
}

namespace {

std::string CountText(const char* word, int done, int total, const char* separator) {
  std::string s(word);
  s += separator;
  s += IntText(done);
  s += '/';
  s += IntText(total);
  return s;
}

}  // namespace

StatusScreen LoadingStatus(const LotData& loading, int listRows) {
  StatusScreen screen;
  if (listRows > 0) {
    const int k = RecordWidth(loading);
    const int total = static_cast<int>(loading.deviceCells.size() / static_cast<std::size_t>(k) +
                                       loading.itemTable.size() / static_cast<std::size_t>(k) +
                                       loading.headerCells.size() / 2) + 2;
    screen.text = CountText(Lang(kSlotFormatList), listRows, total, ":");
    screen.bar = true;
    screen.done = listRows;
    screen.total = total;
    return screen;
  }
  const int read = loading.recordsRead.load(std::memory_order_relaxed);
  const int announced = loading.deviceCount.load(std::memory_order_relaxed);
  if (read >= announced) {
    // The statistics: two passes over every device.
    screen.text = Lang(kSlotFormatData);
    screen.bar = true;
    screen.done = loading.statisticsDone.load(std::memory_order_relaxed);
    screen.total = 2 * announced;
    return screen;
  }
  screen.text = CountText(Lang(kSlotLoadingData), read, announced, ":");
  screen.bar = true;
  screen.done = read;
  screen.total = announced;
  return screen;
}

StatusScreen ConvertingStatus(const LotData& lot, int convertProgress) {
  StatusScreen screen;
  const int devices = RecordCount(lot) - 1;
  screen.text = CountText(Lang(kSlotConvering), convertProgress, devices, " : ");
  screen.bar = true;
  screen.done = convertProgress;
  screen.total = devices;
  return screen;
}

void PaintProgressBar(PaintList& out, int done, int total) {
  const PaintRect frame{10, 50, 410, 70};
  // A total of 0 (a lot without devices) shows an empty bar at 0 %.
  const int q = total > 0 ? static_cast<int>(400.0f * static_cast<float>(done) / static_cast<float>(total)) : 0;
  if (q > 0) out.Fill({10, 50, 10 + q, 70}, kProgressFillColor);
  out.Frame(frame, kProgressFrameColor);
  const double percent = total > 0 ? static_cast<double>(done) * 100.0 / total : 0.0;
  std::string text = FixedText(percent, 3);
  text += '%';
  out.Text(frame, kTextColor, TextPlace::kCentre, text);
}

void PaintStatus(PaintList& out, const StatusScreen& screen) {
  out.Text({10, 10, 10, 10}, kTextColor, TextPlace::kTopLeft, screen.text);
  if (screen.bar) PaintProgressBar(out, screen.done, screen.total);
}

}  // namespace lotvue
