// Reading result files: header, item table, device rows and their classes,
// and files that are cut short, hostile or odd.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/result_file.h"
#include "tests/core/lot_files.h"
#include "tools/tsd_writer.h"

namespace lotvue {
namespace {

using testing::LoadBytes;

TEST(ResultFileTest, TheSmallestWholeFile) {
  std::vector<std::uint8_t> bytes(512, 0);
  bytes[6] = 1;
  std::vector<std::uint8_t> item(80, 0);
  item[0] = 0x56, item[1] = 0x54, item[2] = 0x48, item[10] = 0x56;
  bytes.insert(bytes.end(), item.begin(), item.end());
  for (int b : {0x01, 0, 0, 0, 0x05, 0, 0, 0, 0xD2, 0x04, 0x10, 0x09, 0, 0, 0, 0}) bytes.push_back(static_cast<std::uint8_t>(b));

  auto loaded = LoadBytes(bytes);
  const LotData& lot = *loaded.lot;
  ASSERT_TRUE(loaded.accepted);
  EXPECT_EQ(lot.items(), 1);
  EXPECT_EQ(lot.devices(), 1);
  EXPECT_EQ(lot.itemTable, (std::vector<std::string>{"Item Name", "", "1 VTH",     "Bias1",    "", "= 0.00p",
                                                     "Bias2",     "", "= 0.00p",   "Bias3",    "", "= 0.00p",
                                                     "Min Limit", "", " 0.000pV",  "Max Limit", "", " 0.000pV",
                                                     "",          "", "",          "Average",  "", "1.234",
                                                     "STDEV",     "", "0.00000",   "Min Data", "", " 1.234mV",
                                                     "Max Data",  "", " 1.234mV"}));
  ASSERT_EQ(lot.deviceCells.size(), 6u);
  EXPECT_EQ(lot.deviceCells.At(0, 2), "1 VTH");
  EXPECT_EQ(lot.deviceCells.At(1, 0), "P1");
  EXPECT_EQ(lot.deviceCells.At(1, 1), "5");
  EXPECT_EQ(lot.ResultText(0, 0), " 1.234mV");
  EXPECT_EQ(lot.ResultColor(0, 0), CellColor::Black);
  const std::vector<std::string> header = {
      "DataFileName", "/lots/A123.tsd       AvgStd_OlnyPass=FALSE", "WaferNum", "", "SystemName", "", "DeviceName", "",
      "LotName", "", "OperatorName", "", "TestFileName", "", "Comment", "", "", "", "Pass", "1", "Fail", "0", "Yield",
      "100.000%"};
  EXPECT_EQ(lot.headerCells, header);
}

TEST(ResultFileTest, HeaderFields) {
  tsd::TsdBuilder b;
  b.Wafer(7).SystemName("SYSTEM123456789").DeviceName("DEV").LotName("L1").OperatorName("Pass").Comment("a,b");
  b.TestFileName(std::string(256, 'x'));
  auto loaded = LoadBytes(b.Bytes(), true, "/x/y.tsd");
  const LotData& lot = *loaded.lot;
  EXPECT_EQ(lot.headerCells[1], "/x/y.tsd       AvgStd_OlnyPass=TRUE");
  EXPECT_EQ(lot.waferNum, "7");
  EXPECT_EQ(lot.systemName, "SYSTEM123456");  // 12 bytes without a zero
  EXPECT_EQ(lot.operatorName, "Pass");
  EXPECT_EQ(lot.testFileName.size(), 256u);
  EXPECT_EQ(lot.headerCells[15], "a,b");
  EXPECT_EQ(lot.headerCells[19] + lot.headerCells[21] + lot.headerCells[23], "000.000%");  // pass, fail, yield
}

TEST(ResultFileTest, ItemTableRowsByType) {
  struct Case {
    const char* what;
    std::function<void(tsd::ItemRecord&)> build;
    std::vector<std::string> rows;  // title, bias1..3, min, max
  };
  const std::vector<Case> cases = {
      {"ordinary with conditions and limits",
       [](tsd::ItemRecord& r) {
         r.Name("VTH").Unit('V').Bias(0, "VGS", 150, 12, 'V').Bias(1, "V1", 5, 11, 'A').Bias(2, "(none)", 3, 3, 'V');
         r.Limits(1234, 9, -25, 10);
       },
       {"1 VTH", "VGS= 1.50V", "V1= 005mA", "", " 1.234mV", "-00.25mV"}},
      {"position when the number is 0, given number otherwise", [](tsd::ItemRecord& r) { r.Name("ABCDEFGHIJ").Number(105).Type(kPlainItem); },
       {"105 ABCDEFGHIJ", "", "", "", "", ""}},
      {"lower limit off only with both bits",
       [](tsd::ItemRecord& r) { r.Name("A").Byte(16, 0x03).Byte(19, 0x80).Limits(1, 12, 2, 12).Bias(0, "(none)", 0, 0, 0).Bias(1, "(none)", 0, 0, 0).Bias(2, "(none)", 0, 0, 0); },
       {"1 A", "", "", "", "", " 0.002 "}},
      {"upper limit off", [](tsd::ItemRecord& r) { r.Name("A").Byte(16, 0x02).Byte(19, 0x40).Byte(17, 0x0C).Word(46, 65535).Word(56, 7).Bias(2, "VDS000", 1, 14, 0); },
       {"1 A", "#65535", "#7", "VDS= 001", " 0.000p", ""}},
      {"pin masks", [](tsd::ItemRecord& r) { r.Type(kPinMaskItem).Word(40, 0x0005).Word(42, 0x0001).Word(52, 0x8000); },
       {"1 ", "S=1 3 17", "", "", "E=16", ""}},
      {"line item with ground flags", [](tsd::ItemRecord& r) { r.Type(kLineItem).Word(44, 0x0003).Byte(48, 0x01); },
       {"1 ", "L1(GND)=", "L2=1 2", "", "", ""}},
      {"capacitance CV", [](tsd::ItemRecord& r) { r.Type(kCapacitanceItem).Word(46, 0x3000).Word(40, 0x0400).Word(48, 250).Byte(50, 12).Byte(51, 'V'); },
       {"1 ", "CV 2ch", "CISS.RG", "VDS= 2.50V", "", ""}},
      {"capacitance VXT wins over CV", [](tsd::ItemRecord& r) { r.Type(kCapacitanceItem).Word(40, 0x0A00).Word(46, 0x0300); },
       {"1 ", "VXT 1ch", "CRSS", "", "", ""}},
      {"capacitance without a kind", [](tsd::ItemRecord& r) { r.Type(kCapacitanceItem).Word(46, 0x0800); },
       {"1 ", "1ch", "COSS", "", "", ""}},
  };
  for (const Case& c : cases) {
    tsd::TsdBuilder b;
    c.build(b.AddItem(""));
    auto loaded = LoadBytes(b.Bytes());
    std::vector<std::string> rows;
    for (int r = kRowItemName; r <= kRowMaxLimit; ++r) rows.push_back(loaded.lot->ItemCell(r, 2));
    EXPECT_EQ(rows, c.rows) << c.what;
  }
}

TEST(ResultFileTest, ItemCountLimit) {
  for (int count : {256, 257, 65535}) {
    tsd::TsdBuilder b;
    b.ItemCountField(static_cast<std::uint16_t>(count));
    auto loaded = LoadBytes(b.Bytes());
    EXPECT_EQ(loaded.accepted, count <= 256) << count;
    EXPECT_EQ(loaded.events.notTsd, count <= 256 ? 0 : 1) << count;
    EXPECT_EQ(loaded.lot->items(), count);
    if (count <= 256) EXPECT_EQ(loaded.lot->itemTable.size(), 11u * (count + 2));
    else EXPECT_TRUE(loaded.lot->headerCells.empty());
  }
}

TEST(ResultFileTest, StatusClasses) {
  for (auto [in, out] : {std::pair{0x01, 17}, {0x02, 18}, {0x20, 48}, {0x40, 81}, {0x80, 145}, {0x19, 25}, {0xFF, 1}, {0x7F, 127}})
    EXPECT_EQ(NormalizeStatus(static_cast<std::uint8_t>(in)), out) << in;

  struct Case {
    std::uint8_t status;
    std::uint32_t type;
    const char* text;
    CellColor color;
  };
  const Case cases[] = {
      {0x00, 0, "", CellColor::Red},           {0x10, 0, " 1.234mV", CellColor::Black},
      {0x18, 0, " 1.234mV", CellColor::Black}, {0x11, 0, "F 1.234mV", CellColor::Red},
      {0x30, 0, "O 1.234mV", CellColor::Magenta}, {0x50, 0, "f 1.234mV", CellColor::Blue},  // 0x51 comes before 0x50
      {0x51, 0, "f 1.234mV", CellColor::Blue}, {0x14, 0, "No Data", CellColor::Black},
      {0x15, 0, "F No Data", CellColor::Red},  {0x80, 0, "F No Data", CellColor::Red},
      {0x34, 0, "No Data", CellColor::Magenta}, {0x35, 0, "F No Data", CellColor::Magenta},
      {0x55, 0, "F No Data", CellColor::Blue}, {0x12, 0, "Over", CellColor::Black},
      {0x12, kOpenItem, "Open", CellColor::Black}, {0x13, kOpenItem, "F Open", CellColor::Red},
      {0x32, 0, "Over", CellColor::Magenta},   {0x33, 0, "F Over", CellColor::Magenta},
      {0x53, 0, "F Over", CellColor::Blue},    {0x98, 0, "Short", CellColor::Black},
      {0x99, 0, "F Short", CellColor::Red},    {0xB8, 0, "Short", CellColor::Magenta},
      {0xD9, 0, "F Short", CellColor::Blue},   {0x92, 0, "Aval", CellColor::Black},
      {0x93, 0, "F Aval", CellColor::Red},     {0xB3, 0, "F Aval", CellColor::Magenta},
      {0xD3, 0, "f Aval", CellColor::Blue},    {0x17, 0, "CoverOpen", CellColor::Red},
      {0x1B, 0, "PreShort", CellColor::Red},   {0x3F, 0, "Fail1", CellColor::Red},
      {0x7B, 0, "HardError", CellColor::Red},  {0x57, 0, "LV", CellColor::Black},
      {0x5B, 0, "1ch", CellColor::Black},      {0x7F, 0, "CV", CellColor::Black},
      {0xFF, 0, "#N/A", CellColor::Red},       {0x11, kPinMaskItem, "No Data", CellColor::Black},
      {0x00, kPlainItem, "No Data", CellColor::Black}, {0x10, kCapacitanceItem, "No Data", CellColor::Black},
  };
  for (const Case& c : cases) {
    tsd::TsdBuilder b;
    b.AddItem("I", 'V', c.type);
    b.AddDevice(1, 1, 0, {{1234, c.status, 9}});
    auto loaded = LoadBytes(b.Bytes());
    ASSERT_EQ(loaded.lot->devices(), 1);
    EXPECT_EQ(loaded.lot->ResultText(0, 0), c.text) << int(c.status);
    EXPECT_EQ(loaded.lot->ResultColor(0, 0), c.color) << int(c.status);
  }
}

TEST(ResultFileTest, DeviceRowsAndSummary) {
  tsd::TsdBuilder b;
  b.AddItem("A", 'V');
  const std::uint16_t failWords[] = {0, 0x0001, 0x0100, 0, 0, 0x0001, 0, 0};
  for (int d = 0; d < 8; ++d) b.AddDevice(d + 10, static_cast<std::uint16_t>(d), failWords[d], {{100, 0x11, 12}});
  b.AnnouncedDevices(100).Trailer({0, 0, 0, 0, 1, 2, 3, 4, 5});
  auto loaded = LoadBytes(b.Bytes());
  const LotData& lot = *loaded.lot;
  EXPECT_EQ(lot.devices(), 8);
  EXPECT_EQ(lot.recordsRead.load(), 8);
  EXPECT_EQ(lot.failCount, 3);
  EXPECT_EQ(lot.deviceFailed, (std::vector<std::uint8_t>{0, 1, 1, 0, 0, 1, 0, 0}));
  EXPECT_EQ(lot.deviceCells.At(1, 0), "P10");
  EXPECT_EQ(lot.deviceCells.At(2, 0), "F11");
  EXPECT_EQ(lot.deviceCells.ColorAt(2, 0), CellColor::Red);
  EXPECT_EQ(lot.deviceCells.ColorAt(2, 1), CellColor::Black);
  EXPECT_EQ(lot.ResultText(0, 0), "F 0.100 V");  // a passed device may still show F results
  EXPECT_EQ(std::vector<std::string>(lot.headerCells.begin() + 18, lot.headerCells.end()),
            (std::vector<std::string>{"Pass", "5", "Fail", "3", "Yield", "62.500%"}));
}

TEST(ResultFileTest, RangeWarningsOncePerCell) {
  tsd::TsdBuilder b;
  b.AddItem("A").Type(0);
  b.AddItem("B");
  b.AddDevice(1, 1, 0, {{10000, 0x10, 12}, {-32768, 0x10, 12}});
  b.AddDevice(2, 1, 0, {{9999, 0x10, 12}, {32767, 0x30, 12}});
  b.AddDevice(3, 1, 0, {{20000, 0x12, 12}, {20000, 0x14, 12}});  // texts without a value: no warning
  auto loaded = LoadBytes(b.Bytes());
  EXPECT_EQ(loaded.events.warnings, (std::vector<std::string>{"第1个点,1列 异常: 10000", "第2个点,2列 异常: 32767"}));
  EXPECT_EQ(loaded.lot->ResultText(0, 0), "10.000 ");
}

// Loads every prefix of a file, in the usual chunks and one record at a
// time: nothing may crash, and the lot must be whole.
TEST(ResultFileTest, EveryTruncationGivesAWholeLot) {
  const std::vector<std::uint8_t> full = tsd::GenerateLot({.devices = 6, .items = 12, .failShare = 0.5});
  for (std::size_t chunkBytes : {0, 1}) {
    for (std::size_t size = 0; size <= full.size(); ++size) {
      const std::vector<std::uint8_t> bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size));
      auto loaded = LoadBytes(bytes, false, "/lots/A123.tsd", 0, chunkBytes);
      const LotData& lot = *loaded.lot;
      ASSERT_TRUE(loaded.accepted);
      const std::size_t n = static_cast<std::size_t>(lot.items()), N = static_cast<std::size_t>(lot.devices());
      ASSERT_EQ(lot.headerCells.size(), 24u);
      ASSERT_EQ(lot.itemTable.size(), 11 * (n + 2));
      ASSERT_EQ(lot.deviceCells.size(), (N + 1) * (n + 2)) << size;
      ASSERT_EQ(lot.deviceFailed.size(), N);
      // A record cut inside still counts once its serial has begun.
      const std::size_t head = 512 + 80 * 12, record = 8 + 4 * 12;
      const std::size_t expected = size <= head ? 0 : std::min<std::size_t>(6, (size - head + record - 1) / record);
      ASSERT_EQ(N, expected) << size;
    }
  }
}

// Two formatting threads must give exactly what one gives, warnings included.
TEST(ResultFileTest, TwoThreadsGiveTheSameLot) {
  tsd::TsdBuilder b;
  b.AddItem("A", 'V');
  b.AddItem("B", 'A', kOpenItem);
  b.AddItem("C", 0, kPinMaskItem);
  for (int d = 0; d < 999; ++d) {
    const auto m = static_cast<std::int16_t>(d * 97 % 30000 - 5000);
    b.AddDevice(d + 1, static_cast<std::uint16_t>(d % 9), static_cast<std::uint16_t>(d % 7 == 0),
                {{m, static_cast<std::uint8_t>(d % 256), static_cast<std::uint8_t>(d % 21)}, {m, 0x12, 12}, {}});
  }
  const std::vector<std::uint8_t> bytes = b.Bytes();
  // Two threads over the usual chunk, and over chunks of 100 records.
  for (std::size_t cut : {bytes.size(), bytes.size() - 5}) {
    const std::vector<std::uint8_t> file(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
    auto one = LoadBytes(file, false, "/a.tsd", 1);
    auto two = LoadBytes(file, false, "/a.tsd", 2, cut == bytes.size() ? 0 : 2000);
    ASSERT_EQ(one.lot->deviceCells.size(), two.lot->deviceCells.size());
    for (std::size_t k = 0; k < one.lot->deviceCells.size(); ++k) {
      ASSERT_EQ(one.lot->deviceCells[k], two.lot->deviceCells[k]) << k;
      ASSERT_EQ(one.lot->deviceCells.ColorRefAt(k), two.lot->deviceCells.ColorRefAt(k)) << k;
    }
    EXPECT_EQ(one.lot->deviceFailed, two.lot->deviceFailed);
    EXPECT_EQ(one.lot->headerCells, two.lot->headerCells);
    EXPECT_EQ(one.lot->itemTable, two.lot->itemTable);
    EXPECT_EQ(one.events.warnings, two.events.warnings);
    EXPECT_FALSE(one.events.warnings.empty());
  }
}

// A file cut inside a record reads as its bytes in memory do, its large
// chunks straight from the file and its head and tail through the buffer.
TEST(ResultFileTest, AFileLoadsAsItsBytesInMemory) {
  const tsd::GenerateOptions o{.devices = 20000, .items = 64};
  std::vector<std::uint8_t> bytes = tsd::GenerateLot(o);
  bytes.resize(bytes.size() - 100);
  const std::string path = ::testing::TempDir() + "/large.tsd";
  ASSERT_TRUE(tsd::WriteFile(path, bytes));
  LotData lot;
  lot.path = path;
  SilentReaderEvents events;
  ASSERT_EQ(LoadResultFile(lot, {}, events), LoadResult::kLoaded);
  const auto memory = LoadBytes(bytes, false, path);
  ASSERT_EQ(lot.devices(), o.devices);
  ASSERT_EQ(lot.deviceCells.size(), memory.lot->deviceCells.size());
  for (std::size_t k = 0; k < lot.deviceCells.size(); ++k) ASSERT_EQ(lot.deviceCells[k], memory.lot->deviceCells[k]);
  EXPECT_EQ(lot.itemTable, memory.lot->itemTable);
  std::remove(path.c_str());
}

// A load cancelled before its next chunk keeps nothing of the lot but its path.
TEST(ResultFileTest, CancelledLoadKeepsNothing) {
  const std::string path = ::testing::TempDir() + "/cancelled.tsd";
  ASSERT_TRUE(tsd::WriteFile(path, tsd::GenerateLot({})));
  const std::atomic<bool> cancel{true};
  LotData lot;
  lot.path = path;
  SilentReaderEvents events;
  EXPECT_EQ(LoadResultFile(lot, {.cancel = &cancel}, events), LoadResult::kCancelled);
  EXPECT_EQ(lot.path, path);
  EXPECT_TRUE(lot.deviceCells.empty() && lot.headerCells.empty() && lot.itemTable.empty());
  EXPECT_EQ(lot.loadState.load(), kReading);  // for the caller to settle
  std::remove(path.c_str());
}

TEST(ResultFileTest, HostileFiles) {
  {  // four billion devices announced, two present, no terminator
    tsd::TsdBuilder b;
    b.AddItem("A");
    b.AddDevice(1, 1, 0, {{1, 0x10, 12}}).AddDevice(2, 1, 0, {{1, 0x10, 250}});
    b.AnnouncedDevices(0xFFFFFFFFu);
    auto loaded = LoadBytes(b.Bytes());
    EXPECT_EQ(loaded.lot->devices(), 2);
    EXPECT_EQ(loaded.lot->ResultText(1, 0), " 00.01?");
  }
  {  // a negative serial ends the list
    tsd::TsdBuilder b;
    b.AddItem("A");
    b.AddDevice(1, 1, 0, {}).AddDevice(-5, 1, 0, {}).AddDevice(3, 1, 0, {});
    EXPECT_EQ(LoadBytes(b.Bytes()).lot->devices(), 1);
  }
}

}  // namespace
}  // namespace lotvue
