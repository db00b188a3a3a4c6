#include "core/csv_export.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include <gtest/gtest.h>

#include "core/csv_scientific.h"
#include "core/number_text.h"
#include "core/value_text.h"
#include "tests/core/hand_lot.h"

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

std::unique_ptr<LotData> ThreeDevices(const std::string& path = "/lots/A123.tsd") {
  return HandLot({"IR", "VF"},
                 {{"P1", "1", {" 1.234mV", "-12.3uA"}}, {"F2", "3", {"F 1.5mA", "No Data"}}, {"P3", "1", {"12.3mV", "-0.5"}}},
                 "a,b", path);
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

TEST(CsvExport, FormatsChangeOnlyValueCellsOfDeviceRows) {
  // Serial, bin and titles hold value-like texts; they stay as they are in
  // the whole lot and in the title row of a partial range.
  auto lot = HandLot({"1.5mA", "IR"}, {{"P1.5m", "2.5k", {"1.5mA", "-12.3uA"}}});
  const std::string title = "Serial,Bin,1.5mA,IR\r\n";
  for (auto [format, device] : {std::pair{CsvFormat::kScientific, "P1.5m,2.5k,1.500000E-003,-1.230000E-005\r\n"},
                                std::pair{CsvFormat::kValue, "P1.5m,2.5k,1.5,-12.3\r\n"}}) {
    for (int first : {-1, 1}) {
      const std::string csv = Csv(*lot, first, first, format);
      const std::size_t tail = csv.size() - title.size() - std::string(device).size();
      EXPECT_EQ(csv.substr(tail), title + device);
      EXPECT_EQ(csv.substr(0, tail), Csv(*lot, first, first).substr(0, tail));
    }
  }
}

TEST(CsvExport, EachFormatOnTrickyValueTexts) {
  struct Case {
    std::string text, scientific, value;
  };
  const std::vector<Case> cases = {
      {" 1.234mV", "1.234000E-003", " 1.234"}, {"-12.3uA", "-1.230000E-005", "-12.3"},
      {"F 1.5mA", "0.000000E+000", ""},        {"No Data", "0.000000E+000", ""},
      {"#N/A", "0.000000E+000", "#"},          {"-0.5", "-5.000000E-001", "-0.5"},
      {"3.3MHz", "3.300000E+006", "3.3"},      {"8.2pF", "8.200000E-012", "8.2"},
      {"1,5mA", "1.000000E-003", "1,5"},  // a comma is no decimal point, and is not quoted
      {"\x80\xFF" "1.5mA", "0.000000E+000", "\x80\xFF" "1.5"},  // high bytes count as below '9'
      {"", "0.000000E+000", ""},
  };
  for (const Case& c : cases) {
    auto lot = HandLot({"IR"}, {{"P1", "1", {c.text}}});
    for (auto [format, expected] : {std::pair{CsvFormat::kData, c.text}, std::pair{CsvFormat::kScientific, c.scientific},
                                    std::pair{CsvFormat::kValue, c.value}}) {
      const std::string csv = Csv(*lot, -1, -1, format);
      EXPECT_EQ(csv.substr(csv.rfind("P1,1,") + 5), expected + "\r\n") << c.text;
    }
  }
}

// Texts of every kind the fast cell formats meet: any mix of the bytes that
// matter to reading a number, and result-shaped ones (digits with a point,
// a prefix letter, a unit).
std::vector<std::string> RandomCellTexts(int count) {
  std::vector<std::string> texts = {
      "-0", "-0.000mV", "+0.5", "nan", "-inf", "NaN", "nAn(1)", "INFINITY", "In", "No", "0x1F", "1e3", "1.5E-3mA",
      "9999999", "99999995", "12345675", "1.2345675", "1.0000000u", ".5", "5.", "-.5k", ".", "-", "--1", "- 1",
      "1.5.3m", "m1.5", "------", "1.5\xB5V", "0000000000000001m", " \t12.5kV\r\n", "2.5kOhm",
      "0." + std::string(320, '0') + "1", "1" + std::string(300, '0') + "M"};
  std::mt19937_64 random(7);
  const std::string pieces[] = {" ", "-", "+", ".", "0", "1", "5", "9", "e", "E", "x", "m", "u",
                                "n", "p", "k", "M", "V", "A", "F", "i", "N", "\xB5", ",", "\t"};
  while (static_cast<int>(texts.size()) < count) {
    std::string t;
    for (int j = static_cast<int>(random() % 12); j > 0; --j) t += pieces[random() % std::size(pieces)];
    texts.push_back(t);
    std::string r = random() % 3 ? " " : "-";
    const int digits = 1 + static_cast<int>(random() % 9);
    const int point = static_cast<int>(random() % (digits + 1));
    for (int j = 0; j < digits; ++j) r += (j == point ? "." : "") + std::to_string(random() % 10);
    texts.push_back(r + "pnum_kM"[random() % 7] + "VAF"[random() % 3]);
  }
  return texts;
}

// Scientific cells are made from the digits of their texts; they must give
// the bytes of the rule, WriteScientificE3(ScaledValueOf(text)), for every
// text a result cell can hold and for the random texts above.
TEST(CsvExport, ScientificCellsFollowTheRule) {
  std::vector<std::string> wrong;
  const auto check = [&](std::string_view t) {
    char fast[64];
    char rule[64];
    const std::string_view made(fast, WriteScientificText(t, fast));
    if (made != std::string_view(rule, WriteScientificE3(ScaledValueOf(t), rule)) && wrong.size() < 5) wrong.emplace_back(t);
  };
  // A status letter or none, then the value text of every mantissa and
  // exponent (those above 20 all show '?'), with a unit; every unit byte with
  // a few mantissas (a unit letter is the prefix when the prefix is a blank).
  char text[kMaxValueText + 2];
  for (const char* status : {"", "F", "O", "f"}) {
    const std::size_t head = std::strlen(status);
    std::memcpy(text, status, head);
    for (int e = 0; e <= 21; ++e) {
      const auto value = [&](int m, int unit) {
        const PackedValue v{static_cast<std::int16_t>(m), 0x10, static_cast<std::uint8_t>(e)};
        return std::string_view(text, head + WriteResultValue(v, static_cast<std::uint8_t>(unit), text + head));
      };
      for (int m = -32768; m <= 32767; ++m) check(value(m, 'V'));
      for (int unit = 0; unit < 256; ++unit) {
        for (int m : {0, -1, 7, 1234, -9999, 10000, -32768}) check(value(m, unit));
      }
    }
  }
  for (const char* fixed : {"", "No Data", "F No Data", "Over", "Open", "F Over", "F Open", "Short", "F Short", "Aval",
                            "F Aval", "f Aval", "CoverOpen", "PreShort", "PreOpen", "ID_Over", "TG_High", "TG_Low",
                            "PostShort", "Fail1", "Fail2", "IGBT_Err", "VCC_Low", "VCC_High", "HardError", "LV", "1ch",
                            "2ch", "VXT", "CV", "#N/A"}) {
    check(fixed);
  }
  for (const std::string& t : RandomCellTexts(200000)) check(t);
  EXPECT_TRUE(wrong.empty()) << '"' << wrong.front() << '"';
}

// Scientific and Value cells in rows of 1000, most with bytes of the row
// behind them, against the routines cell by cell; 200 such rows are enough
// for two formatting threads.
TEST(CsvExport, LongRowsMatchTheRoutines) {
  const std::vector<std::string> texts = RandomCellTexts(200000);
  std::vector<std::string> titles(1000, "T");
  std::vector<testing::HandDevice> rows;
  std::string value;
  std::string scientific;
  for (std::size_t i = 0; i + 1000 <= texts.size(); i += 1000) {
    rows.push_back({"P", "1", {texts.begin() + i, texts.begin() + i + 1000}});
    value += "P,1";
    scientific += "P,1";
    for (std::size_t j = i; j < i + 1000; ++j) {
      value += "," + std::string(CutAtUnit(std::string_view(texts[j])));
      scientific += "," + ScientificE3Text(ScaledValueOf(texts[j]));
    }
    value += "\r\n";
    scientific += "\r\n";
  }
  auto lot = HandLot(titles, rows);
  const int last = static_cast<int>(rows.size());
  const std::string valueCsv = Csv(*lot, 1, last, CsvFormat::kValue);
  const std::string scientificCsv = Csv(*lot, 1, last, CsvFormat::kScientific);
  EXPECT_TRUE(valueCsv.substr(valueCsv.size() - value.size()) == value);
  EXPECT_TRUE(scientificCsv.substr(scientificCsv.size() - scientific.size()) == scientific);
}

TEST(CsvExport, RowsAndCellsLargerThanTheBuffer) {
  // 300 items, a comment larger than the buffer, and one row larger than it.
  const std::string huge(ReplacingWriter::kBufferBytes + 100, '7');
  std::vector<std::string> titles;
  for (int i = 0; i < 300; ++i) titles.push_back("T" + std::to_string(i));
  std::vector<testing::HandDevice> devices;
  for (int d = 1; d <= 400; ++d) {
    devices.push_back({"P" + std::to_string(d), "1", {}});
    for (int i = 0; i < 300; ++i) devices.back().values.push_back(d == 2 && i == 1 ? huge : std::to_string(i) + "mA");
  }
  auto lot = HandLot(titles, devices, huge);
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
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("lotvue-csv-" + std::to_string(getpid()) + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    csv_ = dir_ / "A123.CSV";
  }
  void TearDown() override {
    chmod(dir_.c_str(), 0755);
    fs::remove_all(dir_);
  }
  static std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Every name in the folder: a temporary file left behind would show here.
  std::size_t Entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {})); }
  bool WriteLot(const fs::path& p) { return WriteCsvFile(p.string(), *lot_, 0, lot_->deviceCells.size(), CsvFormat::kData); }

  fs::path dir_;
  fs::path csv_;
  std::unique_ptr<LotData> lot_ = ThreeDevices();
  const std::string bytes_ = Csv(*lot_, -1, -1);
};

TEST_F(CsvFileTest, ReplacesAnOldFileKeepingItsPermissions) {
  std::ofstream(csv_, std::ios::binary) << std::string(5'000'000, 'x');
  chmod(csv_.c_str(), 0640);
  ASSERT_TRUE(WriteLot(csv_));
  EXPECT_EQ(Read(csv_), bytes_);
  struct stat st {};
  ASSERT_EQ(stat(csv_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(CsvFileTest, UnwritableTargetsLeaveEverythingAsItWas) {
  std::ofstream(csv_, std::ios::binary) << "old";
  chmod(csv_.c_str(), 0444);  // read-only, even for root
  EXPECT_FALSE(WriteLot(csv_));
  EXPECT_EQ(Read(csv_), "old");
  fs::create_directory(dir_ / "B.CSV");  // a folder in the file's place
  EXPECT_FALSE(WriteLot(dir_ / "B.CSV"));
  EXPECT_FALSE(WriteLot(dir_ / "missing" / "A123.CSV"));
  EXPECT_FALSE(WriteLot("/proc/lotvue-A123.CSV"));  // refuses new files, even to root
  EXPECT_EQ(Entries(), 2u);
}

TEST_F(CsvFileTest, ReadOnlyFolderFails) {
  chmod(dir_.c_str(), 0555);
  int written = 0;
  if (geteuid() != 0) {
    written = WriteLot(dir_ / "A123.CSV") ? 1 : 0;
  } else {
    // Root writes into any folder: try as an ordinary user in a child process.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(setgid(65534) != 0 || setuid(65534) != 0 ? 2 : WriteLot(dir_ / "A123.CSV") ? 1 : 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << "cannot become an ordinary user";
    written = WEXITSTATUS(status);
  }
  EXPECT_EQ(written, 0);
  EXPECT_EQ(Entries(), 0u);
}

TEST_F(CsvFileTest, AbandonedWriterRemovesItsTemporaryFile) {
  std::ofstream(csv_, std::ios::binary) << "old";
  {
    ReplacingWriter out;
    ASSERT_TRUE(out.Open(csv_.string()));
    out.Put(std::string(3 * ReplacingWriter::kBufferBytes, 'n'));
    EXPECT_EQ(Entries(), 2u);  // the old file and the growing new one
  }
  EXPECT_EQ(Read(csv_), "old");
  EXPECT_EQ(Entries(), 1u);
}

}  // namespace
}  // namespace lotvue
