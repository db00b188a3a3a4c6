// Helpers of the XLS and XLSX tests: lots built by hand, temporary folders,
// and the books as xlrd (read_xls.py) or openpyxl (read_xlsx.py) read them
// back, in one form.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/export_messages.h"
#include "core/language.h"
#include "core/xls_library.h"
#include "tests/core/lot_files.h"

namespace lotvue::xls_test {

struct XlsCell {
  std::string kind;  // "text", "number", "blank" or (XLSX) "error"
  int font = -1;     // font colour index (32767: automatic)
  int fill = -1;     // solid fill colour index, -1 none
  std::string text;
  double number = 0;
};

struct XlsSheet {
  std::string name;
  int rows = 0;
  int cols = 0;
  long texts = 0, numbers = 0, blanks = 0;
  std::map<std::pair<int, int>, XlsCell> cells;  // (row, column) of the rows dumped
  const XlsCell* At(int row, int col) const;
  std::string TextAt(int row, int col) const;  // "" when no text cell is there
};

struct XlsBook {
  bool read = false;
  std::string error;  // what xlrd said when it could not read the book
  std::string fontName;
  int fontHeight = 0;
  std::vector<XlsSheet> sheets;
};

// A book ending in ".xlsx" is read by read_xlsx.py, others by read_xls.py;
// options: their row selection ("--rows 0-30 --last 2").
XlsBook ReadBook(const std::string& path, const std::string& options = "");

// The value text and colour of device d (1-based), item i (0-based) of BuildLot's lots.
std::string ValueText(int d, int i);
CellColor ValueColor(int d, int i);

// Fills lot with a HandLot of items "Item1"..., devices "P1" or (every
// fourth) "F4", bin 1 or 3, ValueText in ValueColor, at lotPath.
void BuildLot(LotData& lot, int devices, int items, const std::string& lotPath);

// Palette index of the text colour of device d, item i: black 8, red 10, magenta 14, blue 12.
int ExpectedFont(int d, int i);

using testing::ReadFileBytes;
using testing::UnderFileSizeLimit;
// A temporary folder named after the running test.
std::filesystem::path TestFolder();

// A book test: English texts, the real library, a lot and a folder of its own.
class BookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SelectLanguageTable(0);
    ASSERT_EQ(lib.LoadFrom(LOTVUE_BIN_DIR), 1);
  }
  const std::filesystem::path folder = TestFolder();
  CXlsLibrary lib;
  LotData lot;
  CollectedMessages messages;
};

}  // namespace lotvue::xls_test
