// The byte layout of a result file (".tsd"): a 512-byte lot header, one
// 80-byte record per test item, then one record per tested device up to the
// end of the file. Each record is declared once here, as named offsets and
// flags and as a small view over the record's bytes; the reader reads
// through the views and the test-file writer writes at the same offsets.
//
// Integers are little-endian unless a field says otherwise. A text field
// holds its bytes up to the first zero byte, or all of them when it has none.
// Numbers with an exponent are 4-byte PackedValues (core/value_text.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace lotvue {

inline std::uint16_t LoadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t LoadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// A fixed-width text field: where it starts and how many bytes it has.
struct TextField {
  std::size_t offset;
  std::size_t width;
};

inline std::string_view LoadText(const std::uint8_t* record, TextField f) {
  const auto* text = reinterpret_cast<const char*>(record + f.offset);
  const void* zero = std::memchr(text, 0, f.width);
  return {text, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : f.width};
}

// The lot header at offset 0. Bytes not named here are not used.
struct ResultFileHeader {
  static constexpr std::size_t kBytes = 512;
  static constexpr std::size_t kDeviceCount = 0;  // uint32: devices announced (the records may number more or fewer)
  static constexpr std::size_t kItemCount = 6;    // uint16: item records that follow the header
  static constexpr std::size_t kWaferNumber = 58;  // uint16: wafer number, 0 = none
  static constexpr TextField kSystemName{104, 12};    // test system name
  static constexpr TextField kDeviceName{116, 20};    // device type name
  static constexpr TextField kLotName{136, 20};       // lot name
  static constexpr TextField kOperatorName{156, 20};  // operator name
  static constexpr TextField kTestFileName{176, 256};  // test program file name
  static constexpr TextField kComment{432, 80};       // comment
  static constexpr int kMaxItems = 256;  // a file announcing more items is not a result file

  const std::uint8_t* bytes;

  std::uint32_t DeviceCount() const { return LoadU32(bytes + kDeviceCount); }
  std::uint16_t ItemCount() const { return LoadU16(bytes + kItemCount); }
  std::uint16_t WaferNumber() const { return LoadU16(bytes + kWaferNumber); }
  std::string_view Text(TextField f) const { return LoadText(bytes, f); }
};

// A bias condition of an ordinary item, 10 bytes: "name=number unit".
struct BiasField {
  static constexpr std::size_t kBytes = 10;
  static constexpr TextField kName{0, 6};     // condition name, padded with '0' characters
  static constexpr std::size_t kMantissa = 6;  // int16: mantissa of the bias number
  static constexpr std::size_t kExponent = 8;  // exponent of the bias number
  static constexpr std::size_t kUnit = 9;      // unit character, 0 = none

  const std::uint8_t* bytes;

  // The name ends at the first '0' character (or zero byte): "VGS000" is VGS.
  std::string_view Name() const {
    std::size_t len = 0;
    while (len < kName.width && bytes[len] != '0' && bytes[len] != 0) ++len;
    return {reinterpret_cast<const char*>(bytes), len};
  }
  std::int16_t Mantissa() const { return static_cast<std::int16_t>(LoadU16(bytes + kMantissa)); }
  // The mantissa bytes taken unsigned: the number of a condition shown as "#n".
  std::uint16_t Number() const { return LoadU16(bytes + kMantissa); }
  std::uint8_t Exponent() const { return bytes[kExponent]; }
  std::uint8_t Unit() const { return bytes[kUnit]; }
};

// A test item, 80 bytes; the records follow the header in item order.
// Bytes 40 to 55 hold three BiasFields for ordinary items and other fields
// for the pin-mask, line and capacitance items.
struct ItemRecord {
  static constexpr std::size_t kBytes = 80;
  static constexpr TextField kName{0, 10};    // item name
  static constexpr std::size_t kUnit = 10;    // unit character of the limits and results, 0 = none
  static constexpr std::size_t kType = 12;    // 4 bytes: item type code, see Type()
  static constexpr std::size_t kLimitSwitches = 16;  // flags: the limits may be switched off
  static constexpr std::uint8_t kLowerSwitchable = 0x01;
  static constexpr std::uint8_t kUpperSwitchable = 0x02;
  static constexpr std::size_t kBiasFlags = 17;  // flags: Bias1 / Bias2 shown as "#" and their number
  static constexpr std::uint8_t kBias1Numbered = 0x04;
  static constexpr std::uint8_t kBias2Numbered = 0x08;
  static constexpr std::size_t kLimitsOff = 19;  // flags: the limits are off (with kLimitSwitches)
  static constexpr std::uint8_t kLowerOff = 0x80;
  static constexpr std::uint8_t kUpperOff = 0x40;
  static constexpr std::size_t kNumber = 20;   // uint16: item number of the title, 0 = the position
  static constexpr std::size_t kBias = 40;     // three BiasFields: Bias1, Bias2, Bias3
  static constexpr int kBiasCount = 3;
  static constexpr std::size_t kLowerLimit = 70;  // PackedValue
  static constexpr std::size_t kUpperLimit = 74;  // PackedValue

  // Pin-mask and line items: 4-byte pin masks (AssemblePinMask) from byte 40
  // on, four of a pin-mask item, two of a line item.
  static constexpr std::size_t kPinMasks = 40;
  static constexpr std::size_t kPinMaskBytes = 4;
  static constexpr std::size_t kGroundFlags = 48;  // line items: bit 0 L1, bit 1 L2 is ground

  // Capacitance items: three flag words and the drain voltage.
  static constexpr std::size_t kVxtWord = 40;  // uint16
  static constexpr std::uint16_t kVxt1ch = 0x0200;
  static constexpr std::uint16_t kVxt2ch = 0x2000;
  static constexpr std::uint16_t kCrss = 0x0800;
  static constexpr std::uint16_t kCissRg = 0x0400;
  static constexpr std::size_t kLvWord = 44;  // uint16
  static constexpr std::uint16_t kLv1ch = 0x0E00;
  static constexpr std::uint16_t kLv2ch = 0x7000;
  static constexpr std::size_t kCvWord = 46;  // uint16
  static constexpr std::uint16_t kCv1ch = 0x0300;
  static constexpr std::uint16_t kCv2ch = 0x3000;
  static constexpr std::uint16_t kCoss = 0x0800;
  static constexpr std::size_t kDrainMantissa = 48;  // int16: drain voltage of a CV measurement
  static constexpr std::size_t kDrainExponent = 50;
  static constexpr std::size_t kDrainUnit = 51;      // unit character, 0 = none

  const std::uint8_t* bytes;

  std::string_view Name() const { return LoadText(bytes, kName); }
  std::uint8_t Unit() const { return bytes[kUnit]; }
  // The first 16-bit word little-endian as the high half, the second
  // big-endian as the low half: bytes A2 00 10 00 give 0x00A21000.
  std::uint32_t Type() const {
    const std::uint8_t* t = bytes + kType;
    return (static_cast<std::uint32_t>(t[1]) << 24) | (static_cast<std::uint32_t>(t[0]) << 16) |
           (static_cast<std::uint32_t>(t[2]) << 8) | t[3];
  }
  std::uint16_t Number() const { return LoadU16(bytes + kNumber); }
  bool LowerLimitOff() const { return (bytes[kLimitSwitches] & kLowerSwitchable) && (bytes[kLimitsOff] & kLowerOff); }
  bool UpperLimitOff() const { return (bytes[kLimitSwitches] & kUpperSwitchable) && (bytes[kLimitsOff] & kUpperOff); }
  const std::uint8_t* LowerLimit() const { return bytes + kLowerLimit; }
  const std::uint8_t* UpperLimit() const { return bytes + kUpperLimit; }
  BiasField Bias(int k) const { return {bytes + kBias + BiasField::kBytes * static_cast<std::size_t>(k)}; }
  // Bias k (0-based) is shown as "#" and its number; Bias3 never is.
  bool BiasNumbered(int k) const {
    return (k == 0 && (bytes[kBiasFlags] & kBias1Numbered)) || (k == 1 && (bytes[kBiasFlags] & kBias2Numbered));
  }
  const std::uint8_t* PinMask(int k) const { return bytes + kPinMasks + kPinMaskBytes * static_cast<std::size_t>(k); }
  bool LineGround(int k) const { return (bytes[kGroundFlags] >> k) & 1u; }
  std::uint16_t VxtWord() const { return LoadU16(bytes + kVxtWord); }
  std::uint16_t LvWord() const { return LoadU16(bytes + kLvWord); }
  std::uint16_t CvWord() const { return LoadU16(bytes + kCvWord); }
  std::int16_t DrainMantissa() const { return static_cast<std::int16_t>(LoadU16(bytes + kDrainMantissa)); }
  std::uint8_t DrainExponent() const { return bytes[kDrainExponent]; }
  std::uint8_t DrainUnit() const { return bytes[kDrainUnit]; }
};

// A tested device, 8 bytes and one PackedValue per item; the records follow
// the item records until a serial number below 1 or the end of the file.
struct DeviceRecord {
  static constexpr std::size_t kSerial = 0;    // int32: serial number; below 1 ends the records
  static constexpr std::size_t kBin = 4;       // uint16: bin number
  static constexpr std::size_t kFailWord = 6;  // uint16, big-endian: not 0 = the device failed
  static constexpr std::size_t kResults = 8;   // one PackedValue per item, in item order
  static constexpr std::size_t kResultBytes = 4;
  static constexpr std::size_t Bytes(std::size_t items) { return kResults + kResultBytes * items; }

  const std::uint8_t* bytes;

  std::int32_t Serial() const { return static_cast<std::int32_t>(LoadU32(bytes + kSerial)); }
  std::uint16_t Bin() const { return LoadU16(bytes + kBin); }
  std::uint16_t FailWord() const { return static_cast<std::uint16_t>((bytes[kFailWord] << 8) | bytes[kFailWord + 1]); }
  bool Failed() const { return FailWord() != 0; }
  const std::uint8_t* Result(std::size_t i) const { return bytes + kResults + kResultBytes * i; }
};

}  // namespace lotvue
