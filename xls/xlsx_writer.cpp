#include "xls/xlsx_writer.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace lotvue_xlsx {

namespace {

constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr std::string_view kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr std::string_view kPackageRelNs = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr std::string_view kSheetEnd =
    "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
    "footer=\"0.3\"/></worksheet>";
constexpr std::size_t kMaxNameUnits = 31;  // of a sheet or font name

// Bytes a cell can take besides its text: "<c r=\"XFD1048576\" s=\"65535\"
// t=\"inlineStr\"><is><t xml:space=\"preserve\"></t></is></c>" and the
// longest number.
constexpr std::size_t kCellOverheadBytes = 128;
// Most bytes one character of a text can become (_xHHHH_).
constexpr std::size_t kMaxBytesPerChar = 7;

// Bytes that a text can hold as they are: printable ASCII but & < > and _.
struct PlainBytes {
  bool plain[256] = {};
  constexpr PlainBytes() {
    for (int b = 0x20; b < 0x7F; ++b) plain[b] = true;
    plain['&'] = plain['<'] = plain['>'] = plain['_'] = false;
  }
};
constexpr PlainBytes kPlain;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

char* Copy(char* p, std::string_view s) {
  std::memcpy(p, s.data(), s.size());
  return p + s.size();
}

char* ColumnName(char* p, std::uint32_t col) {
  char letters[3];
  int n = 0;
  for (std::uint32_t c = col + 1; c > 0; c = (c - 1) / 26) letters[n++] = static_cast<char>('A' + (c - 1) % 26);
  while (n > 0) *p++ = letters[--n];
  return p;
}

char* Hex4(char* p, unsigned v) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (int shift = 12; shift >= 0; shift -= 4) *p++ = kDigits[(v >> shift) & 0xF];
  return p;
}

bool IsHex(char16_t u) { return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F'); }

// Whether units[i] is the "_" of a text "_xHHHH_", which a reader would
// take for an escaped character unless the "_" itself is escaped.
bool StartsEscapeLookalike(const char16_t* u, std::size_t i, std::size_t n) {
  if (i + 7 > n || u[i + 1] != 'x' || u[i + 6] != '_') return false;
  return IsHex(u[i + 2]) && IsHex(u[i + 3]) && IsHex(u[i + 4]) && IsHex(u[i + 5]);
}

// units[0, n) as XML character data in UTF-8: the markup characters as
// entities; characters XML 1.0 cannot carry (controls but tab and line
// feed, carriage return, which a parser would turn into a line feed, and
// U+FFFE/U+FFFF) and a "_" that would look like such an escape as _xHHHH_.
char* EscapeUnits(char* p, const char16_t* u, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    char32_t c = u[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && u[i + 1] >= 0xDC00 && u[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (u[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // half a pair
    }
    if (c == '&') {
      p = Copy(p, "&amp;");
    } else if (c == '<') {
      p = Copy(p, "&lt;");
    } else if (c == '>') {
      p = Copy(p, "&gt;");
    } else if ((c < 0x20 && c != '\t' && c != '\n') || c == 0xFFFE || c == 0xFFFF ||
               (c == '_' && StartsEscapeLookalike(u, i, n))) {
      *p++ = '_', *p++ = 'x';
      p = Hex4(p, static_cast<unsigned>(c));
      *p++ = '_';
    } else if (c < 0x80) {
      *p++ = static_cast<char>(c);
    } else if (c < 0x800) {
      *p++ = static_cast<char>(0xC0 | (c >> 6));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      *p++ = static_cast<char>(0xE0 | (c >> 12));
      *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *p++ = static_cast<char>(0xF0 | (c >> 18));
      *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return p;
}

std::string EscapedUtf8(tavo_xls::TextDecoder& decoder, std::string_view text, std::size_t maxUnits) {
  const std::vector<char16_t>& units = decoder.Decode(text);
  std::size_t n = units.size() < maxUnits ? units.size() : maxUnits;
  if (n > 0 && n < units.size() && units[n - 1] >= 0xD800 && units[n - 1] <= 0xDBFF) --n;
  std::string out(n * kMaxBytesPerChar, '\0');
  out.resize(static_cast<std::size_t>(EscapeUnits(out.data(), units.data(), n) - out.data()));
  return out;
}

std::string Number(double v) {
  char buf[32];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

std::string RgbAttribute(std::uint32_t rgb) {
  char buf[9] = "FF";
  char* p = buf + 2;
  for (int shift = 20; shift >= 0; shift -= 4) *p++ = "0123456789ABCDEF"[(rgb >> shift) & 0xF];
  return "rgb=\"" + std::string(buf, 8) + "\"";
}

}  // namespace

XlsxWriter::XlsxWriter(int fd, std::uint64_t zip64Limit) : zip_(fd, 1, zip64Limit) {
  styles_.push_back({kNoRgb, kNoRgb});
  SetFont("Calibri", 11);
}

void XlsxWriter::SetFont(std::string_view name, double points) {
  fontName_ = EscapedUtf8(decoder_, name, kMaxNameUnits);
  fontPoints_ = points >= 1 && points <= 409 ? points : 10;
}

std::uint16_t XlsxWriter::Style(std::uint32_t fontRgb, std::uint32_t fillRgb) {
  for (std::size_t i = 0; i < styles_.size(); ++i)
    if (styles_[i].font == fontRgb && styles_[i].fill == fillRgb) return static_cast<std::uint16_t>(i);
  styles_.push_back({fontRgb, fillRgb});
  return static_cast<std::uint16_t>(styles_.size() - 1);
}

void XlsxWriter::Raw(std::string_view s) { Commit(Copy(Room(s.size()), s)); }

bool XlsxWriter::AddSheet(std::string_view name) {
  if (closed_) return false;
  EndSheet();
  // Sheet names: no : \ / ? * [ ], at most 31 characters, never empty.
  std::string clean(name);
  for (char& c : clean)
    if (std::strchr(":\\/?*[]", c) && c != '\0') c = '_';
  std::string escaped = EscapedUtf8(decoder_, clean, kMaxNameUnits);
  if (escaped.empty()) escaped = "Sheet" + std::to_string(sheetNames_.size() + 1);
  sheetNames_.push_back(std::move(escaped));
  inSheet_ = true;
  if (!zip_.BeginEntry("xl/worksheets/sheet" + std::to_string(sheetNames_.size()) + ".xml")) return false;
  Raw(kXmlDeclaration);
  Raw("<worksheet xmlns=\"");
  Raw(kMainNs);
  Raw("\" xmlns:r=\"");
  Raw(kRelNs);
  Raw(sheetNames_.size() == 1 ? "\"><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"/></sheetViews>"
                              : "\"><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>");
  Raw("<sheetData>");
  return !zip_.failed();
}

void XlsxWriter::EndSheet() {
  if (!inSheet_) return;
  Raw(kSheetEnd);
  zip_.EndEntry();
  inSheet_ = false;
}

bool XlsxWriter::WriteRow(std::uint32_t row, std::span<const XlsxCell> cells) {
  if (!inSheet_) return false;
  char rowDigits[12];
  const std::size_t rowLen =
      static_cast<std::size_t>(std::to_chars(rowDigits, rowDigits + sizeof rowDigits, row + 1).ptr - rowDigits);
  bool open = false;
  std::uint32_t nextCol = 0;
  for (const XlsxCell& cell : cells) {
    const bool blank = cell.kind == XlsxCell::kBlank || (cell.kind == XlsxCell::kText && cell.text.empty());
    if (row >= kMaxRows || cell.col >= kMaxCols) {
      if (!blank) ++dropped_;
      continue;
    }
    if (blank && cell.style == 0) continue;
    const std::size_t textBytes = cell.kind == XlsxCell::kText ? cell.text.size() : 0;
    char* p = Room(kCellOverheadBytes + 2 * rowLen + textBytes * kMaxBytesPerChar);
    const bool first = !open;
    if (first) {
      p = Copy(p, "<row r=\"");
      p = Copy(p, {rowDigits, rowLen});
      p = Copy(p, "\">");
    }
    // A cell right after the one before it needs no reference: readers
    // place it in the next column.
    if (!first && cell.col == nextCol) {
      p = Copy(p, "<c");
    } else {
      p = Copy(p, "<c r=\"");
      p = ColumnName(p, cell.col);
      p = Copy(p, {rowDigits, rowLen});
      *p++ = '"';
    }
    nextCol = cell.col + 1;
    open = true;
    if (cell.style != 0) {
      p = Copy(p, " s=\"");
      p = std::to_chars(p, p + 8, cell.style).ptr;
      *p++ = '"';
    }
    if (blank) {
      p = Copy(p, "/>");
    } else if (cell.kind == XlsxCell::kNumber) {
      if (std::isfinite(cell.number)) {
        p = Copy(p, "><v>");
        p = std::to_chars(p, p + 32, cell.number).ptr;
        p = Copy(p, "</v></c>");
      } else {
        p = Copy(p, " t=\"e\"><v>#NUM!</v></c>");  // XLSX has no infinities
      }
    } else {
      const std::string_view text = cell.text;
      p = Copy(p, IsSpace(text.front()) || IsSpace(text.back()) ? " t=\"inlineStr\"><is><t xml:space=\"preserve\">"
                                                                 : " t=\"inlineStr\"><is><t>");
      bool plain = text.size() <= kMaxTextUnits;
      for (std::size_t i = 0; plain && i < text.size(); ++i) plain = kPlain.plain[static_cast<unsigned char>(text[i])];
      if (plain) {
        p = Copy(p, text);
      } else {
        const std::vector<char16_t>& units = decoder_.Decode(text);
        std::size_t n = units.size() < kMaxTextUnits ? units.size() : kMaxTextUnits;
        if (n < units.size() && units[n - 1] >= 0xD800 && units[n - 1] <= 0xDBFF) --n;
        p = EscapeUnits(p, units.data(), n);
      }
      p = Copy(p, "</t></is></c>");
    }
    Commit(p);
  }
  if (open) Raw("</row>");
  return !zip_.failed();
}

void XlsxWriter::Part(std::string_view name, const std::string& content) {
  zip_.BeginEntry(name);
  zip_.Write(content.data(), content.size());
  zip_.EndEntry();
}

std::string XlsxWriter::StylesXml() const {
  // Fonts and fills in the order styles first use them; fills 0 and 1 are
  // the two every book has (none and gray125).
  std::vector<std::uint32_t> fonts{kNoRgb}, fills{kNoRgb, kNoRgb};
  std::string xfs;
  for (const StyleKey& s : styles_) {
    std::size_t font = 0, fill = 0;
    if (s.font != kNoRgb) {
      for (font = 1; font < fonts.size() && fonts[font] != s.font; ++font) {
      }
      if (font == fonts.size()) fonts.push_back(s.font);
    }
    if (s.fill != kNoRgb) {
      for (fill = 2; fill < fills.size() && fills[fill] != s.fill; ++fill) {
      }
      if (fill == fills.size()) fills.push_back(s.fill);
    }
    xfs += "<xf numFmtId=\"0\" fontId=\"" + std::to_string(font) + "\" fillId=\"" + std::to_string(fill) +
           "\" borderId=\"0\" xfId=\"0\"" + (font ? " applyFont=\"1\"" : "") + (fill ? " applyFill=\"1\"" : "") + "/>";
  }
  std::string x(kXmlDeclaration);
  x += "<styleSheet xmlns=\"" + std::string(kMainNs) + "\"><fonts count=\"" + std::to_string(fonts.size()) + "\">";
  for (std::uint32_t rgb : fonts) {
    x += "<font><sz val=\"" + Number(fontPoints_) + "\"/>";
    if (rgb != kNoRgb) x += "<color " + RgbAttribute(rgb) + "/>";
    x += "<name val=\"" + fontName_ + "\"/><family val=\"2\"/></font>";
  }
  x += "</fonts><fills count=\"" + std::to_string(fills.size()) +
       "\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill>";
  for (std::size_t i = 2; i < fills.size(); ++i)
    x += "<fill><patternFill patternType=\"solid\"><fgColor " + RgbAttribute(fills[i]) +
         "/><bgColor indexed=\"64\"/></patternFill></fill>";
  x += "</fills><borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
       "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
       "<cellXfs count=\"" +
       std::to_string(styles_.size()) + "\">" + xfs +
       "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
       "</styleSheet>";
  return x;
}

std::string XlsxWriter::WorkbookXml() const {
  std::string x(kXmlDeclaration);
  x += "<workbook xmlns=\"" + std::string(kMainNs) + "\" xmlns:r=\"" + std::string(kRelNs) +
       "\"><bookViews><workbookView/></bookViews><sheets>";
  for (std::size_t i = 0; i < sheetNames_.size(); ++i)
    x += "<sheet name=\"" + sheetNames_[i] + "\" sheetId=\"" + std::to_string(i + 1) + "\" r:id=\"rId" +
         std::to_string(i + 1) + "\"/>";
  x += "</sheets></workbook>";
  return x;
}

bool XlsxWriter::Close() {
  if (closed_) return false;
  if (sheetNames_.empty()) AddSheet("Sheet1");  // a book has at least one sheet
  EndSheet();
  closed_ = true;
  const std::size_t sheets = sheetNames_.size();
  Part("xl/workbook.xml", WorkbookXml());

  std::string rels(kXmlDeclaration);
  rels += "<Relationships xmlns=\"" + std::string(kPackageRelNs) + "\">";
  for (std::size_t i = 1; i <= sheets; ++i)
    rels += "<Relationship Id=\"rId" + std::to_string(i) + "\" Type=\"" + std::string(kRelNs) +
            "/worksheet\" Target=\"worksheets/sheet" + std::to_string(i) + ".xml\"/>";
  rels += "<Relationship Id=\"rId" + std::to_string(sheets + 1) + "\" Type=\"" + std::string(kRelNs) +
          "/styles\" Target=\"styles.xml\"/></Relationships>";
  Part("xl/_rels/workbook.xml.rels", rels);
  Part("xl/styles.xml", StylesXml());
  Part("_rels/.rels", std::string(kXmlDeclaration) + "<Relationships xmlns=\"" + std::string(kPackageRelNs) +
                          "\"><Relationship Id=\"rId1\" Type=\"" + std::string(kRelNs) +
                          "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");

  constexpr std::string_view kType = "application/vnd.openxmlformats-officedocument.spreadsheetml.";
  std::string types(kXmlDeclaration);
  types += "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
           "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
           "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
           "<Override PartName=\"/xl/workbook.xml\" ContentType=\"" +
           std::string(kType) + "sheet.main+xml\"/><Override PartName=\"/xl/styles.xml\" ContentType=\"" +
           std::string(kType) + "styles+xml\"/>";
  for (std::size_t i = 1; i <= sheets; ++i)
    types += "<Override PartName=\"/xl/worksheets/sheet" + std::to_string(i) + ".xml\" ContentType=\"" +
             std::string(kType) + "worksheet+xml\"/>";
  types += "</Types>";
  Part("[Content_Types].xml", types);
  return zip_.Finish();
}

}  // namespace lotvue_xlsx
