#include "xls/worksheet.h"

namespace tavo_xls {

void Worksheet::WritePrefix(ByteBuffer& out) const {
  std::size_t at = out.BeginRecord(kRecBof);
  out.U16(0x0600);  // BIFF8
  out.U16(0x0010);  // worksheet
  out.U16(0x0DBB);
  out.U16(0x07CC);
  out.U32(0);
  out.U32(0x06);
  out.EndRecord(at);

  at = out.BeginRecord(kRecDimensions);
  const bool empty = lastRow < 0;
  out.U32(empty ? 0 : static_cast<std::uint32_t>(firstRow));
  out.U32(empty ? 0 : static_cast<std::uint32_t>(lastRow + 1));
  out.U16(empty ? 0 : static_cast<std::uint16_t>(firstCol));
  out.U16(empty ? 0 : static_cast<std::uint16_t>(lastCol + 1));
  out.U16(0);
  out.EndRecord(at);
}

void Worksheet::WriteSuffix(ByteBuffer& out, bool selected) const {
  std::size_t at = out.BeginRecord(kRecWindow2);
  // Grid lines, headers, zeros, outline symbols; the first sheet selected and shown.
  out.U16(selected ? 0x06B6 : 0x00B6);
  out.U16(0);  // top row
  out.U16(0);  // left column
  out.U16(64); // grid line colour: automatic
  out.U16(0);
  out.U16(0);  // page break preview zoom: default
  out.U16(0);  // normal zoom: default
  out.U32(0);
  out.EndRecord(at);
  at = out.BeginRecord(kRecEof);
  out.EndRecord(at);
}

RowWindow::RowWindow(CellSpool& spool, CellFormats& formats, SharedStrings& strings)
    : spool_(spool), formats_(formats), strings_(strings), rows_(kRows) {}

void RowWindow::Select(int sheetIndex, Worksheet* sheet) {
  if (sheetIndex == sheetIndex_) return;
  FlushAll();
  sheetIndex_ = sheetIndex;
  sheet_ = sheet;
  base_ = -1;
  // A sheet selected again continues after what it has.
  lastWritten_ = sheet->lastRow;
}

CellSlot& RowWindow::Cell(int row, int col) {
  if (base_ < 0 || row < base_) {
    FlushAll();
    base_ = row;
  } else if (row >= base_ + kRows) {
    const int newBase = row - kRows + 1;
    for (int r = base_; r < newBase && r < base_ + kRows; ++r) EmitRow(rows_[static_cast<std::size_t>(r % kRows)]);
    base_ = newBase;
  }
  Row& r = rows_[static_cast<std::size_t>(row % kRows)];
  if (r.row != row) {
    r.row = row;
    r.again = row <= lastWritten_;
  }
  if (col < r.minCol) r.minCol = col;
  if (col > r.maxCol) r.maxCol = col;
  return r.cells[col];
}

void RowWindow::SetText(CellSlot& cell, std::string_view encoded, std::uint32_t chars) {
  if (pending_.size() == kMostPending || pendingBytes_.size() >= kMostPendingBytes) LookUpTexts();
  const std::uint32_t hash = SharedStrings::Hash(encoded);
  strings_.Prefetch(hash);
  cell.kind = CellKind::PendingText;
  cell.sst = static_cast<std::uint32_t>(pending_.size());
  const auto offset = static_cast<std::uint32_t>(pendingBytes_.size());
  pending_.push_back({&cell, offset, static_cast<std::uint32_t>(encoded.size()), chars, hash});
  pendingBytes_.append(encoded);
}

// A cell put again after its text keeps only what came last. When a text
// cannot be stored (no memory), it and those after it stay pending: their
// cells are written as empty ones.
void RowWindow::LookUpTexts() {
  struct Done {
    RowWindow& w;
    ~Done() {
      w.pending_.clear();
      w.pendingBytes_.clear();
    }
  } done{*this};
  for (const PendingText& p : pending_) strings_.PrefetchEntry(p.hash);
  for (std::size_t k = 0; k < pending_.size(); ++k) {
    const PendingText& p = pending_[k];
    const std::uint32_t id = strings_.Intern(std::string_view(pendingBytes_).substr(p.offset, p.size), p.chars, p.hash);
    if (p.cell->kind == CellKind::PendingText && p.cell->sst == k) {
      p.cell->kind = CellKind::Text;
      p.cell->sst = id;
    }
  }
}

void RowWindow::FlushAll() {
  if (base_ >= 0)
    for (int r = base_; r < base_ + kRows; ++r) EmitRow(rows_[static_cast<std::size_t>(r % kRows)]);
  base_ = -1;
}

void RowWindow::EmitRow(Row& r) {
  if (!pending_.empty()) LookUpTexts();
  if (r.row < 0 || r.maxCol < 0) {
    r.row = -1;
    return;
  }
  int first = kCols, last = -1;
  std::uint8_t rec[18];
  for (int c = r.minCol; c <= r.maxCol; ++c) {
    CellSlot& s = r.cells[c];
    const std::uint16_t xf = formats_.XfFor(s.font, s.back);
    std::size_t size = 0;
    switch (s.kind) {
      case CellKind::Text:
        StoreU16(rec, kRecLabelSst);
        StoreU16(rec + 2, 10);
        StoreU32(rec + 10, s.sst);
        size = 14;
        strings_.AddReference();
        break;
      case CellKind::Number:
        StoreU16(rec, kRecNumber);
        StoreU16(rec + 2, 14);
        StoreF64(rec + 10, s.number);
        size = 18;
        break;
      case CellKind::BlankText:
      case CellKind::Empty:
      case CellKind::PendingText:  // its text could not be stored
        // An empty cell is written only to show its colours, or to clear
        // what an earlier record of the same cell held.
        if (xf == kDefaultXf && !(r.again && s.kind == CellKind::BlankText)) break;
        StoreU16(rec, kRecBlank);
        StoreU16(rec + 2, 6);
        size = 10;
        break;
    }
    if (size) {
      StoreU16(rec + 4, static_cast<std::uint16_t>(r.row));
      StoreU16(rec + 6, static_cast<std::uint16_t>(c));
      StoreU16(rec + 8, xf);
      spool_.Append(sheetIndex_, rec, size);
      if (c < first) first = c;
      last = c;
    }
    s = CellSlot{};
  }
  if (last >= 0) sheet_->Extend(r.row, first, last);
  if (r.row > lastWritten_) lastWritten_ = r.row;
  r.row = -1;
  r.minCol = kCols;
  r.maxCol = -1;
}

}  // namespace tavo_xls
