#include "xls/workbook.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "xls/compound_file.h"

namespace tavo_xls {

namespace {

constexpr std::uint32_t kMaxSheetNameChars = 31;
constexpr std::uint32_t kMaxFontNameChars = 31;

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// Characters of a stored-form text as UTF-16 units.
std::u16string Units(const std::string& stored) {
  std::u16string u;
  const bool wide = stored[0] & 1;
  for (std::size_t i = 1; i < stored.size(); i += wide ? 2 : 1)
    u.push_back(wide ? static_cast<char16_t>(static_cast<unsigned char>(stored[i]) |
                                             (static_cast<unsigned char>(stored[i + 1]) << 8))
                     : static_cast<char16_t>(static_cast<unsigned char>(stored[i])));
  return u;
}

std::string Stored(const std::u16string& u, std::uint32_t& chars) {
  bool wide = false;
  for (char16_t c : u) wide = wide || c > 0xFF;
  std::string s(1, wide ? 1 : 0);
  for (char16_t c : u) {
    s.push_back(static_cast<char>(c & 0xFF));
    if (wide) s.push_back(static_cast<char>(c >> 8));
  }
  chars = static_cast<std::uint32_t>(u.size());
  return s;
}

std::u16string Lower(std::u16string u) {
  for (char16_t& c : u)
    if (c >= 'A' && c <= 'Z') c = static_cast<char16_t>(c - 'A' + 'a');
  return u;
}

void WriteBof(ByteBuffer& out, std::uint16_t kind) {
  const std::size_t at = out.BeginRecord(kRecBof);
  out.U16(0x0600);
  out.U16(kind);
  out.U16(0x0DBB);
  out.U16(0x07CC);
  out.U32(0);
  out.U32(0x06);
  out.EndRecord(at);
}

void WriteU16Record(ByteBuffer& out, std::uint16_t type, std::uint16_t value) {
  const std::size_t at = out.BeginRecord(type);
  out.U16(value);
  out.EndRecord(at);
}

}  // namespace

Workbook::Workbook(std::string path, int sheets) : path_(std::move(path)), sheets_(static_cast<std::size_t>(sheets)) {
  decoder_.ReadEnvironment();
}

Workbook::~Workbook() { Discard(); }

bool Workbook::Open() {
  if (!file_.Open(path_)) return false;
  if (!spool_.Open(FolderOf(file_.target()), sheetCount())) {
    file_.Fail(errno);
    Discard();
    return false;
  }
  window_ = std::make_unique<RowWindow>(spool_, formats_, strings_);
  window_->Select(0, &sheets_[0]);
  return true;
}

void Workbook::Discard() { file_.Discard(); }

bool Workbook::SelectSheet(int sheet) {
  if (sheet < 0 || sheet >= sheetCount()) return false;
  current_ = sheet;
  window_->Select(sheet, &sheets_[static_cast<std::size_t>(sheet)]);
  return true;
}

void Workbook::NameSheet(std::string_view name) {
  Worksheet& s = sheets_[static_cast<std::size_t>(current_)];
  decoder_.Encode(name, scratch_, kMaxSheetNameChars);
  std::u16string u = Units(scratch_);
  for (char16_t& c : u)
    if (c == ':' || c == '\\' || c == '/' || c == '?' || c == '*' || c == '[' || c == ']') c = '_';
  s.name = Stored(u, s.nameChars);
}

void Workbook::FinishSheetNames() {
  // Unnamed sheets are "Sheet1", "Sheet2", ...; a name used twice gets "_2", "_3", ...
  std::vector<std::u16string> taken;
  for (std::size_t i = 0; i < sheets_.size(); ++i) {
    Worksheet& s = sheets_[i];
    std::u16string name;
    if (s.nameChars == 0) {
      for (char c : "Sheet" + std::to_string(i + 1)) name.push_back(static_cast<char16_t>(c));
    } else {
      name = Units(s.name);
    }
    std::u16string candidate = name;
    for (int n = 2;; ++n) {
      bool clash = false;
      for (const auto& t : taken) clash = clash || t == Lower(candidate);
      if (!clash) break;
      std::u16string suffix;
      for (char c : "_" + std::to_string(n)) suffix.push_back(static_cast<char16_t>(c));
      candidate = name.substr(0, kMaxSheetNameChars - suffix.size()) + suffix;
    }
    taken.push_back(Lower(candidate));
    s.name = Stored(candidate, s.nameChars);
  }
}

void Workbook::SetFontName(std::string_view name) {
  const std::uint32_t chars = decoder_.Encode(name, scratch_, kMaxFontNameChars);
  formats_.SetFontName(scratch_, chars);
}

void Workbook::SetFontPoints(double points) {
  if (!(points >= 1.0)) points = 1.0;
  if (points > 409.0) points = 409.0;
  formats_.SetFontHeight(static_cast<std::uint16_t>(std::lround(points * 20.0)));
}

bool Workbook::PutText(std::string_view text, const Position& pos) {
  if (pos.dropped) {
    dropped_ += pos.cells;
    return false;
  }
  const std::uint32_t chars = decoder_.Encode(text, scratch_, kMaxCellChars);
  CellSlot& cell = window_->Cell(pos.row, pos.firstCol);
  if (chars == 0) {
    cell.kind = CellKind::BlankText;
  } else {
    window_->SetText(cell, scratch_, chars);
  }
  return true;
}

bool Workbook::PutNumber(double value, const Position& pos) {
  if (pos.dropped) {
    dropped_ += pos.cells;
    return false;
  }
  CellSlot& cell = window_->Cell(pos.row, pos.firstCol);
  cell.kind = CellKind::Number;
  cell.number = value;
  return true;
}

bool Workbook::PutFontColor(int color, const Position& pos) {
  if (pos.dropped || color < 0 || color >= kPaletteSize) return false;
  for (int c = pos.firstCol; c <= pos.lastCol; ++c) window_->Cell(pos.row, c).font = static_cast<std::uint8_t>(color);
  return true;
}

bool Workbook::PutBackColor(int color, const Position& pos) {
  if (pos.dropped || color < 0 || color >= kPaletteSize) return false;
  for (int c = pos.firstCol; c <= pos.lastCol; ++c) window_->Cell(pos.row, c).back = static_cast<std::uint8_t>(color);
  return true;
}

void Workbook::BuildGlobals(ByteBuffer& out, std::vector<std::size_t>& sheetOffsetFields) {
  WriteBof(out, 0x0005);
  WriteU16Record(out, kRecInterfaceHdr, 1200);
  WriteU16Record(out, kRecMms, 0);
  std::size_t at = out.BeginRecord(kRecInterfaceEnd);
  out.EndRecord(at);
  WriteU16Record(out, kRecCodePage, 1200);  // texts are Unicode
  WriteU16Record(out, kRecDsf, 0);

  at = out.BeginRecord(kRecWindow1);
  out.U16(0x01E0);  // window position and size, in twips
  out.U16(0x005A);
  out.U16(0x3FCF);
  out.U16(0x2A4E);
  out.U16(0x0038);  // scroll bars and sheet tabs shown
  out.U16(0);       // selected sheet
  out.U16(0);       // first tab shown
  out.U16(1);       // one tab selected
  out.U16(0x0258);  // tab bar width
  out.EndRecord(at);

  WriteU16Record(out, kRecDate1904, 0);
  WriteU16Record(out, kRecPrecision, 1);
  WriteU16Record(out, kRecBookBool, 0);

  formats_.WriteRecords(out);

  for (const Worksheet& s : sheets_) {
    at = out.BeginRecord(kRecBoundSheet);
    sheetOffsetFields.push_back(out.size());
    out.U32(0);  // stream position of the sheet's BOF, filled in later
    out.U8(0);   // visible
    out.U8(0);   // worksheet
    out.U8(static_cast<std::uint8_t>(s.nameChars));
    out.Bytes(s.name.data(), s.name.size());
    out.EndRecord(at);
  }

  strings_.WriteRecords(out);
  at = out.BeginRecord(kRecEof);
  out.EndRecord(at);
}

bool Workbook::WriteFile() {
  window_->FlushAll();
  if (!spool_.Flush()) {
    file_.Fail(spool_.error());
    return false;
  }
  FinishSheetNames();

  ByteBuffer globals;
  std::vector<std::size_t> offsetFields;
  BuildGlobals(globals, offsetFields);
  std::uint64_t size = globals.size();
  for (std::size_t i = 0; i < sheets_.size(); ++i) {
    if (size > 0xFFFFFFFFull) {
      file_.Fail(EFBIG);
      return false;
    }
    globals.PatchU32(offsetFields[i], static_cast<std::uint32_t>(size));
    size += Worksheet::kPrefixBytes + spool_.SheetBytes(static_cast<int>(i)) + Worksheet::kSuffixBytes;
  }

  CompoundLayout layout;
  if (!CompoundLayout::Compute(size, layout)) {
    file_.Fail(EFBIG);
    return false;
  }
  CompoundFileWriter file(file_.fd(), layout);
  const auto failed = [&] {
    file_.Fail(file.error());
    return false;
  };
  if (!file.Begin() || !file.Write(globals.data(), globals.size())) return failed();
  globals = ByteBuffer();
  ByteBuffer around;
  for (std::size_t i = 0; i < sheets_.size(); ++i) {
    around.clear();
    sheets_[i].WritePrefix(around);
    if (!file.Write(around.data(), around.size())) return failed();
    for (const CellSpool::Chunk& c : spool_.SheetChunks(static_cast<int>(i)))
      if (!file.CopyFrom(spool_.fd(), c.offset, c.size)) return failed();
    around.clear();
    sheets_[i].WriteSuffix(around, i == 0);
    if (!file.Write(around.data(), around.size())) return failed();
  }
  return file.Finish() || failed();
}

bool Workbook::Close() {
  if (file_.fd() < 0) return false;
  if (WriteFile() && file_.Commit()) return true;
  Discard();
  return false;
}

}  // namespace tavo_xls
