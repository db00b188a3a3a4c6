#include "core/measured_value.h"

#include <cstdint>

#include "core/result_file.h"
#include "core/value_text.h"

namespace lotvue {

namespace {

constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
// Up to this many digits the number and the power of ten are exact doubles,
// so their quotient is the correctly rounded number, as strtod reads it.
constexpr int kMaxDigits = 15;

inline bool IsDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// Factor of the prefix character of a value text; 0 for any other character.
inline double PrefixFactor(char c) { return c == ' ' ? 1.0 : SiPrefixFactor(c); }

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
  const double factor = PrefixFactor(*p);
  if (factor == 0) return std::nullopt;
  const double number = static_cast<double>(digits) / kPow10[fraction];
  return (negative ? -number : number) * factor;
}

bool ResultFailed(std::string_view text) {
  if (text.empty()) return false;
  const char c = text.front();
  if (c == 'F' || c == 'f') return true;
  if (c == ' ' || c == '-' || IsDigit(c)) return false;  // a value text
  return IsRedErrorText(text);
}

}  // namespace lotvue
