#include "tools/tsd_writer.h"

#include <algorithm>
#include <cstdio>
#include <random>

namespace tsd {

std::array<std::uint8_t, 4> TypeBytes(std::uint32_t t) {
  // The reader assembles (b13 << 24) | (b12 << 16) | (b14 << 8) | b15.
  return {static_cast<std::uint8_t>(t >> 16), static_cast<std::uint8_t>(t >> 24), static_cast<std::uint8_t>(t >> 8),
          static_cast<std::uint8_t>(t)};
}

ItemRecord& ItemRecord::Name(const std::string& name) {
  std::fill(bytes.begin(), bytes.begin() + 10, 0);
  std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 10), bytes.begin());
  return *this;
}
ItemRecord& ItemRecord::Unit(char unit) { return Byte(10, static_cast<std::uint8_t>(unit)); }
ItemRecord& ItemRecord::Type(std::uint32_t itemType) {
  const auto b = TypeBytes(itemType);
  std::copy(b.begin(), b.end(), bytes.begin() + 12);
  return *this;
}
ItemRecord& ItemRecord::Number(std::uint16_t number) { return Word(20, number); }
ItemRecord& ItemRecord::Bias(int k, const std::string& name, std::int16_t mantissa, std::uint8_t exponent, char unit) {
  const std::size_t at = 40 + 10 * static_cast<std::size_t>(k);
  for (std::size_t i = 0; i < 6; ++i) bytes[at + i] = i < name.size() ? static_cast<std::uint8_t>(name[i]) : '0';
  Word(at + 6, static_cast<std::uint16_t>(mantissa));
  Byte(at + 8, exponent);
  return Byte(at + 9, static_cast<std::uint8_t>(unit));
}
ItemRecord& ItemRecord::Limits(std::int16_t lowM, std::uint8_t lowE, std::int16_t highM, std::uint8_t highE) {
  Word(70, static_cast<std::uint16_t>(lowM));
  Byte(73, lowE);
  Word(74, static_cast<std::uint16_t>(highM));
  return Byte(77, highE);
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
  for (int i = 0; i < 4; ++i) header_[i] = static_cast<std::uint8_t>(count >> (8 * i));
  announced_ = true;
  return *this;
}
TsdBuilder& TsdBuilder::ItemCountField(std::uint16_t count) {
  header_[6] = static_cast<std::uint8_t>(count);
  header_[7] = static_cast<std::uint8_t>(count >> 8);
  itemCountSet_ = true;
  return *this;
}
TsdBuilder& TsdBuilder::Wafer(std::uint16_t wafer) {
  header_[58] = static_cast<std::uint8_t>(wafer);
  header_[59] = static_cast<std::uint8_t>(wafer >> 8);
  return *this;
}
TsdBuilder& TsdBuilder::Text(std::size_t offset, std::size_t width, const std::string& s) {
  std::fill(header_.begin() + offset, header_.begin() + offset + width, 0);
  std::copy_n(s.begin(), std::min(s.size(), width), header_.begin() + offset);
  return *this;
}

ItemRecord& TsdBuilder::AddItem(const std::string& name, char unit, std::uint32_t itemType) {
  items_.emplace_back();
  return items_.back().Name(name).Unit(unit).Type(itemType);
}

TsdBuilder& TsdBuilder::AddDevice(std::int32_t serial, std::uint16_t bin, std::uint16_t failWord,
                                  const std::vector<Result>& results) {
  auto put = [&](std::uint8_t b) { records_.push_back(b); };
  const auto s = static_cast<std::uint32_t>(serial);
  for (int i = 0; i < 4; ++i) put(static_cast<std::uint8_t>(s >> (8 * i)));
  put(static_cast<std::uint8_t>(bin));
  put(static_cast<std::uint8_t>(bin >> 8));
  put(static_cast<std::uint8_t>(failWord >> 8));
  put(static_cast<std::uint8_t>(failWord));
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const Result r = i < results.size() ? results[i] : Result{0, 0, 0};
    const auto m = static_cast<std::uint16_t>(r.mantissa);
    put(static_cast<std::uint8_t>(m));
    put(static_cast<std::uint8_t>(m >> 8));
    put(r.status);
    put(r.exponent);
  }
  ++deviceCount_;
  return *this;
}

TsdBuilder& TsdBuilder::Trailer(const std::vector<std::uint8_t>& bytes) {
  trailer_.insert(trailer_.end(), bytes.begin(), bytes.end());
  return *this;
}

std::vector<std::uint8_t> TsdBuilder::Bytes() const {
  std::array<std::uint8_t, 512> h = header_;
  if (!announced_) {
    const auto n = static_cast<std::uint32_t>(deviceCount_);
    for (int i = 0; i < 4; ++i) h[i] = static_cast<std::uint8_t>(n >> (8 * i));
  }
  if (!itemCountSet_) {
    h[6] = static_cast<std::uint8_t>(items_.size());
    h[7] = static_cast<std::uint8_t>(items_.size() >> 8);
  }
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
      item.Word(46, 0x0300).Word(40, 0x0800).Word(48, 250).Byte(50, 12).Byte(51, 'V');
    } else if (type == 0x00A21000 || type == 0x01161001) {
      item.Word(40, static_cast<std::uint16_t>(uniform(1, 0xFFFF))).Word(42, static_cast<std::uint16_t>(uniform(0, 3)));
      item.Byte(48, static_cast<std::uint8_t>(uniform(0, 3)));
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
