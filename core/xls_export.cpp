#include "core/xls_export.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include <sys/stat.h>

#include "core/book_layout.h"
#include "core/language.h"
#include "core/number_text.h"
#include "core/replacing_file.h"

namespace lotvue {

namespace {

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

// The book as the spreadsheet library writes it: every cell through POS
// and the value call, then its font colour.
class XlsLibrarySink : public BookSink {
 public:
  explicit XlsLibrarySink(CXlsLibrary& lib) : lib_(lib) {}

  // Creates the book that is to replace any old one of that name and sets
  // its default font. False (after the message) when it cannot.
  bool Open(const std::string& path, int sheets, ExportMessages& messages) override;
  int SheetCount() override { return lib_.XlsGetSheetCount(); }
  void BeginSheet(int sheet, const std::string& name) override {
    lib_.XlsSheetNo(sheet);
    lib_.XlsPutSheetName(name.c_str());
  }
  void Text(int col, int row, std::string_view text, int fontColor) override {
    const std::uint32_t pos = lib_.POS(col, row, -1, -1);
    lib_.XlsPutStr(ctext_(text), pos);
    if (fontColor != kNoColor) lib_.XlsPutFontColor(fontColor, pos);
  }
  void Number(int col, int row, double value, int fontColor) override {
    const std::uint32_t pos = lib_.POS(col, row, -1, -1);
    lib_.XlsPutDouble(value, pos);
    if (fontColor != kNoColor) lib_.XlsPutFontColor(fontColor, pos);
  }
  void BackColor(int firstCol, int lastCol, int row, int color) override {
    lib_.XlsPutBackColor(color, lib_.POS(firstCol, row, lastCol, row));
  }
  // Writes the book in place of the old one; false after the message.
  bool Close() override {
    if (lib_.XlsCloseBook(book_) != 0) return true;
    messages_->WriteFailed(std::string(Lang(kSlotCreatXlsError)) + "(My_Convert)(1)", path_, lib_.XlsGetLastError());
    return false;
  }

 private:
  CXlsLibrary& lib_;
  int book_ = 0;
  std::string path_;
  ExportMessages* messages_ = nullptr;
  CText ctext_;
};

bool XlsLibrarySink::Open(const std::string& path, int sheets, ExportMessages& messages) {
  path_ = path;
  messages_ = &messages;
  const std::string error = Lang(kSlotCreatXlsError);
  // An old book that could not be deleted (a folder, read-only, or in a
  // folder that refuses changes) cannot be replaced either. It stays until
  // the new book is complete.
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0) {
    if (const int blocker = ReplaceBlocker(path)) {
      messages.WriteFailed(error + "(My_Convert)(0)", path, blocker);
      return false;
    }
  }
  // The library takes the name in a zero-filled buffer of at least 256 bytes.
  std::vector<char> name(std::max<std::size_t>(256, path.size() + 1), '\0');
  path.copy(name.data(), path.size());
  if (lib_.XlsCreateBook(name.data(), lib_.creationArgument(), sheets, &book_) == 0) {
    messages.WriteFailed(error + "(My_Convert)(1)", path, lib_.XlsGetLastError());
    return false;
  }
  lib_.XlsPutDefFontName(kXlsDefaultFontName);
  lib_.XlsPutDefFontPoint(kXlsDefaultFontPoints);
  return true;
}

bool LibraryUsable(CXlsLibrary& lib) { return lib.IsLoaded(); }

void ReportDropped(CXlsLibrary& lib, const std::string& path, ExportMessages& messages) {
  const long long dropped = lib.XlsGetDroppedCellCount();
  if (dropped > 0) messages.CellsLeftOut(DroppedCellsMessage(path, dropped));
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

int OneKindSheetCount(const LotData& lot) { return SheetCountFor(lot, kDevicesPerSheet); }

std::string DroppedCellsMessage(const std::string& bookPath, long long cells, const SheetLimits& limits) {
  return bookPath + ": " + IntText(cells) + (cells == 1 ? " cell lies" : " cells lie") + " beyond the " +
         IntText(limits.rows) + " rows and " + IntText(limits.columns) + " columns an " + limits.format +
         " sheet can hold and " + (cells == 1 ? "was" : "were") + " left out.";
}

bool WriteTwoSheetBook(CXlsLibrary& lib, const LotData& lot, std::size_t firstCell, std::size_t endCell,
                       ExportMessages& messages) {
  if (!LibraryUsable(lib)) return false;
  const std::string path = TwoSheetBookPath(lot.path);
  XlsLibrarySink sink(lib);
  if (!WriteTwoSheetLayout(sink, path, lot, firstCell, endCell, messages)) return false;
  ReportDropped(lib, path, messages);
  return true;
}

bool WriteOneKindBook(CXlsLibrary& lib, const LotData& lot, int kind, ExportMessages& messages,
                      const std::function<void(int row)>& progress) {
  if (!LibraryUsable(lib)) return false;
  const std::string path = OneKindBookPath(lot.path, kind);
  XlsLibrarySink sink(lib);
  if (!WriteOneKindLayout(sink, path, lot, kind, kDevicesPerSheet, messages, progress)) return false;
  ReportDropped(lib, path, messages);
  return true;
}

}  // namespace lotvue
