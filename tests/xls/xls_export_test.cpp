// The two-sheet book and the one-kind books, written through the real
// library and read back with xlrd: sheet layout, texts and numbers,
// colours, the sheet split, the limits of a sheet and the failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "core/value_text.h"
#include "core/xls_export.h"
#include "xls_test_util.h"

namespace lotvue {
namespace {

using namespace xls_test;

class XlsExportTest : public BookTest {
 protected:
  std::string LotPath() { return folder / "A123.tsd"; }
};

// Rows 0 to 23 of every sheet: title, summary (pass and fail counts as
// numbers), item table without column 1 and without its empty row 6, and
// the device title row on fill 11.
void ExpectSheetHead(const XlsSheet& s, const LotData& lot, int shift = 0) {
  const int items = lot.items(), w = items + 2;
  EXPECT_EQ(s.TextAt(0, 0), "TAVO Test System VXT-5000");
  const char* const labels[] = {"DataFileName", "WaferNum", "SystemName", "DeviceName", "LotName", "OperatorName",
                                "TestFileName", "Comment",  "Pass",       "Fail",       "Yield"};
  if (shift == 0) {
    for (int row = 1; row <= 11; ++row) EXPECT_EQ(s.TextAt(row, 0), labels[row - 1]) << row;
  }
  const int pass = 9 + shift;
  ASSERT_TRUE(s.At(pass, 2) && s.At(pass + 1, 2));
  EXPECT_EQ(s.At(pass, 2)->kind, "number");
  EXPECT_EQ(s.At(pass, 2)->number, std::stoi(lot.headerCells[19]));
  EXPECT_EQ(s.At(pass + 1, 2)->number, std::stoi(lot.headerCells[21]));
  EXPECT_EQ(s.TextAt(pass + 2, 2), lot.headerCells[23]);
  const int itemRows[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 10};
  for (int k = 0; k < 10; ++k) {
    const int row = 13 + shift + k;
    EXPECT_EQ(s.At(row, 1), nullptr) << row;
    for (int i = 0; i < items; ++i)
      EXPECT_EQ(s.TextAt(row, i + 2), "r" + std::to_string(itemRows[k]) + "c" + std::to_string(i + 2)) << row;
  }
  EXPECT_EQ(s.TextAt(19 + shift, 0), "Average");
  const int title = 23 + shift;
  for (int c = 0; c < w; ++c) {
    ASSERT_NE(s.At(title, c), nullptr) << c;
    EXPECT_EQ(s.At(title, c)->fill, 11) << c;
  }
  EXPECT_EQ(s.TextAt(title, 0), "Serial");
  EXPECT_EQ(s.TextAt(title, 2), "Item1");
}

// Device d on sheet row `row`: serial and bin as text, values as text or as
// numbers, every cell in the colour of its result class.
void ExpectDeviceRow(const XlsSheet& s, int row, int d, int items, bool numbers) {
  EXPECT_EQ(s.TextAt(row, 0), (d % 4 == 0 ? "F" : "P") + std::to_string(d)) << row;
  EXPECT_EQ(s.At(row, 0)->font, d % 4 == 0 ? 10 : 8);
  EXPECT_EQ(s.At(row, 1)->kind, "text");
  for (int i = 0; i < items; ++i) {
    const auto* cell = s.At(row, i + 2);
    ASSERT_NE(cell, nullptr) << row;
    if (numbers) {
      EXPECT_EQ(cell->kind, "number");
      EXPECT_DOUBLE_EQ(cell->number, ScaledValueOf(ValueText(d, i)));
    } else {
      EXPECT_EQ(cell->text, ValueText(d, i));
    }
    EXPECT_EQ(cell->font, ExpectedFont(d, i)) << row << "," << i;
  }
}

TEST_F(XlsExportTest, TwoSheetBookOfTheWholeLotAndOfARange) {
  BuildLot(lot, 4, 3, LotPath());
  { std::ofstream(folder / "A123.XLS") << "old"; }  // replaced
  ASSERT_TRUE(WriteTwoSheetBook(lib, lot, 0, lot.deviceCells.size(), messages));
  EXPECT_TRUE(messages.texts.empty());
  auto book = ReadBook(folder / "A123.XLS");
  ASSERT_TRUE(book.read) << book.error;
  EXPECT_EQ(book.fontName, "宋体");
  EXPECT_EQ(book.fontHeight, 200);
  ASSERT_EQ(book.sheets.size(), 2u);
  EXPECT_EQ(book.sheets[0].name, "Data");
  EXPECT_EQ(book.sheets[1].name, "Scientific");
  for (int s = 0; s < 2; ++s) {
    const XlsSheet& sheet = book.sheets[s];
    ExpectSheetHead(sheet, lot);
    for (int d = 1; d <= 4; ++d) ExpectDeviceRow(sheet, 23 + d, d, 3, s == 1);
    EXPECT_EQ(sheet.rows, 28);
    EXPECT_EQ(sheet.cols, 5);
  }
  // Nothing else: 1 title + 22 summary + 10 x 4 item cells + 5 titles, then the devices.
  EXPECT_EQ(book.sheets[0].texts, 1 + 22 - 2 + 40 + 5 + 4 * 5);
  EXPECT_EQ(book.sheets[1].numbers, 2 + 4 * 3);

  // Devices 2 and 3 only: the same head and title row above them.
  const std::size_t w = 5;
  ASSERT_TRUE(WriteTwoSheetBook(lib, lot, w * 2, w * 4, messages));
  book = ReadBook(folder / "A123.XLS");
  ASSERT_TRUE(book.read) << book.error;
  for (int s = 0; s < 2; ++s) {
    ExpectSheetHead(book.sheets[s], lot);
    ExpectDeviceRow(book.sheets[s], 24, 2, 3, s == 1);
    ExpectDeviceRow(book.sheets[s], 25, 3, 3, s == 1);
    EXPECT_EQ(book.sheets[s].rows, 26);
  }
}

// An operator named "Pass" moves the cursor up one more row: everything
// after it lands one row higher.
TEST_F(XlsExportTest, SummaryTextPassMovesTheFollowingRowsUp) {
  BuildLot(lot, 2, 1, LotPath());
  lot.headerCells[11] = "Pass";
  ASSERT_TRUE(WriteTwoSheetBook(lib, lot, 0, lot.deviceCells.size(), messages));
  const auto book = ReadBook(folder / "A123.XLS");
  ASSERT_TRUE(book.read) << book.error;
  const XlsSheet& s = book.sheets.at(0);
  EXPECT_EQ(s.TextAt(5, 2), "Pass");  // over the lot name
  EXPECT_EQ(s.TextAt(6, 0), "TestFileName");
  EXPECT_EQ(s.TextAt(8, 0), "Pass");
  ExpectSheetHead(s, lot, -1);
  ExpectDeviceRow(s, 23, 1, 1, false);
}

// Sheets of at most 65000 devices, each with its own head and title row (in
// the default font), the values as texts or numbers by the kind; the
// progress is told of every device.
TEST_F(XlsExportTest, OneKindBooksOfBothKindsSplitIntoSheetsOf65000Devices) {
  const struct {
    int kind, devices, items;
    std::vector<int> devicesPerSheet;
  } cases[] = {{kKindScientific, 3, 2, {3}},
               {kKindData, 3, 2, {3}},
               {kKindData, 64998, 1, {64998}},
               {kKindData, 65000, 1, {65000, 0}},
               {kKindData, 130001, 1, {65000, 65000, 1}}};
  for (const auto& c : cases) {
    BuildLot(lot, c.devices, c.items, LotPath());
    int calls = 0, last = 0;
    ASSERT_TRUE(WriteOneKindBook(lib, lot, c.kind, messages, [&](int row) { ++calls, last = row; }));
    EXPECT_EQ(calls, c.devices);
    EXPECT_EQ(last, c.devices);
    const auto book = ReadBook(OneKindBookPath(LotPath(), c.kind), "--rows 0-24 --last 1");
    ASSERT_TRUE(book.read) << book.error;
    ASSERT_EQ(book.sheets.size(), c.devicesPerSheet.size()) << c.devices;
    int first = 1;
    for (std::size_t s = 0; s < book.sheets.size(); ++s) {
      const XlsSheet& sheet = book.sheets[s];
      const int n = c.devicesPerSheet[s];
      EXPECT_EQ(sheet.name, std::to_string(s + 1));
      EXPECT_EQ(sheet.rows, 24 + n);
      ExpectSheetHead(sheet, lot);
      EXPECT_EQ(sheet.At(23, 0)->font, 32767);
      if (n == 0) continue;
      ExpectDeviceRow(sheet, 24, first, c.items, c.kind == kKindScientific);
      ExpectDeviceRow(sheet, 23 + n, first + n - 1, c.items, c.kind == kKindScientific);
      first += n;
    }
  }
  EXPECT_TRUE(messages.texts.empty());
}

// A book of over 7 MB: its FAT needs more than the header's 109 entries.
TEST_F(XlsExportTest, BigBookHasDifatSectorsAndReadsBack) {
  BuildLot(lot, 100000, 4, LotPath());
  ASSERT_TRUE(WriteOneKindBook(lib, lot, kKindScientific, messages));
  const std::string path = folder / "A123_Scientific.XLS";
  const std::string header = ReadFileBytes(path).substr(0, 76);
  auto u32 = [&](int at) {
    return static_cast<unsigned char>(header[at]) | static_cast<unsigned char>(header[at + 1]) << 8 |
           static_cast<unsigned char>(header[at + 2]) << 16 | static_cast<unsigned>(header[at + 3]) << 24;
  };
  EXPECT_GT(u32(44), 109u);  // FAT sectors
  EXPECT_GE(u32(72), 1u);    // DIFAT sectors
  const auto book = ReadBook(path, "--last 1");
  ASSERT_TRUE(book.read) << book.error;
  ASSERT_EQ(book.sheets.size(), 2u);
  EXPECT_EQ(book.sheets[0].numbers + book.sheets[1].numbers, 2 * 2 + 100000L * 4);
  ExpectDeviceRow(book.sheets[1], 23 + 35000, 100000, 4, true);
}

// Cells beyond 65536 rows or 256 columns are left out and counted, once.
TEST_F(XlsExportTest, CellsBeyondTheSheetLimitsAreCountedInOneMessage) {
  const struct {
    int devices, items;
    long long dropped;
    int rows, cols;
  } cases[] = {
      {65600, 1, (65600 - 65512) * 3 * 2, 65536, 3},
      {2, 256, (11 + 1 + 2) * 2 * 2, 26, 256},
  };
  for (const auto& c : cases) {
    BuildLot(lot, c.devices, c.items, LotPath());
    messages.texts.clear();
    ASSERT_TRUE(WriteTwoSheetBook(lib, lot, 0, lot.deviceCells.size(), messages));
    EXPECT_EQ(messages.texts, std::vector<std::string>{DroppedCellsMessage(folder / "A123.XLS", c.dropped)});
    const auto book = ReadBook(folder / "A123.XLS", "--last 1");
    ASSERT_TRUE(book.read) << book.error;
    for (const auto& sheet : book.sheets) {
      EXPECT_EQ(sheet.rows, c.rows);
      EXPECT_EQ(sheet.cols, c.cols);
    }
    ExpectDeviceRow(book.sheets[1], c.rows - 1, c.rows - 24, std::min(c.items, 254), true);
  }
}

TEST_F(XlsExportTest, BookThatCannotBeDeletedOrCreatedGivesTheTaggedError) {
  BuildLot(lot, 1, 1, LotPath());
  std::filesystem::create_directory(folder / "A123.XLS");  // in the way, and not deletable as a file
  std::filesystem::create_directory(folder / "A123_Data.XLS");
  EXPECT_FALSE(WriteTwoSheetBook(lib, lot, 0, lot.deviceCells.size(), messages));
  EXPECT_FALSE(WriteOneKindBook(lib, lot, kKindData, messages));
  EXPECT_TRUE(std::filesystem::is_directory(folder / "A123.XLS"));

  lot.path = folder / "missing/A123.tsd";
  EXPECT_FALSE(WriteTwoSheetBook(lib, lot, 0, lot.deviceCells.size(), messages));
  EXPECT_EQ(messages.texts, (std::vector<std::string>{"Creat XLS File Error(My_Convert)(0)",
                                                      "Creat XLS File Error(My_Convert)(0)",
                                                      "Creat XLS File Error(My_Convert)(1)"}));
}

TEST_F(XlsExportTest, NoBookWithoutTheLibraryAndNoPartialBookAfterAFailedWrite) {
  BuildLot(lot, 30000, 4, LotPath());
  { std::ofstream(folder / "A123.XLS") << "old"; }
  CXlsLibrary missing;  // every call of a library that is not there gives 0
  const std::string empty = testing::TempFolder("no-library");
  EXPECT_EQ(missing.LoadFrom(empty, &messages), 0);
  int book = -5;
  const long long results[] = {missing.XlsCreateBook((empty + "/a.xls").c_str(), 2000, 1, &book), missing.XlsCloseBook(1),
                               missing.XlsGetSheetCount(),  missing.POS(1, 1, -1, -1),
                               missing.XlsPutStr("x", 0),   missing.XlsGetDroppedCellCount()};
  for (long long r : results) EXPECT_EQ(r, 0);
  EXPECT_EQ(book, -5);
  EXPECT_FALSE(WriteTwoSheetBook(missing, lot, 0, lot.deviceCells.size(), messages));
  EXPECT_EQ(messages.texts, std::vector<std::string>{"Xls.dll no find."});
  EXPECT_EQ(ReadFileBytes(folder / "A123.XLS"), "old");

  const bool written =
      UnderFileSizeLimit(1 << 20, [&] { return WriteTwoSheetBook(lib, lot, 0, lot.deviceCells.size(), messages); });
  EXPECT_FALSE(written);
  EXPECT_EQ(messages.texts.back(), "Creat XLS File Error(My_Convert)(1)");
  EXPECT_EQ(ReadFileBytes(folder / "A123.XLS"), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

TEST(XlsExportNames, ConvertingStateEndsWithAnException) {
  LotData lot;
  try {
    ConvertingState busy(lot);
    EXPECT_EQ(lot.loadState, kConverting);
    throw std::runtime_error("conversion ends early");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(lot.loadState, kIdle);
}

}  // namespace
}  // namespace lotvue
