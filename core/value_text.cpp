#include "core/value_text.h"

#include <cstring>

#include "core/number_text.h"

namespace lotvue {

namespace {

constexpr char kBiasPrefix[7] = {'p', 'n', 'u', 'm', 0, 'k', 'M'};
constexpr char kUnknownPrefix = '?';

// printf("%0*d", width, m) for a 16-bit m and a width of 4 or 5; returns the length.
inline std::size_t WritePadded(int m, int width, char* out) {
  std::size_t len = 0;
  unsigned u = static_cast<unsigned>(m);
  if (m < 0) {
    out[len++] = '-';
    u = 0u - u;
  }
  char digits[5] = {static_cast<char>('0' + u / 10000), static_cast<char>('0' + u / 1000 % 10),
                    static_cast<char>('0' + u / 100 % 10), static_cast<char>('0' + u / 10 % 10),
                    static_cast<char>('0' + u % 10)};
  // At least width characters, sign included; never fewer digits than u has.
  int shown = width - static_cast<int>(len);
  const int needed = u >= 10000 ? 5 : u >= 1000 ? 4 : u >= 100 ? 3 : u >= 10 ? 2 : 1;
  if (shown < needed) shown = needed;
  for (int i = 5 - shown; i < 5; ++i) out[len++] = digits[i];
  return len;
}

// Writes the len characters of t with '.' inserted before position pos.
inline std::size_t WriteWithPoint(const char* t, std::size_t len, std::size_t pos, char* out) {
  for (std::size_t i = 0; i < pos; ++i) out[i] = t[i];
  out[pos] = '.';
  for (std::size_t i = pos; i < len; ++i) out[i + 1] = t[i];
  return len + 1;
}

}  // namespace

// The tables of the inline value texts, built by the compiler.
constexpr ValueTextTables kValueTextTables{};

std::size_t WriteAnyLimitValue(PackedValue v, char* out) {
  // The same word as WriteLimitValue's, with no branch on the value: the
  // shapes of one cell and the next may differ at random.
  const bool negative = v.mantissa < 0;
  const unsigned u = negative ? 0u - static_cast<unsigned>(static_cast<int>(v.mantissa))
                              : static_cast<unsigned>(v.mantissa);
  const std::uint64_t digits = '0' + u / 10000 | std::uint64_t{kValueTextTables.fourDigits[u % 10000]} << 8;  // "%05d"
  // Below 10000 the first digit is a '0' that makes room for the sign, a
  // blank for a positive number ("%05d", its first '0' made a blank); five
  // digits of a negative number move aside for the '-'.
  const std::uint64_t sign = negative ? '-' : ' ';
  const bool fiveDigits = u >= 10000;
  const std::uint64_t head = !fiveDigits ? (digits & ~std::uint64_t{0xFF}) | sign
                             : negative  ? (digits << 8) | '-'
                                         : digits;
  const unsigned len = 5u + (fiveDigits & negative);
  // The point goes before position len - 3 + e mod 3, the prefix after the last digit.
  const unsigned pointAt = 8 * (len - 3 + v.exponent % 3);
  const std::uint64_t before = head & ((std::uint64_t{1} << pointAt) - 1);
  const std::uint64_t text = before | ((head ^ before) << 8) | (std::uint64_t{'.'} << pointAt) |
                             (std::uint64_t{static_cast<unsigned char>(ValuePrefix(v.exponent))} << (8 * (len + 1)));
  std::memcpy(out, &text, 8);
  return len + 2;
}

std::string FormatLimitValue(const std::uint8_t bytes[4]) {
  char buf[kMaxValueText];
  return std::string(buf, WriteLimitValue(PackedValue::FromBytes(bytes), buf));
}

std::string RangeWarningText(int deviceIndex, int itemIndex, int mantissa) {
  return "第" + IntText(deviceIndex + 1) + "个点," + IntText(itemIndex + 1) + "列 异常: " + IntText(mantissa);
}

std::size_t WriteBiasValue(std::int16_t mantissa, std::uint8_t exponent, char* out) {
  char t[8];
  const std::size_t len = WritePadded(mantissa, 4, t);
  if (t[0] == '0') t[0] = ' ';
  const unsigned rest = exponent % 3;
  std::size_t n;
  if (rest == 2) {
    std::memcpy(out, t, len);
    n = len;
  } else {
    n = WriteWithPoint(t, len, len - (rest == 0 ? 2 : 1), out);
  }
  const char prefix = exponent <= 20 ? kBiasPrefix[exponent / 3] : kUnknownPrefix;
  if (prefix != 0) out[n++] = prefix;
  return n;
}

std::string FormatBiasValue(const std::uint8_t bytes[3]) {
  char buf[kMaxValueText];
  const auto m = static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)));
  return std::string(buf, WriteBiasValue(m, bytes[2], buf));
}

std::uint32_t AssemblePinMask(const std::uint8_t b[4]) {
  return (static_cast<std::uint32_t>(b[1]) << 24) | (static_cast<std::uint32_t>(b[0]) << 16) |
         (static_cast<std::uint32_t>(b[3]) << 8) | b[2];
}

std::string FormatPinList(std::uint32_t mask) {
  std::string text;
  for (int pin = 1; pin <= 32; ++pin) {
    const int bit = pin <= 16 ? pin + 15 : pin - 17;
    if (mask & (std::uint32_t{1} << bit)) {
      if (!text.empty()) text += ' ';
      text += IntText(pin);
    }
  }
  return text;
}

namespace {

inline bool IsTrimSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view TrimSpace(std::string_view t) {
  while (!t.empty() && IsTrimSpace(t.front())) t.remove_prefix(1);
  while (!t.empty() && IsTrimSpace(t.back())) t.remove_suffix(1);
  return t;
}

double PrefixFactor(std::string_view t) {
  for (char c : t) {
    if (const double f = SiPrefixFactor(c); f != 0) return f;
  }
  return 1.0;
}

}  // namespace

double SiPrefixFactor(char c) {
  // The factors as literals, by exponent / 3 + 4: scaling rounds as
  // multiplying by exactly these doubles does.
  static constexpr double kFactors[7] = {1e-12, 1e-9, 1e-6, 1e-3, 0.0, 1e3, 1e6};
  return kFactors[SiPrefixExponent(c) / 3 + 4];
}

double ScaledValueOf(std::string_view text) {
  const std::string_view t = TrimSpace(text);
  double x = AtofC(t);
  const double factor = PrefixFactor(t);
  if (factor != 1.0) x *= factor;
  return x;
}

double ParseScaledValue(std::string& text) {
  const double x = ScaledValueOf(text);
  text = ScientificE3Text(x);
  return x;
}

std::string_view CutAtUnit(std::string_view text) {
  std::size_t n = 0;
  while (n < text.size() && static_cast<signed char>(text[n]) <= '9') ++n;
  return text.substr(0, n);
}

void CutAtUnit(std::string& text) { text.resize(CutAtUnit(std::string_view(text)).size()); }

}  // namespace lotvue
