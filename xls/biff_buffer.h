// ByteBuffer: little-endian byte assembly of BIFF records and compound-file
// structures, and the record writer that keeps each record within the
// 8,224 data bytes BIFF8 allows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tavo_xls {

// BIFF8 record types this library writes.
enum RecordType : std::uint16_t {
  kRecBof = 0x0809,
  kRecEof = 0x000A,
  kRecInterfaceHdr = 0x00E1,
  kRecMms = 0x00C1,
  kRecInterfaceEnd = 0x00E2,
  kRecCodePage = 0x0042,
  kRecDsf = 0x0161,
  kRecWindow1 = 0x003D,
  kRecDate1904 = 0x0022,
  kRecPrecision = 0x000E,
  kRecBookBool = 0x00DA,
  kRecFont = 0x0031,
  kRecXf = 0x00E0,
  kRecStyle = 0x0293,
  kRecBoundSheet = 0x0085,
  kRecSst = 0x00FC,
  kRecContinue = 0x003C,
  kRecExtSst = 0x00FF,
  kRecDimensions = 0x0200,
  kRecWindow2 = 0x023E,
  kRecLabelSst = 0x00FD,
  kRecNumber = 0x0203,
  kRecBlank = 0x0201,
};

inline constexpr std::size_t kMaxRecordData = 8224;

inline void StoreU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}
inline void StoreF64(std::uint8_t* p, double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  StoreU32(p, static_cast<std::uint32_t>(bits));
  StoreU32(p + 4, static_cast<std::uint32_t>(bits >> 32));
}

class ByteBuffer {
 public:
  std::size_t size() const { return bytes_.size(); }
  const std::uint8_t* data() const { return bytes_.data(); }
  std::uint8_t* data() { return bytes_.data(); }
  void clear() { bytes_.clear(); }

  void U8(std::uint8_t v) { bytes_.push_back(v); }
  void U16(std::uint16_t v) { StoreU16(Grow(2), v); }
  void U32(std::uint32_t v) { StoreU32(Grow(4), v); }
  void F64(double v) { StoreF64(Grow(8), v); }
  void Bytes(const void* p, std::size_t n) {
    if (n) std::memcpy(Grow(n), p, n);
  }
  void Zeros(std::size_t n) { bytes_.resize(bytes_.size() + n, 0); }
  // Overwrites 4 bytes written earlier.
  void PatchU32(std::size_t at, std::uint32_t v) { StoreU32(bytes_.data() + at, v); }
  void PatchU16(std::size_t at, std::uint16_t v) { StoreU16(bytes_.data() + at, v); }

  // A whole record: header, then the data that the caller appends; End
  // fills in the length.
  std::size_t BeginRecord(std::uint16_t type) {
    const std::size_t at = size();
    U16(type);
    U16(0);
    return at;
  }
  void EndRecord(std::size_t at) { PatchU16(at + 2, static_cast<std::uint16_t>(size() - at - 4)); }

 private:
  std::uint8_t* Grow(std::size_t n) {
    const std::size_t at = bytes_.size();
    bytes_.resize(at + n);
    return bytes_.data() + at;
  }
  std::vector<std::uint8_t> bytes_;
};

}  // namespace tavo_xls
