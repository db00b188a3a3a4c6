// Measured values and item statistics: every value text against strtod,
// every status byte through the reader, worked lots, and random lots
// against a plain two-pass reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/item_stats.h"
#include "core/measured_value.h"
#include "core/value_text.h"
#include "tests/core/test_lot.h"
#include "tools/tsd_writer.h"

namespace lotvue {
namespace {

using testing::LoadBytes;
using Opt = std::optional<double>;

// The number part read by strtod, times the factor of the prefix character.
double ReferenceValue(const std::string& number, char prefix) {
  const std::map<char, double> factors = {{'p', 1e-12}, {'n', 1e-9}, {'u', 1e-6}, {'m', 1e-3},
                                          {' ', 1.0},   {'k', 1e3},  {'M', 1e6}};
  return std::strtod(number.c_str(), nullptr) * factors.at(prefix);
}

TEST(MeasuredValueTest, EveryResultTextIsItsNumberTimesItsPrefix) {
  char out[kMaxValueText];
  const std::uint8_t units[] = {0, 'V', 'm', '5'};
  for (int m = -32768; m <= 32767; ++m) {
    for (int e = 0; e <= 20; ++e) {
      const PackedValue v{static_cast<std::int16_t>(m), 0x10, static_cast<std::uint8_t>(e)};
      const std::uint8_t unit = units[(m + e) & 3];
      const std::string text(out, WriteResultValue(v, unit, out));
      const std::size_t prefixAt = text.size() - (unit ? 2 : 1);
      const double expected = ReferenceValue(text.substr(0, prefixAt), text[prefixAt]);
      // The file's meaning, to rounding: mantissa * 10^(exponent - 15).
      ASSERT_NEAR(expected, m * std::pow(10.0L, e - 15), std::fabs(expected) * 4e-16) << text;
      for (const char* letter : {"", "F", "O", "f"}) {
        const Opt got = MeasuredValue(letter + text);
        ASSERT_TRUE(got) << letter << text;
        ASSERT_EQ(*got, expected) << letter << text;
      }
    }
    for (int e : {21, 22, 100, 255}) {  // the '?' prefix
      const PackedValue v{static_cast<std::int16_t>(m), 0x10, static_cast<std::uint8_t>(e)};
      ASSERT_FALSE(MeasuredValue(std::string(out, WriteResultValue(v, 'V', out)))) << m << " " << e;
    }
  }
  for (const char* text : {"", "F", "No Data", "F No Data", "Over", "F Open", " 1.234", " 1.234mVV", "1ch", "X 1.234mV",
                           "FF 1.234mV", " 1234 V", "  1.234 V", "+1.234 V", " 1.2.3 V", "#N/A", " 1.234xV"}) {
    EXPECT_FALSE(MeasuredValue(text)) << text;
  }
}

// Every status byte through the reader, judged by the rules in words.
TEST(MeasuredValueTest, EveryStatusByteOfTheReader) {
  const std::vector<std::string> redErrors = {"CoverOpen", "PreShort", "PreOpen",  "ID_Over", "TG_High",  "TG_Low",
                                              "PostShort", "IGBT_Err", "VCC_Low", "VCC_High", "HardError"};
  for (std::uint32_t type : {0u, 0x00810000u}) {
    tsd::TsdBuilder b;
    b.AddItem("A", 'V', type);
    for (int s = 0; s < 256; ++s) b.AddDevice(s + 1, 1, 0, {{1234, static_cast<std::uint8_t>(s), 9}});
    const auto loaded = LoadBytes(b.Bytes());
    for (int s = 0; s < 256; ++s) {
      const std::string text(loaded.lot->ResultText(s, 0));
      const int code = NormalizeStatus(static_cast<std::uint8_t>(s));
      const bool isValue = code == 16 || code == 24 || code == 17 || code == 25 || code == 48 || code == 49 ||
                           code == 80 || code == 81;
      const Opt v = MeasuredValue(text);
      EXPECT_EQ(v.has_value(), isValue) << s << " " << text;
      if (v) {
        EXPECT_DOUBLE_EQ(*v, 1.234e-3) << text;
      }
      const bool failed = text.starts_with("F") || text.starts_with("f") ||
                          std::find(redErrors.begin(), redErrors.end(), text) != redErrors.end();
      EXPECT_EQ(ResultFailed(text), failed) << s << " " << text;
    }
  }
}

tsd::Result R(std::int16_t m, std::uint8_t e, std::uint8_t status = 0x10) { return {m, status, e}; }

// A lot of one item with unit V, the given limits and one device per result.
struct WorkedCase {
  const char* what;
  std::vector<tsd::Result> results;
  std::vector<std::uint16_t> failWords;  // per device; missing ones are 0
  std::optional<tsd::Result> lsl, usl;   // limit mantissa and exponent; none: empty cell
  DeviceSelection selection;
  std::int64_t n, fails;
  Opt failPct, mean, median, stdev, min, max, cp, cpk;
};

void ExpectSame(const char* field, const Opt& got, const Opt& expected, const char* what) {
  EXPECT_EQ(got.has_value(), expected.has_value()) << what << ": " << field;
  if (got && expected) {
    EXPECT_NEAR(*got, *expected, std::fabs(*expected) * 1e-12) << what << ": " << field;
  }
}

TEST(ItemStatsTest, WorkedLots) {
  const double s1 = std::sqrt(13.0 / 12) * 1e-3, s2 = std::sqrt(13.0 / 3), r2 = std::sqrt(2.0);
  const auto none = std::nullopt;
  const auto all = DeviceSelection::kAll, onlyPass = DeviceSelection::kOnlyPass;
  const std::vector<WorkedCase> cases = {
      {"mixed prefixes", {R(1000, 9), R(5000, 8), R(2500, 9)}, {}, R(0, 9), R(5000, 9), all, 3, 0, 0, 4e-3 / 3, 1e-3,
       s1, 5e-4, 2.5e-3, 5e-3 / (6 * s1), (4e-3 / 3) / (3 * s1)},
      {"negative values, even count", {R(-1000, 12), R(-3000, 12), R(2000, 12), R(0, 12)}, {}, R(-5000, 12),
       R(5000, 12), all, 4, 0, 0, -0.5, -0.5, s2, -3, 2, 10 / (6 * s2), 4.5 / (3 * s2)},
      {"one value", {R(1234, 15)}, {}, R(0, 12), R(9999, 15), all, 1, 0, 0, 1234, 1234, none, 1234, 1234, none, none},
      {"no value", {R(0, 12, 0x14), R(0, 12, 0x12), R(0, 12, 0x13), R(0, 12, 0x00), R(0, 12, 0x17), R(1000, 25)},
       {}, R(0, 12), R(1, 12), all, 0, 2, 100.0 / 3, none, none, none, none, none, none, none},
      {"upper limit only", {R(1000, 12), R(3000, 12)}, {}, none, R(5000, 12), all, 2, 0, 0, 2, 2, r2, 1, 3, none,
       3 / (3 * r2)},
      {"lower limit only", {R(1000, 12), R(3000, 12)}, {}, R(0, 12), none, all, 2, 0, 0, 2, 2, r2, 1, 3, none,
       2 / (3 * r2)},
      {"stdev 0", {R(2000, 12), R(2000, 12), R(2000, 12)}, {}, R(0, 12), R(5000, 12), all, 3, 0, 0, 2, 2, 0, 2, 2,
       none, none},
      {"letters F O f", {R(1000, 12, 0x11), R(2000, 12, 0x30), R(3000, 12, 0x51), R(4000, 12)}, {}, none, none, all,
       4, 2, 50, 2.5, 2.5, std::sqrt(5.0 / 3), 1, 4, none, none},
      {"all devices", {R(1000, 12), R(10000, 12, 0x11), R(3000, 12)}, {0, 1, 0}, none, none, all, 3, 1, 100.0 / 3,
       14.0 / 3, 3, std::sqrt(67.0 / 3), 1, 10, none, none},
      {"only pass", {R(1000, 12), R(10000, 12, 0x11), R(3000, 12)}, {0, 1, 0}, none, none, onlyPass, 2, 0, 0, 2, 2,
       r2, 1, 3, none, none},
      {"only pass, none passed", {R(1000, 12, 0x11)}, {1}, none, none, onlyPass, 0, 0, none, none, none, none, none,
       none, none, none},
  };
  for (const WorkedCase& c : cases) {
    tsd::TsdBuilder b;
    tsd::ItemRecord& item = b.AddItem("A", 'V');
    const tsd::Result lsl = c.lsl.value_or(R(0, 12)), usl = c.usl.value_or(R(0, 12));
    item.Limits(lsl.mantissa, lsl.exponent, usl.mantissa, usl.exponent);
    item.Byte(16, (c.lsl ? 0 : 0x01) | (c.usl ? 0 : 0x02)).Byte(19, (c.lsl ? 0 : 0x80) | (c.usl ? 0 : 0x40));
    for (std::size_t d = 0; d < c.results.size(); ++d) {
      b.AddDevice(static_cast<int>(d) + 1, 1, d < c.failWords.size() ? c.failWords[d] : 0, {c.results[d]});
    }
    const auto loaded = LoadBytes(b.Bytes());
    const std::vector<ItemStats> table = ComputeItemStats(*loaded.lot, c.selection);
    ASSERT_EQ(table.size(), 1u) << c.what;
    const ItemStats& s = table[0];
    EXPECT_EQ(s.n, c.n) << c.what;
    EXPECT_EQ(s.fails, c.fails) << c.what;
    const Opt lslValue = c.lsl ? Opt(lsl.mantissa * std::pow(10.0, lsl.exponent - 15)) : none;
    const Opt uslValue = c.usl ? Opt(usl.mantissa * std::pow(10.0, usl.exponent - 15)) : none;
    ExpectSame("LSL", s.lsl, lslValue, c.what);
    ExpectSame("USL", s.usl, uslValue, c.what);
    for (const auto& [field, got, expected] : {std::tuple("FailPct", s.failPct, c.failPct), {"Mean", s.mean, c.mean},
                                               {"Median", s.median, c.median}, {"Stdev", s.stdev, c.stdev},
                                               {"Min", s.min, c.min}, {"Max", s.max, c.max}, {"Cp", s.cp, c.cp},
                                               {"Cpk", s.cpk, c.cpk}}) {
      ExpectSame(field, got, expected, c.what);
    }
  }
}

TEST(ItemStatsTest, SumsStayAccurateOverAMillionValues) {
  std::vector<double> values(1000000, 1e-9);
  values.push_back(2e-9);
  const ItemStats s = SummarizeItem(0, values, 1000001, 0, std::nullopt, std::nullopt);
  const double n = 1000001;
  EXPECT_NEAR(*s.mean, (1e-3 + 2e-9) / n, 1e-12 * 1e-9);
  const double mean = (1e-3 + 2e-9) / n;  // deviations: 1e6 of -(mean - 1e-9), one of 2e-9 - mean
  const double variance = (1e6 * (mean - 1e-9) * (mean - 1e-9) + (2e-9 - mean) * (2e-9 - mean)) / (n - 1);
  EXPECT_NEAR(*s.stdev, std::sqrt(variance), std::sqrt(variance) * 1e-9);
  EXPECT_EQ(*s.median, 1e-9);
}

// The definitions followed one by one, with long double sums and a sort.
ItemStats Reference(const LotData& lot, int item, DeviceSelection selection) {
  ItemStats s;
  s.item = item;
  std::vector<double> v;
  std::int64_t taken = 0;
  for (int d = 0; d < lot.devices(); ++d) {
    if (selection == DeviceSelection::kOnlyPass && lot.deviceFailed[d]) continue;
    ++taken;
    const std::string_view text = lot.ResultText(d, item);
    if (const Opt x = MeasuredValue(text)) v.push_back(*x);
    s.fails += ResultFailed(text);
  }
  s.n = static_cast<std::int64_t>(v.size());
  if (taken) s.failPct = 100.0 * s.fails / taken;
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  long double sum = 0;
  for (double x : v) sum += x;
  const long double mean = sum / v.size();
  s.mean = static_cast<double>(mean);
  s.median = (v[(v.size() - 1) / 2] + v[v.size() / 2]) / 2;
  s.min = v.front();
  s.max = v.back();
  if (v.size() > 1) {
    long double squares = 0;
    for (double x : v) squares += (x - mean) * (x - mean);
    s.stdev = static_cast<double>(std::sqrt(squares / (v.size() - 1)));
  }
  return s;
}

TEST(ItemStatsTest, RandomLotsMatchThePlainReference) {
  for (std::uint64_t seed = 1; seed <= 12; ++seed) {
    tsd::GenerateOptions o;
    o.seed = seed;
    o.devices = static_cast<int>(seed * 37 % 400);
    o.items = static_cast<int>(seed % 5 == 0 ? 1 : 3 + seed * 7 % 40);
    o.failShare = seed % 3 * 0.3;
    const auto loaded = LoadBytes(tsd::GenerateLot(o));
    const LotData& lot = *loaded.lot;
    for (DeviceSelection selection : {DeviceSelection::kAll, DeviceSelection::kOnlyPass}) {
      const std::vector<ItemStats> table = ComputeItemStats(lot, selection);
      std::vector<int> ordinary;
      for (int i = 0; i < lot.items(); ++i) {
        if (!HasNoResults(lot.itemTypes[i])) ordinary.push_back(i);
      }
      ASSERT_EQ(table.size(), ordinary.size()) << seed;
      for (std::size_t k = 0; k < table.size(); ++k) {
        const ItemStats& s = table[k];
        const ItemStats ref = Reference(lot, ordinary[k], selection);
        ASSERT_EQ(s.item, ref.item);
        EXPECT_EQ(s.n, ref.n);
        EXPECT_EQ(s.fails, ref.fails);
        const std::string what = "seed " + std::to_string(seed) + " item " + std::to_string(s.item);
        for (const auto& [field, got, expected] : {std::tuple("FailPct", s.failPct, ref.failPct),
                                                   {"Mean", s.mean, ref.mean}, {"Median", s.median, ref.median},
                                                   {"Stdev", s.stdev, ref.stdev}, {"Min", s.min, ref.min},
                                                   {"Max", s.max, ref.max}}) {
          ExpectSame(field, got, expected, what.c_str());
        }
        // Capability from the reference's mean and stdev, with both limits.
        ASSERT_TRUE(s.lsl && s.usl);
        if (ref.stdev && *ref.stdev > 0) {
          const double sigma = *ref.stdev;
          ExpectSame("Cp", s.cp, (*s.usl - *s.lsl) / (6 * sigma), what.c_str());
          const double cpk = std::min(*s.usl - *ref.mean, *ref.mean - *s.lsl) / (3 * sigma);
          EXPECT_NEAR(*s.cpk, cpk, 1e-12 * (std::fabs(*ref.mean) + *s.usl) / sigma) << what;
        } else {
          EXPECT_FALSE(s.cp || s.cpk) << what;
        }
      }
      // Bins: every taken device counted once, in ascending order.
      const std::vector<BinStats> bins = ComputeBinStats(lot, selection);
      std::map<std::int64_t, std::pair<std::int64_t, std::int64_t>> expected;  // bin -> passed, failed
      for (int d = 0; d < lot.devices(); ++d) {
        if (selection == DeviceSelection::kOnlyPass && lot.deviceFailed[d]) continue;
        auto& e = expected[std::stoll(std::string(lot.deviceCells.At(d + 1, 1)))];
        ++(lot.deviceFailed[d] ? e.second : e.first);
      }
      ASSERT_EQ(bins.size(), expected.size());
      auto it = expected.begin();
      for (const BinStats& b : bins) {
        EXPECT_EQ(b.bin, it->first);
        EXPECT_EQ(b.passed, it->second.first);
        EXPECT_EQ(b.failed, it->second.second);
        EXPECT_EQ(b.count, b.passed + b.failed);
        EXPECT_DOUBLE_EQ(b.percent, 100.0 * b.count / TakenDevices(lot, selection));
        ++it;
      }
    }
  }
}

}  // namespace
}  // namespace lotvue
