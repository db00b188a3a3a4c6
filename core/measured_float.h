// The quick path of MeasuredValue for 32-bit floats, inline because the
// STDF writer reads every result cell of a lot through it: the value
// texts the reader makes ([F|O|f], a blank, a minus sign or nothing, four
// or five digits with one point among them, the prefix character, at most
// one unit character) without branches on their bytes and without a
// division; every other text through MeasuredValue.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

#include "core/measured_value.h"

namespace lotvue {

// The number rules MeasuredValue and MeasuredFloat share.
namespace value_digits {

// The powers of ten that are exact doubles.
inline constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr int kMaxPow10 = 22;

inline bool IsDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// The power of ten of each prefix character of a value text, by byte, and
// kNoPrefix for every other character: a table, because a branch per letter
// mispredicts on mixed prefixes and every cell of an export comes here.
inline constexpr int kNoPrefix = 99;
inline constexpr std::array<std::int8_t, 256> kPrefixPowers = [] {
  std::array<std::int8_t, 256> powers{};
  powers.fill(kNoPrefix);
  const std::pair<char, int> prefixes[] = {{'p', -12}, {'n', -9}, {'u', -6}, {'m', -3}, {' ', 0}, {'k', 3}, {'M', 6}};
  for (const auto& [c, power] : prefixes) powers[static_cast<unsigned char>(c)] = static_cast<std::int8_t>(power);
  return powers;
}();

// The power of ten of the prefix character of a value text; false for any
// other character.
inline bool PrefixPower(char c, int& power) {
  power = kPrefixPowers[static_cast<unsigned char>(c)];
  return power != kNoPrefix;
}

// digits * 10^scale (scale at least -kMaxPow10) in one correctly rounded
// operation on exact operands: the nearest double to the decimal a text
// writes.
inline double ScaledDigits(std::uint64_t digits, int scale, bool negative) {
  const double d = static_cast<double>(digits);
  const double value = scale < 0 ? d / kPow10[-scale] : d * kPow10[scale];
  return negative ? -value : value;
}

// Quick texts: a byte value in each of six bytes, the top bits of the six
// and of the first five.
inline constexpr std::uint64_t kOnes6 = 0x0000010101010101;
inline constexpr std::uint64_t kTops6 = kOnes6 * 0x80;
inline constexpr std::uint64_t kTops5 = 0x0000008080808080;

// The doubles nearest to 10^-1 .. 10^-17: the smallest scale of a quick
// text is that of five digits after the point and the prefix p.
inline constexpr double kInversePow10[] = {1e0,  1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,  1e-8,
                                           1e-9, 1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15, 1e-16, 1e-17};

// static_cast<float>(ScaledDigits(digits, scale, negative)) for scales from
// -17 on, without the slow division: the product with the nearest double to
// 10^scale lies within three units in the last place of the quotient, so both round to the same float unless a midpoint between
// two floats (a double whose 29 bits below the float's last are 1000...0)
// lies that close; then the division decides.
inline float ScaledDigitsFloat(std::uint64_t digits, int scale, bool negative) {
  float magnitude;
  if (scale >= 0) {
    magnitude = static_cast<float>(ScaledDigits(digits, scale, false));
  } else {
    const double product = static_cast<double>(digits) * kInversePow10[-scale];
    constexpr std::uint64_t kBelowFloat = (std::uint64_t{1} << 29) - 1;
    constexpr std::uint64_t kMidpoint = std::uint64_t{1} << 28;
    constexpr std::uint64_t kMargin = 4;
    const std::uint64_t below = std::bit_cast<std::uint64_t>(product) & kBelowFloat;
    if (below - (kMidpoint - kMargin) <= 2 * kMargin) {
      magnitude = static_cast<float>(ScaledDigits(digits, scale, false));
    } else {
      magnitude = static_cast<float>(product);
    }
  }
  // The sign as a bit, not a branch: minus and plus come in no order.
  const std::uint32_t sign = std::uint32_t{negative} << 31;
  return std::bit_cast<float>(std::bit_cast<std::uint32_t>(magnitude) ^ sign);
}

}  // namespace value_digits

// static_cast<float>(*MeasuredValue(text)) into value, or false when the
// text has no value: the 32-bit result of the STDF file.
[[gnu::always_inline]] inline bool MeasuredFloat(std::string_view text, float& value) {
  using namespace value_digits;
  // [F|O|f] [blank|minus] a body of four or five digits and one point, the
  // prefix character, at most one unit character. Six bytes from the body on are there in every such text; its sixth is
  // the prefix after four digits and a digit after five.
  const char* p = text.data();
  const std::size_t size = text.size();
  std::size_t at = size > 0 && (*p == 'F' || *p == 'O' || *p == 'f');
  const bool negative = at < size && p[at] == '-';
  at += at < size && (p[at] == ' ' || p[at] == '-');
  if (size >= at + 6) {
    const char* body = p + at;
    const std::size_t n = IsDigit(body[5]) ? 6 : 5;
    const std::size_t rest = size - at - n;  // prefix and unit
    int power = 0;
    if ((rest == 1 || rest == 2) && PrefixPower(body[n], power)) {
      // The six bytes at once, body[0] lowest, each XOR '0': digits are 0..9.
      std::uint32_t low4;
      std::uint16_t high2;
      std::memcpy(&low4, body, 4);
      std::memcpy(&high2, body + 4, 2);
      const std::uint64_t bytes = (low4 | std::uint64_t{high2} << 32) ^ (kOnes6 * '0');
      // Top bit of each byte above 9 (not a digit), and of each point.
      const std::uint64_t notDigit = ((((bytes & (kOnes6 * 0x7F)) + kOnes6 * (0x80 - 10)) | bytes) & kTops6);
      const std::uint64_t notPoint = bytes ^ (kOnes6 * ('.' ^ '0'));
      const std::uint64_t point = ~(((notPoint & (kOnes6 * 0x7F)) + kOnes6 * 0x7F) | notPoint) & kTops6;
      // One point among the first five bytes, and no other byte there that
      // is not a digit (the sixth is a digit, or the prefix after four).
      if ((notDigit & kTops5) == point && point != 0 && (point & (point - 1)) == 0) {
        const int pointAt = std::countr_zero(point) / 8;
        const std::uint64_t before = (std::uint64_t{1} << (8 * pointAt)) - 1;
        const int count = static_cast<int>(n) - 1;
        // The digits without the point, the first in byte 8 - count: an
        // eight-digit number with leading zeros, added up in three steps.
        std::uint64_t v = ((bytes & before) | ((bytes >> 8) & ~before)) << (8 * (8 - count));
        v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FF;
        v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFF;
        v = (v * 10000 + (v >> 32)) & 0xFFFFFFFF;
        value = ScaledDigitsFloat(v, power - (count - pointAt), negative);
        return true;
      }
    }
  }
  const std::optional<double> measured = MeasuredValue(text);
  if (measured) value = static_cast<float>(*measured);
  return measured.has_value();
}

}  // namespace lotvue
