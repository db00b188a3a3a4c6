#include "core/xlsx_export.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/book_layout.h"
#include "core/language.h"
#include "xls/xlsx_writer.h"

namespace lotvue {

namespace {

using lotvue_xlsx::XlsxCell;

// A new file that takes the place of path only when it is complete: it is
// written as a hidden temporary in the same folder and renamed over path
// by Commit; otherwise the temporary goes and the old file stays.
class ReplacingFile {
 public:
  ~ReplacingFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!temp_.empty()) ::unlink(temp_.c_str());
  }
  // False with errno set when the temporary cannot be made.
  bool Create(const std::string& path) {
    path_ = path;
    const std::size_t slash = path.rfind('/');
    temp_ = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + ".lotvue-XXXXXX";
    fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0) {
      temp_.clear();
      return false;
    }
    // The finished file gets the permissions of any new file (mkstemp makes it private).
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
    return true;
  }
  int fd() const { return fd_; }
  // False with errno set when the file cannot be completed or renamed.
  bool Commit() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 || ::rename(temp_.c_str(), path_.c_str()) != 0) return false;
    temp_.clear();
    return true;
  }

 private:
  std::string path_;
  std::string temp_;
  int fd_ = -1;
};

// The RGB colour of an index of the XLS palette as the books use it (the
// first eight entries of the standard palette); others have none.
std::uint32_t PaletteRgb(int index) {
  static constexpr std::uint32_t kStandard[8] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00,
                                                 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF};
  return index >= 8 && index < 16 ? kStandard[index - 8] : lotvue_xlsx::kNoRgb;
}

// The book as the XLSX writer takes it, row after row. The sheet head
// writes its rows out of order (and the "Pass" and "Average" rules go back
// to rows already written), so the last kWindowRows rows stay in memory,
// open to changes, before they are written; that is more than a sheet head
// has, and device rows only move forward.
class XlsxBookSink : public BookSink {
 public:
  bool Open(const std::string& path, int sheets, ExportMessages& messages) override;
  int SheetCount() override { return sheets_; }
  void BeginSheet(int sheet, const std::string& name) override;
  void Text(int col, int row, std::string_view text, int fontColor) override {
    if (Slot* s = At(col, row, true)) {
      Row& r = rows_[Index(row)];
      s->kind = text.empty() ? XlsxCell::kBlank : XlsxCell::kText;
      s->textAt = static_cast<std::uint32_t>(r.texts.size());
      s->textSize = static_cast<std::uint32_t>(text.size());
      r.texts.append(text);
      if (fontColor != kNoColor) s->font = static_cast<std::int8_t>(fontColor);
    }
  }
  void Number(int col, int row, double value, int fontColor) override {
    if (Slot* s = At(col, row, true)) {
      s->kind = XlsxCell::kNumber;
      s->number = value;
      if (fontColor != kNoColor) s->font = static_cast<std::int8_t>(fontColor);
    }
  }
  void BackColor(int firstCol, int lastCol, int row, int color) override {
    for (int c = firstCol; c <= lastCol; ++c)
      if (Slot* s = At(c, row, false)) s->fill = static_cast<std::int8_t>(color);
  }
  bool Close() override;

  long long dropped() const { return dropped_ + (writer_ ? writer_->dropped() : 0); }
  int error() const { return error_; }

 private:
  static constexpr int kWindowRows = 32;  // a power of two
  struct Slot {
    XlsxCell::Kind kind = XlsxCell::kBlank;
    std::int8_t font = kNoColor;
    std::int8_t fill = kNoColor;
    std::uint32_t textAt = 0, textSize = 0;
    double number = 0;
  };
  struct Row {
    int row = -1;  // -1: free
    std::vector<Slot> cells;
    std::string texts;
  };
  static std::size_t Index(int row) { return static_cast<std::size_t>(row) & (kWindowRows - 1); }
  Slot* At(int col, int row, bool value);
  void WriteRow(Row& r);
  // Writes the open rows before row; the window then starts there.
  void WriteRowsBefore(int row);
  std::uint16_t StyleOf(int font, int fill);

  ReplacingFile file_;
  std::optional<lotvue_xlsx::XlsxWriter> writer_;
  int sheets_ = 0;
  std::vector<Row> rows_ = std::vector<Row>(kWindowRows);
  int firstOpen_ = 0;  // rows before it are written
  std::vector<XlsxCell> cells_;
  std::vector<std::uint16_t> styles_;  // by (font + 1) * 65 + fill + 1
  long long dropped_ = 0;
  int error_ = 0;
};

bool XlsxBookSink::Open(const std::string& path, int sheets, ExportMessages& messages) {
  const std::string error = Lang(kSlotCreatXlsError);
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    messages.Show(error + "(My_Convert)(0)");
    return false;
  }
  if (!file_.Create(path)) {
    messages.Show(error + "(My_Convert)(1) " + path + ": " + std::strerror(errno));
    return false;
  }
  sheets_ = sheets;
  writer_.emplace(file_.fd());
  writer_->SetFont(kXlsDefaultFontName, kXlsDefaultFontPoints);
  return true;
}

XlsxBookSink::Slot* XlsxBookSink::At(int col, int row, bool value) {
  if (col < 0 || row < 0 || row < firstOpen_ || static_cast<std::uint32_t>(col) >= lotvue_xlsx::kMaxCols ||
      static_cast<std::uint32_t>(row) >= lotvue_xlsx::kMaxRows) {
    if (value) ++dropped_;
    return nullptr;
  }
  if (row >= firstOpen_ + kWindowRows) WriteRowsBefore(row - kWindowRows + 1);
  Row& r = rows_[Index(row)];
  if (r.row != row) {
    r.row = row;
    r.cells.clear();
    r.texts.clear();
  }
  if (static_cast<std::size_t>(col) >= r.cells.size()) r.cells.resize(static_cast<std::size_t>(col) + 1);
  return &r.cells[static_cast<std::size_t>(col)];
}

std::uint16_t XlsxBookSink::StyleOf(int font, int fill) {
  if (styles_.empty()) styles_.assign(65 * 65, 0xFFFF);
  std::uint16_t& style = styles_[static_cast<std::size_t>((font + 1) * 65 + fill + 1)];
  if (style == 0xFFFF) style = writer_->Style(PaletteRgb(font), PaletteRgb(fill));
  return style;
}

void XlsxBookSink::WriteRow(Row& r) {
  cells_.clear();
  for (std::size_t c = 0; c < r.cells.size(); ++c) {
    const Slot& s = r.cells[c];
    if (s.kind == XlsxCell::kBlank && s.font == kNoColor && s.fill == kNoColor) continue;
    XlsxCell cell;
    cell.col = static_cast<std::uint32_t>(c);
    cell.kind = s.kind;
    cell.style = StyleOf(s.font, s.fill);
    if (s.kind == XlsxCell::kText) cell.text = std::string_view(r.texts).substr(s.textAt, s.textSize);
    cell.number = s.number;
    cells_.push_back(cell);
  }
  writer_->WriteRow(static_cast<std::uint32_t>(r.row), cells_);
  r.row = -1;
}

void XlsxBookSink::WriteRowsBefore(int row) {
  const int end = std::min(row, firstOpen_ + kWindowRows);  // no row beyond is open
  for (int r = firstOpen_; r < end; ++r) {
    Row& open = rows_[Index(r)];
    if (open.row == r) WriteRow(open);
  }
  firstOpen_ = std::max(firstOpen_, row);
}

void XlsxBookSink::BeginSheet(int, const std::string& name) {
  WriteRowsBefore(firstOpen_ + kWindowRows);
  firstOpen_ = 0;
  writer_->AddSheet(name);
}

bool XlsxBookSink::Close() {
  WriteRowsBefore(firstOpen_ + kWindowRows);
  const bool written = writer_->Close();
  error_ = writer_->error();
  if (written && file_.Commit()) return true;
  if (error_ == 0) error_ = errno ? errno : EIO;
  return false;
}

bool WriteXlsx(const std::function<bool(XlsxBookSink&, const std::string&)>& write, const std::string& path,
               ExportMessages& messages) {
  XlsxBookSink sink;
  if (!write(sink, path)) {
    if (sink.error() != 0)
      messages.Show(Lang(kSlotCreatXlsError) + std::string("(My_Convert)(1) ") + path + ": " +
                    std::strerror(sink.error()));
    return false;
  }
  if (sink.dropped() > 0) messages.CellsLeftOut(DroppedCellsMessage(path, sink.dropped(), kXlsxSheetLimits));
  return true;
}

}  // namespace

std::string TwoSheetXlsxPath(const std::string& lotPath) {
  return lotPath.substr(0, lotPath.size() < 3 ? 0 : lotPath.size() - 3) + "xlsx";
}

std::string OneKindXlsxPath(const std::string& lotPath, int kind) {
  return lotPath.substr(0, lotPath.size() < 4 ? 0 : lotPath.size() - 4) +
         (kind == kKindData ? "_Data" : "_Scientific") + ".xlsx";
}

bool WriteTwoSheetXlsx(const LotData& lot, std::size_t firstCell, std::size_t endCell, ExportMessages& messages) {
  return WriteXlsx(
      [&](XlsxBookSink& sink, const std::string& path) {
        return WriteTwoSheetLayout(sink, path, lot, firstCell, endCell, messages);
      },
      TwoSheetXlsxPath(lot.path), messages);
}

bool WriteOneKindXlsx(const LotData& lot, int kind, ExportMessages& messages,
                      const std::function<void(int row)>& progress) {
  return WriteXlsx(
      [&](XlsxBookSink& sink, const std::string& path) {
        return WriteOneKindLayout(sink, path, lot, kind, kDevicesPerXlsxSheet, messages, progress);
      },
      OneKindXlsxPath(lot.path, kind), messages);
}

}  // namespace lotvue
