// Locale-independent number <-> text conversions with the exact results of
// the C runtime's printf and atof, without going through either.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lotvue {

// "%d": writes the decimal text of v into out (at least 11 bytes); returns its length.
std::size_t WriteInt(std::int64_t v, char* out);
std::string IntText(std::int64_t v);

// "%0.<precision>f" of v, as printf prints it (correctly rounded).
std::string FixedText(double v, int precision);

// "%e" in upper case with a three-digit exponent, the form the exports use:
// 1.234000E-003, 0.000000E+000. Writes at most 32 bytes; returns the length.
std::size_t WriteScientificE3(double v, char* out);
std::string ScientificE3Text(double v);

// The number at the start of a text as atof reads it in the "C" locale:
// leading white space, optional sign, decimal digits with point and
// exponent, hexadecimal, inf and nan; 0 when the text starts with no number.
double AtofC(std::string_view text);

}  // namespace lotvue
