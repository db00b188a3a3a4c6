// The STDF file of lots, read back by read_stdf.py (a reader of its own) and
// compared record by record, field by field, with what the lot holds.
#include "core/stdf_export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "core/csv_export.h"
#include "core/item_stats.h"
#include "core/measured_value.h"
#include "core/result_records.h"
#include "tests/core/lot_files.h"
#include "tools/tsd_writer.h"

namespace lotvue {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
constexpr std::uint32_t kTime = 1700000000;

Lines ReadStdf(const std::string& path) {
  FILE* pipe = popen((std::string(LOTVUE_PYTHON " " READ_STDF_SCRIPT " '") + path + "' 2>&1").c_str(), "r");
  Lines lines(1);
  for (int c; (c = std::fgetc(pipe)) != EOF;) {
    if (c == '\n') lines.emplace_back();
    else lines.back().push_back(static_cast<char>(c));
  }
  lines.pop_back();
  if (pclose(pipe) != 0) lines.push_back("read_stdf.py failed");
  return lines;
}

// read_stdf.py's forms of a number, an R4 and a text (at most 255 bytes).
std::string N(std::int64_t v) { return std::to_string(v); }
std::string R(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.9g", static_cast<double>(static_cast<float>(v)));
  return b;
}
std::string T(std::string_view bytes) {
  std::string t;
  for (unsigned char c : bytes.substr(0, 255)) {
    char b[8];
    std::snprintf(b, sizeof b, c >= 0x20 && c < 0x7F && c != '\\' ? "%c" : "\\x%02X", c);
    t += b;
  }
  return t;
}

Lines Expected(const LotData& lot) {
  const std::string t = N(kTime);
  Lines out = {"FAR CPU_TYPE=2 STDF_VER=4",
               "MIR SETUP_T=" + t + " START_T=" + t + " STAT_NUM=1 MODE_COD=P RTST_COD=  PROT_COD=  BURN_TIM=65535 "
               "CMOD_COD=  LOT_ID=" + T(lot.lotName) + " PART_TYP=" + T(lot.deviceName) + " NODE_NAM=" +
               T(lot.systemName) + " TSTR_TYP=VXT-5000 JOB_NAM=" + T(lot.testFileName) + " JOB_REV= SBLOT_ID=" +
               T(lot.waferNum) + " OPER_NAM=" + T(lot.operatorName) + " EXEC_TYP= EXEC_VER= TEST_COD= TST_TEMP= "
               "USER_TXT=" + T(lot.comment) + " AUX_FILE= PKG_TYP= FAMLY_ID= DATE_COD= FACIL_ID= FLOOR_ID= PROC_ID= "
               "OPER_FRQ= SPEC_NAM= SPEC_VER= FLOW_ID= SETUP_ID= DSGN_REV= ENG_ID= ROM_COD= SERL_NUM= SUPR_NAM="};
  std::map<int, int> fails;                    // item -> failed results
  std::map<int, std::pair<int, int>> bins;     // bin -> devices, failed devices
  for (int d = 0; d < lot.devices(); ++d) {
    out.push_back("PIR HEAD_NUM=1 SITE_NUM=1");
    int tests = 0;
    for (int i = 0; i < lot.items(); ++i) {
      if (HasNoResults(lot.itemTypes[i])) continue;
      ++tests;
      const std::string_view cell = lot.ResultText(d, i);
      const std::optional<double> v = MeasuredValue(cell);
      fails[i] += ResultFailed(cell);
      out.push_back("PTR TEST_NUM=" + N(i + 1) + " HEAD_NUM=1 SITE_NUM=1 TEST_FLG=" +
                    N((v ? 0 : 2) | (ResultFailed(cell) ? 128 : 0)) + " PARM_FLG=0 RESULT=" + R(v.value_or(0)) +
                    " TEST_TXT=" + T(lot.ItemCell(kRowItemName, i + 2)));
      if (d > 0) continue;
      const std::optional<double> lo = LowerLimit(lot, i), hi = UpperLimit(lot, i);
      const char unit[2] = {static_cast<char>(lot.itemUnits[i]), 0};
      out.back() += " ALARM_ID= OPT_FLAG=" + N(14 | (lo ? 0 : 64) | (hi ? 0 : 128)) +
                    " RES_SCAL=0 LLM_SCAL=0 HLM_SCAL=0 LO_LIMIT=" + R(lo.value_or(0)) + " HI_LIMIT=" +
                    R(hi.value_or(0)) + " UNITS=" + T(unit) + " C_RESFMT= C_LLMFMT= C_HLMFMT= LO_SPEC=0 HI_SPEC=0";
    }
    const std::string bin(lot.deviceCells.At(d + 1, 1));
    bins[std::stoi(bin)].first++;
    bins[std::stoi(bin)].second += lot.deviceFailed[d];
    out.push_back("PRR HEAD_NUM=1 SITE_NUM=1 PART_FLG=" + N(lot.deviceFailed[d] * 8) + " NUM_TEST=" + N(tests) +
                  " HARD_BIN=" + bin + " SOFT_BIN=" + bin + " X_COORD=-32768 Y_COORD=-32768 TEST_T=0 PART_ID=" +
                  std::string(lot.deviceCells.At(d + 1, 0).substr(1)) + " PART_TXT= PART_FIX=");
  }
  for (int i = 0; i < lot.items(); ++i) {
    if (HasNoResults(lot.itemTypes[i])) continue;
    out.push_back("TSR HEAD_NUM=255 SITE_NUM=1 TEST_TYP=P TEST_NUM=" + N(i + 1) + " EXEC_CNT=" + N(lot.devices()) +
                  " FAIL_CNT=" + N(fails[i]) + " ALRM_CNT=4294967295 TEST_NAM=" + T(lot.ItemCell(kRowItemName, i + 2)) +
                  " SEQ_NAME= TEST_LBL= OPT_FLAG=255 TEST_TIM=0 TEST_MIN=0 TEST_MAX=0 TST_SUMS=0 TST_SQRS=0");
  }
  int good = 0;
  for (std::string b : {"H", "S"}) {
    for (const auto& [bin, n] : bins) {
      out.push_back(b + "BR HEAD_NUM=255 SITE_NUM=1 " + b + "BIN_NUM=" + N(bin) + " " + b + "BIN_CNT=" + N(n.first) +
                    " " + b + "BIN_PF=" + (n.second ? "F " : "P ") + b + "BIN_NAM=");
      good += b == "H" ? n.first - n.second : 0;
    }
  }
  out.push_back("PCR HEAD_NUM=255 SITE_NUM=1 PART_CNT=" + N(lot.devices()) +
                " RTST_CNT=4294967295 ABRT_CNT=4294967295 GOOD_CNT=" + N(good) + " FUNC_CNT=4294967295");
  out.push_back("MRR FINISH_T=" + t + " DISP_COD=  USR_DESC= EXC_DESC=");
  return out;
}

std::vector<std::uint8_t> Generated(int devices, int items, bool specialItems = true) {
  return tsd::GenerateLot(
      {.seed = 5, .devices = devices, .items = items, .failShare = 0.4, .specialItems = specialItems});
}

// GBK and UTF-8 texts, a test file name longer than a Cn, a non-ASCII unit,
// a switched-off lower limit, an item number, special items between.
std::vector<std::uint8_t> NonAscii() {
  tsd::TsdBuilder b;
  b.LotName("\xC5\xFA\xB4\xCE-7").DeviceName("MOS\xE2\x80\x94X").SystemName("VXT\xB5").OperatorName("\xD5\xC5 \\");
  b.TestFileName(std::string(256, '\xB0')).Comment("\xE6\xB5\x8B\xE8\xAF\x95 ok").Wafer(7);
  b.AddItem("\xA6\xCCVTH", '\xB5').Limits(100, 12, 9000, 12).Byte(ItemRecord::kLimitSwitches, ItemRecord::kLowerSwitchable)
      .Byte(ItemRecord::kLimitsOff, ItemRecord::kLowerOff);
  b.AddItem("PIN", 0, kPinMaskItem);
  b.AddItem("VTH", 'V').Number(105).Limits(-200, 12, 200, 12);
  b.AddDevice(7, 3, 0, {{1234, 0x10, 12}, {}, {-50, 0x11, 9}}).AddDevice(8, 5, 0x0100, {{0, 0x00, 0}, {}, {}});
  return b.AddDevice(9, 3, 1, {}).Bytes();
}

std::vector<std::uint8_t> SpecialOnly() {
  tsd::TsdBuilder b;
  for (std::uint32_t type : {kPinMaskItem, kLineItem, kCapacitanceItem, kPlainItem}) b.AddItem("S", 'A', type);
  return b.AddDevice(1, 1, 0, {}).AddDevice(2, 2, 1, {}).Bytes();
}

// The STDF bytes of a lot, as WriteStdf makes them.
std::string StdfBytes(const LotData& lot) {
  std::string bytes;
  ReplacingWriter out(&bytes);
  WriteStdf(lot, kTime, out);
  out.Commit();
  return bytes;
}

TEST(StdfExport, EveryRecordAndFieldAsTheLotHolds) {
  const fs::path dir = fs::temp_directory_path() / ("lotvue-stdf-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string tsdPath = (dir / "A.tsd").string(), stdfPath = (dir / "A.stdf").string();
  const std::pair<const char*, std::vector<std::uint8_t>> cases[] = {
      {"fails, bins, special items, odd results", Generated(60, 30)}, {"no devices", Generated(0, 8)},
      {"256 items, chunks for two threads", Generated(520, 256, false)}, {"special items only", SpecialOnly()},
      {"non-ASCII", NonAscii()}};
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    tsd::WriteFile(tsdPath, bytes);
    const struct timespec times[2] = {{kTime, 0}, {kTime, 0}};
    utimensat(AT_FDCWD, tsdPath.c_str(), times, 0);
    const testing::LoadedLot loaded = testing::LoadBytes(bytes, false, tsdPath);
    CollectedMessages messages;
    ASSERT_TRUE(WriteStdfFile(*loaded.lot, messages));
    EXPECT_EQ(messages.texts, Lines{});
    // The file past its first buffer goes to the disk directly, in whole
    // blocks and a tail: the same bytes as in memory.
    EXPECT_TRUE(testing::ReadFileBytes(stdfPath) == StdfBytes(*loaded.lot));
    const Lines read = ReadStdf(stdfPath), expected = Expected(*loaded.lot);
    ASSERT_EQ(read.size(), expected.size()) << read.back();
    for (std::size_t k = 0; k < read.size(); ++k) ASSERT_EQ(read[k], expected[k]) << "record " << k;
  }
  // Fields of the last lot known beforehand, so that the rules above rest on values too.
  const Lines read = ReadStdf(stdfPath);
  const auto starts = [&](std::size_t k, const std::string& head) { EXPECT_EQ(read[k].substr(0, head.size()), head); };
  EXPECT_NE(read[1].find(" JOB_NAM=" + T(std::string(255, '\xB0')) + " JOB_REV="), std::string::npos);
  starts(3, "PTR TEST_NUM=1 HEAD_NUM=1 SITE_NUM=1 TEST_FLG=0 PARM_FLG=0 RESULT=1.23399997 "
           "TEST_TXT=1 \\xA6\\xCCVTH ALARM_ID= OPT_FLAG=78");
  EXPECT_NE(read[3].find("LO_LIMIT=0 HI_LIMIT=9 UNITS=\\xB5 "), std::string::npos);
  starts(4, "PTR TEST_NUM=3 HEAD_NUM=1 SITE_NUM=1 TEST_FLG=128 PARM_FLG=0 "
           "RESULT=-4.99999987e-05 TEST_TXT=105 VTH");
  starts(5, "PRR HEAD_NUM=1 SITE_NUM=1 PART_FLG=0 NUM_TEST=2 HARD_BIN=3 SOFT_BIN=3 X_COORD=-32768");
  EXPECT_EQ(read[7], "PTR TEST_NUM=1 HEAD_NUM=1 SITE_NUM=1 TEST_FLG=2 PARM_FLG=0 RESULT=0 TEST_TXT=1 \\xA6\\xCCVTH");
  EXPECT_EQ(read[16], "HBR HEAD_NUM=255 SITE_NUM=1 HBIN_NUM=3 HBIN_CNT=2 HBIN_PF=F HBIN_NAM=");

  // A folder in the way: nothing written, a message that names the file.
  fs::remove(stdfPath);
  fs::create_directory(stdfPath);
  CollectedMessages messages;
  EXPECT_FALSE(WriteStdfFile(*testing::LoadBytes(NonAscii(), false, tsdPath).lot, messages));
  ASSERT_EQ(messages.texts.size(), 1u);
  EXPECT_NE(messages.texts[0].find(stdfPath), std::string::npos);
  fs::remove_all(dir);
}


// The Scientific CSV texts of a lot: the whole lot, device ranges within a
// chunk and across chunks, and cells that start and end within rows.
std::string ScientificCsvs(const LotData& lot) {
  std::string csv;
  for (const auto& [first, last] : {std::pair{-1, -1}, {3, 3}, {100, 2500}}) {
    const CellRange r = DeviceCellRange(lot, first, last);
    csv += CsvText(lot, r.firstCell, r.endCell, CsvFormat::kScientific);
  }
  return csv + CsvText(lot, 3, lot.deviceCells.size() - 5, CsvFormat::kScientific);
}

// The results come from the file's packed records where they are the ones
// loaded, else from the texts: the same bytes either way, in the STDF file
// and in the Scientific CSV file. Every status byte
// meets numbers of every shape (exponents with a '?' prefix and beyond,
// five-digit and extreme mantissas) on items of every kind of unit, an open
// item and special items between; the load reads small chunks, so that a
// change in the file hits one of several.
TEST(StdfExport, PackedResultsGiveTheBytesOfTheTexts) {
  const tsd::Result numbers[] = {{0, 0, 15},       {1234, 0, 12},  {-1234, 0, 9}, {9999, 0, 0},
                            {10000, 0, 20},   {32767, 0, 20}, {-32768, 0, 3}, {-1, 0, 21},
                            {500, 0, 22},     {7, 0, 255},    {1, 0, 14},     {-5, 0, 17}};
  constexpr int kNumbers = sizeof numbers / sizeof numbers[0];
  tsd::TsdBuilder b;
  b.AddItem("VTH", 'V').Limits(-200, 12, 200, 12);
  b.AddItem("PIN", 0, kPinMaskItem);
  b.AddItem("IGSS", 0);
  b.AddItem("RDS", 'm');
  b.AddItem("OPEN", 'A', kOpenItem);
  b.AddItem("PLAIN", 'V', kPlainItem);
  constexpr int kItems = 6;
  for (int d = 0; d < 256 * kNumbers; ++d) {
    std::vector<tsd::Result> results;
    for (int i = 0; i < kItems; ++i) {
      tsd::Result r = numbers[(d / 256 + i) % kNumbers];
      r.status = static_cast<std::uint8_t>(d + 37 * i);
      results.push_back(r);
    }
    b.AddDevice(d + 1, static_cast<std::uint16_t>(d % 7), static_cast<std::uint16_t>(d % 3 == 0), results);
  }
  const std::vector<std::uint8_t> bytes = b.Bytes();
  const fs::path dir = fs::temp_directory_path() / ("lotvue-stdf-packed-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string path = (dir / "A.tsd").string();
  const testing::LoadedLot loaded = testing::LoadBytes(bytes, false, path, 0, 16 << 10);
  LotData& lot = *loaded.lot;
  ASSERT_GT(lot.recordChunks.size(), 3u);
  const std::string texts = StdfBytes(lot);  // no file: from the texts
  const std::string csvTexts = ScientificCsvs(lot);

  const std::size_t recordBytes = DeviceRecord::Bytes(kItems);
  const auto resultOffset = [&](int device, int item) {
    return lot.recordsOffset + device * recordBytes + DeviceRecord::kResults + DeviceRecord::kResultBytes * item;
  };
  const auto changeByte = [&](std::uint64_t offset, char c) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(offset));
    f.put(c);
  };
  const std::pair<const char*, std::function<void()>> cases[] = {
      {"the file as loaded", [] {}},
      {"a mantissa changed in one chunk", [&] { changeByte(resultOffset(1500, 0), 0x55); }},
      {"a status changed in the last record", [&] { changeByte(resultOffset(256 * kNumbers - 1, 3) + 2, 0x11); }},
      {"the file cut short", [&] { fs::resize_file(path, resultOffset(2000, 0)); }},
      {"the file removed", [&] { fs::remove(path); }},
  };
  for (const auto& [name, change] : cases) {
    SCOPED_TRACE(name);
    tsd::WriteFile(path, bytes);
    change();
    EXPECT_TRUE(StdfBytes(lot) == texts);
    EXPECT_TRUE(ScientificCsvs(lot) == csvTexts);
  }

  // The fingerprints are what keeps a changed file out: with the
  // fingerprints of the changed records the writer takes their numbers.
  tsd::WriteFile(path, bytes);
  changeByte(resultOffset(16, 0) + 1, 0x05);  // status 0x10: a value
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto* records = reinterpret_cast<const std::uint8_t*>(file.data()) + lot.recordsOffset;
  lot.recordChunks[0].fingerprint = RecordFingerprint(records, lot.recordChunks[0].count * recordBytes);
  EXPECT_FALSE(StdfBytes(lot) == texts);
  EXPECT_FALSE(ScientificCsvs(lot) == csvTexts);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace lotvue
