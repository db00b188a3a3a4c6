#include "core/book_layout.h"

#include <algorithm>
#include <vector>

#include "core/number_text.h"
#include "core/value_text.h"
#include "core/xls_export.h"

namespace lotvue {

namespace {

// The row cursor of the sheet being written and the lot.
class SheetWriter {
 public:
  SheetWriter(BookSink& sink, const LotData& lot) : sink_(sink), lot_(lot), w_(lot.columns()) {}

  void BeginSheet(int sheet, const std::string& name) {
    sink_.BeginSheet(sheet, name);
    r_ = 0;
  }

  void WriteSheetHead();
  // Row 0 of the device table as texts on the current row, then the next row.
  void WriteTitleRow() {
    for (int j = 0; j < w_; ++j) sink_.Text(j, r_, lot_.deviceCells[static_cast<std::size_t>(j)], kNoColor);
    ++r_;
  }
  // Device cell k: text or number, then its font colour.
  void WriteDeviceCell(std::size_t k, bool asNumber) {
    const int c = static_cast<int>(k % static_cast<std::size_t>(w_));
    const std::string_view text = lot_.deviceCells[k];
    const int color = XlsColorIndex(lot_.CellColorRef(k));
    if (asNumber)
      sink_.Number(c, r_, ScaledValueOf(text), color);
    else
      sink_.Text(c, r_, text, color);
    if (c == w_ - 1) ++r_;
  }

  int width() const { return w_; }

 private:
  void Text(int col, std::string_view text) { sink_.Text(col, r_, text, kNoColor); }

  BookSink& sink_;
  const LotData& lot_;
  const int w_;
  int r_ = 0;
};

void SheetWriter::WriteSheetHead() {
  Text(0, kXlsTitle);
  // Lot summary: label in column 0, value in column 2. A text "Pass" moves
  // up one row first, so the Pass pair takes the place of the empty pair.
  r_ = 1;
  const std::vector<std::string>& head = lot_.headerCells;
  const std::size_t n = head.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (head[i] == "Pass") --r_;
    if (i % 2 == 0) {
      Text(0, head[i]);
    } else {
      if (i + 5 == n || i + 3 == n)  // pass and fail counts
        sink_.Number(2, r_, AtofC(head[i]), kNoColor);
      else
        Text(2, head[i]);
      ++r_;
    }
  }
  ++r_;
  // Item table without column 1; the Average row overwrites the empty row 6.
  const std::vector<std::string>& items = lot_.itemTable;
  for (std::size_t k = 0; k < items.size(); ++k) {
    if (items[k] == "Average") --r_;
    const int c = static_cast<int>(k % static_cast<std::size_t>(w_));
    if (c != 1) {
      Text(c, items[k]);
      if (c == w_ - 1) ++r_;
    }
  }
  sink_.BackColor(0, w_ - 1, r_, kTitleRowBackColor);
}

}  // namespace

bool WriteTwoSheetLayout(BookSink& sink, const std::string& path, const LotData& lot, std::size_t firstCell,
                         std::size_t endCell, ExportMessages& messages) {
  if (lot.columns() < 1 || !sink.Open(path, 2, messages)) return false;
  SheetWriter book(sink, lot);
  const std::size_t w = static_cast<std::size_t>(book.width());
  endCell = std::min(endCell, lot.deviceCells.size());
  for (int s = 0; s < sink.SheetCount(); ++s) {
    book.BeginSheet(s, s == 0 ? "Data" : "Scientific");
    book.WriteSheetHead();
    if (firstCell > 0) book.WriteTitleRow();
    for (std::size_t k = firstCell; k < endCell; ++k) {
      const std::size_t c = k % w;
      book.WriteDeviceCell(k, s != 0 && !(c <= 1 || k <= w));
    }
  }
  return sink.Close();
}

int SheetCountFor(const LotData& lot, int devicesPerSheet) {
  return static_cast<int>(lot.deviceCells.rows() / static_cast<std::size_t>(devicesPerSheet)) + 1;
}

bool WriteOneKindLayout(BookSink& sink, const std::string& path, const LotData& lot, int kind, int devicesPerSheet,
                        ExportMessages& messages, const std::function<void(int row)>& progress) {
  if (lot.columns() < 1 || !sink.Open(path, SheetCountFor(lot, devicesPerSheet), messages)) return false;
  SheetWriter book(sink, lot);
  const std::size_t w = static_cast<std::size_t>(book.width());
  const std::size_t size = lot.deviceCells.size();
  const std::size_t perSheet = w * static_cast<std::size_t>(devicesPerSheet);
  for (int s = 0; s < sink.SheetCount(); ++s) {
    book.BeginSheet(s, IntText(s + 1));
    book.WriteSheetHead();
    book.WriteTitleRow();
    const std::size_t begin = w + perSheet * static_cast<std::size_t>(s);
    const std::size_t end = std::min(begin + perSheet, size);
    for (std::size_t k = begin; k < end; ++k) {
      const std::size_t c = k % w;
      if (c == 0 && progress) progress(static_cast<int>(k / w));
      book.WriteDeviceCell(k, kind != kKindData && c >= 2);
    }
  }
  return sink.Close();
}

}  // namespace lotvue
