#include "core/measured_value.h"

#include <array>
#include <cstdint>

#include "core/measured_float.h"
#include "core/result_file.h"

namespace lotvue {

namespace {

using namespace value_digits;

// Up to this many digits the number is an exact double.
constexpr int kMaxDigits = 15;

// What the first byte of a result text says about a fail: "F" and "f"
// fail, a value text (a blank, a minus sign or a digit first) does not,
// other texts are failed when they are red error texts. A table, as signs
// and digits come in no order.
enum class FirstByte : std::uint8_t { kOther, kFailed, kValue };
constexpr std::array<FirstByte, 256> kFirstBytes = [] {
  std::array<FirstByte, 256> bytes{};
  bytes['F'] = bytes['f'] = FirstByte::kFailed;
  bytes[' '] = bytes['-'] = FirstByte::kValue;
  for (char c = '0'; c <= '9'; ++c) bytes[static_cast<unsigned char>(c)] = FirstByte::kValue;
  return bytes;
}();

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
  const int scale = power - fraction;
  if (scale < -kMaxPow10) return std::nullopt;
  return ScaledDigits(digits, scale, negative);
}

bool ResultFailed(std::string_view text) {
  if (text.empty()) return false;
  const FirstByte first = kFirstBytes[static_cast<unsigned char>(text.front())];
  if (first != FirstByte::kOther) return first == FirstByte::kFailed;
  return IsRedErrorText(text);
}

}  // namespace lotvue
