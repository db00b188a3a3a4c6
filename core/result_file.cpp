#include "core/result_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <new>
#include <thread>

#include "core/number_text.h"
#include "core/run_in_two.h"
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
  // Only a regular file is read. Looking first spares a device the open;
  // opening without blocking and looking again keeps a FIFO that took the
  // file's place meanwhile from holding the loader.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  sizeHint_ = static_cast<std::uint64_t>(st.st_size);
  buffer_.reset(new std::uint8_t[kBufferBytes]);
  memory_ = buffer_.get();
  return true;
}

void ResultFileSource::OpenMemory(const void* data, std::size_t size) {
  Close();
  memory_ = static_cast<const std::uint8_t*>(data);
  end_ = size;
  memorySize_ = size;
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
  position_ = 0;
  memorySize_ = 0;
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

std::size_t ResultFileSource::ReadDirect(std::uint8_t* dst, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    const ssize_t got = ::read(fd_, dst + done, n - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {  // end of file, or a read error, which ends the data as well
      fileDone_ = true;
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  return done;
}

std::size_t ResultFileSource::Read(void* dst, std::size_t n) {
  if (eof_) return 0;
  auto* out = static_cast<std::uint8_t*>(dst);
  std::size_t done = 0;
  while (done < n) {
    if (begin_ == end_ && n - done >= (kBufferBytes >> 2) && fd_ >= 0 && !fileDone_) {
      // A large read with the buffer empty goes straight to dst: the chunks
      // of device records are not copied twice.
      done += ReadDirect(out + done, n - done);
      break;
    }
    if (begin_ == end_ && !Fill()) break;
    const std::size_t chunk = std::min(n - done, end_ - begin_);
    std::memcpy(out + done, memory_ + begin_, chunk);
    begin_ += chunk;
    done += chunk;
  }
  if (done < n) eof_ = true;
  position_ += done;
  return done;
}

std::size_t ResultFileSource::ReadAt(std::uint64_t offset, void* dst, std::size_t n) {
  auto* out = static_cast<std::uint8_t*>(dst);
  if (fd_ < 0) {
    if (!memory_ || offset >= memorySize_) return 0;
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, memorySize_ - offset));
    std::memcpy(out, memory_ + offset, n);
    return n;
  }
  std::size_t done = 0;
  while (done < n) {
    const ssize_t got = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
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

// The kinds that show the value: kValue to kValueSmallF.
bool IsValueKind(CellKind kind) {
  return static_cast<unsigned>(kind) - static_cast<unsigned>(CellKind::kValue) <=
         static_cast<unsigned>(CellKind::kValueSmallF) - static_cast<unsigned>(CellKind::kValue);
}

// The text of every cell of an item without results, in black.
constexpr std::string_view kNoResultsText = "No Data";

// Writes the text of one result cell of an item with results, v shown as
// `view` says, at out (room for kMaxValueText + 1 bytes); returns its length.
[[gnu::always_inline]] inline std::size_t WriteResultCell(const ClassView& view, const ItemInfo& item, PackedValue v,
                                                          char* out) {
  if (IsValueKind(view.kind)) [[likely]] {
    // The letter before the value, written whether there is one or not: the
    // kinds of neighbouring cells differ at random.
    static constexpr char kLetter[] = {0, 0, 'F', 'O', 'f'};
    static_assert(static_cast<int>(CellKind::kValueSmallF) == 4);
    const char letter = kLetter[static_cast<int>(view.kind)];
    out[0] = letter;
    const std::size_t len = letter != 0;
    return len + WriteResultValue(v, item.unit, out + len);
  }
  const auto copy = [out](std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return text.size();
  };
  switch (view.kind) {
    case CellKind::kFixed: return copy(view.text);
    case CellKind::kOver: return copy(item.openItem ? "Open" : "Over");
    case CellKind::kFOver: return copy(item.openItem ? "F Open" : "F Over");
    default: return 0;  // kEmpty
  }
}

// Formats device records into rows of a cell table; one per thread.
struct RecordFormatter {
  const std::vector<ItemInfo>& items;
  std::size_t recordBytes;
  std::atomic<std::int32_t>& progress;

  // The count whole records at `records` (zero-filled where the file
  // ended), devices firstDevice on, into `cells`; fills failed[0..count)
  // and warnings.
  std::int32_t Format(const std::uint8_t* records, std::size_t count, std::size_t firstDevice, CellTable& cells,
                      std::uint8_t* failed, std::vector<RangeWarningAt>& warnings) const {
    const StatusTable& statuses = Statuses();
    const int itemCount = static_cast<int>(items.size());
    // The most a row's texts take: serial and bin numbers ("%d" of 32 bits
    // and "F" or "P" before the serial), then one result cell text per item.
    const std::size_t rowBytes = 2 * 12 + items.size() * (kMaxValueText + 1);
    std::int32_t failedCount = 0;
    for (std::size_t k = 0; k < count; ++k) {
      const std::size_t r = firstDevice + k;
      const DeviceRecord rec{records + k * recordBytes};
      const bool isFailed = rec.Failed();
      failed[k] = isFailed ? 1 : 0;
      failedCount += isFailed;

      // The row's texts in place: "P" or "F" and the serial number, the bin, then the results.
      const CellTable::RowSpace row = cells.BeginRow(rowBytes);
      char* const text = row.text;
      text[0] = isFailed ? 'F' : 'P';
      std::uint32_t at = static_cast<std::uint32_t>(1 + WriteInt(rec.Serial(), text + 1));
      row.ends[0] = at;
      row.colors[0] = static_cast<std::uint8_t>(isFailed ? CellColor::Red : CellColor::Black);
      at += static_cast<std::uint32_t>(WriteInt(rec.Bin(), text + at));
      row.ends[1] = at;
      row.colors[1] = static_cast<std::uint8_t>(CellColor::Black);

      for (int i = 0; i < itemCount; ++i) {
        const ItemInfo& item = items[i];
        if (item.noResults) {
          std::memcpy(text + at, kNoResultsText.data(), kNoResultsText.size());
          at += static_cast<std::uint32_t>(kNoResultsText.size());
          row.ends[i + 2] = at;
          row.colors[i + 2] = static_cast<std::uint8_t>(CellColor::Black);
          continue;
        }
        const PackedValue v = PackedValue::FromBytes(rec.Result(i));
        const ClassView& view = statuses.view[v.status];
        if (NeedsRangeWarning(v) && IsValueKind(view.kind)) {
          warnings.push_back({static_cast<int>(r), i, v.mantissa});
        }
        at += static_cast<std::uint32_t>(WriteResultCell(view, item, v, text + at));
        row.ends[i + 2] = at;
        row.colors[i + 2] = static_cast<std::uint8_t>(view.color);
      }
      cells.FinishRow();
      if ((r & 255) == 255) progress.fetch_add(256, std::memory_order_relaxed);
    }
    return failedCount;
  }
};

// How the statistics take the cells of each status byte on one kind of
// item: a value text ("F" before it or not) by its packed number, which is
// the number of its text (LimitTextNumber); any other text, whose reading
// is the same whatever the number, by the reading of its text.
struct StatisticsClasses {
  struct Class {
    bool fromNumber;
    CellReading reading;
  };
  std::array<Class, 256> classes;

  explicit StatisticsClasses(const ItemInfo& item) {
    for (int s = 0; s < 256; ++s) {
      const PackedValue v{0, static_cast<std::uint8_t>(s), 0};
      const ClassView& view = Statuses().view[s];
      char text[kMaxValueText + 1];
      classes[s].fromNumber = !item.noResults && (view.kind == CellKind::kValue || view.kind == CellKind::kValueF);
      classes[s].reading =
          ReadCell(item.noResults ? kNoResultsText : std::string_view(text, WriteResultCell(view, item, v, text)));
      classes[s].reading.candidateText = {};  // Min Data / Max Data read their text from the table
    }
  }

  // The three kinds of item the statistics tell apart (the unit changes no reading).
  static const StatisticsClasses& Of(const ItemInfo& item) {
    static const StatisticsClasses ordinary({false, false, 0}), open({false, true, 0}), noResults({true, false, 0});
    return item.noResults ? noResults : item.openItem ? open : ordinary;
  }
};

ItemInfo InfoOfItem(std::uint32_t type, std::uint8_t unit) { return {HasNoResults(type), type == kOpenItem, unit}; }

// The statistics' first pass over device records: every item's sums in
// device order, from the packed numbers.
struct RecordSums {
  std::vector<const StatisticsClasses*> classes;  // per item
  std::size_t recordBytes;
  bool avgStdOnlyPass;
  std::vector<ItemSums>& sums;

  // Items [first, last) of the count records at `records`, devices firstDevice on.
  void Take(const std::uint8_t* records, std::size_t count, std::size_t firstDevice, int first, int last) const {
    for (std::size_t k = 0; k < count; ++k) {
      const DeviceRecord rec{records + k * recordBytes};
      const bool included = !(avgStdOnlyPass && rec.Failed());
      const auto device = static_cast<std::int32_t>(firstDevice + k);
      for (int i = first; i < last; ++i) {
        const PackedValue v = PackedValue::FromBytes(rec.Result(i));
        const StatisticsClasses::Class& c = classes[i]->classes[v.status];
        if (c.fromNumber) {
          sums[i].TakeNumber(LimitTextNumber(v), included, device);
        } else {
          sums[i].Take(c.reading, included, device);
        }
      }
    }
  }

  // The second pass over the same records: the squared deviations from
  // each item's mean of the numbers the standard deviation takes, items
  // [first, last), added to squares in device order.
  void TakeSquares(const std::uint8_t* records, std::size_t count, const std::vector<double>& means, int first,
                   int last, std::vector<double>& squares) const {
    for (std::size_t k = 0; k < count; ++k) {
      const DeviceRecord rec{records + k * recordBytes};
      if (avgStdOnlyPass && rec.Failed()) continue;
      for (int i = first; i < last; ++i) {
        const PackedValue v = PackedValue::FromBytes(rec.Result(i));
        const StatisticsClasses::Class& c = classes[i]->classes[v.status];
        if (!c.fromNumber && !c.reading.collected) continue;
        const double dev = (c.fromNumber ? LimitTextNumber(v) : c.reading.stdValue) - means[i];
        squares[i] += dev * dev;
      }
    }
  }
};

}  // namespace

std::uint64_t RecordFingerprint(const std::uint8_t* p, std::size_t n) {
  // Four lanes of 8-byte words, each with the sum of its words and the sum
  // of those sums (which sees words that trade places), mixed at the end:
  // a few additions per 32 bytes, as the records pass through it twice.
  // Each lane's sums stay in registers, its words loaded one by one: sums
  // in an array, or the 32 bytes copied to one, go through memory and wait
  // on stores (a third of the speed).
  constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
  std::uint64_t s0 = n, s1 = 1, s2 = 2, s3 = 3, t0 = 0, t1 = 0, t2 = 0, t3 = 0;
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const auto word = [&](std::size_t k) {
      std::uint64_t w;
      std::memcpy(&w, p + i + 8 * k, 8);
      return w;
    };
    t0 += s0 += word(0);
    t1 += s1 += word(1);
    t2 += s2 += word(2);
    t3 += s3 += word(3);
  }
  std::uint64_t h = 0;
  for (; i < n; ++i) h = (h ^ p[i]) * kMul;
  for (const auto& [sum, sumOfSums] : {std::pair{s0, t0}, {s1, t1}, {s2, t2}, {s3, t3}}) {
    h = ((h ^ sum) * kMul ^ sumOfSums) * kMul;
  }
  return h;
}

bool ReadRecordsAgain(ResultFileSource& file, std::uint64_t offset, const RecordChunk& c, std::size_t recordBytes,
                      std::uint8_t* dst) {
  const std::size_t bytes = c.count * recordBytes;
  const std::size_t got = file.ReadAt(offset, dst, bytes);
  std::memset(dst + got, 0, bytes - got);
  return RecordFingerprint(dst, bytes) == c.fingerprint;
}

namespace {

// Device records are read this many bytes at a time (whole records): the
// memory a load takes follows the lot, not the file, and a load can be
// stopped between two chunks.
constexpr std::size_t kChunkBytes = std::size_t{4} << 20;
// A chunk of fewer cells is formatted by one thread: a second costs more than it saves.
constexpr std::size_t kCellsForTwoThreads = std::size_t{1} << 18;

// Drops everything a load has built; the path stays.
void FreeContent(LotData& lot) {
  std::string path = std::move(lot.path);
  static_cast<LotContent&>(lot) = LotContent{};
  lot.path = std::move(path);
}

bool Cancelled(const ReadOptions& options) { return options.cancel && options.cancel->load(std::memory_order_relaxed); }

// Whole records of a chunk of `got` bytes that belong to the lot, by the
// runtime's reading rules: the list ends at a serial number below 1, and a
// record the end of the file cuts short (even inside its serial number) is
// completed with zeros and counted. end: nothing after these records is part of it.
std::size_t RecordsInChunk(std::uint8_t* chunk, std::size_t got, std::size_t recordBytes, bool& end) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < got; pos += recordBytes) {
    const std::size_t avail = got - pos;
    std::uint8_t serialBytes[sizeof(std::int32_t)] = {};
    std::memcpy(serialBytes, chunk + pos, std::min(avail, sizeof serialBytes));
    if (DeviceRecord{serialBytes}.Serial() < 1) {
      end = true;
      break;
    }
    ++count;
    if (avail < recordBytes) {
      std::memset(chunk + got, 0, recordBytes - avail);
      break;
    }
  }
  return count;
}

// The statistics' second pass over the records read again, chunk by chunk,
// into `chunk`; false when they are not all the ones read first (the file
// changed or cannot be read again), which leaves the pass to the texts.
// Devices through it count in statisticsDone, from the device count on. A
// chunk of cellsForTwo cells or more is taken in two halves of the items at once.
bool SquaresFromRecords(ResultFileSource& file, std::uint64_t offset, const std::vector<RecordChunk>& chunks,
                        std::uint8_t* chunk, const RecordSums& recordSums, std::size_t cellsForTwo,
                        const ReadOptions& options,
                        LotData& lot, std::vector<double>& squares) {
  const int items = lot.items();
  std::vector<double> means(static_cast<std::size_t>(items));
  for (int i = 0; i < items; ++i) means[i] = recordSums.sums[i].Mean();
  lot.statisticsDone.store(lot.devices(), std::memory_order_relaxed);
  for (const RecordChunk& c : chunks) {
    if (Cancelled(options)) return false;
    if (!ReadRecordsAgain(file, offset, c, recordSums.recordBytes, chunk)) return false;
    const auto sumItems = [&](int first, int last) {
      recordSums.TakeSquares(chunk, c.count, means, first, last, squares);
    };
    if (items > 1 && c.count * static_cast<std::size_t>(items) >= cellsForTwo) {
      RunInTwo([&] { sumItems(0, items / 2); }, [&] { sumItems(items / 2, items); });
    } else {
      sumItems(0, items);
    }
    offset += c.count * recordSums.recordBytes;
    lot.statisticsDone.fetch_add(static_cast<std::int32_t>(c.count), std::memory_order_relaxed);
  }
  return true;
}

}  // namespace

bool ReadDeviceRecords(ResultFileSource& file, LotData& lot, const ReadOptions& options, ReaderEvents& events) {
  const std::uint64_t recordsOffset = file.Position();
  const int items = lot.items();
  const std::size_t columns = static_cast<std::size_t>(items) + 2;
  CellTable& cells = lot.deviceCells;
  cells.Reset(columns);
  cells.AddCell("Serial", CellColor::Black);
  cells.AddCell("Bin", CellColor::Black);
  for (int i = 0; i < items; ++i) cells.AddCell(lot.ItemCell(kRowItemName, i + 2), CellColor::Black);
  cells.EndRow();

  std::vector<ItemInfo> info(static_cast<std::size_t>(items));
  for (int i = 0; i < items; ++i) {
    info[i] = InfoOfItem(lot.itemTypes[i], lot.itemUnits[i]);
  }
  const std::size_t recordBytes = DeviceRecord::Bytes(static_cast<std::size_t>(items));
  const RecordFormatter formatter{info, recordBytes, lot.recordsRead};
  std::vector<ItemSums> sums(static_cast<std::size_t>(items));
  RecordSums recordSums{{}, recordBytes, options.avgStdOnlyPass, sums};
  for (const ItemInfo& item : info) recordSums.classes.push_back(&StatisticsClasses::Of(item));

  // Room for the records the header and the file's size both allow: exact
  // for an ordinary file, and never more than the lot a file can hold.
  const std::uint64_t headBytes = ResultFileHeader::kBytes + ItemRecord::kBytes * static_cast<std::uint64_t>(items);
  const std::uint64_t fileRecords = file.SizeHint() > headBytes ? (file.SizeHint() - headBytes + recordBytes - 1) / recordBytes : 0;
  const std::size_t expected = static_cast<std::size_t>(std::min<std::uint64_t>(fileRecords, std::max(lot.devices(), 0)));
  try {
    cells.ReserveRows(expected);
    lot.deviceFailed.reserve(expected);
  } catch (const std::bad_alloc&) {
    // only a hint: the rows find room as they come
  }

  // A chunk holds what the file has room for, plus one record to see its end.
  const std::size_t chunkRecords = static_cast<std::size_t>(std::min<std::uint64_t>(
      std::max<std::size_t>(1, (options.chunkBytes > 0 ? options.chunkBytes : kChunkBytes) / recordBytes),
      fileRecords + 1));
  std::unique_ptr<std::uint8_t[]> chunk(new std::uint8_t[chunkRecords * recordBytes]);
  const bool twoThreads = options.threads > 0 ? options.threads >= 2 : std::thread::hardware_concurrency() > 1;
  const std::size_t cellsForTwo = !twoThreads ? SIZE_MAX : options.threads >= 2 ? 0 : kCellsForTwoThreads;
  constexpr std::size_t kMaxRecords = static_cast<std::size_t>(INT32_MAX) - 1;  // the count is a 32-bit number
  std::size_t records = 0;
  std::int32_t failed = 0;
  std::vector<RangeWarningAt> warnings[2];
  std::vector<RecordChunk>& chunksRead = lot.recordChunks;
  chunksRead.clear();
  lot.recordsOffset = recordsOffset;
  bool end = file.eof();  // a file that ended within the header holds no records
  while (!end) {
    if (Cancelled(options)) return false;
    const std::size_t want = std::min(chunkRecords, kMaxRecords - records) * recordBytes;
    const std::size_t got = file.Read(chunk.get(), want);
    end = got < want || records + want / recordBytes == kMaxRecords;
    const std::size_t count = RecordsInChunk(chunk.get(), got, recordBytes, end);
    if (count == 0) break;
    chunksRead.push_back({count, RecordFingerprint(chunk.get(), count * recordBytes)});

    // A large chunk is formatted in two halves at once; the second half's
    // rows follow the first's, and its range warnings come after them. The
    // statistics take the chunk in two halves of the items.
    lot.deviceFailed.resize(records + count);
    std::uint8_t* const failedOut = lot.deviceFailed.data() + records;
    const std::size_t half = count >= 2 && count * columns >= cellsForTwo ? count / 2 : count;
    CellTable second(columns);
    std::int32_t failedCounts[2] = {0, 0};
    const auto formatFirst = [&] { failedCounts[0] = formatter.Format(chunk.get(), half, records, cells, failedOut, warnings[0]); };
    const auto sumItems = [&](int first, int last) { recordSums.Take(chunk.get(), count, records, first, last); };
    if (half == count) {
      formatFirst();
      sumItems(0, items);
    } else {
      RunInTwo([&] {
        formatFirst();
        sumItems(0, items / 2);
      }, [&] {
        second.ReserveRows(count - half);
        failedCounts[1] = formatter.Format(chunk.get() + half * recordBytes, count - half, records + half, second,
                                           failedOut + half, warnings[1]);
        sumItems(items / 2, items);
      });
      cells.Append(std::move(second));
    }
    failed += failedCounts[0] + failedCounts[1];
    records += count;
    for (auto& part : warnings) {
      for (const RangeWarningAt& w : part) events.RangeWarning(w.device, w.item, w.mantissa);
      part.clear();
    }
  }
  if (Cancelled(options)) return false;

  const auto count = static_cast<std::int32_t>(records);
  lot.recordsRead.store(count, std::memory_order_relaxed);
  lot.failCount = failed;

  if (count != lot.deviceCount) lot.deviceCount = count;
  const std::int32_t pass = count - failed;
  lot.headerCells[2 * kPassPair + 1] = IntText(pass);
  lot.headerCells[2 * kFailPair + 1] = IntText(failed);
  lot.headerCells[2 * kYieldPair + 1] = count != 0 ? FixedText(pass * 100.0 / count, 3) + "%" : "0.000%";
  // The second pass of the standard deviation takes the records again when
  // they are there as they were, else the texts.
  std::vector<double> squares(static_cast<std::size_t>(items));
  const bool squaresFound = count > 1 && SquaresFromRecords(file, recordsOffset, chunksRead, chunk.get(), recordSums,
                                                            cellsForTwo, options, lot, squares);
  chunk.reset();
  if (Cancelled(options)) return false;
  FinishItemStatistics(lot, sums, options.avgStdOnlyPass, options.threads, squaresFound ? &squares : nullptr);
  return true;
}

CellReading ResultCellReading(PackedValue v, std::uint32_t itemType) {
  const StatisticsClasses::Class& c = StatisticsClasses::Of(InfoOfItem(itemType, 0)).classes[v.status];
  if (!c.fromNumber) return c.reading;
  const double x = LimitTextNumber(v);
  return {true, x, true, x, true, {}, x};
}

std::string ResultText(PackedValue v, std::uint32_t itemType, std::uint8_t unit) {
  const ItemInfo item = InfoOfItem(itemType, unit);
  if (item.noResults) return std::string(kNoResultsText);
  char text[kMaxValueText + 1];
  return std::string(text, WriteResultCell(Statuses().view[v.status], item, v, text));
}

bool ResultShowsNumber(std::uint8_t status, std::uint32_t itemType) {
  return !InfoOfItem(itemType, 0).noResults && IsValueKind(Statuses().view[status].kind);
}

std::string NotEnoughMemoryText(const std::string& path) { return "Not enough memory to load " + path; }

std::string CannotOpenText(const std::string& path) { return "Cannot open the file: " + path; }

LoadResult LoadResultFile(LotData& lot, const ReadOptions& options, ReaderEvents& events,
                          const std::function<void()>& beforeReady) {
  ResultFileSource file;
  if (!file.Open(lot.path)) return LoadResult::kCannotOpen;
  lot.loadState = kReading;
  try {
    if (!ReadHeaderAndItems(file, lot, options, events)) return LoadResult::kRejected;
    if (!ReadDeviceRecords(file, lot, options, events)) {
      FreeContent(lot);
      return LoadResult::kCancelled;
    }
    if (beforeReady) beforeReady();
  } catch (const std::bad_alloc&) {
    FreeContent(lot);
    return LoadResult::kNoMemory;
  }
  lot.loadState.store(kRead, std::memory_order_release);
  return LoadResult::kLoaded;
}

}  // namespace lotvue
