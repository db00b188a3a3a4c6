#include "core/csv_scientific.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/number_text.h"
#include "core/result_file.h"
#include "core/result_records.h"
#include "core/value_text.h"

namespace lotvue {

namespace {

[[gnu::noinline, gnu::cold]] std::size_t ByTheRule(std::string_view text, char* out) {
  return WriteScientificE3(ScaledValueOf(text), out);
}

std::size_t WriteZero(bool negative, char* out) {
  out[0] = '-';
  std::memcpy(out + negative, "0.000000E+000", 13);
  return negative + std::size_t{13};
}

// "inf" or "nan" in any letter case: the words that read as numbers.
[[gnu::cold]] bool StartsInfOrNan(const char* p, std::size_t n) {
  if (n < 3) return false;
  const auto lower = [](char c) { return static_cast<char>(c | 0x20); };
  const char a = lower(p[0]), b = lower(p[1]), c = lower(p[2]);
  return (a == 'i' && b == 'n' && c == 'f') || (a == 'n' && b == 'a' && c == 'n');
}

// What the first byte of a text says about its number: it may begin one
// (a blank, a sign, a digit, a point), it may begin the word inf or nan,
// or the text reads as +0 whatever follows.
enum class Lead : std::uint8_t { kNumber, kWord, kNoNumber };
constexpr std::array<Lead, 256> kLeads = [] {
  std::array<Lead, 256> t{};
  for (int c = 0; c < 256; ++c) {
    const bool blank = c == ' ' || (c >= '\t' && c <= '\r');
    const bool number = blank || c == '+' || c == '-' || c == '.' || (c >= '0' && c <= '9');
    const bool word = c == 'i' || c == 'I' || c == 'n' || c == 'N';
    t[c] = number ? Lead::kNumber : word ? Lead::kWord : Lead::kNoNumber;
  }
  return t;
}();

// SiPrefixExponent of every byte.
constexpr std::array<std::int8_t, 256> kPrefixPower = [] {
  std::array<std::int8_t, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = static_cast<std::int8_t>(SiPrefixExponent(static_cast<char>(c)));
  return t;
}();
int PrefixPower(char c) { return kPrefixPower[static_cast<unsigned char>(c)]; }

constexpr std::uint64_t kZeros = 0x3030303030303030;  // eight '0'

// The n low bytes of a word (n from 0 to 8).
constexpr std::uint64_t LowBytes(unsigned n) { return n >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * n)) - 1; }

// The 16 bytes from a text's start, which reach at most 15 bytes past its
// end: read in place when they may be, else copied with zeros behind.
struct SixteenBytes {
  const char* at;
  char copy[16];
  SixteenBytes(const char* s, std::size_t n, const char* readableEnd) {
    if (readableEnd - s >= 16) {
      at = s;
    } else {
      std::memset(copy, 0, sizeof copy);
      std::memcpy(copy, s, n);
      at = copy;
    }
  }
};

// One bit per byte of the 16 at p (byte i in bit i): its digits, its
// points and its '0' digits.
struct ByteMasks {
  unsigned digits = 0, points = 0, zeros = 0;
  explicit ByteMasks(const char* p) {
#if defined(__SSE2__)
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const auto bits = [](__m128i m) { return static_cast<unsigned>(_mm_movemask_epi8(m)); };
    digits = bits(_mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('0' - 1)), _mm_cmplt_epi8(v, _mm_set1_epi8('9' + 1))));
    points = bits(_mm_cmpeq_epi8(v, _mm_set1_epi8('.')));
    zeros = bits(_mm_cmpeq_epi8(v, _mm_set1_epi8('0')));
#else
    for (unsigned i = 0; i < 16; ++i) {
      digits |= unsigned{p[i] >= '0' && p[i] <= '9'} << i;
      points |= unsigned{p[i] == '.'} << i;
      zeros |= unsigned{p[i] == '0'} << i;
    }
#endif
  }
};

}  // namespace

// A value text is a blank or a minus, at most five digits with a point in
// them, a prefix letter (or a blank, or '?') and perhaps a unit byte. Such
// a number of at most seven digits reads as a double so close to it that
// "%E" prints exactly those digits, and the prefix only adds to the decimal
// exponent: the digits are found by comparing 16 bytes at once, taken from
// the first significant one on as one word with the point taken out, and
// the exponent counted. The steps go without branches where the texts of a
// column differ. Exponents, hexadecimal, longer numbers and texts and
// other leads take the rule.
std::size_t WriteScientificText(std::string_view text, const char* readableEnd, char* out) {
  static_assert(std::endian::native == std::endian::little, "the word holds byte 0 lowest");
  const char* const s = text.data();
  const std::size_t n = text.size();
  if (n == 0) return WriteZero(false, out);
  if (const Lead lead = kLeads[static_cast<unsigned char>(s[0])]; lead != Lead::kNumber) {
    return lead == Lead::kWord && StartsInfOrNan(s, n) ? ByTheRule(text, out) : WriteZero(false, out);
  }
  if (n > 15) return ByTheRule(text, out);

  // The run of digits and points after a blank or a minus.
  const SixteenBytes bytes(s, n, readableEnd);
  const ByteMasks masks(bytes.at);
  const bool negative = s[0] == '-';
  const unsigned skip = negative | (s[0] == ' ');
  const unsigned run = ((masks.digits | masks.points) & ((1u << n) - 1)) >> skip;
  const unsigned runBytes = static_cast<unsigned>(std::countr_zero(~run));
  const unsigned inRun = (1u << runBytes) - 1;
  const unsigned point = (masks.points >> skip) & inRun;
  const unsigned digits = runBytes - (point != 0);
  // The byte behind the number; a last byte of the run when none is.
  const std::size_t after = skip + runBytes;
  const char next = static_cast<char>(s[std::min(after, n - 1)] | 0x20);
  if ((digits - 1 > 6u) | ((point & (point - 1)) != 0) | (next == 'e') | (next == 'x')) return ByTheRule(text, out);
  const unsigned significant = ((masks.digits & ~masks.zeros) >> skip) & inRun;
  if (significant == 0) return WriteZero(negative, out);

  // The digits from the first significant one on, the point taken out.
  const unsigned first = static_cast<unsigned>(std::countr_zero(significant));
  const unsigned beforePoint = point ? static_cast<unsigned>(std::countr_zero(point)) : runBytes;
  const bool pointBehind = first < beforePoint;
  const unsigned zeros = first - (!pointBehind && point != 0);
  const unsigned shown = digits - zeros;
  std::uint64_t x;
  std::memcpy(&x, bytes.at + skip + first, 8);
  const std::uint64_t below = LowBytes(pointBehind ? beforePoint - first : 8);
  const std::uint64_t d = (x & below) | ((x >> 8) & ~below);
  const std::uint64_t rest = ((d >> 8) & LowBytes(shown - 1)) | (kZeros & ~LowBytes(shown - 1));

  // The prefix is the first prefix letter behind the number: the byte
  // there, or else the unit after a blank or '?', or else one further on.
  const int here = PrefixPower(s[std::min(after, n - 1)]);
  const int second = PrefixPower(s[std::min(after + 1, n - 1)]);
  int power = here + (here == 0) * second;
  if (after + 2 < n && power == 0) {
    for (std::size_t i = after + 2; i < n && power == 0; ++i) power = PrefixPower(s[i]);
  }
  const int exponent = static_cast<int>(beforePoint) - static_cast<int>(first) - pointBehind + power;

  out[0] = '-';
  char* const o = out + negative;
  o[0] = static_cast<char>(d);
  o[1] = '.';
  std::memcpy(o + 2, &rest, 8);  // six digits; the last two bytes are overwritten
  o[8] = 'E';
  o[9] = static_cast<char>('+' + 2 * (exponent < 0));
  const unsigned e = static_cast<unsigned>(exponent < 0 ? -exponent : exponent);  // below 100
  o[10] = '0';
  o[11] = static_cast<char>('0' + e / 10);
  o[12] = static_cast<char>('0' + e % 10);
  return negative + std::size_t{13};
}

namespace {

// "d.dddd" of each mantissa's magnitude shown with five digits (1.2340 for
// 1234), after a '-' for a negative one ("-1.2340"), from the low byte on,
// and in the top byte (from bit kDigitsAt on) the count of its digits less
// one, the decimal exponent of its first digit; kZeroDigits for zero
// ("0.0000"). By the signed mantissa, so that a cell needs no step to take
// its magnitude, and one store writes its sign and digits.
constexpr int kMaxMantissa = 32768;
constexpr int kZeroDigits = 5;
constexpr unsigned kDigitsAt = 56;
struct MantissaTexts {
  std::uint64_t words[2 * kMaxMantissa] = {};
  std::uint64_t operator[](std::ptrdiff_t m) const { return words[kMaxMantissa + m]; }
  constexpr MantissaTexts() {
    for (int m = -kMaxMantissa; m < kMaxMantissa; ++m) {
      const unsigned u = static_cast<unsigned>(m < 0 ? -m : m);
      const int digits = 1 + (u > 9) + (u > 99) + (u > 999) + (u > 9999);
      unsigned five = u;
      for (int d = digits; d < 5; ++d) five *= 10;
      const char text[7] = {'-', static_cast<char>('0' + five / 10000), '.', static_cast<char>('0' + five / 1000 % 10),
                            static_cast<char>('0' + five / 100 % 10), static_cast<char>('0' + five / 10 % 10),
                            static_cast<char>('0' + five % 10)};
      const int from = m < 0 ? 0 : 1;  // the sign only when negative
      std::uint64_t w = std::uint64_t(u == 0 ? kZeroDigits : digits - 1) << kDigitsAt;
      for (int i = from; i < 7; ++i) w |= std::uint64_t{static_cast<unsigned char>(text[i])} << (8 * (i - from));
      words[m + kMaxMantissa] = w;
    }
  }
};
// Not constexpr: 65,536 entries pass some compilers' limit on compile-time
// steps; where that limit is met the table is made once at start-up.
const MantissaTexts kMantissaTexts{};

// The packed result at p (PackedValue::FromBytes) read as one
// little-endian word: one load a cell instead of three.
inline PackedValue ResultAt(const std::uint8_t* p) {
  std::uint32_t word;
  std::memcpy(&word, p, 4);
  return {static_cast<std::int16_t>(word & 0xFFFF), static_cast<std::uint8_t>(word >> 16),
          static_cast<std::uint8_t>(word >> 24)};
}

// "00E-015," and the like: the last two of the six digits, the exponent
// and the comma as one word.
std::uint64_t ExponentText(int exponent) {
  const int e = exponent < 0 ? -exponent : exponent;  // below 100
  const char text[8] = {'0', '0', 'E', exponent < 0 ? '-' : '+', '0', static_cast<char>('0' + e / 10),
                        static_cast<char>('0' + e % 10), ','};
  std::uint64_t word;
  std::memcpy(&word, text, 8);
  return word;
}

}  // namespace

// The kind of each status byte follows from the text the reader makes of
// it: the plain value text is made from the number; a text that is the same
// whatever the number, or that starts with a byte that begins no number,
// has one Scientific text.
PackedScientific::PackedScientific(std::uint32_t itemType, std::uint8_t unit) {
  for (int s = 0; s < 256; ++s) {
    const PackedValue sample{1234, static_cast<std::uint8_t>(s), 15};
    const std::string text = ResultText(sample, itemType, unit);
    char value[kMaxValueText];
    const std::string_view valueText(value, WriteResultValue(sample, unit, value));
    const bool showsNumber = ResultShowsNumber(sample.status, itemType);
    if (showsNumber && text == valueText) continue;
    char made[kMaxScientificText + 1];
    const std::size_t length = WriteScientificText(text, made);
    made[length] = ',';
    const bool fixed = !showsNumber || text.empty() || kLeads[static_cast<unsigned char>(text[0])] == Lead::kNoNumber;
    if (!fixed || length + 1 > kMaxText) {
      knowsEveryStatus_ = false;
      continue;
    }
    fixedLengths_[s] = static_cast<std::uint8_t>(length + 1);
    std::memcpy(fixedTexts_[s].data(), made, length + 1);
  }
  // The number of a value text is its mantissa over 10^(3 - exponent mod 3)
  // times the first prefix letter in it: its prefix, or else its unit.
  for (int e = 0; e < 256; ++e) {
    const int prefix = SiPrefixExponent(ValuePrefix(static_cast<std::uint8_t>(e)));
    const int power = prefix != 0 ? prefix : SiPrefixExponent(static_cast<char>(unit));
    for (int first = 0; first < kZeroDigits; ++first) {
      exponentTexts_[8 * e + first] = ExponentText(first + power - (3 - e % 3));
    }
    exponentTexts_[8 * e + kZeroDigits] = ExponentText(0);
  }
}

// A value: its sign, the digits of its mantissa and the exponent of its
// first digit, the scale of its exponent byte added. Other statuses copy
// their fixed text.
char* WriteScientificResults(const PackedScientific* const* columns, const std::uint8_t* results, std::size_t count,
                             char* out) {
  for (std::size_t k = 0; k < count; ++k) {
    const PackedValue v = ResultAt(results + DeviceRecord::kResultBytes * k);
    const PackedScientific& column = *columns[k];
    if (const std::size_t fixed = column.fixedLengths_[v.status]; fixed != 0) {
      std::memcpy(out, column.fixedTexts_[v.status].data(), PackedScientific::kMaxText);
      out += fixed;
      continue;
    }
    const std::ptrdiff_t m = v.mantissa;
    const std::uint64_t digits = kMantissaTexts[m];
    const std::uint64_t exponent = column.exponentTexts_[8 * std::size_t{v.exponent} + (digits >> kDigitsAt)];
    const bool negative = m < 0;
    std::memcpy(out, &digits, 8);
    std::memcpy(out + negative + 6, &exponent, 8);
    out += negative + 14;
  }
  return out;
}

}  // namespace lotvue
