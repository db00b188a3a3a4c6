// Measured values and item statistics: every value text against the file's
// number, every status byte through the reader, worked lots, and random
// lots against a plain two-pass reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/item_stats.h"
#include "core/measured_float.h"
#include "core/measured_value.h"
#include "core/result_records.h"
#include "core/value_text.h"
#include "tests/core/lot_files.h"
#include "tools/tsd_writer.h"

namespace lotvue {
namespace {

using testing::LoadBytes;
using Opt = std::optional<double>;

// The bits of the float of a value (std::nullopt for none): MeasuredFloat of
// a text, or the cast of a double.
std::optional<std::uint32_t> FloatBits(std::optional<double> value) {
  if (!value) return std::nullopt;
  return std::bit_cast<std::uint32_t>(static_cast<float>(*value));
}
std::optional<std::uint32_t> FloatBits(const std::string& text) {
  float value = 0;
  if (!MeasuredFloat(text, value)) return std::nullopt;
  return std::bit_cast<std::uint32_t>(value);
}

TEST(MeasuredValueTest, EveryResultTextIsTheNearestDoubleToTheFilesNumber) {
  constexpr double kPow10[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  char out[kMaxValueText];
  const std::uint8_t units[] = {0, 'V', 'm', '5'};
  for (int m = -32768; m <= 32767; ++m) {
    for (int e = 0; e <= 22; ++e) {  // 21 and 22: the '?' prefix, no value
      const PackedValue v{static_cast<std::int16_t>(m), 0x10, static_cast<std::uint8_t>(e)};
      const std::string text(out, WriteResultValue(v, units[(m + e) & 3], out));
      // mantissa * 10^(exponent - 15), one correctly rounded operation.
      const Opt expected = e > 20 ? Opt() : e < 15 ? m / kPow10[15 - e] : m * kPow10[e - 15];
      for (const char* letter : {"", "F", "O", "f"}) {
        ASSERT_EQ(MeasuredValue(letter + text), expected) << letter << text;
        ASSERT_EQ(FloatBits(letter + text), FloatBits(expected)) << letter << text;
      }
    }
  }
  EXPECT_EQ(MeasuredValue(" 0.641mV"), 0.000641);
  EXPECT_EQ(MeasuredValue("-1.0000000000p"), -1e-12);  // a last digit worth 1e-22
  for (const char* text : {"", "F", "No Data", "F No Data", "Over", "F Open", " 1.234", " 1.234mVV", "1ch", "X 1.234mV",
                           "FF 1.234mV", " 1234 V", "  1.234 V", "+1.234 V", " 1.2.3 V", "#N/A", " 1.234xV",
                           " 1.00000000000p", " 1234567890.123456 V", " 1.2345", "F-12.34.m", " -1.234m", " 12345mV"}) {
    EXPECT_FALSE(MeasuredValue(text)) << text;
    EXPECT_FALSE(FloatBits(text)) << text;
  }
  // Texts of other shapes than the reader's take the float of MeasuredValue too.
  for (const char* text : {" 0.641mV", "-1.0000000000p", "1.5m", "-.5k", "12345.m", "f.12345M", " 1.234m5", "O123456.p",
                           "99999.9 ", "-0.000 ", "1.234567u", "1.234m", "F1.234m", "f-1.23 ", " 16777217. ", "0.3333333333333 "}) {
    ASSERT_TRUE(MeasuredValue(text)) << text;
    EXPECT_EQ(FloatBits(text), FloatBits(MeasuredValue(text))) << text;
  }
}

// The quick float path takes four or five digits with their point: every
// number of five digits, with every place of the point and every prefix,
// gives the float of its double.
TEST(MeasuredValueTest, EveryFiveDigitTextGivesTheFloatOfItsDouble) {
  for (int digits = 0; digits <= 99999; ++digits) {
    char text[9] = {digits % 2 ? '-' : ' '};
    for (int k = 4, d = digits; k >= 0; --k, d /= 10) text[1 + k] = static_cast<char>('0' + d % 10);
    for (int point = 1; point <= 6; ++point) {
      char withPoint[10];
      std::memcpy(withPoint, text, point);
      withPoint[point] = '.';
      std::memcpy(withPoint + point + 1, text + point, 6 - point);
      for (char prefix : {'p', 'n', 'u', 'm', ' ', 'k', 'M'}) {
        withPoint[7] = prefix;
        const std::string t(withPoint, 8);
        ASSERT_EQ(FloatBits(t), FloatBits(MeasuredValue(t))) << t;
      }
    }
  }
}

// Every status byte through the reader, judged by the rules in words.
TEST(MeasuredValueTest, EveryStatusByteOfTheReader) {
  const std::set<std::string> redErrors = {"CoverOpen", "PreShort",  "PreOpen",  "ID_Over", "TG_High",  "TG_Low",
                                           "PostShort", "IGBT_Err", "VCC_Low", "VCC_High", "HardError"};
  const std::set<int> valueClasses = {16, 24, 17, 25, 48, 49, 80, 81};
  for (std::uint32_t type : {0u, kOpenItem}) {
    tsd::TsdBuilder b;
    b.AddItem("A", 'V', type);
    for (int s = 0; s < 256; ++s) b.AddDevice(s + 1, 1, 0, {{1234, static_cast<std::uint8_t>(s), 9}});
    const auto loaded = LoadBytes(b.Bytes());
    for (int s = 0; s < 256; ++s) {
      const std::string text(loaded.lot->ResultText(s, 0));
      const bool isValue = valueClasses.count(NormalizeStatus(static_cast<std::uint8_t>(s))) > 0;
      EXPECT_EQ(MeasuredValue(text), isValue ? Opt(1.234e-3) : std::nullopt) << s << " " << text;
      const bool failed = text.starts_with("F") || text.starts_with("f") || redErrors.count(text);
      EXPECT_EQ(ResultFailed(text), failed) << s << " " << text;
    }
  }
}

tsd::Result R(std::int16_t m, std::uint8_t e, std::uint8_t status = 0x10) { return {m, status, e}; }

// Every field alike: both undefined, or equal to 1e-12 relative (cp and cpk
// also to 1e-12 absolute, as they divide differences near 0).
void ExpectStats(const ItemStats& got, const ItemStats& expected, const std::string& what) {
  EXPECT_EQ(got.item, expected.item) << what;
  EXPECT_EQ(got.n, expected.n) << what;
  EXPECT_EQ(got.fails, expected.fails) << what;
  const std::tuple<const char*, Opt, Opt, double> fields[] = {
      {"FailPct", got.failPct, expected.failPct, 0}, {"Mean", got.mean, expected.mean, 0},
      {"Median", got.median, expected.median, 0},    {"Stdev", got.stdev, expected.stdev, 0},
      {"Min", got.min, expected.min, 0},             {"Max", got.max, expected.max, 0},
      {"LSL", got.lsl, expected.lsl, 0},             {"USL", got.usl, expected.usl, 0},
      {"Cp", got.cp, expected.cp, 1e-12},            {"Cpk", got.cpk, expected.cpk, 1e-12}};
  for (const auto& [field, a, b, floor] : fields) {
    EXPECT_EQ(a.has_value(), b.has_value()) << what << ": " << field;
    if (a && b) {
      EXPECT_NEAR(*a, *b, std::max(floor, std::fabs(*b) * 1e-12)) << what << ": " << field;
    }
  }
}

TEST(ItemStatsTest, WorkedLots) {
  struct Case {
    const char* what;
    std::vector<tsd::Result> results;      // one item, unit V, one device each
    std::vector<std::uint16_t> failWords;  // per device; missing ones are 0
    std::optional<tsd::Result> lsl, usl;   // none: an empty limit cell
    DeviceSelection selection;
    ItemStats expected;
  };
  const double s1 = std::sqrt(13.0 / 12) * 1e-3, r2 = std::sqrt(2.0);
  const auto no = std::nullopt;
  const auto all = DeviceSelection::kAll;
  const std::vector<Case> cases = {
      {"mixed prefixes", {R(1000, 9), R(5000, 8), R(2500, 9)}, {}, R(0, 9), R(2000, 9), all,
       {0, 3, 0, 0, 4e-3 / 3, 1e-3, s1, 5e-4, 2.5e-3, 0, 2e-3, 2e-3 / (6 * s1), (2e-3 / 3) / (3 * s1)}},
      {"one value", {R(1234, 15)}, {}, R(0, 12), R(9999, 15), all, {0, 1, 0, 0, 1234, 1234, no, 1234, 1234, 0, 9999}},
      {"no value", {R(0, 12, 0x14), R(0, 12, 0x12), R(0, 12, 0x13), R(0, 12, 0x00), R(0, 12, 0x17), R(1000, 25)}, {},
       no, no, all, {0, 0, 2, 100.0 / 3}},
      {"upper limit only, even count", {R(1000, 12), R(3000, 12), R(-2000, 12), R(4000, 12)}, {}, no, R(5000, 12),
       all, {0, 4, 0, 0, 1.5, 2, std::sqrt(7.0), -2, 4, no, 5, no, 3.5 / (3 * std::sqrt(7.0))}},
      {"lower limit only", {R(1000, 12), R(3000, 12)}, {}, R(0, 12), no, all,
       {0, 2, 0, 0, 2, 2, r2, 1, 3, 0, no, no, 2 / (3 * r2)}},
      {"stdev 0", {R(2000, 12), R(2000, 12), R(2000, 12)}, {}, R(0, 12), R(5000, 12), all,
       {0, 3, 0, 0, 2, 2, 0, 2, 2, 0, 5}},
      {"only pass, none passed", {R(1000, 12, 0x11)}, {1}, no, no, DeviceSelection::kOnlyPass, {}},
  };
  for (const Case& c : cases) {
    tsd::TsdBuilder b;
    const tsd::Result lsl = c.lsl.value_or(R(0, 12)), usl = c.usl.value_or(R(0, 12));
    using Rec = ItemRecord;  // a limit switched off leaves its cell empty
    b.AddItem("A", 'V')
        .Limits(lsl.mantissa, lsl.exponent, usl.mantissa, usl.exponent)
        .Byte(Rec::kLimitSwitches, (c.lsl ? 0 : Rec::kLowerSwitchable) | (c.usl ? 0 : Rec::kUpperSwitchable))
        .Byte(Rec::kLimitsOff, (c.lsl ? 0 : Rec::kLowerOff) | (c.usl ? 0 : Rec::kUpperOff));
    for (std::size_t d = 0; d < c.results.size(); ++d) {
      b.AddDevice(static_cast<int>(d) + 1, 1, d < c.failWords.size() ? c.failWords[d] : 0, {c.results[d]});
    }
    const std::vector<ItemStats> table = ComputeItemStats(*LoadBytes(b.Bytes()).lot, c.selection);
    ASSERT_EQ(table.size(), 1u) << c.what;
    ExpectStats(table[0], c.expected, c.what);
  }
}

TEST(ItemStatsTest, SumsStayAccurateOverAMillionValues) {
  std::vector<double> values(1000000, 1e-9);
  values.push_back(2e-9);
  const double n = 1000001, mean = (1e-3 + 2e-9) / n;
  const double variance = (1e6 * (mean - 1e-9) * (mean - 1e-9) + (2e-9 - mean) * (2e-9 - mean)) / (n - 1);
  const ItemStats s = SummarizeItem(0, values, 1000001, 0, std::nullopt, std::nullopt);
  EXPECT_NEAR(*s.mean, mean, mean * 1e-12);
  EXPECT_NEAR(*s.stdev, std::sqrt(variance), std::sqrt(variance) * 1e-9);
  EXPECT_EQ(*s.median, 1e-9);
}

// The definitions followed one by one, with long double sums and a sort.
ItemStats Reference(const LotData& lot, int item, DeviceSelection selection) {
  ItemStats s;
  s.item = item;
  s.lsl = MeasuredValue(lot.ItemCell(kRowMinLimit, item + 2));
  s.usl = MeasuredValue(lot.ItemCell(kRowMaxLimit, item + 2));
  std::vector<double> v;
  std::int64_t taken = 0;
  for (int d = 0; d < lot.devices(); ++d) {
    if (selection == DeviceSelection::kOnlyPass && lot.deviceFailed[d]) continue;
    ++taken;
    if (const Opt x = MeasuredValue(lot.ResultText(d, item))) v.push_back(*x);
    s.fails += ResultFailed(lot.ResultText(d, item));
  }
  s.n = static_cast<std::int64_t>(v.size());
  if (taken) s.failPct = 100.0 * s.fails / taken;
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  long double sum = 0, squares = 0;
  for (double x : v) sum += x;
  const long double mean = sum / v.size();
  for (double x : v) squares += (x - mean) * (x - mean);
  s.mean = static_cast<double>(mean);
  s.median = (v[(v.size() - 1) / 2] + v[v.size() / 2]) / 2;
  s.min = v.front();
  s.max = v.back();
  if (v.size() < 2) return s;
  const double sigma = static_cast<double>(std::sqrt(squares / (v.size() - 1)));
  s.stdev = sigma;
  if (sigma > 0 && s.lsl && s.usl) {  // generated items have both limits
    s.cp = (*s.usl - *s.lsl) / (6 * sigma);
    s.cpk = std::min(*s.usl - *s.mean, *s.mean - *s.lsl) / (3 * sigma);
  }
  return s;
}

TEST(ItemStatsTest, RandomLotsMatchThePlainReference) {
  for (std::uint64_t seed = 1; seed <= 12; ++seed) {
    const auto loaded = LoadBytes(tsd::GenerateLot({.seed = seed,
                                                    .devices = static_cast<int>(seed * 37 % 400),
                                                    .items = static_cast<int>(seed % 5 == 0 ? 1 : 3 + seed * 7 % 40),
                                                    .failShare = seed % 3 * 0.3}));
    const LotData& lot = *loaded.lot;
    for (DeviceSelection selection : {DeviceSelection::kAll, DeviceSelection::kOnlyPass}) {
      const std::vector<ItemStats> table = ComputeItemStats(lot, selection);
      auto next = table.begin();
      for (int i = 0; i < lot.items(); ++i) {
        if (HasNoResults(lot.itemTypes[i])) continue;  // the four special types have no row
        ASSERT_NE(next, table.end());
        ExpectStats(*next++, Reference(lot, i, selection), "seed " + std::to_string(seed) + " item " + std::to_string(i));
      }
      EXPECT_EQ(next, table.end());
      // Bins: ascending, every taken device counted once by its fail word.
      std::map<std::int64_t, BinStats> bins;
      const double taken = static_cast<double>(TakenDevices(lot, selection));
      for (int d = 0; d < lot.devices(); ++d) {
        if (selection == DeviceSelection::kOnlyPass && lot.deviceFailed[d]) continue;
        const std::int64_t bin = std::stoll(std::string(lot.deviceCells.At(d + 1, 1)));
        BinStats& b = bins.try_emplace(bin, BinStats{bin}).first->second;
        ++b.count;
        ++(lot.deviceFailed[d] ? b.failed : b.passed);
        b.percent = 100.0 * b.count / taken;
      }
      const std::vector<BinStats> got = ComputeBinStats(lot, selection);
      ASSERT_EQ(got.size(), bins.size());
      for (std::size_t k = 0; const auto& [bin, b] : bins) {
        EXPECT_EQ(std::tie(got[k].bin, got[k].count, got[k].passed, got[k].failed, got[k].percent),
                  std::tie(b.bin, b.count, b.passed, b.failed, b.percent));
        ++k;
      }
    }
  }
}

}  // namespace
}  // namespace lotvue
