#include "core/csv_export.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "core/number_text.h"
#include "core/value_text.h"
#include "tests/core/hand_lot.h"

namespace lotvue {
namespace {

using testing::HandDevice;
using testing::HandLot;

// Lines 1 to 23 of every CSV file of the two-item lot below.
const std::string kHead =
    "TAVO Test System VXT-5000\r\n"
    "DataFileName,v0\r\n"
    "WaferNum,v1\r\n"
    "SystemName,v2\r\n"
    "DeviceName,v3\r\n"
    "LotName,v4\r\n"
    "OperatorName,v5\r\n"
    "TestFileName,v6\r\n"
    "Comment,v7,\r\n"
    "Pass,2\r\n"
    "Fail,1\r\n"
    "Yield,50.000%\r\n"
    "\r\n"
    "Item Name,,r0c2,r0c3\r\n"
    "Bias1,,r1c2,r1c3\r\n"
    "Bias2,,r2c2,r2c3\r\n"
    "Bias3,,r3c2,r3c3\r\n"
    "Min Limit,,r4c2,r4c3\r\n"
    "Max Limit,,r5c2,r5c3\r\n"
    "Average,,r7c2,r7c3\r\n"
    "STDEV,,r8c2,r8c3\r\n"
    "Min Data,,r9c2,r9c3\r\n"
    "Max Data,,r10c2,r10c3\r\n";
const std::string kTitle = "Serial,Bin,IR,VF\r\n";
const std::string kDev1 = "P1,1, 1.234mV,-12.3uA\r\n";
const std::string kDev2 = "F2,3,F 1.5mA,No Data\r\n";
const std::string kDev3 = "P3,1,12.3mV,-0.5\r\n";

std::unique_ptr<LotData> ThreeDevices() {
  return HandLot({"IR", "VF"}, {{"P1", "1", {" 1.234mV", "-12.3uA"}},
                                {"F2", "3", {"F 1.5mA", "No Data"}},
                                {"P3", "1", {"12.3mV", "-0.5"}}});
}

std::string Csv(const LotData& lot, int first, int last, CsvFormat format = CsvFormat::kData) {
  const CellRange r = DeviceCellRange(lot, first, last);
  return CsvText(lot, r.firstCell, r.endCell, format);
}

TEST(CsvExport, WholeLotWritesTitleRowOnceAfterTheItemTable) {
  auto lot = ThreeDevices();
  EXPECT_EQ(Csv(*lot, -1, -1), kHead + kTitle + kDev1 + kDev2 + kDev3);
}

TEST(CsvExport, PartialRangesRepeatTheTitleRowThenTheirDevices) {
  auto lot = ThreeDevices();
  struct Case {
    int first, last;
    std::string devices;
  };
  for (const Case& c : std::vector<Case>{{3, 3, kDev3}, {1, 1, kDev1}, {2, 3, kDev2 + kDev3}, {1, 3, kDev1 + kDev2 + kDev3}}) {
    SCOPED_TRACE(std::to_string(c.first) + "-" + std::to_string(c.last));
    EXPECT_EQ(Csv(*lot, c.first, c.last), kHead + kTitle + c.devices);
  }
}

TEST(CsvExport, RangeBecomesHalfOpenCellRange) {
  auto lot = ThreeDevices();  // 4 cells a row, title row included
  struct Case {
    int first, last;
    std::size_t firstCell, endCell;
  };
  for (const Case& c : std::vector<Case>{{-1, -1, 0, 16}, {1, 3, 4, 16}, {3, 3, 12, 16}, {2, 2, 8, 12}}) {
    const CellRange r = DeviceCellRange(*lot, c.first, c.last);
    EXPECT_EQ(r.firstCell, c.firstCell);
    EXPECT_EQ(r.endCell, c.endCell);
  }
  EXPECT_EQ(DeviceRowCount(*lot), 3);
}

TEST(CsvExport, FormatsChangeOnlyValueCellsOfDeviceRows) {
  // Serial, bin and the titles hold value-like texts: they must stay as they
  // are, in the whole lot and in the title row of a partial range.
  auto lot = HandLot({"1.5mA", "IR"}, {{"P1.5m", "2.5k", {"1.5mA", "-12.3uA"}}});
  const std::string title = "Serial,Bin,1.5mA,IR\r\n";
  struct Case {
    CsvFormat format;
    std::string device;
  };
  for (const Case& c : std::vector<Case>{{CsvFormat::kScientific, "P1.5m,2.5k,1.500000E-003,-1.230000E-005\r\n"},
                                         {CsvFormat::kValue, "P1.5m,2.5k,1.5,-12.3\r\n"}}) {
    for (int first : {-1, 1}) {
      const std::string csv = Csv(*lot, first, first, c.format);
      const std::string head = csv.substr(0, csv.size() - title.size() - c.device.size());
      EXPECT_EQ(csv.substr(head.size()), title + c.device);
      EXPECT_EQ(head, Csv(*lot, first, first, CsvFormat::kData).substr(0, head.size()));
      EXPECT_NE(head.find("Item Name,,r0c2,r0c3\r\n"), std::string::npos);
    }
  }
}

TEST(CsvExport, EachFormatOnTrickyValueTexts) {
  struct Case {
    std::string text, scientific, value;
  };
  const std::vector<Case> cases = {
      {" 1.234mV", "1.234000E-003", " 1.234"},
      {"-12.3uA", "-1.230000E-005", "-12.3"},
      {"F 1.5mA", "0.000000E+000", ""},
      {"No Data", "0.000000E+000", ""},
      {"#N/A", "0.000000E+000", "#"},
      {"12.3mV", "1.230000E-002", "12.3"},
      {"-0.5", "-5.000000E-001", "-0.5"},
      {"2.5kV", "2.500000E+003", "2.5"},
      {"3.3MHz", "3.300000E+006", "3.3"},
      {"4.7nA", "4.700000E-009", "4.7"},
      {"8.2pF", "8.200000E-012", "8.2"},
      {"1,5mA", "1.000000E-003", "1,5"},   // a comma is no decimal point, and is not quoted
      {"\x80\xFF" "1.5mA", "0.000000E+000", "\x80\xFF" "1.5"},  // high bytes count as below '9'
      {"1.5\xB5V", "1.500000E+000", "1.5\xB5"},
      {"", "0.000000E+000", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto lot = HandLot({"IR"}, {{"P1", "1", {c.text}}});
    const std::string tail = "P1,1,";
    auto lastLine = [&](CsvFormat f) {
      const std::string csv = Csv(*lot, -1, -1, f);
      const std::size_t at = csv.rfind(tail);
      return csv.substr(at + tail.size());
    };
    EXPECT_EQ(lastLine(CsvFormat::kData), c.text + "\r\n");
    EXPECT_EQ(lastLine(CsvFormat::kScientific), c.scientific + "\r\n");
    EXPECT_EQ(lastLine(CsvFormat::kValue), c.value + "\r\n");
  }
}

TEST(CsvExport, SettingSelectsFormat) {
  EXPECT_EQ(CsvFormatOf(0), CsvFormat::kData);
  EXPECT_EQ(CsvFormatOf(1), CsvFormat::kScientific);
  EXPECT_EQ(CsvFormatOf(2), CsvFormat::kValue);
  EXPECT_EQ(CsvFormatOf(7), CsvFormat::kData);
  EXPECT_EQ(CsvFormatOf(-1), CsvFormat::kData);
}

TEST(CsvExport, CommaInCommentIsWrittenUnquoted) {
  auto lot = HandLot({"IR", "VF"}, {}, "a,\"b\"");
  const std::string csv = Csv(*lot, -1, -1);
  EXPECT_NE(csv.find("\r\nComment,a,\"b\",\r\nPass,"), std::string::npos);
}

TEST(CsvExport, LotWithoutDevicesEndsWithTheTitleRow) {
  auto lot = HandLot({"IR", "VF"}, {});
  const std::string csv = Csv(*lot, -1, -1);
  EXPECT_EQ(csv.substr(csv.size() - kTitle.size()), kTitle);
}

TEST(CsvExport, PathReplacesTheLastThreeCharacters) {
  EXPECT_EQ(CsvPathOf("/lots/A123.tsd"), "/lots/A123.CSV");
  EXPECT_EQ(CsvPathOf("/lots/A123.TSD"), "/lots/A123.CSV");
  EXPECT_EQ(CsvPathOf("ab"), "CSV");
}

TEST(CsvExport, ManyItemsAndLongCellsCrossBufferBoundaries) {
  // 300 items and a comment longer than the writer's buffer.
  std::vector<std::string> titles;
  for (int i = 0; i < 300; ++i) titles.push_back("T" + std::to_string(i));
  std::vector<HandDevice> devices;
  for (int d = 1; d <= 400; ++d) {
    HandDevice dev{(d % 7 ? "P" : "F") + std::to_string(d), "1", {}};
    for (int i = 0; i < 300; ++i) dev.values.push_back(std::to_string(d) + "." + std::to_string(i) + "mA");
    devices.push_back(dev);
  }
  const std::string comment(ReplacingWriter::kBufferBytes + 12345, 'c');
  auto lot = HandLot(titles, devices, comment);
  const std::string csv = Csv(*lot, -1, -1, CsvFormat::kScientific);
  EXPECT_NE(csv.find("Comment," + comment + ",\r\nPass,"), std::string::npos);
  std::istringstream lines(csv);
  std::string line;
  int count = 0;
  std::string last;
  while (std::getline(lines, line)) {
    ++count;
    last = line;
  }
  EXPECT_EQ(count, 24 + 400);
  EXPECT_EQ(last.substr(0, 20), "P400,1,4.000000E-001");
  EXPECT_EQ(last.substr(last.size() - 15), ",4.002990E-001\r");
}

TEST(CsvExport, RowLargerThanTheBufferIsWrittenCellByCell) {
  const std::string huge(ReplacingWriter::kBufferBytes + 100, '7');
  auto lot = HandLot({"IR", "VF", "BV"}, {{"P1", "1", {"1.5mA", huge, "2.0V"}}, {"P2", "1", {"1mA", "2mA", "3mA"}}});
  auto devices = [&](int first, int last, CsvFormat format) {
    const std::string csv = Csv(*lot, first, last, format);
    return csv.substr(csv.find("Serial,"));
  };
  // Compared as booleans: a failure should not print megabytes.
  EXPECT_TRUE(devices(1, 2, CsvFormat::kData) ==
              "Serial,Bin,IR,VF,BV\r\nP1,1,1.5mA," + huge + ",2.0V\r\nP2,1,1mA,2mA,3mA\r\n");
  EXPECT_TRUE(devices(1, 2, CsvFormat::kValue) ==
              "Serial,Bin,IR,VF,BV\r\nP1,1,1.5," + huge + ",2.0\r\nP2,1,1,2,3\r\n");
  EXPECT_EQ(devices(1, 1, CsvFormat::kScientific), "Serial,Bin,IR,VF,BV\r\nP1,1,1.500000E-003,INF,2.000000E+000\r\n");
}

// ---------------------------------------------------------------------------
// Writing the file

class CsvFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("lotvue-csv-" + std::to_string(getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
    std::filesystem::remove_all(dir_);
  }
  static std::string Read(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void Write(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
  }
  // Names in the folder, hidden ones included (a temporary file left behind shows here).
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  bool WriteLot(const std::filesystem::path& p) {
    const CellRange r = DeviceCellRange(*lot_, -1, -1);
    return WriteCsvFile(p.string(), *lot_, r.firstCell, r.endCell, CsvFormat::kData);
  }

  std::filesystem::path dir_;
  std::unique_ptr<LotData> lot_ = ThreeDevices();
};

TEST_F(CsvFileTest, WritesNewFileAndReplacesAnOldOne) {
  const auto path = dir_ / "A123.CSV";
  ASSERT_TRUE(WriteLot(path));
  EXPECT_EQ(Read(path), kHead + kTitle + kDev1 + kDev2 + kDev3);
  Write(path, std::string(5'000'000, 'x'));  // longer than the new content
  ASSERT_TRUE(WriteLot(path));
  EXPECT_EQ(Read(path), kHead + kTitle + kDev1 + kDev2 + kDev3);
  EXPECT_EQ(Names(), std::vector<std::string>{"A123.CSV"});
}

TEST_F(CsvFileTest, ReadOnlyFileIsLeftUntouched) {
  const auto path = dir_ / "A123.CSV";
  Write(path, "old");
  chmod(path.c_str(), 0444);
  EXPECT_FALSE(WriteLot(path));
  EXPECT_EQ(Read(path), "old");
  EXPECT_EQ(Names(), std::vector<std::string>{"A123.CSV"});
}

TEST_F(CsvFileTest, ReplacedFileKeepsItsPermissions) {
  const auto path = dir_ / "A123.CSV";
  Write(path, "old");
  chmod(path.c_str(), 0640);
  ASSERT_TRUE(WriteLot(path));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(CsvFileTest, UnwritableLocationsFailWithoutLeavingAFile) {
  EXPECT_FALSE(WriteLot(dir_ / "missing" / "A123.CSV"));
  std::filesystem::create_directory(dir_ / "A123.CSV");  // a folder in the file's place
  EXPECT_FALSE(WriteLot(dir_ / "A123.CSV"));
  EXPECT_EQ(Names(), std::vector<std::string>{"A123.CSV"});
  EXPECT_FALSE(WriteLot("/proc/lotvue-A123.CSV"));  // refuses new files, even to root
}

TEST_F(CsvFileTest, ReadOnlyFolderFails) {
  chmod(dir_.c_str(), 0555);
  bool written = false;
  if (geteuid() != 0) {
    written = WriteLot(dir_ / "A123.CSV");
  } else {
    // Root writes into any folder: try as an ordinary user in a child process.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
      _exit(WriteLot(dir_ / "A123.CSV") ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 2) << "cannot become an ordinary user";
    written = WEXITSTATUS(status) == 0;
  }
  EXPECT_FALSE(written);
  chmod(dir_.c_str(), 0755);
  EXPECT_TRUE(Names().empty());
}

TEST_F(CsvFileTest, AbandonedWriterRemovesItsTemporaryFile) {
  const auto path = dir_ / "A123.CSV";
  Write(path, "old");
  {
    ReplacingWriter out;
    ASSERT_TRUE(out.Open(path.string()));
    out.Put(std::string(3 * ReplacingWriter::kBufferBytes, 'n'));
    EXPECT_EQ(Names().size(), 2u);  // the old file and the growing new one
  }
  EXPECT_EQ(Read(path), "old");
  EXPECT_EQ(Names(), std::vector<std::string>{"A123.CSV"});
}

TEST_F(CsvFileTest, LinkIsFollowed) {
  const auto real = dir_ / "real.CSV";
  Write(real, "old");
  std::filesystem::create_symlink(real, dir_ / "A123.CSV");
  ASSERT_TRUE(WriteLot(dir_ / "A123.CSV"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "A123.CSV"));
  EXPECT_EQ(Read(real), kHead + kTitle + kDev1 + kDev2 + kDev3);
}

}  // namespace
}  // namespace lotvue

namespace lotvue {
namespace {

// Scientific cells written straight from the text must give exactly the
// bytes of reading the number and printing it.
TEST(CsvExport, ScientificTextMatchesReadingAndPrinting) {
  std::vector<std::string> texts = {
      "0", "-0", "-0.000mV", "+0.5", " 1.234mV", "-12.3uA", "F 1.5mA", "No Data", "nan", "-inf", "Inf",
      "0x1F", "1e3", "1.5E-3mA", "9999999", "99999995", "12345675", "1.2345675", "0.0000001n", ".5",
      "5.", "-.5k", ".", "-", "--1", "1.5.3m", "m1.5", "Open", "Over", "------", "#N/A", "\x80\xFF" "1.5",
      "1.5\xB5V", "1234567890123456", "000000000000001m", "0000000000000001m", " \t12.5kV\r\n", "1,5mA",
      "3.3MHz", "4.7nA", "8.2pF", "2.5kOhm", "100.0M", "1.000000u", "1.0000000u", "10000000",
      "0." + std::string(320, '0') + "1", "1" + std::string(300, '0') + "M", "-0", "- 1", "+-1", "NaN", "nAn(1)", "INFINITY", "-iNf", "In", "Na", "No", "-nan",
  };
  std::mt19937_64 random(7);
  const std::string pieces[] = {" ", "-", "+", ".", "0", "1", "5", "9", "e", "E", "x", "m", "u", "n", "p",
                                "k", "M", "V", "A", "F", "i", "N", "\xB5", ",", "\t"};
  for (int i = 0; i < 100000; ++i) {
    std::string t;
    const int parts = static_cast<int>(random() % 12);
    for (int j = 0; j < parts; ++j) t += pieces[random() % std::size(pieces)];
    texts.push_back(t);
    // Result-shaped texts: digits with a point, a prefix, a unit.
    std::string r = random() % 3 ? " " : "-";
    const int digits = 1 + static_cast<int>(random() % 9);
    const int point = static_cast<int>(random() % (digits + 1));
    for (int j = 0; j < digits; ++j) {
      if (j == point) r += '.';
      r += static_cast<char>('0' + random() % 10);
    }
    r += "pnum_kM"[random() % 7];
    r += "VAF"[random() % 3];
    texts.push_back(r);
  }
  for (const std::string& t : texts) {
    char fast[64];
    char general[64];
    const std::string a(fast, WriteScientificText(t, fast));
    const std::string b(general, WriteScientificE3(ScaledValueOf(t), general));
    ASSERT_EQ(a, b) << '"' << t << '"';
  }
}

}  // namespace
}  // namespace lotvue
