#include "core/result_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <thread>

#include "core/huge_pages.h"
#include "core/number_text.h"
#include "core/result_records.h"
#include "core/statistics.h"
#include "core/value_text.h"

namespace lotvue {

// ---------------------------------------------------------------------------
// ResultFileSource

namespace {
constexpr std::size_t kBufferBytes = std::size_t{4} << 20;
}

ResultFileSource::~ResultFileSource() { Close(); }

bool ResultFileSource::Open(const std::string& path) {
  Close();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  sizeHint_ = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
  buffer_.reset(new std::uint8_t[kBufferBytes]);
  memory_ = buffer_.get();
  return true;
}

void ResultFileSource::OpenMemory(const void* data, std::size_t size) {
  Close();
  memory_ = static_cast<const std::uint8_t*>(data);
  end_ = size;
  fileDone_ = true;
  sizeHint_ = size;
}

void ResultFileSource::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  memory_ = nullptr;
  buffer_.reset();
  begin_ = end_ = 0;
  eof_ = false;
  fileDone_ = false;
  sizeHint_ = 0;
}

bool ResultFileSource::Fill() {
  if (fileDone_ || fd_ < 0) return false;
  // Keep the unread tail, then top the buffer up.
  const std::size_t tail = end_ - begin_;
  if (begin_ > 0 && tail > 0) std::memmove(buffer_.get(), buffer_.get() + begin_, tail);
  begin_ = 0;
  end_ = tail;
  while (end_ < kBufferBytes) {
    const ssize_t got = ::read(fd_, buffer_.get() + end_, kBufferBytes - end_);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {  // end of file, or a read error, which ends the data as well
      fileDone_ = true;
      break;
    }
    end_ += static_cast<std::size_t>(got);
    if (end_ - tail >= (kBufferBytes >> 2)) break;  // enough for now
  }
  return end_ > tail;
}

std::size_t ResultFileSource::Read(void* dst, std::size_t n) {
  if (eof_) return 0;
  auto* out = static_cast<std::uint8_t*>(dst);
  std::size_t done = 0;
  while (done < n) {
    if (begin_ == end_ && !Fill()) break;
    const std::size_t chunk = std::min(n - done, end_ - begin_);
    std::memcpy(out + done, memory_ + begin_, chunk);
    begin_ += chunk;
    done += chunk;
  }
  if (done < n) eof_ = true;
  return done;
}

// ---------------------------------------------------------------------------
// Header and item records

namespace {

void AppendUnit(std::string& text, std::uint8_t unit) {
  if (unit != 0) text += static_cast<char>(unit);
}

// "name=number unit" of an ordinary item's bias condition.
std::string BiasText(BiasField bias) {
  char number[kMaxValueText];
  std::string text = std::string(bias.Name()) + "=" +
                     std::string(number, WriteBiasValue(bias.Mantissa(), bias.Exponent(), number));
  AppendUnit(text, bias.Unit());
  return text;
}

void FillOrdinaryItem(ItemRecord rec, LotData& lot, int col) {
  for (int k = 0; k < ItemRecord::kBiasCount; ++k) {
    const BiasField bias = rec.Bias(k);
    if (bias.Name() == "(none)") continue;
    lot.ItemCell(kRowBias1 + k, col) = rec.BiasNumbered(k) ? "#" + IntText(bias.Number()) : BiasText(bias);
  }
  if (!rec.LowerLimitOff()) {
    std::string& cell = lot.ItemCell(kRowMinLimit, col);
    cell = FormatLimitValue(rec.LowerLimit());
    AppendUnit(cell, rec.Unit());
  }
  if (!rec.UpperLimitOff()) {
    std::string& cell = lot.ItemCell(kRowMaxLimit, col);
    cell = FormatLimitValue(rec.UpperLimit());
    AppendUnit(cell, rec.Unit());
  }
}

void FillPinMaskItem(ItemRecord rec, LotData& lot, int col) {
  static constexpr const char* kPrefix[4] = {"S=", "B=", "C=", "E="};
  for (int k = 0; k < 4; ++k) {
    const std::string pins = FormatPinList(AssemblePinMask(rec.PinMask(k)));
    if (!pins.empty()) lot.ItemCell(kRowBias1 + k, col) = kPrefix[k] + pins;
  }
}

void FillLineItem(ItemRecord rec, LotData& lot, int col) {
  for (int k = 0; k < 2; ++k) {
    const std::string pins = FormatPinList(AssemblePinMask(rec.PinMask(k)));
    const bool ground = rec.LineGround(k);
    if (pins.empty() && !ground) continue;
    const std::string prefix = std::string("L") + static_cast<char>('1' + k) + (ground ? "(GND)=" : "=");
    lot.ItemCell(kRowBias1 + k, col) = prefix + pins;
  }
}

void FillCapacitanceItem(ItemRecord rec, LotData& lot, int col) {
  using R = ItemRecord;
  const std::uint16_t vxt = rec.VxtWord(), lv = rec.LvWord(), cv = rec.CvWord();
  struct Test {
    bool holds;
    const char* kind;
    const char* channel;
  };
  const Test tests[] = {
      {(vxt & R::kVxt1ch) != 0, "VXT ", "1ch"}, {(vxt & R::kVxt2ch) != 0, "VXT ", "2ch"},
      {(cv & R::kCv1ch) != 0, "CV ", "1ch"},    {(cv & R::kCv2ch) != 0, "CV ", "2ch"},
      {(lv & R::kLv1ch) != 0, "LV ", "1ch"},    {(lv & R::kLv2ch) != 0, "LV ", "2ch"},
  };
  // When none of the tests holds the item names no measurement kind: the
  // row shows the channel alone and no drain voltage is written.
  const char* kind = "";
  const char* channel = "1ch";
  for (const Test& t : tests) {
    if (t.holds) {
      kind = t.kind;
      channel = t.channel;
      break;
    }
  }
  lot.ItemCell(kRowBias1, col) = std::string(kind) + channel;
  if (vxt & R::kCrss) {
    lot.ItemCell(kRowBias2, col) = "CRSS";
  } else if (vxt & R::kCissRg) {
    lot.ItemCell(kRowBias2, col) = "CISS.RG";
  } else if (cv & R::kCoss) {
    lot.ItemCell(kRowBias2, col) = "COSS";
  }
  if (std::strcmp(kind, "CV ") == 0) {
    char number[kMaxValueText];
    std::string text = "VDS=" + std::string(number, WriteBiasValue(rec.DrainMantissa(), rec.DrainExponent(), number));
    AppendUnit(text, rec.DrainUnit());
    lot.ItemCell(kRowBias3, col) = text;
  }
}

}  // namespace

bool ReadHeaderAndItems(ResultFileSource& file, LotData& lot, const ReadOptions& options, ReaderEvents& events) {
  std::array<std::uint8_t, ResultFileHeader::kBytes> bytes{};
  file.Read(bytes.data(), bytes.size());
  const ResultFileHeader h{bytes.data()};
  lot.deviceCount = static_cast<std::int32_t>(h.DeviceCount());
  const int items = h.ItemCount();
  lot.itemCount = items;
  if (items > ResultFileHeader::kMaxItems) {
    events.NotTsdFile();
    return false;
  }

  auto& cells = lot.headerCells;
  cells.push_back("DataFileName");
  cells.push_back(lot.path + "       " + (options.avgStdOnlyPass ? "AvgStd_OlnyPass=TRUE" : "AvgStd_OlnyPass=FALSE"));
  const std::uint16_t wafer = h.WaferNumber();
  lot.waferNum = wafer == 0 ? std::string() : IntText(wafer);
  cells.push_back("WaferNum");
  cells.push_back(lot.waferNum);
  struct Field {
    TextField field;
    std::string LotData::*member;
    const char* label;
  };
  using H = ResultFileHeader;
  static const Field fields[] = {
      {H::kSystemName, &LotData::systemName, "SystemName"},     {H::kDeviceName, &LotData::deviceName, "DeviceName"},
      {H::kLotName, &LotData::lotName, "LotName"},              {H::kOperatorName, &LotData::operatorName, "OperatorName"},
      {H::kTestFileName, &LotData::testFileName, "TestFileName"}, {H::kComment, &LotData::comment, "Comment"},
  };
  for (const Field& f : fields) {
    lot.*f.member = h.Text(f.field);
    cells.push_back(f.label);
    cells.push_back(lot.*f.member);
  }
  for (const char* label : {"", "Pass", "Fail", "Yield"}) {
    cells.push_back(label);
    cells.push_back("");
  }

  const int columns = items + 2;
  lot.itemTable.assign(static_cast<std::size_t>(kItemTableRows) * columns, std::string());
  static constexpr const char* kLabels[kItemTableRows] = {"Item Name", "Bias1", "Bias2",   "Bias3",    "Min Limit", "Max Limit",
                                                          "",          "Average", "STDEV", "Min Data", "Max Data"};
  for (int r = 0; r <= kRowMaxLimit; ++r) lot.ItemCell(r, 0) = kLabels[r];
  for (int i = 0; i < items; ++i) {
    std::array<std::uint8_t, ItemRecord::kBytes> recBytes{};
    file.Read(recBytes.data(), recBytes.size());
    const ItemRecord rec{recBytes.data()};
    const int col = i + 2;
    std::string name(rec.Name());
    const std::uint16_t number = rec.Number();
    lot.ItemCell(kRowItemName, col) = IntText(number == 0 ? i + 1 : number) + " " + name;
    lot.itemNames.push_back(std::move(name));
    lot.itemUnits.push_back(rec.Unit());
    const std::uint32_t type = rec.Type();
    lot.itemTypes.push_back(type);
    switch (type) {
      case kPinMaskItem: FillPinMaskItem(rec, lot, col); break;
      case kLineItem: FillLineItem(rec, lot, col); break;
      case kCapacitanceItem: FillCapacitanceItem(rec, lot, col); break;
      case kPlainItem: break;
      default: FillOrdinaryItem(rec, lot, col); break;
    }
  }
  for (int r = kRowAverage; r <= kRowMaxData; ++r) lot.ItemCell(r, 0) = kLabels[r];
  return true;
}

// ---------------------------------------------------------------------------
// Device records

namespace {

// The ordered masks of the status normalisation and the codes kept as they are.
constexpr std::uint8_t kKeptStatus[] = {23, 27, 29, 31, 55, 59, 61, 63, 87, 91, 93, 115, 117, 119, 121, 123, 125, 127};
constexpr std::uint8_t kStatusMasks[] = {0x10, 0x11, 0x18, 0x19, 0x91, 0x30, 0x31, 0x51, 0x50, 0x14, 0x15,
                                         0x34, 0x35, 0x55, 0x54, 0x12, 0x13, 0x32, 0x33, 0x52, 0x53, 0x98,
                                         0x99, 0xB8, 0xB9, 0xD8, 0xD9, 0x92, 0x93, 0xB2, 0xB3, 0xD2, 0xD3};

// How a result class is shown.
enum class CellKind : std::uint8_t {
  kEmpty,      // no text
  kValue,      // the value text
  kValueF,     // "F" + value
  kValueO,     // "O" + value
  kValueSmallF,  // "f" + value
  kOver,       // "Over", or "Open" for the open-type item
  kFOver,      // "F Over" / "F Open"
  kFixed,      // a fixed text
};

struct ClassView {
  CellKind kind;
  CellColor color;
  const char* text;  // for kFixed
};

ClassView ViewOfClass(int code) {
  using K = CellKind;
  using C = CellColor;
  switch (code) {
    case 0: return {K::kEmpty, C::Red, ""};
    case 16: case 24: return {K::kValue, C::Black, ""};
    case 17: case 25: return {K::kValueF, C::Red, ""};
    case 48: case 49: return {K::kValueO, C::Magenta, ""};
    case 80: return {K::kValue, C::Blue, ""};
    case 81: return {K::kValueSmallF, C::Blue, ""};
    case 20: case 84: return {K::kFixed, C::Black, "No Data"};
    case 21: case 145: return {K::kFixed, C::Red, "F No Data"};
    case 52: return {K::kFixed, C::Magenta, "No Data"};
    case 53: return {K::kFixed, C::Magenta, "F No Data"};
    case 85: return {K::kFixed, C::Blue, "F No Data"};
    case 18: case 82: return {K::kOver, C::Black, ""};
    case 19: return {K::kFOver, C::Red, ""};
    case 50: return {K::kOver, C::Magenta, ""};
    case 51: return {K::kFOver, C::Magenta, ""};
    case 83: return {K::kFOver, C::Blue, ""};
    case 152: return {K::kFixed, C::Black, "Short"};
    case 153: return {K::kFixed, C::Red, "F Short"};
    case 184: return {K::kFixed, C::Magenta, "Short"};
    case 185: return {K::kFixed, C::Magenta, "F Short"};
    case 216: return {K::kFixed, C::Blue, "Short"};
    case 217: return {K::kFixed, C::Blue, "F Short"};
    case 146: case 210: return {K::kFixed, C::Black, "Aval"};
    case 147: return {K::kFixed, C::Red, "F Aval"};
    case 178: return {K::kFixed, C::Magenta, "Aval"};
    case 179: return {K::kFixed, C::Magenta, "F Aval"};
    case 211: return {K::kFixed, C::Blue, "f Aval"};
    case 23: return {K::kFixed, C::Red, "CoverOpen"};
    case 27: return {K::kFixed, C::Red, "PreShort"};
    case 29: return {K::kFixed, C::Red, "PreOpen"};
    case 31: return {K::kFixed, C::Red, "ID_Over"};
    case 55: return {K::kFixed, C::Red, "TG_High"};
    case 59: return {K::kFixed, C::Red, "TG_Low"};
    case 61: return {K::kFixed, C::Red, "PostShort"};
    case 63: return {K::kFixed, C::Red, "Fail1"};
    case 115: return {K::kFixed, C::Red, "Fail2"};
    case 117: return {K::kFixed, C::Red, "IGBT_Err"};
    case 119: return {K::kFixed, C::Red, "VCC_Low"};
    case 121: return {K::kFixed, C::Red, "VCC_High"};
    case 123: return {K::kFixed, C::Red, "HardError"};
    case 87: return {K::kFixed, C::Black, "LV"};
    case 91: return {K::kFixed, C::Black, "1ch"};
    case 93: return {K::kFixed, C::Black, "2ch"};
    case 125: return {K::kFixed, C::Black, "VXT"};
    case 127: return {K::kFixed, C::Black, "CV"};
    default: return {K::kFixed, C::Red, "#N/A"};
  }
}

struct StatusTable {
  std::array<ClassView, 256> view;
  StatusTable() {
    for (int s = 0; s < 256; ++s) view[s] = ViewOfClass(NormalizeStatus(static_cast<std::uint8_t>(s)));
  }
};

const StatusTable& Statuses() {
  static const StatusTable table;
  return table;
}

}  // namespace

int NormalizeStatus(std::uint8_t status) {
  for (std::uint8_t kept : kKeptStatus) {
    if (status == kept) return status;
  }
  if (status == 0) return 0;
  for (std::uint8_t mask : kStatusMasks) {
    if ((status & ~mask & 0xFF) == 0) return mask;
  }
  return 1;
}

bool IsRedErrorText(std::string_view text) {
  for (std::uint8_t code : kKeptStatus) {
    const ClassView& view = Statuses().view[code];
    if (view.color == CellColor::Red && text == view.text) return true;
  }
  return false;
}

namespace {

struct ItemInfo {
  bool noResults;
  bool openItem;
  std::uint8_t unit;
};

struct RangeWarningAt {
  int device, item, mantissa;
};

// Formats device records into rows of a cell table; one per thread.
struct RecordFormatter {
  const std::vector<ItemInfo>& items;
  std::size_t recordBytes;
  std::atomic<std::int32_t>& progress;

  // Records [first, first + count) of `records` (whole records, zero-filled
  // where the file ended) into `cells`; fills failed[first..] and warnings.
  std::int32_t Format(const std::uint8_t* records, std::size_t first, std::size_t count, CellTable& cells,
                      std::uint8_t* failed, std::vector<RangeWarningAt>& warnings) const {
    const StatusTable& statuses = Statuses();
    const int itemCount = static_cast<int>(items.size());
    std::int32_t failedCount = 0;
    for (std::size_t r = first; r < first + count; ++r) {
      const DeviceRecord rec{records + r * recordBytes};
      const bool isFailed = rec.Failed();
      failed[r] = isFailed ? 1 : 0;
      failedCount += isFailed;

      char* out = cells.CellSpace(24);
      out[0] = isFailed ? 'F' : 'P';
      cells.CommitCell(1 + WriteInt(rec.Serial(), out + 1), isFailed ? CellColor::Red : CellColor::Black);
      out = cells.CellSpace(24);
      cells.CommitCell(WriteInt(rec.Bin(), out), CellColor::Black);

      for (int i = 0; i < itemCount; ++i) {
        const ItemInfo& item = items[i];
        if (item.noResults) {
          cells.AddCell("No Data", CellColor::Black);
          continue;
        }
        const PackedValue v = PackedValue::FromBytes(rec.Result(i));
        const ClassView& view = statuses.view[v.status];
        switch (view.kind) {
          case CellKind::kEmpty: cells.AddCell({}, view.color); break;
          case CellKind::kFixed: cells.AddCell(view.text, view.color); break;
          case CellKind::kOver: cells.AddCell(item.openItem ? "Open" : "Over", view.color); break;
          case CellKind::kFOver: cells.AddCell(item.openItem ? "F Open" : "F Over", view.color); break;
          default: {
            if (NeedsRangeWarning(v)) warnings.push_back({static_cast<int>(r), i, v.mantissa});
            out = cells.CellSpace(kMaxValueText + 1);
            std::size_t len = 0;
            if (view.kind == CellKind::kValueF) out[len++] = 'F';
            if (view.kind == CellKind::kValueO) out[len++] = 'O';
            if (view.kind == CellKind::kValueSmallF) out[len++] = 'f';
            len += WriteResultValue(v, item.unit, out + len);
            cells.CommitCell(len, view.color);
            break;
          }
        }
      }
      cells.EndRow();
      if ((r & 255) == 255) progress.fetch_add(256, std::memory_order_relaxed);
    }
    return failedCount;
  }
};

// Leaves bytes uninitialised on resize: the file's bytes overwrite them.
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitializedAllocator<U>;
  };
  UninitializedAllocator() = default;
  template <typename U>
  UninitializedAllocator(const UninitializedAllocator<U>&) {}
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

// Below this many cells a second formatting thread costs more than it saves.
constexpr std::size_t kCellsForThreads = std::size_t{1} << 20;

}  // namespace

void ReadDeviceRecords(ResultFileSource& file, LotData& lot, const ReadOptions& options, ReaderEvents& events) {
  const int items = lot.items();
  const std::size_t columns = static_cast<std::size_t>(items) + 2;
  CellTable& cells = lot.deviceCells;
  cells.Reset(columns);
  cells.AddCell("Serial", CellColor::Black);
  cells.AddCell("Bin", CellColor::Black);
  for (int i = 0; i < items; ++i) cells.AddCell(lot.ItemCell(kRowItemName, i + 2), CellColor::Black);
  cells.EndRow();

  // The rest of the file, in memory. Then the records it holds, by the
  // runtime's reading rules: the list ends at a serial number below 1 or at
  // the end of the file, and a record that the end cuts short (even inside
  // its serial number) is completed with zeros and counted.
  const std::size_t recordBytes = DeviceRecord::Bytes(static_cast<std::size_t>(items));
  const bool endedEarly = file.eof();
  std::vector<std::uint8_t, UninitializedAllocator<std::uint8_t>> data;
  if (!endedEarly) {
    // The size hint makes one read of the whole rest (one byte more to see
    // the end); without it, or when the file grew, chunks of 1 MiB follow.
    const std::uint64_t headBytes = ResultFileHeader::kBytes + ItemRecord::kBytes * static_cast<std::uint64_t>(items);
    std::size_t chunk = std::size_t{1} << 20;
    if (file.SizeHint() > headBytes) {
      chunk = static_cast<std::size_t>(file.SizeHint() - headBytes) + 1;
      data.reserve(chunk);
      AdviseHugePages(data.data(), data.capacity());
    }
    while (!file.eof()) {
      const std::size_t at = data.size();
      data.resize(at + chunk);
      data.resize(at + file.Read(data.data() + at, chunk));
      chunk = std::size_t{1} << 20;
    }
  }
  std::size_t records = 0;
  for (bool eof = endedEarly; !eof; ++records) {
    const std::size_t pos = records * recordBytes;
    const std::size_t avail = data.size() > pos ? data.size() - pos : 0;
    std::uint8_t serialBytes[sizeof(std::int32_t)] = {};  // the serial number, completed with zeros
    if (avail > 0) std::memcpy(serialBytes, data.data() + pos, std::min(avail, sizeof serialBytes));
    if (avail < sizeof serialBytes) eof = true;
    if (DeviceRecord{serialBytes}.Serial() < 1) break;
    if (avail < recordBytes) eof = true;
    if (records == static_cast<std::size_t>(INT32_MAX) - 1) break;  // the count is a 32-bit number
  }
  data.resize(records * recordBytes, 0);  // zero-fill a record cut short; drop what follows the list

  std::vector<ItemInfo> info(static_cast<std::size_t>(items));
  for (int i = 0; i < items; ++i) {
    info[i] = {HasNoResults(lot.itemTypes[i]), lot.itemTypes[i] == kOpenItem, lot.itemUnits[i]};
  }
  lot.deviceFailed.assign(records, 0);
  const RecordFormatter formatter{info, recordBytes, lot.recordsRead};

  // Large lots are formatted in two halves at once; the halves' rows are
  // joined in file order and their range warnings shown in file order.
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  std::size_t parts = (records * columns >= kCellsForThreads && cores > 1) ? 2 : 1;
  if (options.threads > 0) parts = std::min<std::size_t>(static_cast<std::size_t>(options.threads), 2);
  if (records < 2) parts = 1;
  std::vector<CellTable> tables;
  std::vector<std::vector<RangeWarningAt>> warnings(parts);
  std::vector<std::int32_t> failedCounts(parts, 0);
  for (std::size_t p = 0; p < parts; ++p) tables.emplace_back(columns);
  auto formatPart = [&](std::size_t p) {
    const std::size_t first = records * p / parts, last = records * (p + 1) / parts;
    tables[p].ReserveRows(last - first);
    failedCounts[p] = formatter.Format(data.data(), first, last - first, tables[p], lot.deviceFailed.data(), warnings[p]);
  };
  if (parts == 2) {
    std::thread second(formatPart, 1);
    formatPart(0);
    second.join();
  } else {
    formatPart(0);
  }
  data = {};
  std::int32_t failed = 0;
  cells.ReserveRows(records);
  for (std::size_t p = 0; p < parts; ++p) {
    cells.Append(std::move(tables[p]));
    failed += failedCounts[p];
  }
  for (const auto& part : warnings) {
    for (const RangeWarningAt& w : part) events.RangeWarning(w.device, w.item, w.mantissa);
  }
  const auto count = static_cast<std::int32_t>(records);
  lot.recordsRead.store(count, std::memory_order_relaxed);
  lot.failCount = failed;

  if (count != lot.deviceCount) lot.deviceCount = count;
  const std::int32_t pass = count - failed;
  lot.headerCells[2 * kPassPair + 1] = IntText(pass);
  lot.headerCells[2 * kFailPair + 1] = IntText(failed);
  lot.headerCells[2 * kYieldPair + 1] = count != 0 ? FixedText(pass * 100.0 / count, 3) + "%" : "0.000%";
  ComputeItemStatistics(lot, options.avgStdOnlyPass, options.threads);
}

LoadResult LoadResultFile(LotData& lot, const ReadOptions& options, ReaderEvents& events,
                          const std::function<void()>& beforeReady) {
  ResultFileSource file;
  if (!file.Open(lot.path)) return LoadResult::kCannotOpen;
  lot.loadState = kReading;
  if (!ReadHeaderAndItems(file, lot, options, events)) return LoadResult::kRejected;
  ReadDeviceRecords(file, lot, options, events);
  if (beforeReady) beforeReady();
  lot.loadState.store(kRead, std::memory_order_release);
  return LoadResult::kLoaded;
}

}  // namespace lotvue
