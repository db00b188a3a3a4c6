#include "core/csv_scientific.h"

#include <cstring>

#include "core/number_text.h"
#include "core/value_text.h"

namespace lotvue {

namespace {

std::size_t ByTheRule(std::string_view text, char* out) { return WriteScientificE3(ScaledValueOf(text), out); }

inline bool IsSpaceByte(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool IsDigit(char c) { return static_cast<unsigned char>(c) - unsigned{'0'} <= 9; }

// "inf" or "nan" in any letter case: the words that read as numbers.
bool StartsInfOrNan(const char* p, const char* end) {
  if (end - p < 3) return false;
  const auto lower = [](char c) { return static_cast<char>(c | 0x20); };
  const char a = lower(p[0]), b = lower(p[1]), c = lower(p[2]);
  return (a == 'i' && b == 'n' && c == 'f') || (a == 'n' && b == 'a' && c == 'n');
}

// The significant digits of a number, put where "%E" shows them: the first
// at out[0], the i-th at out[i + 1] (out[1] is kept for the point).
struct SignificantDigits {
  static constexpr int kMost = 7;  // "d.dddddd"

  char* out;
  int count = 0;   // from the first non-zero digit on
  int digits = 0;  // every digit, leading zeros included

  // Takes the run of digits at p and returns its end; nullptr when the run
  // holds more significant digits than the text can show.
  const char* Take(const char* p, const char* end) {
    for (; p < end && IsDigit(*p); ++p) {
      ++digits;
      if (count == 0 && *p == '0') continue;
      if (count == kMost) return nullptr;
      out[count == 0 ? 0 : count + 1] = *p;
      ++count;
    }
    return p;
  }
};

}  // namespace

// A number of at most seven significant digits reads as a double so close
// to it that "%E" prints exactly those digits, and the prefix only adds to
// the decimal exponent: the digits are copied from the text and the
// exponent counted. Longer numbers, exponents, hexadecimal and the words
// inf and nan take the rule itself.
std::size_t WriteScientificText(std::string_view text, char* out) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end && IsSpaceByte(*p)) ++p;
  char* o = out;
  if (p < end && (*p == '+' || *p == '-')) {
    if (*p == '-') *o++ = '-';
    ++p;
  }
  const char* const number = p;
  SignificantDigits d{o};
  int fraction = 0;  // digits after the point
  p = d.Take(p, end);
  if (p != nullptr && p < end && *p == '.') {
    const int before = d.digits;
    p = d.Take(p + 1, end);
    fraction = d.digits - before;
  }
  if (p == nullptr) return ByTheRule(text, out);
  if (p < end && (*p == 'e' || *p == 'E' || *p == 'x' || *p == 'X')) return ByTheRule(text, out);
  if (d.count == 0) {
    // No number reads as +0; a written zero keeps its sign.
    if (d.digits == 0) {
      if (StartsInfOrNan(number, end)) return ByTheRule(text, out);
      o = out;
    }
    std::memcpy(o, "0.000000E+000", 13);
    return static_cast<std::size_t>(o - out) + 13;
  }
  // The prefix is the first letter of one in the text; it can only follow
  // the number, as nothing but blanks and a sign precede that.
  int exponent = d.count - 1 - fraction;
  for (; p < end; ++p) {
    if (const int power = SiPrefixExponent(*p)) {
      exponent += power;
      break;
    }
  }
  if (exponent > 300 || exponent < -300) return ByTheRule(text, out);  // near the ends of a double
  o[1] = '.';
  for (int i = d.count; i < SignificantDigits::kMost; ++i) o[i + 1] = '0';
  o[8] = 'E';
  o[9] = exponent < 0 ? '-' : '+';
  const unsigned e = static_cast<unsigned>(exponent < 0 ? -exponent : exponent);
  o[10] = static_cast<char>('0' + e / 100);
  o[11] = static_cast<char>('0' + e / 10 % 10);
  o[12] = static_cast<char>('0' + e % 10);
  return static_cast<std::size_t>(o + 13 - out);
}

}  // namespace lotvue
