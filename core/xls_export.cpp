#include "core/xls_export.h"

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "core/language.h"
#include "core/number_text.h"
#include "core/value_text.h"

namespace lotvue {

namespace {

constexpr int kNoFill = -1;

// The zero-terminated copy of a cell text the library needs; one buffer
// for all cells.
class CText {
 public:
  const char* operator()(std::string_view text) {
    buffer_.assign(text.data(), text.size());
    return buffer_.c_str();
  }

 private:
  std::string buffer_;
};

// The writer's view of one book: the library, the row cursor of the sheet
// being written and the lot.
class BookWriter {
 public:
  BookWriter(CXlsLibrary& lib, const LotData& lot) : lib_(lib), lot_(lot), w_(lot.columns()) {}

  // Deletes an old book of that name, creates the new one and sets its
  // default font. False (after the message) when it cannot.
  bool Open(const std::string& path, int sheets, ExportMessages& messages);
  bool Close() { return lib_.XlsCloseBook(book_) != 0; }

  int sheetCount() { return lib_.XlsGetSheetCount(); }
  void BeginSheet(int sheet, const char* name) {
    lib_.XlsSheetNo(sheet);
    lib_.XlsPutSheetName(name);
    r_ = 0;
  }

  void WriteSheetHead();
  // Row 0 of the device table as texts on the current row, then the next row.
  void WriteTitleRow() {
    for (int j = 0; j < w_; ++j) Text(j, lot_.deviceCells[static_cast<std::size_t>(j)]);
    ++r_;
  }
  // Device cell k: text or number, then its font colour.
  void WriteDeviceCell(std::size_t k, bool asNumber) {
    const int c = static_cast<int>(k % static_cast<std::size_t>(w_));
    const std::uint32_t pos = lib_.POS(c, r_, -1, -1);
    const std::string_view text = lot_.deviceCells[k];
    if (asNumber)
      lib_.XlsPutDouble(ScaledValueOf(text), pos);
    else
      lib_.XlsPutStr(ctext_(text), pos);
    lib_.XlsPutFontColor(XlsColorIndex(lot_.CellColorRef(k)), pos);
    if (c == w_ - 1) ++r_;
  }

  int width() const { return w_; }

 private:
  void Text(int col, std::string_view text) { lib_.XlsPutStr(ctext_(text), lib_.POS(col, r_, -1, -1)); }
  void Number(int col, double value) { lib_.XlsPutDouble(value, lib_.POS(col, r_, -1, -1)); }

  CXlsLibrary& lib_;
  const LotData& lot_;
  const int w_;
  int book_ = 0;
  int r_ = 0;
  CText ctext_;
};

bool BookWriter::Open(const std::string& path, int sheets, ExportMessages& messages) {
  const std::string error = Lang(kSlotCreatXlsError);
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && ::unlink(path.c_str()) != 0 && errno != ENOENT) {
    messages.Show(error + "(My_Convert)(0)");
    return false;
  }
  // The library takes the name in a zero-filled buffer of at least 256 bytes.
  std::vector<char> name(std::max<std::size_t>(256, path.size() + 1), '\0');
  path.copy(name.data(), path.size());
  if (lib_.XlsCreateBook(name.data(), lib_.creationArgument(), sheets, &book_) == 0) {
    messages.Show(error + "(My_Convert)(1)");
    return false;
  }
  lib_.XlsPutDefFontName(kXlsDefaultFontName);
  lib_.XlsPutDefFontPoint(kXlsDefaultFontPoints);
  return true;
}

void BookWriter::WriteSheetHead() {
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
        Number(2, AtofC(head[i]));
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
  lib_.XlsPutBackColor(kTitleRowBackColor, lib_.POS(0, r_, w_ - 1, r_));
}

bool LibraryUsable(CXlsLibrary& lib) { return lib.IsLoaded(); }

void ReportDropped(CXlsLibrary& lib, const std::string& path, ExportMessages& messages) {
  const long long dropped = lib.XlsGetDroppedCellCount();
  if (dropped > 0) messages.Show(DroppedCellsMessage(path, dropped));
}

}  // namespace

int XlsColorIndex(ColorRef color) {
  switch (color) {
    case kRed:
      return 10;
    case kBlue:
      return 12;
    case kMagenta:
      return 14;
    default:
      return 8;
  }
}

std::string TwoSheetBookPath(const std::string& lotPath) {
  return lotPath.substr(0, lotPath.size() < 3 ? 0 : lotPath.size() - 3) + "XLS";
}

std::string OneKindBookPath(const std::string& lotPath, int kind) {
  return lotPath.substr(0, lotPath.size() < 4 ? 0 : lotPath.size() - 4) + (kind == kKindData ? "_Data" : "_Scientific") +
         ".XLS";
}

int OneKindSheetCount(const LotData& lot) { return static_cast<int>(lot.deviceCells.rows() / kDevicesPerSheet) + 1; }

std::string DroppedCellsMessage(const std::string& bookPath, long long cells) {
  return bookPath + ": " + IntText(cells) + (cells == 1 ? " cell lies" : " cells lie") +
         " beyond the 65536 rows and 256 columns an XLS sheet can hold and " + (cells == 1 ? "was" : "were") +
         " left out.";
}

bool WriteTwoSheetBook(CXlsLibrary& lib, const LotData& lot, std::size_t firstCell, std::size_t endCell,
                       ExportMessages& messages) {
  if (!LibraryUsable(lib) || lot.columns() < 1) return false;
  const std::string path = TwoSheetBookPath(lot.path);
  BookWriter book(lib, lot);
  if (!book.Open(path, 2, messages)) return false;

  const std::size_t w = static_cast<std::size_t>(book.width());
  endCell = std::min(endCell, lot.deviceCells.size());
  for (int s = 0; s < book.sheetCount(); ++s) {
    book.BeginSheet(s, s == 0 ? "Data" : "Scientific");
    book.WriteSheetHead();
    if (firstCell > 0) book.WriteTitleRow();
    for (std::size_t k = firstCell; k < endCell; ++k) {
      const std::size_t c = k % w;
      book.WriteDeviceCell(k, s != 0 && !(c <= 1 || k <= w));
    }
  }
  if (!book.Close()) return false;
  ReportDropped(lib, path, messages);
  return true;
}

bool WriteOneKindBook(CXlsLibrary& lib, const LotData& lot, int kind, ExportMessages& messages,
                      const std::function<void(int row)>& progress) {
  if (!LibraryUsable(lib) || lot.columns() < 1) return false;
  const std::string path = OneKindBookPath(lot.path, kind);
  BookWriter book(lib, lot);
  if (!book.Open(path, OneKindSheetCount(lot), messages)) return false;

  const std::size_t w = static_cast<std::size_t>(book.width());
  const std::size_t size = lot.deviceCells.size();
  const std::size_t perSheet = w * kDevicesPerSheet;
  for (int s = 0; s < book.sheetCount(); ++s) {
    book.BeginSheet(s, IntText(s + 1).c_str());
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
  if (!book.Close()) return false;
  ReportDropped(lib, path, messages);
  return true;
}

}  // namespace lotvue
