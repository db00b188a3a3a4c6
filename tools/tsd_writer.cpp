#include "tools/tsd_writer.h"

#include <algorithm>
#include <cstdio>
#include <random>

namespace tsd {

using lotvue::BiasField;
using lotvue::DeviceRecord;
using HeaderLayout = lotvue::ResultFileHeader;
using ItemLayout = lotvue::ItemRecord;

namespace {

void PutU16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}
void PutU32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}
// A PackedValue: the mantissa, the status byte and the exponent.
void PutPacked(std::uint8_t* at, std::int16_t mantissa, std::uint8_t status, std::uint8_t exponent) {
  PutU16(at, static_cast<std::uint16_t>(mantissa));
  at[2] = status;
  at[3] = exponent;
}
void PutText(std::uint8_t* record, lotvue::TextField field, const std::string& s) {
  std::fill_n(record + field.offset, field.width, 0);
  std::copy_n(s.begin(), std::min(s.size(), field.width), record + field.offset);
}

}  // namespace

std::array<std::uint8_t, 4> TypeBytes(std::uint32_t t) {
  // The inverse of ItemRecord::Type(): bytes A2 00 10 00 for 0x00A21000.
  return {static_cast<std::uint8_t>(t >> 16), static_cast<std::uint8_t>(t >> 24), static_cast<std::uint8_t>(t >> 8),
          static_cast<std::uint8_t>(t)};
}

ItemRecord& ItemRecord::Name(const std::string& name) {
  PutText(bytes.data(), ItemLayout::kName, name);
  return *this;
}
ItemRecord& ItemRecord::Unit(char unit) { return Byte(ItemLayout::kUnit, static_cast<std::uint8_t>(unit)); }
ItemRecord& ItemRecord::Type(std::uint32_t itemType) {
  const auto b = TypeBytes(itemType);
  std::copy(b.begin(), b.end(), bytes.begin() + ItemLayout::kType);
  return *this;
}
ItemRecord& ItemRecord::Number(std::uint16_t number) { return Word(ItemLayout::kNumber, number); }
ItemRecord& ItemRecord::Bias(int k, const std::string& name, std::int16_t mantissa, std::uint8_t exponent, char unit) {
  std::uint8_t* field = bytes.data() + ItemLayout::kBias + BiasField::kBytes * static_cast<std::size_t>(k);
  for (std::size_t i = 0; i < BiasField::kName.width; ++i) {
    field[i] = i < name.size() ? static_cast<std::uint8_t>(name[i]) : '0';
  }
  PutU16(field + BiasField::kMantissa, static_cast<std::uint16_t>(mantissa));
  field[BiasField::kExponent] = exponent;
  field[BiasField::kUnit] = static_cast<std::uint8_t>(unit);
  return *this;
}
ItemRecord& ItemRecord::Limits(std::int16_t lowM, std::uint8_t lowE, std::int16_t highM, std::uint8_t highE) {
  PutPacked(bytes.data() + ItemLayout::kLowerLimit, lowM, 0, lowE);
  PutPacked(bytes.data() + ItemLayout::kUpperLimit, highM, 0, highE);
  return *this;
}
ItemRecord& ItemRecord::Byte(std::size_t offset, std::uint8_t value) {
  bytes.at(offset) = value;
  return *this;
}
ItemRecord& ItemRecord::Word(std::size_t offset, std::uint16_t value) {
  bytes.at(offset) = static_cast<std::uint8_t>(value);
  bytes.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
  return *this;
}

TsdBuilder::TsdBuilder() = default;

TsdBuilder& TsdBuilder::AnnouncedDevices(std::uint32_t count) {
  PutU32(header_.data() + HeaderLayout::kDeviceCount, count);
  announced_ = true;
  return *this;
}
TsdBuilder& TsdBuilder::ItemCountField(std::uint16_t count) {
  PutU16(header_.data() + HeaderLayout::kItemCount, count);
  itemCountSet_ = true;
  return *this;
}
TsdBuilder& TsdBuilder::Wafer(std::uint16_t wafer) {
  PutU16(header_.data() + HeaderLayout::kWaferNumber, wafer);
  return *this;
}
TsdBuilder& TsdBuilder::Text(lotvue::TextField field, const std::string& s) {
  PutText(header_.data(), field, s);
  return *this;
}

ItemRecord& TsdBuilder::AddItem(const std::string& name, char unit, std::uint32_t itemType) {
  items_.emplace_back();
  return items_.back().Name(name).Unit(unit).Type(itemType);
}

TsdBuilder& TsdBuilder::AddDevice(std::int32_t serial, std::uint16_t bin, std::uint16_t failWord,
                                  const std::vector<Result>& results) {
  const std::size_t at = records_.size();
  records_.resize(at + DeviceRecord::Bytes(items_.size()), 0);
  std::uint8_t* rec = records_.data() + at;
  PutU32(rec + DeviceRecord::kSerial, static_cast<std::uint32_t>(serial));
  PutU16(rec + DeviceRecord::kBin, bin);
  rec[DeviceRecord::kFailWord] = static_cast<std::uint8_t>(failWord >> 8);  // big-endian
  rec[DeviceRecord::kFailWord + 1] = static_cast<std::uint8_t>(failWord);
  for (std::size_t i = 0; i < items_.size() && i < results.size(); ++i) {
    const Result& r = results[i];
    PutPacked(rec + DeviceRecord::kResults + DeviceRecord::kResultBytes * i, r.mantissa, r.status, r.exponent);
  }
  ++deviceCount_;
  return *this;
}

TsdBuilder& TsdBuilder::Trailer(const std::vector<std::uint8_t>& bytes) {
  trailer_.insert(trailer_.end(), bytes.begin(), bytes.end());
  return *this;
}

std::vector<std::uint8_t> TsdBuilder::Bytes() const {
  std::array<std::uint8_t, HeaderLayout::kBytes> h = header_;
  if (!announced_) PutU32(h.data() + HeaderLayout::kDeviceCount, static_cast<std::uint32_t>(deviceCount_));
  if (!itemCountSet_) PutU16(h.data() + HeaderLayout::kItemCount, static_cast<std::uint16_t>(items_.size()));
  std::vector<std::uint8_t> out(h.begin(), h.end());
  for (const ItemRecord& item : items_) out.insert(out.end(), item.bytes.begin(), item.bytes.end());
  out.insert(out.end(), records_.begin(), records_.end());
  out.insert(out.end(), trailer_.begin(), trailer_.end());
  return out;
}

std::vector<std::uint8_t> GenerateLot(const GenerateOptions& o) {
  std::mt19937_64 rng(o.seed);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto chance = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; };

  TsdBuilder b;
  b.SystemName("VXT-5000").DeviceName("MOSFET-" + std::to_string(o.seed % 1000)).LotName("LOT" + std::to_string(o.seed));
  b.OperatorName("operator").TestFileName("/tests/program" + std::to_string(o.seed % 7) + ".prg");
  b.Comment("generated lot, seed " + std::to_string(o.seed)).Wafer(static_cast<std::uint16_t>(o.seed % 25 + 1));

  static const char* kNames[] = {"VTH", "IDSS", "IGSS", "BVDSS", "RDSON", "VFSD", "GFS", "CISS", "VGS", "ICES"};
  static const char kUnits[] = {'V', 'A', 'A', 'V', 'R', 'V', 'S', 'F', 'V', 'A'};
  std::vector<bool> special(static_cast<std::size_t>(o.items));
  for (int i = 0; i < o.items; ++i) {
    const std::string name = std::string(kNames[i % 10]) + (i >= 10 ? std::to_string(i / 10) : "");
    std::uint32_t type = 0;
    if (o.specialItems && i % 10 == 7) type = 0x10102100;          // capacitance
    else if (o.specialItems && i % 17 == 5) type = 0x00A21000;     // pin mask
    else if (o.specialItems && i % 23 == 11) type = 0x01161001;    // line
    else if (o.specialItems && i % 29 == 13) type = 0x000C000C;    // plain
    else if (i % 10 == 3) type = 0x00810000;                       // over-range reads "Open"
    special[i] = type == 0x10102100 || type == 0x00A21000 || type == 0x01161001 || type == 0x000C000C;
    ItemRecord& item = b.AddItem(name, kUnits[i % 10], type);
    if (type == 0x10102100) {
      item.Word(ItemLayout::kCvWord, ItemLayout::kCv1ch).Word(ItemLayout::kVxtWord, ItemLayout::kCrss);
      item.Word(ItemLayout::kDrainMantissa, 250).Byte(ItemLayout::kDrainExponent, 12).Byte(ItemLayout::kDrainUnit, 'V');
    } else if (type == 0x00A21000 || type == 0x01161001) {
      // The first pin mask's two words, and the ground flags of a line item.
      item.Word(ItemLayout::kPinMasks, static_cast<std::uint16_t>(uniform(1, 0xFFFF)));
      item.Word(ItemLayout::kPinMasks + 2, static_cast<std::uint16_t>(uniform(0, 3)));
      item.Byte(ItemLayout::kGroundFlags, static_cast<std::uint8_t>(uniform(0, 3)));
    } else if (!special[i]) {
      item.Bias(0, "VDS", static_cast<std::int16_t>(uniform(1, 999)), 12, 'V');
      item.Bias(1, i % 4 == 0 ? "(none)" : "ID", static_cast<std::int16_t>(uniform(1, 999)), 9, 'A');
      item.Bias(2, "(none)", 0, 0, 0);
      item.Limits(static_cast<std::int16_t>(uniform(100, 900)), 9, static_cast<std::int16_t>(uniform(1000, 9999)), 9);
    }
  }

  static const std::uint8_t kOdd[] = {0x12, 0x14, 0x13, 0x15, 0x30, 0x31, 0x50, 0x51, 0x98, 0x99, 0x92, 0x17, 0x00};
  std::vector<Result> results(static_cast<std::size_t>(o.items));
  for (int d = 0; d < o.devices; ++d) {
    const bool failed = chance(o.failShare);
    for (int i = 0; i < o.items; ++i) {
      Result& r = results[i];
      r.mantissa = static_cast<std::int16_t>(uniform(-200, 9999));
      r.exponent = static_cast<std::uint8_t>(uniform(6, 14));
      r.status = failed && chance(0.3) ? 0x11 : 0x10;
      if (o.oddStatuses && chance(0.02)) r.status = kOdd[uniform(0, sizeof kOdd - 1)];
    }
    b.AddDevice(d + 1, static_cast<std::uint16_t>(failed ? uniform(2, 8) : 1), failed ? 1 : 0, results);
  }
  if (o.announced >= 0) b.AnnouncedDevices(static_cast<std::uint32_t>(o.announced));
  if (o.terminator) b.Trailer({0, 0, 0, 0});
  std::vector<std::uint8_t> bytes = b.Bytes();
  if (o.truncateAt >= 0 && static_cast<std::size_t>(o.truncateAt) < bytes.size()) bytes.resize(o.truncateAt);
  return bytes;
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace tsd
