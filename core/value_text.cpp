#include "core/value_text.h"

#include <cstring>

#include "core/number_text.h"

namespace lotvue {

namespace {

constexpr char kResultPrefix[7] = {'p', 'n', 'u', 'm', ' ', 'k', 'M'};
constexpr char kBiasPrefix[7] = {'p', 'n', 'u', 'm', 0, 'k', 'M'};
constexpr char kUnknownPrefix = '?';

// printf("%0*d", width, m) for |m| < 100000.
std::size_t WritePadded(int m, int width, char* out) {
  char digits[8];
  unsigned u = m < 0 ? static_cast<unsigned>(-m) : static_cast<unsigned>(m);
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u != 0);
  std::size_t len = 0;
  if (m < 0) out[len++] = '-';
  const int pad = width - (m < 0 ? 1 : 0) - n;
  for (int i = 0; i < pad; ++i) out[len++] = '0';
  while (n > 0) out[len++] = digits[--n];
  return len;
}

// Inserts '.' at position pos of the len bytes in out.
inline void InsertPoint(char* out, std::size_t len, std::size_t pos) {
  std::memmove(out + pos + 1, out + pos, len - pos);
  out[pos] = '.';
}

}  // namespace

char ValuePrefix(std::uint8_t exponent) {
  return exponent <= 20 ? kResultPrefix[exponent / 3] : kUnknownPrefix;
}

std::size_t WriteLimitValue(PackedValue v, char* out) {
  std::size_t len = WritePadded(v.mantissa, 5, out);
  if (out[0] == '0') out[0] = ' ';
  InsertPoint(out, len, len - 3 + v.exponent % 3);
  ++len;
  out[len++] = ValuePrefix(v.exponent);
  return len;
}

std::string FormatLimitValue(const std::uint8_t bytes[4]) {
  char buf[kMaxValueText];
  return std::string(buf, WriteLimitValue(PackedValue::FromBytes(bytes), buf));
}

std::size_t WriteResultValue(PackedValue v, std::uint8_t unit, char* out) {
  std::size_t len = WriteLimitValue(v, out);
  if (unit != 0) out[len++] = static_cast<char>(unit);
  return len;
}

std::string RangeWarningText(int deviceIndex, int itemIndex, int mantissa) {
  return "第" + IntText(deviceIndex + 1) + "个点," + IntText(itemIndex + 1) + "列 异常: " + IntText(mantissa);
}

std::size_t WriteBiasValue(std::int16_t mantissa, std::uint8_t exponent, char* out) {
  std::size_t len = WritePadded(mantissa, 4, out);
  if (out[0] == '0') out[0] = ' ';
  const unsigned rest = exponent % 3;
  if (rest != 2) {
    InsertPoint(out, len, len - (rest == 0 ? 2 : 1));
    ++len;
  }
  const char prefix = exponent <= 20 ? kBiasPrefix[exponent / 3] : kUnknownPrefix;
  if (prefix != 0) out[len++] = prefix;
  return len;
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
    switch (c) {
      case 'M': return 1e6;
      case 'k': return 1e3;
      case 'm': return 1e-3;
      case 'u': return 1e-6;
      case 'n': return 1e-9;
      case 'p': return 1e-12;
      default: break;
    }
  }
  return 1.0;
}

}  // namespace

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
