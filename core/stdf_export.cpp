#include "core/stdf_export.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "core/chunks_in_two.h"
#include "core/item_stats.h"
#include "core/measured_float.h"
#include "core/measured_value.h"
#include "core/number_text.h"
#include "core/records_again.h"
#include "core/result_file.h"
#include "core/result_records.h"

namespace lotvue {

namespace {

// ---------------------------------------------------------------------------
// Records and their fields

struct RecordType {
  std::uint8_t type;
  std::uint8_t sub;
};
constexpr RecordType kFar{0, 10};
constexpr RecordType kMir{1, 10};
constexpr RecordType kMrr{1, 20};
constexpr RecordType kPcr{1, 30};
constexpr RecordType kHbr{1, 40};
constexpr RecordType kSbr{1, 50};
constexpr RecordType kPir{5, 10};
constexpr RecordType kPrr{5, 20};
constexpr RecordType kTsr{10, 30};
constexpr RecordType kPtr{15, 10};

// Every record starts with REC_LEN (U2, the bytes after the header), REC_TYP and REC_SUB.
constexpr std::size_t kHeaderBytes = 4;
constexpr std::size_t kMaxRecordBytes = kHeaderBytes + 0xFFFF;
constexpr std::size_t kMaxTextBytes = 255;

constexpr std::uint8_t kCpuType = 2;  // little-endian integers, IEEE floats
constexpr std::uint8_t kStdfVersion = 4;
constexpr std::string_view kTesterType = "VXT-5000";

// The head and site of a device's records; the summaries' head stands for all sites.
constexpr std::uint8_t kHead = 1;
constexpr std::uint8_t kSite = 1;
constexpr std::uint8_t kAllHeads = 255;

// Missing values.
constexpr std::uint16_t kNoBurnInTime = 0xFFFF;
constexpr std::uint32_t kNoCount = 0xFFFFFFFF;
constexpr std::int16_t kNoCoordinate = -32768;

// MIR: the Cn fields after USER_TXT, AUX_FILE to SUPR_NAM, all empty.
constexpr int kMirTextsAfterUserText = 17;

// PTR TEST_FLG bits.
constexpr std::uint8_t kResultNotValid = 0x02;
constexpr std::uint8_t kTestFailed = 0x80;
// PTR OPT_FLAG: bit 1 reserved (set), bits 2 and 3 no second (LO_/HI_ guard-band) limit pair;
// bit 6 no low limit, bit 7 no high limit.
constexpr std::uint8_t kPtrOptions = 0x0E;
constexpr std::uint8_t kNoLowLimit = 0x40;
constexpr std::uint8_t kNoHighLimit = 0x80;
// A PTR ending after TEST_TXT: header, TEST_NUM (U4), HEAD_NUM, SITE_NUM,
// then TEST_FLG, PARM_FLG and RESULT (R4), which each execution fills in.
constexpr std::size_t kPtrTestFlg = kHeaderBytes + 4 + 1 + 1;
constexpr std::size_t kPtrResult = kPtrTestFlg + 2;
constexpr std::size_t kPtrCopyBytes = 48;
constexpr std::size_t kMaxLaterPtrBytes = kPtrResult + 4 + 1 + kMaxTextBytes;
// Later PTRs formatted in one stretch of the output.
constexpr std::size_t kPtrsAtOnce = 256;

// Results in a chunk of devices that one thread formats, about.
constexpr std::size_t kChunkResults = std::size_t{1} << 16;

// PRR PART_FLG bit 3: the part failed.
constexpr std::uint8_t kPartFailed = 0x08;
// TSR OPT_FLAG: every optional value invalid (reserved bits set).
constexpr std::uint8_t kTsrNoOptionalData = 0xFF;

// Little-endian integers; on a little-endian machine one store of the
// whole value, which the compiler does not always make of the bytes.
template <typename U>
inline void StoreLittle(char* p, U v) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &v, sizeof v);
  } else {
    for (std::size_t i = 0; i < sizeof v; ++i) p[i] = static_cast<char>(v >> (8 * i));
  }
}
inline void StoreU16(char* p, std::uint16_t v) { StoreLittle(p, v); }
inline void StoreU32(char* p, std::uint32_t v) { StoreLittle(p, v); }

// One record's bytes, field by field, at a place with room for kMaxRecordBytes.
class Record {
 public:
  Record(char* at, RecordType t) : start_(at), p_(at + kHeaderBytes) {
    at[2] = static_cast<char>(t.type);
    at[3] = static_cast<char>(t.sub);
  }
  Record& U1(std::uint8_t v) {
    *p_++ = static_cast<char>(v);
    return *this;
  }
  Record& U2(std::uint16_t v) {
    StoreU16(p_, v);
    p_ += 2;
    return *this;
  }
  Record& U4(std::uint32_t v) {
    StoreU32(p_, v);
    p_ += 4;
    return *this;
  }
  Record& I2(std::int16_t v) { return U2(static_cast<std::uint16_t>(v)); }
  Record& R4(float v) { return U4(std::bit_cast<std::uint32_t>(v)); }
  Record& C1(char c) { return U1(static_cast<std::uint8_t>(c)); }
  // Cn: a count byte and the text's first 255 bytes.
  Record& Cn(std::string_view text) {
    const std::size_t n = std::min(text.size(), kMaxTextBytes);
    U1(static_cast<std::uint8_t>(n));
    if (n > 0) std::memcpy(p_, text.data(), n);
    p_ += n;
    return *this;
  }
  Record& EmptyTexts(int count) {
    for (int i = 0; i < count; ++i) U1(0);
    return *this;
  }
  // Sets REC_LEN; returns the record's size.
  std::size_t Finish() {
    const std::size_t size = static_cast<std::size_t>(p_ - start_);
    StoreU16(start_, static_cast<std::uint16_t>(size - kHeaderBytes));
    return size;
  }

 private:
  char* start_;
  char* p_;
};

// Appends one record that fill() completes.
template <typename Fill>
void PutRecord(ReplacingWriter& out, RecordType type, const Fill& fill) {
  Record record(out.Room(kMaxRecordBytes), type);
  fill(record);
  out.Advance(record.Finish());
}

// ---------------------------------------------------------------------------
// The lot's parts

// What a packed result of each status byte gives on one kind of item: its
// number (the value text's, MeasuredValue of every reader text being the
// packed number), or the reading of its text, which is the same whatever
// the number; TEST_FLG bit 7 either way.
struct StatusResults {
  struct Status {
    bool number;
    std::uint8_t flags;  // TEST_FLG: of a number its failed bit, else the whole
    float value;         // RESULT when not a number
  };
  std::array<Status, 256> status;

  StatusResults(std::uint32_t itemType, std::uint8_t unit);
};
// The tables of a lot's items, by item type and unit character.
using StatusTables = std::map<std::pair<std::uint32_t, std::uint8_t>, StatusResults>;

// An ordinary item: what its PTRs and its TSR say.
struct TestItem {
  int item = 0;          // 0-based position among the lot's items
  std::string_view title;
  // The bytes of a later PTR, TEST_FLG and RESULT to be filled in, and zeros
  // up to kPtrCopyBytes, so that a short one is copied in one fixed-size move.
  std::string laterPtr;
  std::size_t laterPtrBytes = 0;
  const StatusResults* statuses = nullptr;  // for results read from the packed records

  std::uint32_t TestNumber() const { return static_cast<std::uint32_t>(item) + 1; }
};

struct PtrResult {
  std::uint8_t flags;
  float value;
};

[[gnu::always_inline]] inline PtrResult ResultOf(std::string_view text) {
  float value = 0.0f;
  const bool valid = MeasuredFloat(text, value);
  const std::uint8_t failed = ResultFailed(text) ? kTestFailed : 0;
  if (!valid) return {static_cast<std::uint8_t>(kResultNotValid | failed), 0.0f};
  return {failed, value};
}

StatusResults::StatusResults(std::uint32_t itemType, std::uint8_t unit) {
  for (int s = 0; s < 256; ++s) {
    const PackedValue sample{1000, static_cast<std::uint8_t>(s), 15};
    const PtrResult r = ResultOf(ResultText(sample, itemType, unit));
    const bool number = ResultShowsNumber(static_cast<std::uint8_t>(s), itemType);
    status[s] = {number, static_cast<std::uint8_t>(number ? r.flags & kTestFailed : r.flags), r.value};
  }
}

// The PTR result of the packed result at `at` (a DeviceRecord's): the
// same as ResultOf of the text the reader made of it.
[[gnu::always_inline]] inline PtrResult ResultOf(const StatusResults& statuses, const std::uint8_t* at) {
  constexpr std::uint8_t kMaxExponent = 20;  // above it the text's prefix is '?': no value
  constexpr int kExponentBias = 15;
  const PackedValue v = PackedValue::FromBytes(at);
  const StatusResults::Status s = statuses.status[v.status];
  if (!s.number) return {s.flags, s.value};
  if (v.exponent > kMaxExponent) return {static_cast<std::uint8_t>(kResultNotValid | s.flags), 0.0f};
  return {s.flags, value_digits::ScaledDigitsFloat(static_cast<std::uint64_t>(std::abs(int{v.mantissa})),
                                                   v.exponent - kExponentBias, v.mantissa < 0)};
}

// The fields of a PTR up to TEST_TXT.
Record& PtrHead(Record& r, const TestItem& t, PtrResult result) {
  return r.U4(t.TestNumber()).U1(kHead).U1(kSite).U1(result.flags).U1(0).R4(result.value).Cn(t.title);
}

// The first PTR of an item: its result and the static fields.
void PutFirstPtr(ReplacingWriter& out, const LotData& lot, const TestItem& t, PtrResult result) {
  const std::optional<double> low = LowerLimit(lot, t.item);
  const std::optional<double> high = UpperLimit(lot, t.item);
  const std::uint8_t options = kPtrOptions | (low ? 0 : kNoLowLimit) | (high ? 0 : kNoHighLimit);
  const char unit = static_cast<char>(lot.itemUnits[static_cast<std::size_t>(t.item)]);
  PutRecord(out, kPtr, [&](Record& r) {
    PtrHead(r, t, result)
        .Cn({})  // ALARM_ID
        .U1(options)
        .U1(0)  // RES_SCAL
        .U1(0)  // LLM_SCAL
        .U1(0)  // HLM_SCAL
        .R4(static_cast<float>(low.value_or(0)))
        .R4(static_cast<float>(high.value_or(0)))
        .Cn(unit == 0 ? std::string_view() : std::string_view(&unit, 1))
        .EmptyTexts(3)  // C_RESFMT, C_LLMFMT, C_HLMFMT
        .R4(0)          // LO_SPEC
        .R4(0);         // HI_SPEC
  });
}

// A later PTR at o, with room for kPtrCopyBytes more than its size: the
// item's prepared bytes with this result. Returns its end.
inline char* CopyLaterPtr(char* o, const TestItem& t, PtrResult result) {
  const std::size_t n = t.laterPtrBytes;
  if (n <= kPtrCopyBytes) {
    std::memcpy(o, t.laterPtr.data(), kPtrCopyBytes);  // the zeros behind are written over next
  } else {
    std::memcpy(o, t.laterPtr.data(), n);
  }
  o[kPtrTestFlg] = static_cast<char>(result.flags);
  StoreU32(o + kPtrResult, std::bit_cast<std::uint32_t>(result.value));
  return o + n;
}

// The lot's ordinary items; statuses holds their status tables, one per kind.
std::vector<TestItem> TestItems(const LotData& lot, StatusTables& statuses) {
  std::vector<TestItem> items;
  std::vector<char> bytes(kMaxRecordBytes);
  for (int i = 0; i < lot.items(); ++i) {
    if (!HasItemStats(lot, i)) continue;
    TestItem t;
    t.item = i;
    t.title = lot.ItemCell(kRowItemName, i + 2);
    Record r(bytes.data(), kPtr);
    t.laterPtrBytes = PtrHead(r, t, {0, 0.0f}).Finish();
    t.laterPtr.assign(bytes.data(), t.laterPtrBytes);
    t.laterPtr.resize(std::max(t.laterPtrBytes, kPtrCopyBytes));
    const std::uint32_t type = lot.itemTypes[static_cast<std::size_t>(i)];
    const std::uint8_t unit = lot.itemUnits[static_cast<std::size_t>(i)];
    t.statuses = &statuses.try_emplace({type, unit}, type, unit).first->second;
    items.push_back(std::move(t));
  }
  return items;
}

std::uint16_t BinOf(std::string_view text) {
  std::uint16_t bin = 0;
  std::from_chars(text.data(), text.data() + text.size(), bin);
  return bin;
}

// Devices and failed devices per bin number, counted as the PRRs are written.
struct BinCounts {
  std::vector<std::uint32_t> devices = std::vector<std::uint32_t>(std::size_t{1} << 16);
  std::vector<std::uint32_t> failed = std::vector<std::uint32_t>(std::size_t{1} << 16);
};

// The records of one device; fails[k] counts the failed results of items[k].
// The results come from the device's packed record when there is one (the
// record the load read), else from the texts.
void PutDevice(ReplacingWriter& out, const LotData& lot, int device, const std::vector<TestItem>& items,
               const std::uint8_t* record, std::vector<std::uint32_t>& fails, BinCounts& bins) {
  PutRecord(out, kPir, [](Record& r) { r.U1(kHead).U1(kSite); });
  const CellTable::RowCells row = lot.deviceCells.Row(static_cast<std::size_t>(device) + 1);
  const auto resultOf = [&](const TestItem& t) __attribute__((always_inline)) {
    return record ? ResultOf(*t.statuses, DeviceRecord{record}.Result(static_cast<std::size_t>(t.item)))
                  : ResultOf(row[static_cast<std::size_t>(t.item) + 2]);
  };
  if (device == 0) {
    for (std::size_t k = 0; k < items.size(); ++k) {
      const PtrResult result = resultOf(items[k]);
      fails[k] += (result.flags & kTestFailed) != 0;
      PutFirstPtr(out, lot, items[k], result);
    }
  } else {
    // The later PTRs straight into the output, up to kPtrsAtOnce at a time.
    for (std::size_t first = 0; first < items.size(); first += kPtrsAtOnce) {
      const std::size_t end = std::min(items.size(), first + kPtrsAtOnce);
      char* const start = out.Room(kPtrsAtOnce * kMaxLaterPtrBytes + kPtrCopyBytes);
      char* o = start;
      // Held apart from the vectors, whose pointers the byte stores would
      // otherwise make the compiler load again for every result.
      const TestItem* const item = items.data();
      std::uint32_t* const failCount = fails.data();
      for (std::size_t k = first; k < end; ++k) {
        const PtrResult result = resultOf(item[k]);
        failCount[k] += (result.flags & kTestFailed) != 0;
        o = CopyLaterPtr(o, item[k], result);
      }
      out.Advance(static_cast<std::size_t>(o - start));
    }
  }
  // The serial number after 'P' or 'F' and the bin, the texts of the record's numbers.
  char serialText[24];  // WriteInt: at most 20 bytes
  const std::string_view serial =
      record ? std::string_view(serialText, WriteInt(DeviceRecord{record}.Serial(), serialText))
             : row[0].substr(std::min<std::size_t>(1, row[0].size()));
  const std::uint16_t bin = record ? DeviceRecord{record}.Bin() : BinOf(row[1]);
  const bool failed = lot.deviceFailed[static_cast<std::size_t>(device)] != 0;
  ++bins.devices[bin];
  bins.failed[bin] += failed;
  PutRecord(out, kPrr, [&](Record& r) {
    r.U1(kHead)
        .U1(kSite)
        .U1(failed ? kPartFailed : 0)
        .U2(static_cast<std::uint16_t>(items.size()))  // NUM_TEST
        .U2(bin)                                       // HARD_BIN
        .U2(bin)                                       // SOFT_BIN
        .I2(kNoCoordinate)
        .I2(kNoCoordinate)
        .U4(0)  // TEST_T
        .Cn(serial)
        .Cn({})   // PART_TXT
        .U1(0);   // PART_FIX, no bytes
  });
}

void PutBins(ReplacingWriter& out, RecordType type, const std::vector<BinStats>& bins) {
  for (const BinStats& b : bins) {
    PutRecord(out, type, [&](Record& r) {
      r.U1(kAllHeads)
          .U1(kSite)
          .U2(static_cast<std::uint16_t>(b.bin))
          .U4(static_cast<std::uint32_t>(b.count))
          .C1(b.failed == 0 ? 'P' : 'F')
          .Cn({});  // bin name
    });
  }
}

std::uint32_t ModificationTime(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || st.st_mtime < 0) return 0;
  return static_cast<std::uint32_t>(st.st_mtime);
}

}  // namespace

std::string StdfPathOf(const std::string& lotPath) {
  return lotPath.substr(0, lotPath.size() >= 3 ? lotPath.size() - 3 : 0) + "stdf";
}

void WriteStdf(const LotData& lot, std::uint32_t fileTime, ReplacingWriter& out) {
  PutRecord(out, kFar, [](Record& r) { r.U1(kCpuType).U1(kStdfVersion); });
  PutRecord(out, kMir, [&](Record& r) {
    r.U4(fileTime)  // SETUP_T
        .U4(fileTime)  // START_T
        .U1(1)         // STAT_NUM
        .C1('P')       // MODE_COD
        .C1(' ')       // RTST_COD
        .C1(' ')       // PROT_COD
        .U2(kNoBurnInTime)
        .C1(' ')  // CMOD_COD
        .Cn(lot.lotName)
        .Cn(lot.deviceName)    // PART_TYP
        .Cn(lot.systemName)    // NODE_NAM
        .Cn(kTesterType)       // TSTR_TYP
        .Cn(lot.testFileName)  // JOB_NAM
        .Cn({})                // JOB_REV
        .Cn(lot.waferNum)      // SBLOT_ID
        .Cn(lot.operatorName)  // OPER_NAM
        .EmptyTexts(4)         // EXEC_TYP, EXEC_VER, TEST_COD, TST_TEMP
        .Cn(lot.comment)       // USER_TXT
        .EmptyTexts(kMirTextsAfterUserText);
  });

  // The devices in chunks of about kChunkResults results, which two
  // threads format; each counts the fails of its chunks apart.
  StatusTables statuses;
  const std::vector<TestItem> items = TestItems(lot, statuses);
  const int devices = lot.devices();
  const int perChunk = static_cast<int>(kChunkResults / std::max<std::size_t>(1, items.size()));
  std::vector<std::uint32_t> fails[2] = {std::vector<std::uint32_t>(items.size()),
                                         std::vector<std::uint32_t>(items.size())};
  BinCounts binCounts[2];
  bool allPacked = true;  // every device's bin from its record
  // Devices [first, end), with their packed records at `records` or none.
  ChunkMemory memory;
  const auto writeDevices = [&](int first, int end, const std::uint8_t* records, std::size_t recordBytes) {
    allPacked = allPacked && records != nullptr;
    const auto writeChunk = [&](std::size_t c, ReplacingWriter& sink) {
      const int from = first + static_cast<int>(c) * perChunk;
      for (int d = from; d < std::min(end, from + perChunk); ++d) {
        const std::uint8_t* record = records ? records + static_cast<std::size_t>(d - first) * recordBytes : nullptr;
        PutDevice(sink, lot, d, items, record, fails[c % 2], binCounts[c % 2]);
      }
    };
    WriteChunksInTwo(static_cast<std::size_t>((end - first + perChunk - 1) / perChunk), writeChunk, out, memory);
  };

  // The results come from the file's device records, read again a load
  // chunk at a time, where they are the ones the load read (the same
  // fingerprint); from the texts where the file is gone or changed.
  const std::size_t recordBytes = DeviceRecord::Bytes(static_cast<std::size_t>(lot.items()));
  if (items.empty()) {
    writeDevices(0, devices, nullptr, 0);
  } else {
    ForRecordsReadAgain(lot, 0, devices, [&](int first, int end, const std::uint8_t* records) {
      writeDevices(first, end, records, recordBytes);
    });
  }

  for (std::size_t k = 0; k < items.size(); ++k) {
    const TestItem& t = items[k];
    PutRecord(out, kTsr, [&](Record& r) {
      r.U1(kAllHeads)
          .U1(kSite)
          .C1('P')  // parametric
          .U4(t.TestNumber())
          .U4(static_cast<std::uint32_t>(devices))  // EXEC_CNT
          .U4(fails[0][k] + fails[1][k])
          .U4(kNoCount)  // ALRM_CNT
          .Cn(t.title)
          .EmptyTexts(2)  // SEQ_NAME, TEST_LBL
          .U1(kTsrNoOptionalData)
          .R4(0)   // TEST_TIM
          .R4(0)   // TEST_MIN
          .R4(0)   // TEST_MAX
          .R4(0)   // TST_SUMS
          .R4(0);  // TST_SQRS
    });
  }
  // The bins as the statistics count them, which the counts of the records'
  // bins give without reading the texts again.
  std::vector<BinStats> bins;
  if (!allPacked || devices == 0) {
    bins = ComputeBinStats(lot, DeviceSelection::kAll);
  } else {
    for (std::size_t b = 0; b < binCounts[0].devices.size(); ++b) {
      const std::uint32_t count = binCounts[0].devices[b] + binCounts[1].devices[b];
      if (count == 0) continue;
      BinStats s;
      s.bin = static_cast<std::int64_t>(b);
      s.count = count;
      s.failed = binCounts[0].failed[b] + binCounts[1].failed[b];
      s.passed = s.count - s.failed;
      bins.push_back(s);
    }
  }
  PutBins(out, kHbr, bins);
  PutBins(out, kSbr, bins);
  PutRecord(out, kPcr, [&](Record& r) {
    r.U1(kAllHeads)
        .U1(kSite)
        .U4(static_cast<std::uint32_t>(devices))
        .U4(kNoCount)  // RTST_CNT
        .U4(kNoCount)  // ABRT_CNT
        .U4(static_cast<std::uint32_t>(TakenDevices(lot, DeviceSelection::kOnlyPass)))  // GOOD_CNT
        .U4(kNoCount);  // FUNC_CNT
  });
  PutRecord(out, kMrr, [&](Record& r) {
    r.U4(fileTime)  // FINISH_T
        .C1(' ')    // DISP_COD
        .EmptyTexts(2);  // USR_DESC, EXC_DESC
  });
}

bool WriteStdfFile(const LotData& lot, ExportMessages& messages) {
  const std::string path = StdfPathOf(lot.path);
  ReplacingWriter out;
  // Straight to the disk: an STDF file is large and read by other programs,
  // later if at all; a copy in the page cache would only cost.
  if (out.Open(path, FileCaching::kDirect)) {
    WriteStdf(lot, ModificationTime(lot.path), out);
    if (out.Commit()) return true;
  }
  std::string text = "The STDF file " + path + " cannot be written";
  if (out.error() != 0) text += std::string(": ") + std::strerror(out.error());
  messages.Show(text);
  return false;
}

}  // namespace lotvue
