// The order of a window's device rows: sorting, filtering, find and go-to,
// and that the lot itself never changes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/row_order.h"
#include "tests/core/lot_files.h"

namespace lotvue {
namespace {

using testing::HandLot;

// Six devices: values with prefixes, equal values, texts without a value.
std::unique_ptr<LotData> Lot() {
  return HandLot({"1 VF", "2 IR"}, {{"P1", "2", {" 1.500 V", "Fx"}},
                                    {"F2", "10", {" 900.0mV", " 1.000uA"}},
                                    {"P3", "1", {"No Data", " 1.000uA"}},
                                    {"F4", "2", {"-2.000 V", "abc"}},
                                    {"P12", "1", {" 1.500 V", " 5.000nA"}},
                                    {"P5", "2", {"F Over", "ABD"}}});
}

std::vector<int> Shown(const RowOrder& rows) {
  std::vector<int> v;
  for (int i = 0; i < rows.shown(); ++i) v.push_back(rows.DeviceAt(i));
  return v;
}

TEST(RowOrder, SortsAndFiltersWithoutChangingTheLot) {
  const auto lot = Lot();
  const std::string before(lot->deviceCells.At(3, 2));
  struct Case {
    RowSort sort;
    RowFilter filter;
    std::vector<int> devices;
  } cases[] = {
      {{-1, false}, {}, {0, 1, 2, 3, 4, 5}},
      // values by their scaled value (mV below V), equal ones in file order, then texts in byte order
      {{2, false}, {}, {3, 1, 0, 4, 5, 2}},
      {{2, true}, {}, {2, 5, 0, 4, 1, 3}},
      {{3, false}, {}, {4, 1, 2, 5, 0, 3}},
      // serial and bin by number: "P12" after "P5"
      {{0, false}, {}, {0, 1, 2, 3, 5, 4}},
      {{1, false}, {}, {2, 4, 0, 3, 5, 1}},
      {{1, true}, {}, {1, 0, 3, 5, 2, 4}},
      {{-1, false}, {RowFilterKind::kFailed, 0, ""}, {1, 3}},
      {{-1, false}, {RowFilterKind::kPassed, 0, ""}, {0, 2, 4, 5}},
      {{-1, false}, {RowFilterKind::kBin, 0, "2"}, {0, 3, 5}},
      {{-1, false}, {RowFilterKind::kBin, 0, "3"}, {}},
      {{-1, false}, {RowFilterKind::kContains, 3, "ab"}, {3, 5}},
      {{-1, false}, {RowFilterKind::kContains, 2, "1.5"}, {0, 4}},
      {{2, true}, {RowFilterKind::kPassed, 0, ""}, {2, 5, 0, 4}},
  };
  for (const Case& c : cases) {
    RowOrder rows;
    rows.Reset(lot->devices());
    rows.Apply(*lot, c.sort, c.filter);
    EXPECT_EQ(Shown(rows), c.devices) << "column " << c.sort.column << " filter " << static_cast<int>(c.filter.kind);
    EXPECT_EQ(rows.identity(), c.sort.column < 0 && c.filter.kind == RowFilterKind::kAll);
    for (int i = 0; i < rows.shown(); ++i) EXPECT_EQ(rows.PositionOf(rows.DeviceAt(i)), i);
  }
  EXPECT_EQ(lot->deviceCells.At(3, 2), before);

  // A click sorts, a second reverses, another column starts ascending; the filter stays.
  RowOrder rows;
  rows.Apply(*lot, {}, {RowFilterKind::kPassed, 0, ""});
  rows.SortByClick(*lot, 2);
  EXPECT_EQ(Shown(rows), (std::vector<int>{0, 4, 5, 2}));
  rows.SortByClick(*lot, 2);
  EXPECT_TRUE(rows.sort().descending);
  EXPECT_EQ(rows.PositionOf(1), -1);
  rows.SortByClick(*lot, 0);
  EXPECT_EQ(Shown(rows), (std::vector<int>{0, 2, 5, 4}));
  EXPECT_EQ(RowOrderStatus(*lot, rows, 0), "4 of 6 devices shown, sorted by Serial");
  rows.SortByClick(*lot, 0);
  EXPECT_EQ(RowOrderStatus(*lot, rows, 1), "显示 4 / 6 个器件，按 Serial 排序（降序）");
}

TEST(RowOrder, FindAndGoTo) {
  const auto lot = Lot();
  RowOrder rows;
  rows.Apply(*lot, {2, false}, {});  // 3 1 0 4 5 2
  struct Case {
    int from;
    const char* text;
    bool forward;
    int expected;
  } cases[] = {
      {-1, "12", true, 3},      // serial 12: device 4, shown at row 3
      {-1, "1.500", true, 2},   // device 0
      {2, "1.500", true, 3},    // device 4
      {3, "1.500", true, 2},    // wraps around
      {2, "1.500", false, 3},   // previous, wrapping
      {-1, "abd", true, 4},     // case ignored: "ABD" of device 5
      {-1, "zzz", true, -1},
      {-1, "", true, -1},
  };
  for (const Case& c : cases) {
    const int row = FindRow(*lot, rows, c.from, c.text, c.forward);
    EXPECT_EQ(row, c.expected) << c.text << " from " << c.from;
  }
  rows.Apply(*lot, {}, {RowFilterKind::kFailed, 0, ""});
  EXPECT_EQ(FindRow(*lot, rows, -1, "1.500", true), -1) << "the passed devices 0 and 4 are filtered out";
  EXPECT_EQ(DeviceWithSerial(*lot, 12), 4);
  EXPECT_EQ(DeviceWithSerial(*lot, 7), -1);
  EXPECT_EQ(DeviceAtFilePosition(*lot, 6), 5);
  EXPECT_EQ(DeviceAtFilePosition(*lot, 7), -1);
  EXPECT_EQ(DeviceAtFilePosition(*lot, 0), -1);
}

}  // namespace
}  // namespace lotvue
