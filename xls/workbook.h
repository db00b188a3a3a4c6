// Workbook: the one book the library holds between XlsCreateBook and
// XlsCloseBook. It takes the cells of every sheet, keeps the strings,
// fonts and formats in memory and the cell records in the spool, and on
// closing writes the workbook globals, the sheets and the compound file
// around them to a file that replaces the output only when complete.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/replacing_file.h"
#include "xls/cell_formats.h"
#include "xls/cell_spool.h"
#include "xls/shared_strings.h"
#include "xls/text_decode.h"
#include "xls/worksheet.h"

namespace tavo_xls {

// A decoded position (see POS in tavo_xls.h).
struct Position {
  bool dropped = false;
  int row = 0;
  int firstCol = 0;
  int lastCol = 0;
  int cells = 0;  // of a dropped position
};

class Workbook {
 public:
  Workbook(std::string path, int sheets);
  ~Workbook();
  Workbook(const Workbook&) = delete;
  Workbook& operator=(const Workbook&) = delete;

  // Makes the new file and the spool beside the output; false when the
  // output cannot be replaced or the folder takes no new file.
  bool Open();
  // Writes everything and puts the file in place of the output; false on
  // any failure (the output is then as it was).
  bool Close();
  // Drops the book unwritten.
  void Discard();

  int sheetCount() const { return static_cast<int>(sheets_.size()); }
  bool SelectSheet(int sheet);
  void NameSheet(std::string_view name);
  void SetFontName(std::string_view name);
  void SetFontPoints(double points);

  bool PutText(std::string_view text, const Position& pos);
  bool PutNumber(double value, const Position& pos);
  bool PutFontColor(int color, const Position& pos);
  bool PutBackColor(int color, const Position& pos);

  long long dropped() const { return dropped_; }
  // errno of the failure of Open or Close.
  int error() const { return file_.error(); }

 private:
  void BuildGlobals(ByteBuffer& out, std::vector<std::size_t>& sheetOffsetFields);
  void FinishSheetNames();
  bool WriteFile();

  std::string path_;
  lotvue::ReplacingFile file_;
  std::vector<Worksheet> sheets_;
  int current_ = 0;
  TextDecoder decoder_;
  SharedStrings strings_;
  CellFormats formats_;
  CellSpool spool_;
  std::unique_ptr<RowWindow> window_;
  std::string scratch_;
  long long dropped_ = 0;
};

}  // namespace tavo_xls
