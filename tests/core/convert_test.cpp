#include "core/convert.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "core/csv_export.h"
#include "core/language.h"
#include "core/xls_export.h"
#include "core/xls_library.h"
#include "tests/core/hand_lot.h"

namespace lotvue {
namespace {

using testing::HandLot;

class ConvertTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SelectLanguageTable(0);
    dir_ = std::filesystem::temp_directory_path() /
           ("lotvue-convert-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "nolib");
    lot_ = HandLot({"IR", "VF"}, {{"P1", "1", {"1.5mA", "0.7V"}},
                                  {"F2", "2", {"F 9.9mA", "0.8V"}},
                                  {"P3", "1", {"-12.3uA", "No Data"}}},
                   "v7", (dir_ / "A123.tsd").string());
  }
  void TearDown() override {
    SelectLanguageTable(0);
    std::filesystem::remove_all(dir_);
  }

  // The conversion as it runs when no spreadsheet library is installed.
  ConvertResult WithoutLibrary(int first, int last) {
    return ConvertWithLibraryFrom((dir_ / "nolib").string(), *lot_, first, last, settings_, messages_);
  }
  static std::string Read(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string CsvPath() const { return CsvPathOf(lot_->path); }
  std::string Expected(int first, int last, CsvFormat format) const {
    const CellRange r = DeviceCellRange(*lot_, first, last);
    return CsvText(*lot_, r.firstCell, r.endCell, format);
  }

  std::filesystem::path dir_;
  std::unique_ptr<LotData> lot_;
  AppSettingsData settings_;
  CollectedMessages messages_;
};

TEST_F(ConvertTest, MissingLibraryIsReportedAndTheCsvFileStillWritten) {
  struct Case {
    int xls, csv, format;
    bool csvWritten;
  };
  for (const Case& c : std::vector<Case>{{1, 1, 0, true}, {0, 1, 7, true}, {1, 0, 0, false}, {0, 0, 0, false}}) {
    SCOPED_TRACE("xls " + std::to_string(c.xls) + " csv " + std::to_string(c.csv));
    std::filesystem::remove(CsvPath());
    messages_.texts.clear();
    settings_.ConvertFileTypeXLS = c.xls;
    settings_.ConvertFileTypeCSV = c.csv;
    settings_.CSVFormat = c.format;
    const ConvertResult r = WithoutLibrary(-1, -1);
    EXPECT_EQ(messages_.texts, std::vector<std::string>{"Xls.dll no find."});
    EXPECT_FALSE(r.xlsWritten);
    EXPECT_EQ(r.csvWritten, c.csvWritten);
    EXPECT_EQ(std::filesystem::exists(CsvPath()), c.csvWritten);
    if (c.csvWritten) {
      EXPECT_EQ(Read(CsvPath()), Expected(-1, -1, CsvFormat::kData));
    }
    EXPECT_FALSE(std::filesystem::exists(TwoSheetBookPath(lot_->path)));
  }
}

TEST_F(ConvertTest, WithTheLibraryTheBookComesFirstAndItsFailureStopsTheCsv) {
  CXlsLibrary probe;
  if (probe.LoadFrom(LOTVUE_BIN_DIR) != 1) GTEST_SKIP() << "no spreadsheet library in " << LOTVUE_BIN_DIR;
  settings_.ConvertFileTypeXLS = 1;
  settings_.ConvertFileTypeCSV = 1;
  ConvertResult r = ConvertWithLibraryFrom(LOTVUE_BIN_DIR, *lot_, 2, 3, settings_, messages_);
  EXPECT_TRUE(messages_.texts.empty());
  EXPECT_TRUE(r.xlsWritten);
  EXPECT_TRUE(r.csvWritten);
  EXPECT_TRUE(std::filesystem::is_regular_file(TwoSheetBookPath(lot_->path)));
  EXPECT_EQ(Read(CsvPath()), Expected(2, 3, CsvFormat::kData));

  // A book that cannot be replaced: its message, and no CSV file either.
  std::filesystem::remove(TwoSheetBookPath(lot_->path));
  std::filesystem::remove(CsvPath());
  std::filesystem::create_directories(std::filesystem::path(TwoSheetBookPath(lot_->path)) / "busy");
  r = ConvertWithLibraryFrom(LOTVUE_BIN_DIR, *lot_, -1, -1, settings_, messages_);
  EXPECT_FALSE(r.xlsWritten);
  EXPECT_FALSE(r.csvWritten);
  ASSERT_EQ(messages_.texts.size(), 1u);
  EXPECT_EQ(messages_.texts[0], "Creat XLS File Error(My_Convert)(0)");
  EXPECT_FALSE(std::filesystem::exists(CsvPath()));
}

}  // namespace
}  // namespace lotvue
