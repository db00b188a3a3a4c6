#include "core/number_text.h"

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <locale.h>

namespace lotvue {

std::size_t WriteInt(std::int64_t v, char* out) {
  // The digits two at a time from a table, a '-' before a negative value:
  // at most 20 bytes.
  return static_cast<std::size_t>(std::to_chars(out, out + 20, v).ptr - out);
}

std::string IntText(std::int64_t v) {
  char buf[24];
  return std::string(buf, WriteInt(v, buf));
}

std::string FixedText(double v, int precision) {
  char buf[400];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, precision);
  if (res.ec != std::errc()) return "0";
  std::string text(buf, res.ptr);
  // printf spells the special values in lower case, as to_chars does; only
  // the sign of a NaN differs ("-nan" from printf for a negative NaN).
  return text;
}

std::size_t WriteScientificE3(double v, char* out) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 6);
  std::size_t len = static_cast<std::size_t>(res.ptr - buf);
  // to_chars gives 1.234000e-03; the runtime the texts come from prints at
  // least three exponent digits and the exports want capitals.
  char* e = static_cast<char*>(std::memchr(buf, 'e', len));
  if (e == nullptr) {  // inf or nan
    for (std::size_t i = 0; i < len; ++i) out[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(buf[i])));
    return len;
  }
  const std::size_t head = static_cast<std::size_t>(e - buf);
  std::memcpy(out, buf, head);
  out[head] = 'E';
  out[head + 1] = e[1];  // sign
  const char* digits = e + 2;
  const std::size_t ndigits = static_cast<std::size_t>(res.ptr - digits);
  std::size_t pos = head + 2;
  for (std::size_t i = ndigits; i < 3; ++i) out[pos++] = '0';
  std::memcpy(out + pos, digits, ndigits);
  return pos + ndigits;
}

std::string ScientificE3Text(double v) {
  char buf[64];
  return std::string(buf, WriteScientificE3(v, buf));
}

namespace {

inline bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                             1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                             1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

double StrtodC(std::string_view text) {
  static locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  std::string copy(text);
  return strtod_l(copy.c_str(), nullptr, c_locale);
}

}  // namespace

double AtofC(std::string_view text) {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end && IsCSpace(*p)) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  // Fast path, the shape of every value text: up to 15 digits with one point
  // and no exponent. Both the digits and the power of ten are exact doubles,
  // so their quotient is the correctly rounded value that strtod gives.
  {
    const char* q = p;
    std::uint64_t mantissa = 0;
    int digits = 0;
    int fraction = 0;
    while (q < end && IsDigit(*q) && digits < 16) {
      mantissa = mantissa * 10 + static_cast<unsigned>(*q - '0');
      ++digits;
      ++q;
    }
    if (q < end && *q == '.') {
      ++q;
      while (q < end && IsDigit(*q) && digits < 16) {
        mantissa = mantissa * 10 + static_cast<unsigned>(*q - '0');
        ++digits;
        ++fraction;
        ++q;
      }
    }
    const bool more = q < end && (IsDigit(*q) || *q == 'e' || *q == 'E' || *q == 'x' || *q == 'X');
    if (digits > 0 && digits <= 15 && !more) {
      double v = static_cast<double>(mantissa) / kPow10[fraction];
      return negative ? -v : v;
    }
    if (digits == 0) {
      // No digit at all: only inf and nan can still be numbers.
      auto startsWithNoCase = [&](const char* w) {
        for (std::size_t k = 0; w[k]; ++k) {
          if (p + k >= end || (p[k] | 0x20) != w[k]) return false;
        }
        return true;
      };
      const bool word = startsWithNoCase("inf") || startsWithNoCase("nan");
      if (!word) return 0.0;
    }
  }
  // General path: from_chars implements strtod's grammar without a locale.
  double v = 0;
  const char* start = p;
  std::chars_format fmt = std::chars_format::general;
  if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    start = p + 2;
    fmt = std::chars_format::hex;
    if (start < end && (*start == '-' || *start == '+')) return negative ? -0.0 : 0.0;  // "0x-1" reads as 0
  }
  auto res = std::from_chars(start, end, v, fmt);
  if (res.ec == std::errc::result_out_of_range) {
    v = StrtodC(std::string_view(p, static_cast<std::size_t>(end - p)));
  } else if (res.ec != std::errc()) {
    if (fmt != std::chars_format::hex) return 0.0;  // no number at all
    v = 0;  // "0x" without hexadecimal digits reads as the 0 before the x
  }
  return negative ? -v : v;
}

}  // namespace lotvue
