// XlsxWriter: an Office Open XML workbook (.xlsx) written as it goes. The
// rows of each sheet are turned into SpreadsheetML straight into the
// deflate stream of the sheet's part, so memory does not grow with the
// number of cells: texts are inline strings, numbers the shortest text that
// reads back as the same double, and a cell names its place (r="B7") only
// when it does not follow the cell before it in its row (the reference is
// optional; Excel, LibreOffice and openpyxl place such cells in the next
// column), which makes the sheets a quarter smaller and faster to deflate. The small parts (workbook, styles,
// relationships, content types) follow the last sheet when the book is
// closed.
//
// Use: construct on a file descriptor, name the font, ask for the styles
// the cells need (at any time before Close), then AddSheet and WriteRow
// with rows in ascending order and the cells of a row in ascending column
// order, and Close. Values of cells beyond kMaxRows rows or kMaxCols
// columns are left out and counted; their colours are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "xls/text_decode.h"
#include "xls/zip_stream.h"

namespace lotvue_xlsx {

inline constexpr std::uint32_t kMaxRows = 1048576;
inline constexpr std::uint32_t kMaxCols = 16384;
// An RGB colour that is not set: the font's automatic colour, or no fill.
inline constexpr std::uint32_t kNoRgb = 0xFFFFFFFFu;
// Longest text a cell can hold, in UTF-16 units; longer texts are cut there.
inline constexpr std::uint32_t kMaxTextUnits = 32767;

struct XlsxCell {
  enum Kind : std::uint8_t { kBlank, kText, kNumber };
  std::uint32_t col = 0;
  Kind kind = kBlank;        // a blank cell shows only its style
  std::uint16_t style = 0;   // from XlsxWriter::Style; 0 is the book's plain style
  std::string_view text;     // 8-bit: UTF-8 when valid, else the code page of LOTVUE_CODEPAGE (GB18030)
  double number = 0;
};

class XlsxWriter {
 public:
  // Writes to fd, which stays open. zip64Limit: see ZipStream.
  explicit XlsxWriter(int fd, std::uint64_t zip64Limit = ZipStream::kZip32Limit);

  // The book's font (8-bit text as cell texts) and size in points.
  void SetFont(std::string_view name, double points);
  // The style of cells with this font colour and solid fill (RGB, kNoRgb: none).
  std::uint16_t Style(std::uint32_t fontRgb, std::uint32_t fillRgb);

  // Starts the next sheet (ends the one before). Names are cut to 31
  // characters, and : \ / ? * [ ] become _.
  bool AddSheet(std::string_view name);
  bool WriteRow(std::uint32_t row, std::span<const XlsxCell> cells);
  // Writes the rest of the book; true when everything reached the file.
  bool Close();

  long long dropped() const { return dropped_; }
  // errno of the first failure, else 0.
  int error() const { return zip_.error(); }

 private:
  struct StyleKey {
    std::uint32_t font;
    std::uint32_t fill;
  };

  void EndSheet();
  // Room for n more bytes of sheet XML; Commit takes the bytes up to end.
  char* Room(std::size_t n) { return reinterpret_cast<char*>(zip_.Room(n)); }
  void Commit(const char* end) { zip_.Commit(reinterpret_cast<const unsigned char*>(end)); }
  void Raw(std::string_view s);
  void Part(std::string_view name, const std::string& content);
  std::string StylesXml() const;
  std::string WorkbookXml() const;

  ZipStream zip_;
  tavo_xls::TextDecoder decoder_;
  std::string fontName_;  // UTF-8, XML-escaped
  double fontPoints_ = 10;
  std::vector<StyleKey> styles_;  // index = style; 0 is plain
  std::vector<std::string> sheetNames_;  // XML-escaped
  bool inSheet_ = false;
  bool closed_ = false;
  long long dropped_ = 0;
};

}  // namespace lotvue_xlsx
