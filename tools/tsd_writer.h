// Builds result files (".tsd") in memory: by hand, field by field, for
// tests, or from a seed and a few parameters for samples and benchmarks.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/result_records.h"

namespace tsd {

// Item type codes as the four bytes 12..15 of an item record hold them.
std::array<std::uint8_t, 4> TypeBytes(std::uint32_t itemType);

struct ItemRecord {
  std::array<std::uint8_t, lotvue::ItemRecord::kBytes> bytes{};

  ItemRecord& Name(const std::string& name);
  ItemRecord& Unit(char unit);
  ItemRecord& Type(std::uint32_t itemType);
  ItemRecord& Number(std::uint16_t number);
  // Bias k (0..2): condition name padded with '0', mantissa, exponent, unit.
  ItemRecord& Bias(int k, const std::string& name, std::int16_t mantissa, std::uint8_t exponent, char unit);
  ItemRecord& Limits(std::int16_t lowM, std::uint8_t lowE, std::int16_t highM, std::uint8_t highE);
  ItemRecord& Byte(std::size_t offset, std::uint8_t value);
  ItemRecord& Word(std::size_t offset, std::uint16_t value);  // little-endian
};

struct Result {
  std::int16_t mantissa = 0;
  std::uint8_t status = 0x10;
  std::uint8_t exponent = 12;
};

class TsdBuilder {
 public:
  TsdBuilder();

  TsdBuilder& AnnouncedDevices(std::uint32_t count);  // else the number of devices added
  TsdBuilder& ItemCountField(std::uint16_t count);    // else the number of items added
  TsdBuilder& Wafer(std::uint16_t wafer);
  TsdBuilder& SystemName(const std::string& s) { return Text(lotvue::ResultFileHeader::kSystemName, s); }
  TsdBuilder& DeviceName(const std::string& s) { return Text(lotvue::ResultFileHeader::kDeviceName, s); }
  TsdBuilder& LotName(const std::string& s) { return Text(lotvue::ResultFileHeader::kLotName, s); }
  TsdBuilder& OperatorName(const std::string& s) { return Text(lotvue::ResultFileHeader::kOperatorName, s); }
  TsdBuilder& TestFileName(const std::string& s) { return Text(lotvue::ResultFileHeader::kTestFileName, s); }
  TsdBuilder& Comment(const std::string& s) { return Text(lotvue::ResultFileHeader::kComment, s); }
  TsdBuilder& Text(lotvue::TextField field, const std::string& s);

  ItemRecord& AddItem(const std::string& name, char unit = 0, std::uint32_t itemType = 0);
  // failWord is stored big-endian; results beyond the items are ignored, missing ones are zero.
  TsdBuilder& AddDevice(std::int32_t serial, std::uint16_t bin, std::uint16_t failWord,
                        const std::vector<Result>& results);
  // Appends raw bytes after the device records (a terminator, junk, ...).
  TsdBuilder& Trailer(const std::vector<std::uint8_t>& bytes);

  std::vector<std::uint8_t> Bytes() const;
  std::size_t devices() const { return deviceCount_; }

 private:
  std::array<std::uint8_t, lotvue::ResultFileHeader::kBytes> header_{};
  std::vector<ItemRecord> items_;
  std::vector<std::uint8_t> records_;
  std::vector<std::uint8_t> trailer_;
  std::size_t deviceCount_ = 0;
  bool announced_ = false;
  bool itemCountSet_ = false;
};

// Parameters of a generated lot.
struct GenerateOptions {
  std::uint64_t seed = 1;
  int devices = 50;
  int items = 10;
  double failShare = 0.1;       // share of failed devices
  bool specialItems = true;     // include pin-mask, line, capacitance and plain items
  bool oddStatuses = true;      // sprinkle over-range, no-data, short, ... statuses
  bool terminator = true;       // end the records with a serial 0
  long long truncateAt = -1;    // cut the file to this many bytes (-1: whole)
  long long announced = -1;     // header's device count (-1: the real count)
};

std::vector<std::uint8_t> GenerateLot(const GenerateOptions& options);
bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace tsd
