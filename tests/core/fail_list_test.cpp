#include "core/fail_list.h"

#include <gtest/gtest.h>

#include "tests/core/lot_files.h"

namespace lotvue {
namespace {

using testing::HandLot;

TEST(FailList, SerialRule) {
  struct Case {
    const char* serial;
    bool failed;
  };
  for (const Case& c : std::vector<Case>{{"F12", true}, {"P12", false}, {"p12", false}, {" \tF3", true}, {"  P3", false},
                                         {"", false}, {"   ", false}, {"X7", true}, {"12", true}, {"\xA3P", true}}) {
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
  EXPECT_EQ(FailCsvText(FailRowsOf(*HandLot({"IR"}, {{"P1", "1", {"1.0mA"}}}))), "Number,Serial,Bin,IR,\r\n");
  EXPECT_EQ(FailCsvText(FailRowsOf(*HandLot({"IR"}, {}))), "Number,Serial,Bin,IR,\r\n");
  EXPECT_EQ(FailCsvPath("/data/LOT01.tsd"), "/data/LOT01_Fail.CSV");
}

}  // namespace
}  // namespace lotvue
