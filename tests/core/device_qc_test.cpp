#include "core/device_qc.h"

#include <gtest/gtest.h>

#include <numeric>

#include "tests/core/lot_files.h"

namespace lotvue {
namespace {

using testing::MakeQcLot;

// One item, every device passed.
QcLot OneItem(const std::vector<std::string>& cells) {
  std::vector<std::vector<std::string>> rows;
  for (const auto& c : cells) rows.push_back({c});
  return MakeQcLot({"VTH"}, rows);
}

TEST(DeviceQcHelpers, UnitSuffixChangesTheCallersText) {
  struct Case { const char* in; const char* suffix; const char* after; } cases[] = {
      {"1.5mV", "V", "1.5mV"},     {"1.5mv", "V", "1.5mV"},       {"10ms", "s", "10ms"},
      {"20ua", "A", "20uA"},       {"2.0khz", "Hz", "2.0kHz"},    {"#1.5mv", "", "#1.5mv"},
      {"V5", "", "V5"},            {"5", "", "5"},                {"No Data", "AtA", "No DAtA"},
  };
  for (const auto& c : cases) {
    std::string t = c.in;
    EXPECT_EQ(UnitSuffix(t), c.suffix) << c.in;
    EXPECT_EQ(t, c.after) << c.in;
  }
}

TEST(DeviceQcHelpers, PrefixUnitSuffix) {
  struct Case { const char* text; const char* prefixUnit; } cases[] = {
      {"1.5mV", "mV"},  {"3.3V", ""},    {" 900.0uV", "uV"}, {" 5.000pF", "pF"}, {"1.5nA", "nA"},
      {"2.5kV", "kV"},  {"1.0MHz", "MHz"}, {"#1.5mV", ""},   {"m5", ""},         {"12.3mu", "u"},
      {"Open", "pen"},  {"No Data", ""},   {"", ""},         {" 1.234 V", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(PrefixUnitSuffix(c.text), c.prefixUnit) << c.text;
}

TEST(DeviceQcHelpers, CutFiveAndPrefixConversion) {
  struct Cut { double v; const char* text; } cuts[] = {
      {0.5, "0.500"},   {12.345678, "12.34"}, {-0.25, "-0.25"},   {1234.5, "1234."},  {0, "0.000"},
      {-0.0001, "-0.00"}, {99999.9, "99999"}, {123456.7, "123456"}, {-12345.6, "-12345"},
  };
  for (const auto& c : cuts) EXPECT_EQ(CutFive(c.v), c.text) << c.v;

  // The rewritten text denotes the same quantity in the prefix of the maximum.
  struct Conv { const char* text; const char* unitMax; const char* out; } convs[] = {
      {" 900.0uV", "mV", "0.900mV"}, {"0.5V", "mV", "500.0mV"},  {"2mV", "", "0.002"},
      {"No Data", "mV", "0.000mV"},  {" 1.5kV", "mV", "1500000mV"}, {"-1.000 V", "mV", "-1000mV"},
      {"250n", "uA", "0.250uA"},
  };
  for (const auto& c : convs) {
    const std::string out = InPrefixOf(c.text, c.unitMax);
    EXPECT_EQ(out, c.out) << c.text;
    EXPECT_NEAR(ScaledValue(out), ScaledValue(c.text), 1e-3 * std::abs(ScaledValue(c.text)) + 1e-15) << c.text;
  }
}

TEST(DeviceQcScatter, EndsFollowDataRangeAndManualEdits) {
  QcLot lot = MakeQcLot({"VTH", "IR"},
                        {{" 2.000mV", " 10.00uA"}, {" 900.0uV", " 50.00uA"}, {" 5.000mV", " 10.00uA"}, {"No Data", " 20.00uA"}},
                        {false, true});
  struct Case {
    int range;
    const char *xMinEdit, *xMaxEdit;
    QcMessage msg;
    const char *xMin, *xMax, *yMin, *yMax;
  } cases[] = {
      // "No Data" reads 0 and is the smallest; the tie on 10uA keeps the first device.
      {kRangeAll, "", "", QcMessage::None, "No Data", " 5.000mV", " 10.00uA", " 50.00uA"},
      {kRangePass, "", "", QcMessage::None, "No Data", " 5.000mV", " 10.00uA", " 20.00uA"},
      // The manual maximum borrows the unit V of the data; an empty minimum keeps the data's.
      {kRangeManual, "", "8m", QcMessage::None, "No Data", "8mV", " 10.00uA", " 50.00uA"},
      {kRangeManual, "0.001", "8m", QcMessage::None, "0.001V", "8mV", " 10.00uA", " 50.00uA"},
      {kRangeManual, "1", "8m", QcMessage::InvalidMaxOrMin, "1V", "8mV", " 10.00uA", " 50.00uA"},  // 1V > 8mV
      {kRangeManual, "1m", "8mV", QcMessage::None, "1m", "8mV", " 10.00uA", " 50.00uA"},
      {kRangeManual, "9m", "8m", QcMessage::InvalidMaxOrMin, "9mV", "8mV", " 10.00uA", " 50.00uA"},
      {kRangeManual, "8m", "8m", QcMessage::InvalidMaxOrMin, "8mV", "8mV", " 10.00uA", " 50.00uA"},
  };
  for (const auto& c : cases) {
    ScatterState s{.xItem = 1, .yItem = 2, .range = c.range, .xMinEdit = c.xMinEdit, .xMaxEdit = c.xMaxEdit};
    EXPECT_EQ(ShowScatter(lot, s), c.msg) << c.xMaxEdit;
    EXPECT_EQ((std::vector<std::string>{s.xMinText, s.xMaxText, s.yMinText, s.yMaxText, s.xLabel, s.yLabel}),
              (std::vector<std::string>{c.xMin, c.xMax, c.yMin, c.yMax, "X-1 [VTH]", "Y-2 [IR]"}));
  }
}

TEST(DeviceQcScatter, ItemNumbersAndAllFailed) {
  QcLot lot = MakeQcLot({"VTH"}, {{" 1.000mV"}, {" 2.000mV"}}, {true, true});
  ScatterState s;
  const struct { int range, x, y; QcMessage message; } cases[] = {
      {kRangeAll, 1, 1, QcMessage::None}, {kRangePass, 1, 1, QcMessage::ItemAllFail},
      {kRangeAll, 0, 1, QcMessage::InvalidX}, {kRangeAll, 1, 2, QcMessage::InvalidY}};
  for (const auto& c : cases) {
    s.range = c.range;
    s.xItem = c.x;
    s.yItem = c.y;
    EXPECT_EQ(ShowScatter(lot, s), c.message) << c.range << " " << c.x << " " << c.y;
  }
  // The chart keeps the items of the last valid Show.
  EXPECT_EQ(std::make_pair(s.shownX, s.shownY), std::make_pair(1, 1));
  QcScene sc;
  DrawScatter(lot, s, {0, 0, 400, 300}, sc);  // must not index item 2
  EXPECT_EQ(ShowScatter(MakeQcLot({"VTH"}, {}), s = ScatterState{}), QcMessage::ItemAllFail);
}

TEST(DeviceQcScatter, PointsStrictlyInsideTheField) {
  // One item against itself: a diagonal; the two ends lie on the frame.
  QcLot lot = OneItem({" 1.000mV", " 2.000mV", " 3.000mV", " 900.0uV", " 5.000mV", " 4.000mV"});
  ScatterState s;
  ASSERT_EQ(ShowScatter(lot, s), QcMessage::None);
  EXPECT_EQ(s.xMinText, " 900.0uV");
  QcScene sc;
  const QcRect area{10, 20, 410, 320};
  DrawScatter(lot, s, area, sc);
  const QcRect f = ScatterField(area);
  EXPECT_EQ(f, (QcRect{145, 25, 405, 285}));
  ASSERT_EQ(sc.points.size(), 4u);  // 900uV and 5mV are on the frame
  for (auto [x, y] : sc.points) {
    EXPECT_GT(x, f.left);
    EXPECT_LT(x, f.right);
    EXPECT_EQ(x - f.left + 1, f.bottom - y);  // the diagonal; both positions truncated
  }
  // 1mV: (0.001 - 0.0009) * 260 / 0.0041 = 6.34: x = left + 6, y = trunc(bottom - 6.34) = bottom - 7
  EXPECT_EQ(sc.points[0], std::make_pair(f.left + 6, f.bottom - 7));

  // All values equal: the span is 0, the texts are drawn, no point is.
  QcLot flat = OneItem({" 1.000mV", " 1.000mV", " 1.000mV"});
  ScatterState s2;
  ASSERT_EQ(ShowScatter(flat, s2), QcMessage::None);
  QcScene sc2;
  DrawScatter(flat, s2, area, sc2);
  EXPECT_TRUE(sc2.points.empty());
  EXPECT_EQ(sc2.shapes.size(), 4u + 6u);
}

TEST(DeviceQcHistogram, CountBinsOnHalfOpenIntervalsAndFullScale) {
  struct Case { std::vector<double> edges, values; std::vector<std::int32_t> counts; } cases[] = {
      {{0, 1, 2}, {0, 0.5, 1, 1.999, 2, -1}, {2, 2}},
      {{1, 1, 1}, {1, 1, 0.5}, {0, 0}},               // equal edges: every bin empty
      {{-0.25, -0.2, 0}, {-0.25, -0.21, -0.2, 0}, {2, 1}},
      {{0, 2, 1, 3}, {0.5, 1.5, 2.5}, {2, 0, 2}},      // overlapping bins: 1.5 counts twice
      {{5}, {5}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(CountBins(c.edges, c.values), c.counts);

  struct Scale { std::int64_t m, full; } scales[] = {
      {0, 1}, {1, 2}, {9, 10}, {37, 38}, {99, 100}, {123, 130}, {1234, 1300}, {200000, 210000}, {-3, 1},
  };
  for (const auto& c : scales) EXPECT_EQ(FullScale(c.m), c.full) << c.m;
}

std::vector<std::string> Cells(std::initializer_list<double> mv) {
  std::vector<std::string> out;
  for (double v : mv) out.push_back(CutFive(v) + "mV");
  return out;
}

TEST(DeviceQcHistogram, AutomaticRange) {
  struct Case {
    const char* name;
    std::vector<std::string> cells;
    const char *first, *last;                // labels 0 and 16
    std::vector<std::int32_t> nonZero;       // bin, count pairs
  } cases[] = {
      // 16 values one step apart: one per bin, the maximum in the last bin.
      {"steps", Cells({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}), "0.000mV", "16.00mV",
       {0, 1, 1, 1, 2, 1, 3, 1, 4, 1, 5, 1, 6, 1, 7, 1, 8, 1, 9, 1, 10, 1, 11, 1, 12, 1, 13, 1, 14, 1, 15, 1}},
      // All equal: the labels are equal and nothing is counted.
      {"flat", {" 1.000mV", " 1.000mV"}, "1.000mV", "1.000mV", {}},
      // The minimum in uV is rewritten in mV; the uV cell itself counts by its number, 900.
      {"uV among mV", {" 1.000mV", " 900.0uV", " 5.000mV"}, "0.900mV", "5.273mV", {0, 1, 15, 1}},
      // Negative: -0.25 keeps its sign; 0 falls on edge 5.
      {"negative", {"-0.250mV", " 0.000mV", " 0.500mV"}, "-0.25mV", "0.550mV", {0, 1, 5, 1, 15, 1}},
      // A first edge cut toward zero lies above the minimum, which then counts nowhere.
      {"cut minimum", {"-1.234mV", " 0.100mV", " 1.000mV"}, "-1.23mV", "1.148mV", {8, 1, 15, 1}},
      // No prefix on the maximum: the labels carry neither prefix nor unit, and
      // the mV cell counts by its number, 900, beyond every edge.
      {"no prefix", {" 1.200 V", " 900.0mV"}, "0.900", "1.220", {15, 1}},
  };
  for (const auto& c : cases) {
    QcLot lot = OneItem(c.cells);
    HistogramState h;
    h.scrollOffset = 5;
    ASSERT_EQ(ShowHistogram(lot, h), QcMessage::None) << c.name;
    EXPECT_EQ(h.labelCount, 17) << c.name;
    ASSERT_EQ(h.binLabels.size(), 17u) << c.name;
    ASSERT_EQ(h.binCounts.size(), 16u) << c.name;
    EXPECT_EQ(h.binLabels.front(), c.first) << c.name;
    EXPECT_EQ(h.binLabels.back(), c.last) << c.name;
    EXPECT_TRUE(h.scrollOffset == 0 && !h.scrollVisible) << c.name;
    std::vector<std::int32_t> want(16, 0);
    for (std::size_t i = 0; i < c.nonZero.size(); i += 2) want[c.nonZero[i]] = c.nonZero[i + 1];
    EXPECT_EQ(h.binCounts, want) << c.name;
    EXPECT_EQ(h.title, " 1 [VTH]");
  }
}

// Bars against the full scale of the largest count (at least 2 pixels when
// not empty), every count beside its bar; the window paints the list as the
// scatter's (DeviceQcDialog.ScatterPixels).
TEST(DeviceQcHistogram, BarsAgainstTheFullScale) {
  std::vector<std::string> cells(30, " 0.000mV");
  cells.push_back(" 15.00mV");
  HistogramState h;
  ASSERT_EQ(ShowHistogram(OneItem(cells), h), QcMessage::None);
  std::vector<std::string> counts;
  const auto bars = [&] {
    QcScene sc;
    DrawHistogram(h, {0, 0, 600, 380}, sc);  // bars up to 400 pixels
    std::vector<int> widths;
    counts.clear();
    for (const QcShape& s : sc.shapes) {
      if (s.kind == QcShape::Fill && s.color == kQcLabelColor) widths.push_back(s.rect.right - s.rect.left);
      if (s.kind == QcShape::Text && s.align == QcAlign::Left && s.rect.left > 110) counts.push_back(s.text);
    }
    return widths;
  };
  EXPECT_EQ(bars(), (std::vector<int>{30 * 400 / 31, 400 / 31}));  // 30 and 1 of a full scale of 31
  ASSERT_EQ(counts.size(), 16u);
  EXPECT_EQ(counts[0] + "|" + counts[1] + "|" + counts[15], "30|0|1");
  h.binCounts.assign(16, 0);
  h.binCounts[0] = 1000;
  h.binCounts[1] = 1;
  h.binCounts[2] = 3;  // 1 pixel
  EXPECT_EQ(bars(), (std::vector<int>{1000 * 400 / 1100, 2, 2}));
}

TEST(DeviceQcHistogram, ManualRange) {
  QcLot lot = OneItem(Cells({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  struct Case {
    const char *minEdit, *maxEdit, *stepEdit;
    QcMessage msg;
    int labelCount;
    const char *first, *last;
    bool scroll;
  } cases[] = {
      {"2", "6", "1m", QcMessage::None, 7, "2.000mV", "8.000mV", false},
      // A step without prefix is in the base unit: 1V is 1000mV, so 2 to 6 needs only 3 labels.
      {"2", "6", "1", QcMessage::None, 3, "2.000mV", "2002.mV", false},
      {" 2m ", "", "", QcMessage::None, 17, "2.000mV", "10.53mV", false},   // no step: 16 bins
      // The check compares scaled values: "2" becomes 2V, above the data's 10mV.
      {"2", "", "", QcMessage::InvalidMaxOrMin, 0, nullptr, nullptr, false},
      {"0", "27", "1m", QcMessage::None, 30, "0.000mV", "29.00mV", true},   // more than 17 labels
      {"0", "10", "500u", QcMessage::None, 23, "0.000mV", "11.00mV", true},  // 500uV -> 0.500mV
      {"0", "10", "0.002V", QcMessage::None, 8, "0.000mV", "14.00mV", false},  // 2mV
      {"0", "10", "0", QcMessage::InvalidStep, 0, nullptr, nullptr, false},
      {"0", "10", "1mA", QcMessage::InvalidStep, 0, nullptr, nullptr, false},  // another unit
      {"0", "10", "0.1u", QcMessage::InvalidStep, 0, nullptr, nullptr, false},  // 0.0001mV cuts to 0
      {"0", "10", "-1m", QcMessage::InvalidStep, 0, nullptr, nullptr, false},   // wrong sign
      {"0", "10", "0.001m", QcMessage::InvalidStep, 0, nullptr, nullptr, false},  // too many labels
      {"6", "2", "1m", QcMessage::InvalidMaxOrMin, 0, nullptr, nullptr, false},
      {"6", "2", "-1m", QcMessage::InvalidMaxOrMin, 0, nullptr, nullptr, false},
  };
  for (const auto& c : cases) {
    HistogramState h{.range = kRangeManual, .minEdit = c.minEdit, .maxEdit = c.maxEdit, .stepEdit = c.stepEdit};
    const std::string id = std::string(c.minEdit) + "|" + c.maxEdit + "|" + c.stepEdit;
    EXPECT_EQ(ShowHistogram(lot, h), c.msg) << id;
    if (c.msg != QcMessage::None) {
      EXPECT_TRUE(h.binLabels.empty()) << id;
      continue;
    }
    EXPECT_EQ(h.labelCount, c.labelCount) << id;
    ASSERT_EQ(h.binLabels.size(), static_cast<std::size_t>(c.labelCount)) << id;
    EXPECT_EQ(h.binCounts.size(), static_cast<std::size_t>(c.labelCount - 1)) << id;
    EXPECT_EQ(h.binLabels.front(), c.first) << id;
    EXPECT_EQ(h.binLabels.back(), c.last) << id;
    EXPECT_EQ(h.scrollVisible, c.scroll) << id;
  }
  // The edits are trimmed in place and given the unit of the data.
  HistogramState h{.range = kRangeManual, .minEdit = " 2m ", .stepEdit = " 1m "};
  ASSERT_EQ(ShowHistogram(lot, h), QcMessage::None);
  EXPECT_EQ(h.minEdit, "2m");
  EXPECT_EQ(h.stepEdit, "1mV");
  EXPECT_EQ(h.minText, "2mV");
  EXPECT_EQ(h.maxText, "10.00mV");
}

}  // namespace
}  // namespace lotvue
