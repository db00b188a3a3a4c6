// Item statistics: worked examples, and random lots against a plain
// reference that follows the rules one by one with std::string and atof.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <tuple>
#include <random>
#include <string>
#include <vector>

#include "core/number_text.h"
#include "core/result_file.h"
#include "core/result_records.h"
#include "core/statistics.h"
#include "tests/core/lot_files.h"
#include "tools/tsd_writer.h"

namespace lotvue {
namespace {

using testing::LoadBytes;

struct Stats {
  std::string average, stdev, min, max;
  bool operator==(const Stats&) const = default;
};

Stats StatsOf(const LotData& lot, int item) {
  return {lot.ItemCell(kRowAverage, item + 2), lot.ItemCell(kRowStdev, item + 2), lot.ItemCell(kRowMinData, item + 2),
          lot.ItemCell(kRowMaxData, item + 2)};
}

std::ostream& operator<<(std::ostream& o, const Stats& s) {
  return o << "[" << s.average << "|" << s.stdev << "|" << s.min << "|" << s.max << "]";
}

std::string Printf(const char* format, double v) {
  char buf[512];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

// The rules, one by one.
Stats Reference(const std::vector<std::string>& texts, const std::vector<bool>& failed, bool onlyPass) {
  const std::size_t n = texts.size();
  auto isNumeric = [](std::string& t) {
    for (const char* w : {"NoData", "Over", "Open", "Short", "------"})
      if (t.find(w) != std::string::npos) return 0;
    if (!t.empty() && t[0] == 'F') {
      t.erase(0, 1);
      t.erase(0, t.find_first_not_of(' ') == std::string::npos ? t.size() : t.find_first_not_of(' '));
    }
    return 1;
  };
  Stats s;
  double sum = 0;
  int count = 0;
  std::vector<double> collected;
  for (std::size_t d = 0; d < n; ++d) {
    if (onlyPass && failed[d]) continue;
    ++count;
    std::string t = texts[d];
    if (!t.empty() && isNumeric(t)) sum += std::atof(t.c_str());
    std::string u = texts[d];
    u.erase(0, u.find_first_not_of(' ') == std::string::npos ? u.size() : u.find_first_not_of(' '));
    while (!u.empty() && u.back() == ' ') u.pop_back();
    if (u.empty()) continue;
    if (u[0] == 'F') u.erase(0, 1);
    collected.push_back(std::atof(u.c_str()));
  }
  s.average = count == 0 ? "All Fail" : Printf("%0.3f", sum / count);
  s.stdev = Printf("%0.5f", n <= 1 ? 0.0 : SampleStdDev(collected));
  bool have = false;
  std::string minText, maxText;
  double minV = 0, maxV = 0;
  for (std::size_t d = 0; d < n; ++d) {
    std::string t = texts[d];
    if (t.empty()) continue;  // a missing result is no candidate
    if (t[0] == 'F') t.erase(0, 1);
    if (!isNumeric(t)) continue;
    const double v = std::atof(t.c_str());
    if (!have || v < minV) minV = v, minText = t;
    if (!have || v > maxV) maxV = v, maxText = t;
    have = true;
  }
  s.min = minV == 0 ? "0.000" : minText;
  s.max = maxV == 0 ? "0.000" : maxText;
  return s;
}

TEST(StatisticsTest, WorkedExamples) {
  struct Case {
    const char* what;
    std::vector<tsd::Result> results;
    std::vector<std::uint16_t> fail;
    bool onlyPass;
    Stats expected;
  };
  const std::vector<Case> cases = {
      {"no device", {}, {}, false, {"All Fail", "0.00000", "0.000", "0.000"}},
      {"one device", {{1500, 0x10, 12}}, {0}, false, {"1.500", "0.00000", " 1.500 V", " 1.500 V"}},
      {"1 2 3", {{1000, 0x10, 12}, {2000, 0x10, 12}, {3000, 0x10, 12}}, {0, 0, 0}, false,
       {"2.000", "1.00000", " 1.000 V", " 3.000 V"}},
      {"all failed, only pass", {{1000, 0x11, 12}, {2000, 0x11, 12}}, {1, 1}, true,
       {"All Fail", "0.00000", " 1.000 V", " 2.000 V"}},
      {"Over counts in the divisor", {{3000, 0x10, 12}, {0, 0x12, 12}}, {0, 0}, false,
       {"1.500", "2.12132", " 3.000 V", " 3.000 V"}},
      {"No Data is a zero candidate", {{3000, 0x10, 12}, {0, 0x14, 12}}, {0, 0}, false,
       {"1.500", "2.12132", "0.000", " 3.000 V"}},
      {"negatives", {{-3000, 0x10, 12}, {-1000, 0x11, 12}, {0, 0x10, 12}}, {0, 0, 0}, false,
       {"-1.333", "1.52753", "-3.000 V", "0.000"}},
      {"F values keep their blank", {{1234, 0x11, 9}, {1000, 0x10, 9}}, {1, 0}, false,
       {"1.117", "0.16546", " 1.000mV", " 1.234mV"}},
  };
  for (const Case& c : cases) {
    tsd::TsdBuilder b;
    b.AddItem("A", 'V');
    for (std::size_t d = 0; d < c.results.size(); ++d) b.AddDevice(static_cast<int>(d) + 1, 1, c.fail[d], {c.results[d]});
    auto loaded = LoadBytes(b.Bytes(), c.onlyPass);
    EXPECT_EQ(StatsOf(*loaded.lot, 0), c.expected) << c.what;
  }
}

// Every item of the lot, read with and without AvgStdOnlyPass, against the reference.
void ExpectReferenceStats(const std::vector<std::uint8_t>& bytes, const std::string& what) {
  for (bool onlyPass : {false, true}) {
    auto loaded = LoadBytes(bytes, onlyPass);
    const LotData& lot = *loaded.lot;
    for (int i = 0; i < lot.items(); ++i) {
      std::vector<std::string> texts;
      std::vector<bool> failed;
      for (int d = 0; d < lot.devices(); ++d) {
        texts.emplace_back(lot.ResultText(d, i));
        failed.push_back(lot.deviceFailed[d] != 0);
      }
      ASSERT_EQ(StatsOf(lot, i), Reference(texts, failed, onlyPass)) << what << " item " << i << " " << onlyPass;
    }
  }
}

// Random lots, and every status byte once on two items of one more lot.
TEST(StatisticsTest, LotsMatchTheReference) {
  std::mt19937 rng(3);
  for (int round = 0; round < 60; ++round) {
    const int devices = std::uniform_int_distribution<int>(0, 40)(rng);
    const tsd::GenerateOptions o{.seed = static_cast<std::uint64_t>(round) + 100, .devices = devices,
                                 .items = std::uniform_int_distribution<int>(1, 30)(rng), .failShare = 0.4};
    ExpectReferenceStats(tsd::GenerateLot(o), "seed " + std::to_string(o.seed));
  }
  tsd::TsdBuilder b;
  b.AddItem("A", 'A');
  b.AddItem("B", 0, kOpenItem);
  for (int s = 0; s < 256; ++s) {
    const auto status = static_cast<std::uint8_t>(s);
    b.AddDevice(s + 1, 1, static_cast<std::uint16_t>(s % 3 == 0), {{static_cast<std::int16_t>(s * 37 - 4000), status, static_cast<std::uint8_t>(s % 21)},
                                                                   {static_cast<std::int16_t>(s), status, 12}});
  }
  ExpectReferenceStats(b.Bytes(), "every status");
}

// The reader sums the packed numbers; the same lot's texts, summed on one
// or two threads, give the same rows.
TEST(StatisticsTest, ReaderAndTextsGiveTheSameRows) {
  for (const auto& [seed, devices, odd] : {std::tuple{1, 3000, true}, {2, 20000, true}, {3, 20000, false}}) {
    const tsd::GenerateOptions o{
        .seed = static_cast<std::uint64_t>(seed), .devices = devices, .items = 37, .failShare = 0.3, .oddStatuses = odd};
    for (bool onlyPass : {false, true}) {
      auto loaded = LoadBytes(tsd::GenerateLot(o), onlyPass, "/lots/A123.tsd", seed);
      LotData& lot = *loaded.lot;
      const std::vector<std::string> read = lot.itemTable;
      for (int threads : {1, 2}) {
        ComputeItemStatistics(lot, onlyPass, threads);
        EXPECT_EQ(lot.itemTable, read) << seed << " " << threads;
        EXPECT_EQ(lot.statisticsDone.load(), 2 * o.devices) << "the progress of both passes";
      }
    }
  }
}

// The standard deviation's second pass reads the records again; when they
// changed under the reader after the first pass (here on the range warning
// of the last device), it takes the texts, so the rows stay those of the lot.
TEST(StatisticsTest, RecordsChangedBeforeTheSecondPass) {
  tsd::TsdBuilder b;
  b.AddItem("A", 'V');
  for (int d = 0; d < 100; ++d) {
    b.AddDevice(d + 1, 1, 0, {{static_cast<std::int16_t>(d == 99 ? 10000 : d * 10), 0x10, 12}});
  }
  std::vector<std::uint8_t> bytes = b.Bytes();
  struct Changing : SilentReaderEvents {
    std::uint8_t* firstResult;
    void RangeWarning(int, int, int) override { firstResult[1] ^= 0x40; }
  } events;
  events.firstResult = bytes.data() + ResultFileHeader::kBytes + ItemRecord::kBytes + DeviceRecord::kResults;
  LotData lot;
  ResultFileSource source;
  source.OpenMemory(bytes.data(), bytes.size());
  ASSERT_TRUE(ReadHeaderAndItems(source, lot, {}, events));
  ASSERT_TRUE(ReadDeviceRecords(source, lot, {}, events));
  const std::string stdev = lot.ItemCell(kRowStdev, 2);
  EXPECT_NE(LoadBytes(bytes).lot->ItemCell(kRowStdev, 2), stdev) << "the change shows";
  ComputeItemStatistics(lot, false, 1);
  EXPECT_EQ(lot.ItemCell(kRowStdev, 2), stdev);
}

// The reader's reading of a cell from its packed number, against the rules
// on the cell's text: every mantissa and exponent (0 to 25) under each
// class of value text, every status byte, the three kinds of item, and
// units of every byte value.
TEST(StatisticsTest, PackedReadingsAreThoseOfTheTexts) {
  const auto same = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
  struct Lot {
    std::vector<std::uint8_t> statuses;
    int mantissaStep;
    std::vector<std::uint32_t> itemTypes;
    int itemsPerType;  // exponent k mod 26, unit byte 41 k mod 256 for the k-th
  };
  std::vector<std::uint8_t> everyStatus(256);
  for (int s = 0; s < 256; ++s) everyStatus[s] = static_cast<std::uint8_t>(s);
  const Lot lots[] = {{{0x10}, 1, {0}, 26},  {{0x11}, 1, {0}, 26},  {{0x30}, 1, {0}, 26},
                      {{0x51}, 1, {0}, 26}, {everyStatus, 4099, {0, kOpenItem, kPinMaskItem}, 85}};
  for (const Lot& l : lots) {
    tsd::TsdBuilder b;
    std::vector<std::uint32_t> types;
    std::vector<std::uint8_t> exponents;
    for (std::uint32_t type : l.itemTypes) {
      for (int k = 0; k < l.itemsPerType; ++k) {
        b.AddItem("I", static_cast<char>(k * 41 % 256), type);
        types.push_back(type);
        exponents.push_back(static_cast<std::uint8_t>(k % 26));
      }
    }
    const int mantissas = 65535 / l.mantissaStep + 1;
    for (std::uint8_t status : l.statuses) {
      for (int j = 0; j < mantissas; ++j) {
        std::vector<tsd::Result> results;
        const auto m = static_cast<std::int16_t>(-32768 + j * l.mantissaStep);
        for (std::uint8_t e : exponents) results.push_back({m, status, e});
        b.AddDevice(static_cast<int>(b.devices()) + 1, 1, 0, results);
      }
    }
    auto loaded = LoadBytes(b.Bytes());
    const LotData& lot = *loaded.lot;
    ASSERT_EQ(static_cast<std::size_t>(lot.devices()), l.statuses.size() * mantissas);
    for (int d = 0; d < lot.devices(); ++d) {
      const auto m = static_cast<std::int16_t>(-32768 + d % mantissas * l.mantissaStep);
      const std::uint8_t status = l.statuses[static_cast<std::size_t>(d / mantissas)];
      for (int i = 0; i < lot.items(); ++i) {
        const std::string_view text = lot.ResultText(d, i);
        const CellReading want = ReadCell(text);
        const CellReading got = ResultCellReading({m, status, exponents[i]}, types[i]);
        ASSERT_TRUE(got.averaged == want.averaged && same(got.averageValue, want.averageValue) &&
                    got.collected == want.collected && same(got.stdValue, want.stdValue) &&
                    got.candidate == want.candidate && same(got.candidateValue, want.candidateValue))
            << "\"" << text << "\" status " << int(status) << " item type " << types[i];
      }
    }
  }
}

TEST(StatisticsTest, IsNumericCellRules) {
  struct Case {
    const char* in;
    int numeric;
    const char* out;
  } cases[] = {{"No Data", 1, "No Data"}, {"NoData", 0, "NoData"}, {"F   1.5mV", 1, "1.5mV"}, {"CoverOpen", 0, "CoverOpen"},
               {"ID_Over", 0, "ID_Over"}, {"F Short", 0, "F Short"}, {"------", 0, "------"}, {"f 1.5", 1, "f 1.5"}};
  for (const Case& c : cases) {
    std::string t = c.in;
    EXPECT_EQ(IsNumericCell(t), c.numeric) << c.in;
    EXPECT_EQ(t, c.out) << c.in;
  }
  EXPECT_EQ(SampleStdDev({}), 0);
  EXPECT_EQ(SampleStdDev({5}), 0);
  EXPECT_DOUBLE_EQ(SampleStdDev({1, 2, 3}), 1);
}

}  // namespace
}  // namespace lotvue
