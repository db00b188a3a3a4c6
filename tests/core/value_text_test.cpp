// The value texts against printf-based references built straight from the
// layout rules: every mantissa and exponent, and random texts for the parsers.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "core/number_text.h"
#include "core/value_text.h"

namespace lotvue {
namespace {

const char kPrefix[] = {'p', 'n', 'u', 'm', ' ', 'k', 'M'};

std::string RefLimit(int m, int e) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%05d", m);
  std::string t = buf;
  if (t[0] == '0') t[0] = ' ';
  t.insert(t.size() - 3 + e % 3, ".");
  return t + (e <= 20 ? kPrefix[e / 3] : '?');
}

std::string RefBias(int m, int e) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d", m);
  std::string t = buf;
  if (t[0] == '0') t[0] = ' ';
  if (e % 3 == 0) t.insert(t.size() - 2, ".");
  if (e % 3 == 1) t.insert(t.size() - 1, ".");
  const char* bias = "pnum\0kM";
  if (bias[e / 3]) t += bias[e / 3];
  return t;
}

std::string E3(double x) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6E", x);
  std::string t = buf;
  const std::size_t e = t.find('E');
  if (e != std::string::npos && t.size() - e - 2 < 3) t.insert(e + 2, 3 - (t.size() - e - 2), '0');
  return t;
}

TEST(ValueTextTest, EveryMantissaAndExponentMatchesPrintf) {
  char out[kMaxValueText + 4];
  for (int m = -32768; m <= 32767; ++m) {
    for (int e = 0; e <= 20; ++e) {
      const std::string limit = RefLimit(m, e);
      const PackedValue v{static_cast<std::int16_t>(m), 0x10, static_cast<std::uint8_t>(e)};
      ASSERT_EQ(std::string(out, WriteLimitValue(v, out)), limit) << m << " " << e;
      ASSERT_EQ(std::string(out, WriteResultValue(v, 'V', out)), limit + "V") << m << " " << e;
      ASSERT_EQ(std::string(out, WriteResultValue(v, 0, out)), limit) << m << " " << e;
      ASSERT_EQ(std::string(out, WriteBiasValue(static_cast<std::int16_t>(m), static_cast<std::uint8_t>(e), out)),
                RefBias(m, e))
          << m << " " << e;
    }
  }
}

TEST(ValueTextTest, ExamplesOfTheFileFormat) {
  struct Case {
    int m, e;
    const char* limit;
  } cases[] = {{1234, 12, " 1.234 "}, {1234, 15, " 1.234k"}, {-1234, 9, "-1.234m"}, {25, 10, " 00.25m"}};  // the byte order
  for (const Case& c : cases) {
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(c.m), static_cast<std::uint8_t>(c.m >> 8), 0,
                                   static_cast<std::uint8_t>(c.e)};
    EXPECT_EQ(FormatLimitValue(bytes), c.limit);
  }
  const std::uint8_t bias[][3] = {{150, 0, 12}, {0x2C, 0x01, 13}, {5, 0, 11}};
  const char* biasText[] = {" 1.50", " 30.0", " 005m"};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(FormatBiasValue(bias[i]), biasText[i]);
  EXPECT_EQ(RangeWarningText(0, 2, 10000), "第1个点,3列 异常: 10000");
}

TEST(ValueTextTest, ExponentsAboveTwentyAreMarked) {
  char out[kMaxValueText];
  for (int e = 21; e < 256; ++e) {
    for (int m : {1234, -32768}) {
      const PackedValue v{static_cast<std::int16_t>(m), 0x10, static_cast<std::uint8_t>(e)};
      EXPECT_EQ(std::string(out, WriteResultValue(v, 'V', out)), RefLimit(m, e) + "V");
    }
    EXPECT_LE(WriteBiasValue(-32768, static_cast<std::uint8_t>(e), out), kMaxValueText);
  }
}

TEST(ValueTextTest, PinLists) {
  struct Case {
    std::uint8_t b[4];
    const char* text;
  } cases[] = {{{0x05, 0x00, 0x01, 0x00}, "1 3 17"},
               {{0x01, 0x00, 0x02, 0x00}, "1 18"},
               {{0x00, 0x00, 0x00, 0x00}, ""},
               {{0x00, 0x80, 0x00, 0x80}, "16 32"},
               {{0xFF, 0xFF, 0xFF, 0xFF},
                "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31 32"}};
  for (const Case& c : cases) EXPECT_EQ(FormatPinList(AssemblePinMask(c.b)), c.text);
}

TEST(ValueTextTest, ScaledValuesAndUnitCuts) {
  struct Case {
    const char* text;
    double value;
    const char* scientific;
    const char* cut;
  } cases[] = {
      {" 1.234mV", 0.001234, "1.234000E-003", " 1.234"},
      {" 12.5 V", 12.5, "1.250000E+001", " 12.5 "},
      {"-12.3uA", -12.3e-6, "-1.230000E-005", "-12.3"},
      {"No Data", 0, "0.000000E+000", ""},
      {"F 1.234mV", 0, "0.000000E+000", ""},
      {"12.3mV", 12.3e-3, "1.230000E-002", "12.3"},
      {"-0.5", -0.5, "-5.000000E-001", "-0.5"},
      {" 1.5kR", 1500, "1.500000E+003", " 1.5"},
      {"\xB5" "1.5", 0, "0.000000E+000", "\xB5" "1.5"},
      {" 5.000pF", 5e-12, "5.000000E-012", " 5.000"},
      {" 1.5nS", 1.5e-9, "1.500000E-009", " 1.5"},
      {"2Meg", 2e6, "2.000000E+006", "2"},
      {"5Mm", 5e6, "5.000000E+006", "5"},  // the first letter met counts
      {"1e3m", 1, "1.000000E+000", "1"},
      {"", 0, "0.000000E+000", ""},
  };
  for (const Case& c : cases) {
    std::string t = c.text;
    EXPECT_DOUBLE_EQ(ParseScaledValue(t), c.value) << c.text;
    EXPECT_EQ(t, c.scientific) << c.text;
    std::string cut = c.text;
    CutAtUnit(cut);
    EXPECT_EQ(cut, c.cut) << c.text;
  }
}

// Random texts over the characters that matter to atof and to the prefixes.
std::string RandomText(std::mt19937& rng) {
  static const char alphabet[] = " \t+-.0123456789eExXpPinfaINFAkmunMVF#/";
  std::uniform_int_distribution<int> len(0, 14), pick(0, sizeof alphabet - 2);
  std::string t(static_cast<std::size_t>(len(rng)), ' ');
  for (char& c : t) c = alphabet[pick(rng)];
  return t;
}

bool SameDouble(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(NumberTextTest, AtofMatchesTheRuntime) {
  std::mt19937 rng(7);
  const char* fixed[] = {"",       " ",      "-",      "+-1",   "--1",     "-0",      "0x",     "-0x",  "0x1p3",
                         "0x.8",   "1e",     "1e+",    ".5",    "-.5",     ".",       "inf",    "-Inf", "nan",
                         "NaN(1)", "1e400",  "1e-400", "12345678901234567890", "0.1234567890123456789", " 1.234mV",
                         "Over",   "1ch",    "\v 7",  "infinity", "1.5e3x", "00000000000000000001.5"};
  for (const char* t : fixed) EXPECT_TRUE(SameDouble(AtofC(t), std::atof(t))) << "[" << t << "]";
  for (int i = 0; i < 300000; ++i) {
    const std::string t = RandomText(rng);
    ASSERT_TRUE(SameDouble(AtofC(t), std::atof(t.c_str()))) << "[" << t << "]";
  }
}

TEST(NumberTextTest, AtofReadsEveryValueTextExactly) {
  char out[kMaxValueText + 2];
  for (int m = -32768; m <= 32767; m += 7) {
    for (int e = 0; e <= 20; ++e) {
      const std::string t(out, WriteResultValue({static_cast<std::int16_t>(m), 0x10, static_cast<std::uint8_t>(e)}, 'A', out));
      ASSERT_TRUE(SameDouble(AtofC(t), std::atof(t.c_str()))) << t;
      std::string scaled = t;
      const double x = ParseScaledValue(scaled);
      // Reference: atof, then the factor of the first prefix letter, then "%E".
      double ref = std::atof(t.c_str());
      const char* p = std::strpbrk(t.c_str(), "Mkmunp");
      if (p) ref *= *p == 'M' ? 1e6 : *p == 'k' ? 1e3 : *p == 'm' ? 1e-3 : *p == 'u' ? 1e-6 : *p == 'n' ? 1e-9 : 1e-12;
      ASSERT_TRUE(SameDouble(x, ref)) << t;
      ASSERT_EQ(scaled, E3(ref)) << t;
    }
  }
}

TEST(NumberTextTest, FixedAndScientificMatchPrintf) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> wide(-1e6, 1e6), narrow(-2, 2);
  std::uniform_int_distribution<int> ints(-40000, 40000);
  char buf[512];
  for (int i = 0; i < 200000; ++i) {
    double v = i % 3 == 0 ? wide(rng) : i % 3 == 1 ? narrow(rng) : ints(rng) / 1000.0;
    if (i % 5 == 0) v = ints(rng) * 100.0 / 7.0;
    std::snprintf(buf, sizeof buf, "%0.3f", v);
    ASSERT_EQ(FixedText(v, 3), buf) << v;
    std::snprintf(buf, sizeof buf, "%0.5f", v);
    ASSERT_EQ(FixedText(v, 5), buf) << v;
    ASSERT_EQ(ScientificE3Text(v), E3(v)) << v;
  }
  for (double v : {0.0, -0.0, 1e-300, 1e300, 0.0005, 0.0015, 2.5, -2.5, 1e-5}) {
    std::snprintf(buf, sizeof buf, "%0.3f", v);
    EXPECT_EQ(FixedText(v, 3), buf);
    EXPECT_EQ(ScientificE3Text(v), E3(v));
  }
  for (long long v : {0LL, -1LL, 9LL, 10LL, 2147483647LL, -2147483648LL, 65535LL, LLONG_MAX, LLONG_MIN}) {
    EXPECT_EQ(IntText(v), std::to_string(v));
  }
}

}  // namespace
}  // namespace lotvue
