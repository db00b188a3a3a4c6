#include "core/fail_list.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "tests/core/hand_lot.h"

namespace lotvue {
namespace {

using testing::HandLot;

TEST(FailList, SerialRule) {
  struct Case {
    const char* serial;
    bool failed;
  };
  for (const Case& c : std::vector<Case>{{"F12", true},
                                         {"P12", false},
                                         {"p12", false},
                                         {" \tF3", true},
                                         {"  P3", false},
                                         {"", false},
                                         {"   ", false},
                                         {"X7", true},
                                         {"12", true},
                                         {"\xA3P", true}}) {
    EXPECT_EQ(IsFailedSerial(c.serial), c.failed) << '"' << c.serial << '"';
  }
}

TEST(FailList, RowsAndCsvLinesNumberTheFailedDevicesInFileOrder) {
  auto lot = HandLot({"IR", "VF"}, {{"P1", "1", {"1.0mA", "0.7V"}},
                                    {"F2", "3", {"F 9.9mA", "0,8V"}},
                                    {"p3", "1", {"1.1mA", "0.6V"}},
                                    {" F4", "4", {"No Data", ""}}});
  const CellTable rows = FailRowsOf(*lot);
  ASSERT_EQ(rows.rows(), 3u);
  EXPECT_EQ(rows.width(), 4u);
  EXPECT_EQ(FailCsvText(rows),
            "Number,Serial,Bin,IR,VF,\r\n"
            "1,F2,3,F 9.9mA,0,8V,\r\n"
            "2, F4,4,No Data,,\r\n");
  BuildFailRows(*lot);
  EXPECT_EQ(FailCsvText(failRows), FailCsvText(rows));
}

TEST(FailList, LotWithoutFailuresGivesTheTitleLineOnly) {
  auto lot = HandLot({"IR"}, {{"P1", "1", {"1.0mA"}}});
  EXPECT_EQ(FailCsvText(FailRowsOf(*lot)), "Number,Serial,Bin,IR,\r\n");
  auto empty = HandLot({"IR"}, {});
  EXPECT_EQ(FailCsvText(FailRowsOf(*empty)), "Number,Serial,Bin,IR,\r\n");
}

TEST(FailList, PathLosesTheExtensionAndItsDot) {
  EXPECT_EQ(FailCsvPath("/data/LOT01.tsd"), "/data/LOT01_Fail.CSV");
  EXPECT_EQ(FailCsvPath("LOT01.TSD"), "LOT01_Fail.CSV");
}

TEST(FailList, FileIsReplacedOrLeftAlone) {
  const auto dir = std::filesystem::temp_directory_path() / ("lotvue-fail-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  auto lot = HandLot({"IR"}, {{"F1", "2", {"5mA"}}}, "v7", (dir / "LOT01.tsd").string());
  const std::string path = FailCsvPath(lot->path);
  auto read = [&] {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  std::ofstream(path, std::ios::binary) << "old content that is longer than the new one";
  ASSERT_TRUE(WriteFailCsv(FailRowsOf(*lot), path));
  EXPECT_EQ(read(), "Number,Serial,Bin,IR,\r\n1,F1,2,5mA,\r\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  EXPECT_FALSE(WriteFailCsv(FailRowsOf(*HandLot({"IR"}, {})), path));
  EXPECT_EQ(read(), "Number,Serial,Bin,IR,\r\n1,F1,2,5mA,\r\n");
  EXPECT_FALSE(WriteFailCsv(FailRowsOf(*lot), (dir / "no" / "x_Fail.CSV").string()));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace lotvue
