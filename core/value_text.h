// The texts of the result file's numbers: results, limits, bias conditions and
// pin lists in engineering notation, and the two helpers that read them back.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace lotvue {

// The 4-byte number of the result file: value = mantissa * 10^(exponent - 15).
struct PackedValue {
  std::int16_t mantissa = 0;
  std::uint8_t status = 0;    // result class byte of a device result; unused for limits
  std::uint8_t exponent = 0;  // 0 to 20 in a sound file

  static PackedValue FromBytes(const std::uint8_t* b) {
    return {static_cast<std::int16_t>(static_cast<std::uint16_t>(b[0] | (b[1] << 8))), b[2], b[3]};
  }
};

// Longest text any of the Write* functions below produces.
inline constexpr std::size_t kMaxValueText = 16;

// Prefix letter of an exponent in result and limit texts ("p n u m _ k M");
// exponents above 20 have no prefix in the table and are marked with '?'.
constexpr char ValuePrefix(std::uint8_t exponent) {
  constexpr char kResultPrefix[7] = {'p', 'n', 'u', 'm', ' ', 'k', 'M'};
  return exponent <= 20 ? kResultPrefix[exponent / 3] : '?';
}

// What the value texts look up, made once at compile time.
struct ValueTextTables {
  // "%04d" of 0 to 9999, the first digit in the low byte.
  std::uint32_t fourDigits[10000] = {};
  // Of every exponent byte, for a text of five characters before the
  // point: the bytes that stay before the point (a mask), and the point and
  // the prefix letter in their places.
  struct Point {
    std::uint64_t before;
    std::uint64_t pointAndPrefix;
  };
  Point points[256] = {};

  constexpr ValueTextTables() {
    for (unsigned u = 0; u < 10000; ++u) {
      for (unsigned i = 0, v = u; i < 4; ++i, v /= 10) fourDigits[u] |= ('0' + v % 10) << (8 * (3 - i));
    }
    for (int e = 0; e < 256; ++e) {
      const int pointAt = 8 * (2 + e % 3);
      points[e].before = (std::uint64_t{1} << pointAt) - 1;
      points[e].pointAndPrefix = std::uint64_t{'.'} << pointAt |
                                 std::uint64_t{static_cast<unsigned char>(ValuePrefix(static_cast<std::uint8_t>(e)))} << 48;
    }
  }
};
extern const ValueTextTables kValueTextTables;

// Text of a limit of any mantissa (the inline function below takes the
// mantissas of four digits itself).
std::size_t WriteAnyLimitValue(PackedValue v, char* out);

// Text of a limit: " 1.234m" and the like. Returns the text's length; out
// needs room for kMaxValueText bytes, as bytes after the text may be written.
// Inline: the loader writes one for nearly every cell.
inline std::size_t WriteLimitValue(PackedValue v, char* out) {
  // The text is built in one little-endian word, first character lowest.
  static_assert(std::endian::native == std::endian::little);
  const ValueTextTables& t = kValueTextTables;
  const bool negative = v.mantissa < 0;
  const unsigned u = negative ? 0u - static_cast<unsigned>(static_cast<int>(v.mantissa))
                              : static_cast<unsigned>(v.mantissa);
  if (u >= 10000) [[unlikely]] return WriteAnyLimitValue(v, out);
  // "%05d" with its first '0' made a blank, or "-%04d": a sign and four digits.
  const std::uint64_t head = std::uint64_t{t.fourDigits[u]} << 8 | (negative ? '-' : ' ');
  // The point goes before position 2 + e mod 3, the prefix after the last digit.
  const ValueTextTables::Point& p = t.points[v.exponent];
  const std::uint64_t text = (head & p.before) | (head & ~p.before) << 8 | p.pointAndPrefix;
  std::memcpy(out, &text, 8);
  return 7;
}

std::string FormatLimitValue(const std::uint8_t bytes[4]);

// The number AtofC reads from WriteLimitValue's text (its prefix not
// applied): the mantissa over 10^(3 - exponent mod 3), in one correctly
// rounded division, as the text writes the same digits and point.
inline double LimitTextNumber(PackedValue v) {
  // The divisor of every exponent byte, so that no cell divides by 3.
  static constexpr auto kPointPowers = [] {
    std::array<double, 256> powers{};
    for (int e = 0; e < 256; ++e) powers[e] = e % 3 == 0 ? 1e3 : e % 3 == 1 ? 1e2 : 1e1;
    return powers;
  }();
  return static_cast<double>(v.mantissa) / kPointPowers[v.exponent];
}

// Text of a device result: the limit text followed by the item's unit
// character (none for 0); out as for WriteLimitValue. Mantissas above 9999 warrant the range warning;
// the caller shows it (see RangeWarningText).
inline std::size_t WriteResultValue(PackedValue v, std::uint8_t unit, char* out) {
  const std::size_t len = WriteLimitValue(v, out);
  out[len] = static_cast<char>(unit);
  return len + (unit != 0);
}
inline bool NeedsRangeWarning(PackedValue v) { return v.mantissa > 9999; }

// "第%d个点,%d列 异常: %d" with the 1-based device and item and the mantissa, in UTF-8.
std::string RangeWarningText(int deviceIndex, int itemIndex, int mantissa);

// Text of a bias number (mantissa, exponent; value = m * 10^(e - 14)).
std::size_t WriteBiasValue(std::int16_t mantissa, std::uint8_t exponent, char* out);
std::string FormatBiasValue(const std::uint8_t bytes[3]);

// The 32-bit pin mask of four file bytes b0 b1 b2 b3: (b1<<24)|(b0<<16)|(b3<<8)|b2.
std::uint32_t AssemblePinMask(const std::uint8_t bytes[4]);
// "1 3 17": the set pins in ascending order, separated by blanks.
std::string FormatPinList(std::uint32_t mask);

// Power of ten of an SI prefix letter: M 6, k 3, m -3, u -6, n -9, p -12;
// 0 for any other character.
constexpr int SiPrefixExponent(char c) {
  switch (c) {
    case 'M': return 6;
    case 'k': return 3;
    case 'm': return -3;
    case 'u': return -6;
    case 'n': return -9;
    case 'p': return -12;
    default: return 0;
  }
}
// Factor of an SI prefix letter (1e6 for M to 1e-12 for p); 0 for any other character.
double SiPrefixFactor(char c);

// Reads a value text back as a plain number, the SI prefix applied, and
// rewrites the text as that number in "%E" form with a three-digit exponent.
double ParseScaledValue(std::string& text);
// The same without rewriting a text; writes the "%E" form to out when given.
double ScaledValueOf(std::string_view text);

// Keeps the leading run of characters whose signed byte is at most '9'.
void CutAtUnit(std::string& text);
std::string_view CutAtUnit(std::string_view text);

}  // namespace lotvue
