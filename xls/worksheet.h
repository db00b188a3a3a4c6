// Worksheet: one sheet's name, its used range and the records around its
// cells (BOF, DIMENSIONS before them; WINDOW2, EOF after them). RowWindow:
// the last rows written to the selected sheet, kept in memory while the
// caller may still set their colours or overwrite them, then written as
// LABELSST, NUMBER and BLANK records to the cell spool, row after row. The
// string numbers of its text cells are looked up in batches, in the order
// the texts were put, just before a row is written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "xls/biff_buffer.h"
#include "xls/cell_formats.h"
#include "xls/cell_spool.h"
#include "xls/shared_strings.h"

namespace tavo_xls {

class Worksheet {
 public:
  std::string name;  // stored form (flag byte + characters)
  std::uint32_t nameChars = 0;

  // The cells written so far.
  int firstRow = 0x7FFFFFFF, lastRow = -1, firstCol = 0x7FFFFFFF, lastCol = -1;
  void Extend(int row, int colFirst, int colLast) {
    if (row < firstRow) firstRow = row;
    if (row > lastRow) lastRow = row;
    if (colFirst < firstCol) firstCol = colFirst;
    if (colLast > lastCol) lastCol = colLast;
  }

  static constexpr std::size_t kPrefixBytes = 20 + 18;
  static constexpr std::size_t kSuffixBytes = 22 + 4;
  void WritePrefix(ByteBuffer& out) const;
  void WriteSuffix(ByteBuffer& out, bool selected) const;
};

// PendingText: a text whose string number is not looked up yet; its sst
// is then its place in the window's list of such texts.
enum class CellKind : std::uint8_t { Empty = 0, Text, Number, BlankText, PendingText };

struct CellSlot {
  union {
    double number;
    std::uint32_t sst;
  };
  CellKind kind = CellKind::Empty;
  std::uint8_t font = kNoColor;
  std::uint8_t back = kNoColor;
};

class RowWindow {
 public:
  RowWindow(CellSpool& spool, CellFormats& formats, SharedStrings& strings);

  // Writes out what the window holds and starts on another sheet.
  void Select(int sheetIndex, Worksheet* sheet);
  // The slot of a cell (row < 65536, col < 256). Rows that fall out of the
  // window are written first; a row before the window (written already)
  // comes back as a new row, whose records then follow the earlier ones.
  CellSlot& Cell(int row, int col);
  // Makes a cell of the window a text cell of the stored form `encoded`.
  // Its string number is looked up with the other texts put before the
  // next row is written, in the order they were put, so the numbers come
  // out as if each had been looked up at once.
  void SetText(CellSlot& cell, std::string_view encoded, std::uint32_t chars);
  void FlushAll();

 private:
  // Texts put since the last look-up: at most this many wait, or this many bytes.
  static constexpr std::size_t kMostPending = 1024;
  static constexpr std::size_t kMostPendingBytes = std::size_t{1} << 20;
  struct PendingText {
    CellSlot* cell;
    std::uint32_t offset, size;  // of the stored form in pendingBytes_
    std::uint32_t chars, hash;
  };
  void LookUpTexts();

  static constexpr int kRows = 16;
  static constexpr int kCols = 256;
  struct Row {
    int row = -1;
    int minCol = kCols, maxCol = -1;
    bool again = false;  // written out before
    CellSlot cells[kCols];
  };
  void EmitRow(Row& r);

  CellSpool& spool_;
  CellFormats& formats_;
  SharedStrings& strings_;
  int sheetIndex_ = -1;
  Worksheet* sheet_ = nullptr;
  int base_ = -1;           // first row the window covers
  int lastWritten_ = -1;    // highest row of this sheet written out
  std::vector<Row> rows_;
  std::vector<PendingText> pending_;
  std::string pendingBytes_;
};

}  // namespace tavo_xls
