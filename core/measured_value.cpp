#include "core/measured_value.h"

#include <array>
#include <cstdint>
#include <utility>

#include "core/result_file.h"

namespace lotvue {

namespace {

// The powers of ten that are exact doubles.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxPow10 = 22;
// Up to this many digits the number is an exact double.
constexpr int kMaxDigits = 15;

inline bool IsDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// The power of ten of each prefix character of a value text, by byte, and
// kNoPrefix for every other character: a table, because a branch per letter
// mispredicts on mixed prefixes and every cell of an export comes here.
constexpr int kNoPrefix = 99;
constexpr std::array<std::int8_t, 256> kPrefixPowers = [] {
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

}  // namespace

std::optional<double> MeasuredValue(std::string_view text) {
  const char* p = text.data();
  const char* const end = p + text.size();
  if (p == end) return std::nullopt;
  if (*p == 'F' || *p == 'O' || *p == 'f') ++p;
  bool negative = false;
  if (p < end && (*p == ' ' || *p == '-')) negative = *p++ == '-';

  std::uint64_t digits = 0;
  int count = 0;
  int fraction = -1;  // digits after the point; -1 before the point
  for (; p < end; ++p) {
    if (IsDigit(*p)) {
      digits = digits * 10 + static_cast<unsigned>(*p - '0');
      ++count;
      if (fraction >= 0) ++fraction;
    } else if (*p == '.' && fraction < 0) {
      fraction = 0;
    } else {
      break;
    }
  }
  // The prefix character, then at most the unit character.
  if (count == 0 || count > kMaxDigits || fraction < 0 || end - p < 1 || end - p > 2) return std::nullopt;
  int power = 0;
  if (!PrefixPower(*p, power)) return std::nullopt;
  // digits * 10^(power - fraction) in one correctly rounded operation on
  // exact operands: the nearest double to the decimal the text writes.
  const int scale = power - fraction;
  if (scale < -kMaxPow10) return std::nullopt;
  const double d = static_cast<double>(digits);
  const double value = scale < 0 ? d / kPow10[-scale] : d * kPow10[scale];
  return negative ? -value : value;
}

bool ResultFailed(std::string_view text) {
  if (text.empty()) return false;
  const char c = text.front();
  if (c == 'F' || c == 'f') return true;
  if (c == ' ' || c == '-' || IsDigit(c)) return false;  // a value text
  return IsRedErrorText(text);
}

}  // namespace lotvue
