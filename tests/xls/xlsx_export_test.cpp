// The XLSX books read back with openpyxl: cell by cell, kind and colour
// against the XLS book of the same lot (read with xlrd), and beyond the XLS
// limits against the lot itself; their limits, failures, and LibreOffice.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>

#include "core/value_text.h"
#include "core/xlsx_export.h"
#include "xls_test_util.h"

namespace lotvue {
namespace {

using namespace xls_test;

void ExpectSameBooks(const XlsBook& xls, const XlsBook& xlsx, const std::string& what) {
  ASSERT_TRUE(xls.read && xlsx.read) << what << xls.error << xlsx.error;
  EXPECT_EQ(xlsx.fontName, xls.fontName);
  EXPECT_EQ(xlsx.fontHeight, xls.fontHeight);
  ASSERT_EQ(xlsx.sheets.size(), xls.sheets.size()) << what;
  for (std::size_t s = 0; s < xls.sheets.size(); ++s) {
    const auto& a = xls.sheets[s];
    const auto& b = xlsx.sheets[s];
    EXPECT_EQ(b.name, a.name);
    EXPECT_EQ(std::tie(b.rows, b.cols, b.texts, b.numbers, b.blanks),
              std::tie(a.rows, a.cols, a.texts, a.numbers, a.blanks))
        << what << " sheet " << s;
    ASSERT_EQ(b.cells.size(), a.cells.size()) << what;
    for (const auto& [at, cell] : a.cells) {
      const auto* other = b.At(at.first, at.second);
      ASSERT_NE(other, nullptr) << what << " " << at.first << "," << at.second;
      EXPECT_EQ(std::tie(other->kind, other->font, other->fill, other->text, other->number),
                std::tie(cell.kind, cell.font, cell.fill, cell.text, cell.number))
          << what << " sheet " << s << " cell " << at.first << "," << at.second;
    }
  }
}

using XlsxExportTest = BookTest;

TEST_F(XlsxExportTest, SameCellsAsTheXlsBooks) {
  const std::string path = folder / "A123.tsd";
  auto plain = [&] { BuildLot(lot, 5, 3, path); };
  auto passOperator = [&] {
    BuildLot(lot, 2, 1, path);
    lot.headerCells[11] = "Pass";
  };
  // Texts that need care in XML, in both encodings a result file may hold.
  auto oddTexts = [&] {
    BuildLot(lot, 3, 4, path);
    lot.headerCells[5] = "\xD6\xD0\xCE\xC4";  // GB18030
    lot.headerCells[7] = "中文 UTF-8";
    lot.headerCells[11] = " a&b<c>\"d\" ";
    lot.headerCells[15] = "x_x0041_y\x01\r\nz\t";
    lot.itemTable[2] = "_x005f_";
    lot.itemTable[3] = "";
    CellTable cells = lot.deviceCells;
    lot.deviceCells.Reset(cells.width());
    for (std::size_t k = 0; k < cells.size(); ++k) {
      lot.deviceCells.AddCell(k == 8 ? std::string_view() : cells[k], static_cast<CellColor>(k % 4));
      if (k % cells.width() == cells.width() - 1) lot.deviceCells.EndRow();
    }
  };
  for (const auto& build : std::vector<std::function<void()>>{plain, passOperator, oddTexts}) {
    build();
    const std::size_t w = static_cast<std::size_t>(lot.columns());
    for (const auto& [first, end] : {std::pair{std::size_t{0}, lot.deviceCells.size()}, std::pair{2 * w, 4 * w}}) {
      ASSERT_TRUE(WriteTwoSheetBook(lib, lot, first, end, messages));
      ASSERT_TRUE(WriteTwoSheetXlsx(lot, first, end, messages));
      ExpectSameBooks(ReadBook(folder / "A123.XLS"), ReadBook(folder / "A123.xlsx"), "two-sheet from " + std::to_string(first));
    }
    for (int kind : {kKindData, kKindScientific}) {
      ASSERT_TRUE(WriteOneKindBook(lib, lot, kind, messages));
      ASSERT_TRUE(WriteOneKindXlsx(lot, kind, messages));
      ExpectSameBooks(ReadBook(OneKindBookPath(path, kind)), ReadBook(OneKindXlsxPath(path, kind)), "one-kind");
    }
  }
  EXPECT_TRUE(messages.texts.empty());
}

// What an XLS sheet cannot hold, against the lot itself: 70,000 devices
// and 300 items, every cell there and no message.
TEST_F(XlsxExportTest, BeyondTheXlsLimitsEveryCellIsKept) {
  const struct {
    int devices, items;
  } cases[] = {{70000, 1}, {2, 300}};
  for (const auto& c : cases) {
    BuildLot(lot, c.devices, c.items, folder / "A123.tsd");
    ASSERT_TRUE(WriteTwoSheetXlsx(lot, 0, lot.deviceCells.size(), messages));
    const XlsBook book = ReadBook(folder / "A123.xlsx", "--rows 23 --last 1");
    ASSERT_TRUE(book.read) << book.error;
    for (int s = 0; s < 2; ++s) {
      const auto& sheet = book.sheets.at(static_cast<std::size_t>(s));
      EXPECT_EQ(sheet.rows, 24 + c.devices);
      EXPECT_EQ(sheet.cols, c.items + 2);
      EXPECT_EQ(sheet.numbers, 2 + (s == 1 ? static_cast<long>(c.devices) * c.items : 0));
      EXPECT_EQ(sheet.TextAt(23, c.items + 1), "Item" + std::to_string(c.items));
      const int d = c.devices;
      EXPECT_EQ(sheet.TextAt(23 + d, 0), (d % 4 == 0 ? "F" : "P") + std::to_string(d));
      for (int i = 0; i < c.items; ++i) {
        const auto* cell = sheet.At(23 + d, i + 2);
        ASSERT_NE(cell, nullptr);
        if (s == 1)
          EXPECT_EQ(cell->number, ScaledValueOf(ValueText(d, i)));
        else
          EXPECT_EQ(cell->text, ValueText(d, i));
        EXPECT_EQ(cell->font, ExpectedFont(d, i));
      }
    }
  }
  EXPECT_TRUE(messages.texts.empty());
}

TEST_F(XlsxExportTest, CellsBeyondTheXlsxLimitsAreCountedInOneMessage) {
  BuildLot(lot, 1048560, 1, folder / "A123.tsd");  // the last 8 device rows lie beyond row 1,048,575
  ASSERT_TRUE(WriteTwoSheetXlsx(lot, 0, lot.deviceCells.size(), messages));
  EXPECT_EQ(messages.texts, std::vector<std::string>{DroppedCellsMessage(folder / "A123.xlsx", 8 * 3 * 2,
                                                                         kXlsxSheetLimits)});
  EXPECT_EQ(messages.texts[0].substr(messages.texts[0].find(':')),
            ": 48 cells lie beyond the 1048576 rows and 16384 columns an XLSX sheet can hold and were left out.");
}

TEST_F(XlsxExportTest, FailuresKeepTheOldBookAndLeaveNothingBehind) {
  BuildLot(lot, 30000, 4, folder / "A123.tsd");
  std::filesystem::create_directory(folder / "A123_Data.xlsx");
  EXPECT_FALSE(WriteOneKindXlsx(lot, kKindData, messages));
  std::filesystem::remove(folder / "A123_Data.xlsx");
  { std::ofstream(folder / "A123.xlsx") << "old"; }

  const bool written =
      UnderFileSizeLimit(1 << 18, [&] { return WriteTwoSheetXlsx(lot, 0, lot.deviceCells.size(), messages); });
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadFileBytes(folder / "A123.xlsx"), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);

  lot.path = folder / "missing/A123.tsd";
  EXPECT_FALSE(WriteTwoSheetXlsx(lot, 0, lot.deviceCells.size(), messages));
  const std::string error = "Creat XLS File Error(My_Convert)(1) ";
  EXPECT_EQ(messages.texts,
            (std::vector<std::string>{"Creat XLS File Error(My_Convert)(0)",
                                      error + (folder / "A123.xlsx").string() + ": File too large",
                                      error + (folder / "missing/A123.xlsx").string() + ": No such file or directory"}));
}

// LibreOffice, when it is installed, reads the first sheet as the lot's texts.
TEST_F(XlsxExportTest, LibreOfficeConvertsTheBookToCsv) {
  if (std::system("command -v soffice >/dev/null 2>&1") != 0) GTEST_SKIP() << "LibreOffice (soffice) is not installed";
  BuildLot(lot, 3, 2, folder / "A123.tsd");
  ASSERT_TRUE(WriteTwoSheetXlsx(lot, 0, lot.deviceCells.size(), messages));
  const std::string command = "cd '" + folder.string() + "' && HOME='" + folder.string() +
                              "' soffice --headless --convert-to csv A123.xlsx >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream csv(folder / "A123.csv");
  std::vector<std::string> lines;
  for (std::string line; std::getline(csv, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 27u);
  EXPECT_EQ(lines[0], "TAVO Test System VXT-5000,,,");
  EXPECT_EQ(lines[23], "Serial,Bin,Item1,Item2");
  EXPECT_EQ(lines[26], "P3,1," + ValueText(3, 0) + "," + ValueText(3, 1));
}

}  // namespace
}  // namespace lotvue
