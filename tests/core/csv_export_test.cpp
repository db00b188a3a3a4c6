#include "core/csv_export.h"
#include "core/convert.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include <gtest/gtest.h>

#include "core/csv_scientific.h"
#include "core/language.h"
#include "core/number_text.h"
#include "core/result_file.h"
#include "core/value_text.h"
#include "core/xls_export.h"
#include "core/xls_library.h"
#include "tests/core/lot_files.h"

namespace lotvue {
namespace {

using testing::HandLot;
namespace fs = std::filesystem;

// Lines 1 to 23 of the CSV file of the two-item lot below; its comment holds a comma.
const std::string kHead =
    "TAVO Test System VXT-5000\r\nDataFileName,v0\r\nWaferNum,v1\r\nSystemName,v2\r\nDeviceName,v3\r\n"
    "LotName,v4\r\nOperatorName,v5\r\nTestFileName,v6\r\nComment,a,b,\r\nPass,2\r\nFail,1\r\nYield,50.000%\r\n"
    "\r\n"
    "Item Name,,r0c2,r0c3\r\nBias1,,r1c2,r1c3\r\nBias2,,r2c2,r2c3\r\nBias3,,r3c2,r3c3\r\n"
    "Min Limit,,r4c2,r4c3\r\nMax Limit,,r5c2,r5c3\r\n"
    "Average,,r7c2,r7c3\r\nSTDEV,,r8c2,r8c3\r\nMin Data,,r9c2,r9c3\r\nMax Data,,r10c2,r10c3\r\n";
const std::string kTitle = "Serial,Bin,IR,VF\r\n";
const std::string kDev[] = {"", "P1,1, 1.234mV,-12.3uA\r\n", "F2,3,F 1.5mA,No Data\r\n", "P3,1,12.3mV,-0.5\r\n"};

std::unique_ptr<LotData> ThreeDevices() {
  return HandLot({"IR", "VF"},
                 {{"P1", "1", {" 1.234mV", "-12.3uA"}}, {"F2", "3", {"F 1.5mA", "No Data"}}, {"P3", "1", {"12.3mV", "-0.5"}}},
                 "a,b");
}

std::string Csv(const LotData& lot, int first, int last, CsvFormat format = CsvFormat::kData) {
  const CellRange r = DeviceCellRange(lot, first, last);
  return CsvText(lot, r.firstCell, r.endCell, format);
}

TEST(CsvExport, WholeLotAndPartialRanges) {
  auto lot = ThreeDevices();
  // The whole lot writes the title row once, as the first device-table row.
  EXPECT_EQ(Csv(*lot, -1, -1), kHead + kTitle + kDev[1] + kDev[2] + kDev[3]);
  for (auto [first, last] : {std::pair{3, 3}, std::pair{1, 1}, std::pair{2, 3}, std::pair{1, 3}}) {
    std::string devices;
    for (int d = first; d <= last; ++d) devices += kDev[d];
    EXPECT_EQ(Csv(*lot, first, last), kHead + kTitle + devices) << first << "-" << last;
  }
  EXPECT_EQ(CsvPathOf("/lots/A123.tsd"), "/lots/A123.CSV");
}

// Scientific cells are made from the digits of their texts and Value cells
// are cut 16 bytes at a time; both must give the bytes of the routines for
// every text a result cell can hold, and for texts that take the rule itself.
// The value texts: every mantissa and exponent up to 23 (from 21 on the
// prefix is '?'; the texts of higher exponents repeat those of 21 to 23, as
// checked here) after each status letter or none, with the unit none, a
// plain letter, a prefix letter (the prefix when the prefix is a blank or
// '?') and a blank; every unit byte with every 61st mantissa. Value texts
// are read with bytes of earlier texts behind them, the others without.
TEST(CsvExport, FastCellsFollowTheRoutines) {
  std::vector<std::string> texts = {
      "", "No Data", "F No Data", "Over", "Open", "F Over", "F Open", "Short", "F Short", "Aval", "F Aval", "f Aval",
      "CoverOpen", "PreShort", "PreOpen", "ID_Over", "TG_High", "TG_Low", "PostShort", "Fail1", "Fail2", "IGBT_Err",
      "VCC_Low", "VCC_High", "HardError", "LV", "1ch", "2ch", "VXT", "CV", "#N/A",
      "-0", "+0.5", "nan", "-inf", "NaN", "nAn(1)", "INFINITY", "In", "0x1F", "1e3", "1.5E-3mA", "9999999", "99999995",
      "12345675", "1.2345675", "1.0000000u", ".5", "5.", "-.5k", ".", "-", "--1", "- 1", "1.5.3m", "m1.5", "1,5mA",
      "\x80\xFF" "1.5mA", "0000000000000001m", " \t12.5kV\r\n", "0." + std::string(320, '0') + "1",
      "1" + std::string(300, '0') + "M", "1234567", "-1234567m", " 123456.7k", "12345678", "-0.000m", "0000000",
      " 00.00 ", "1.234 5", "1.2?m", "7 x", "1.5 \xFFm", " -1.5m", "  1.5m", "-1..5",
      " 1.5m" + std::string(20, ' ') + "k"};
  std::size_t wrong = 0;
  std::string firstWrong;
  const auto check = [&](std::string_view t, const char* readableEnd) {
    char fast[64];
    char rule[64];
    const std::string_view made(fast, WriteScientificText(t, readableEnd, fast));
    if (made != std::string_view(rule, WriteScientificE3(ScaledValueOf(t), rule)) && wrong++ == 0) firstWrong = t;
  };
  char text[24] = {};
  const auto valueText = [&](const char* status, int m, int e, int unit) {
    const std::size_t head = std::strlen(status);
    std::memcpy(text, status, head);
    const PackedValue v{static_cast<std::int16_t>(m), 0x10, static_cast<std::uint8_t>(e)};
    return std::string_view(text, head + WriteResultValue(v, static_cast<std::uint8_t>(unit), text + head));
  };
  for (const char* status : {"", "F", "O", "f"}) {
    for (int e = 0; e <= 23; ++e) {
      for (int unit : *status ? std::vector<int>{'V'} : std::vector<int>{0, 'V', 'm', ' '}) {
        for (int m = -32768; m <= 32767; ++m) check(valueText(status, m, e, unit), text + sizeof text);
      }
      for (int unit = 0; unit < 256; ++unit) {
        for (int m : {0, -1, 7, 1234, -9999, 10000, -32768}) texts.emplace_back(valueText(status, m, e, unit));
      }
    }
  }
  for (int e = 0; e <= 23; ++e) {
    for (int unit = 0; unit < 256; ++unit) {
      for (int m = -32768; m <= 32767; m += 61) check(valueText("", m, e, unit), text + sizeof text);
    }
  }
  std::size_t repeats = 0;
  for (int e = 24; e <= 255; ++e) {
    for (int m = -32768; m <= 32767; ++m) {
      const std::string seen(valueText("", m, e, 'V'));
      repeats += seen != valueText("", m, 21 + e % 3, 'V');
    }
  }
  EXPECT_EQ(repeats, 0u);
  for (const std::string& t : texts) check(t, t.data() + t.size());
  ASSERT_EQ(wrong, 0u) << "the first: \"" << firstWrong << '"';

  // The texts once more through the writer, in rows of 1000, most with bytes
  // of the row behind them (over 150 rows: two formatting threads). Serial,
  // bin and the title row keep their texts.
  std::vector<testing::HandDevice> rows;
  std::string title = "Serial,Bin";
  for (int i = 0; i < 1000; ++i) title += ",1.5mA";
  std::string value = title + "\r\n";
  std::string scientific = value;
  for (std::size_t i = 0; i + 1000 <= texts.size(); i += 1000) {
    rows.push_back({"P1.5m", "2.5k", {texts.begin() + i, texts.begin() + i + 1000}});
    value += "P1.5m,2.5k";
    scientific += "P1.5m,2.5k";
    for (std::size_t j = i; j < i + 1000; ++j) {
      value += "," + std::string(CutAtUnit(std::string_view(texts[j])));
      scientific += "," + ScientificE3Text(ScaledValueOf(texts[j]));
    }
    value += "\r\n";
    scientific += "\r\n";
  }
  auto lot = HandLot(std::vector<std::string>(1000, "1.5mA"), rows);
  const std::string valueCsv = Csv(*lot, -1, -1, CsvFormat::kValue);
  const std::string scientificCsv = Csv(*lot, -1, -1, CsvFormat::kScientific);
  EXPECT_TRUE(valueCsv.substr(valueCsv.size() - value.size()) == value);
  EXPECT_TRUE(scientificCsv.substr(scientificCsv.size() - scientific.size()) == scientific);
}

// Scientific texts made from packed results are those of the rule on the
// texts the reader makes of them. The plain value: every mantissa with the
// exponents up to 23 and the units none, a plain letter and a prefix
// letter; every 251st mantissa with every unit byte; every 61st with the
// exponents from 24 on. Every status byte on the three kinds of item with
// mantissas and exponents of every shape.
TEST(CsvExport, PackedResultsGiveTheScientificTextsOfTheirTexts) {
  std::size_t wrong = 0;
  std::string firstWrong;
  std::map<std::pair<std::uint32_t, int>, PackedScientific> kinds;
  const auto check = [&](std::uint32_t type, int unit, int status, int m, int e) {
    const PackedValue v{static_cast<std::int16_t>(m), static_cast<std::uint8_t>(status), static_cast<std::uint8_t>(e)};
    const std::uint8_t packed[4] = {static_cast<std::uint8_t>(m), static_cast<std::uint8_t>(m >> 8), v.status, v.exponent};
    const PackedScientific& column = kinds.try_emplace({type, unit}, type, static_cast<std::uint8_t>(unit)).first->second;
    const PackedScientific* columns[] = {&column};
    char made[PackedScientific::kMaxText + 16];
    const std::string text = ResultText(v, type, static_cast<std::uint8_t>(unit));
    const std::string want = ScientificE3Text(ScaledValueOf(text)) + ",";
    if (!column.KnowsEveryStatus() ||
        std::string_view(made, WriteScientificResults(columns, packed, 1, made) - made) != want) {
      if (wrong++ == 0) firstWrong = text + " status " + std::to_string(status) + " unit " + std::to_string(unit);
    }
  };
  for (int unit : {0, int{'V'}, int{'m'}}) {
    for (int e = 0; e <= 23; ++e) {
      for (int m = -32768; m <= 32767; ++m) check(0, unit, 0x10, m, e);
    }
  }
  for (int unit = 0; unit < 256; ++unit) {
    for (int e = 0; e <= 23; ++e) {
      for (int m = -32768; m <= 32767; m += 251) check(0, unit, 0x10, m, e);
    }
  }
  for (int e = 24; e <= 255; ++e) {
    for (int m = -32768; m <= 32767; m += 61) check(0, 'V', 0x10, m, e);
  }
  for (std::uint32_t type : {0u, kOpenItem, kPinMaskItem}) {
    for (int unit : {0, int{'A'}, int{'k'}}) {
      for (int status = 0; status < 256; ++status) {
        for (int m : {0, 1, -1, 1234, -9999, 10000, -32768, 32767}) {
          for (int e : {0, 14, 20, 21, 255}) check(type, unit, status, m, e);
        }
      }
    }
  }
  EXPECT_EQ(wrong, 0u) << "the first: \"" << firstWrong << '"';
}

TEST(CsvExport, RowsAndCellsLargerThanTheBuffer) {
  // 300 items, a comment larger than the buffer, and one row larger than it.
  const std::string huge(ReplacingWriter::kBufferBytes + 100, '7');
  std::vector<testing::HandDevice> devices;
  for (int d = 1; d <= 400; ++d) {
    devices.push_back({"P" + std::to_string(d), "1", {}});
    for (int i = 0; i < 300; ++i) devices.back().values.push_back(d == 2 && i == 1 ? huge : std::to_string(i) + "mA");
  }
  auto lot = HandLot(std::vector<std::string>(300, "T"), devices, huge);
  const std::string data = Csv(*lot, -1, -1);
  const std::string value = Csv(*lot, -1, -1, CsvFormat::kValue);
  const std::string scientific = Csv(*lot, -1, -1, CsvFormat::kScientific);
  // Compared as booleans: a failure should not print megabytes.
  EXPECT_TRUE(data.find("\r\nComment," + huge + ",\r\nPass,") != std::string::npos);
  EXPECT_TRUE(data.find("\r\nP2,1,0mA," + huge + ",2mA,") != std::string::npos);
  EXPECT_TRUE(value.find("\r\nP2,1,0," + huge + ",2,") != std::string::npos);
  EXPECT_NE(scientific.find("\r\nP2,1,0.000000E+000,INF,2.000000E-003,"), std::string::npos);
  EXPECT_EQ(std::count(data.begin(), data.end(), '\n'), 24 + 400);
  EXPECT_EQ(scientific.substr(scientific.size() - 30), ",2.980000E-001,2.990000E-001\r\n");
}

// ---------------------------------------------------------------------------
// Writing the file

class CsvFileTest : public ::testing::Test {
 protected:
  void TearDown() override { fs::remove_all(dir_); }
  static std::string Read(const fs::path& p) { return testing::ReadFileBytes(p); }
  // Every name in the folder: a temporary file left behind would show here.
  std::size_t Entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {})); }
  bool WriteLot(const fs::path& p) { return WriteCsvFile(p.string(), *lot_, 0, lot_->deviceCells.size(), CsvFormat::kData); }

  const fs::path dir_ = testing::TempFolder(std::string("csv-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
  const fs::path csv_ = dir_ / "A123.CSV";
  std::unique_ptr<LotData> lot_ = ThreeDevices();
  const std::string bytes_ = Csv(*lot_, -1, -1);
};

TEST_F(CsvFileTest, ReplacesAnOldFileOnlyWhenComplete) {
  std::ofstream(csv_, std::ios::binary) << std::string(5'000'000, 'x');
  fs::permissions(csv_, fs::perms(0640));
  {
    ReplacingWriter out;
    ASSERT_TRUE(out.Open(csv_.string()));
    out.Put(std::string(3 * ReplacingWriter::kBufferBytes, 'n'));
    EXPECT_EQ(Entries(), 1u);  // the growing new file has no name yet
  }
  EXPECT_EQ(Read(csv_), std::string(5'000'000, 'x'));  // abandoned: the old file stays, the new one is gone
  EXPECT_EQ(Entries(), 1u);
  ASSERT_TRUE(WriteLot(csv_));
  EXPECT_EQ(Read(csv_), bytes_);
  EXPECT_EQ(fs::status(csv_).permissions(), fs::perms(0640));
  EXPECT_EQ(Entries(), 1u);
}

// A read-only file, a folder in its place, a missing folder and one that
// refuses new files (as a read-only folder does).
TEST_F(CsvFileTest, UnwritableTargetsLeaveEverythingAsItWas) {
  std::ofstream(csv_, std::ios::binary) << "old";
  fs::permissions(csv_, fs::perms(0444));  // read-only, even for root
  EXPECT_FALSE(WriteLot(csv_));
  EXPECT_EQ(Read(csv_), "old");
  fs::create_directory(dir_ / "B.CSV");
  EXPECT_FALSE(WriteLot(dir_ / "B.CSV"));
  EXPECT_FALSE(WriteLot(dir_ / "missing" / "A123.CSV"));
  EXPECT_FALSE(WriteLot("/proc/lotvue-A123.CSV"));  // refuses new files, even to root
  EXPECT_EQ(Entries(), 2u);
}

// ---------------------------------------------------------------------------
// The conversion of a lot: the XLS book first, then the CSV file

class ConvertTest : public CsvFileTest {
 protected:
  void SetUp() override {
    SelectLanguageTable(0);
    fs::create_directories(dir_ / "nolib");
    lot_->path = (dir_ / "A123.tsd").string();
  }
  // The conversion as it runs when no spreadsheet library is installed.
  ConvertResult WithoutLibrary(int first, int last) {
    return ConvertWithLibraryFrom((dir_ / "nolib").string(), *lot_, first, last, settings_, messages_);
  }

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
    fs::remove(csv_);
    messages_.texts.clear();
    settings_.ConvertFileTypeXLS = c.xls;
    settings_.ConvertFileTypeCSV = c.csv;
    settings_.CSVFormat = c.format;
    const ConvertResult r = WithoutLibrary(-1, -1);
    EXPECT_EQ(messages_.texts, std::vector<std::string>{"Xls.dll no find."});
    EXPECT_FALSE(r.xlsWritten);
    EXPECT_EQ(r.csvWritten, c.csvWritten);
    EXPECT_EQ(fs::exists(csv_), c.csvWritten);
    if (c.csvWritten) {
      EXPECT_EQ(Read(csv_), Csv(*lot_, -1, -1));
    }
    EXPECT_FALSE(fs::exists(TwoSheetBookPath(lot_->path)));
  }
}

// (A book and CSV file written together: ConvertCommands.ConvertAndSetupWriteTheSwitchedOnTypesAndOfferEach.)
TEST_F(ConvertTest, WithTheLibraryABookThatCannotBeReplacedStopsTheCsv) {
  CXlsLibrary probe;
  if (probe.LoadFrom(LOTVUE_BIN_DIR) != 1) GTEST_SKIP() << "no spreadsheet library in " << LOTVUE_BIN_DIR;
  settings_.ConvertFileTypeXLS = 1;
  settings_.ConvertFileTypeCSV = 1;
  fs::create_directories(fs::path(TwoSheetBookPath(lot_->path)) / "busy");
  const ConvertResult r = ConvertWithLibraryFrom(LOTVUE_BIN_DIR, *lot_, -1, -1, settings_, messages_);
  EXPECT_FALSE(r.xlsWritten);
  EXPECT_FALSE(r.csvWritten);
  EXPECT_EQ(messages_.texts, std::vector<std::string>{"Creat XLS File Error(My_Convert)(0)"});
  EXPECT_FALSE(fs::exists(csv_));
}

}  // namespace
}  // namespace lotvue
