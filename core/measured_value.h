// What a result or limit text measured: its value in base units, and
// whether a result failed. The item statistics and the exports that write
// numbers read the cells through these two rules.
#pragma once

#include <optional>
#include <string_view>

namespace lotvue {

// The value of a result or limit text, in base units. A value text
// (" 1.234mV", "-1.234 V", "12.345k", " 1.234m": a blank or a minus sign,
// the digits with their point, the prefix character, at most one unit
// character), alone or after one of the letters "F", "O", "f", is worth its
// number times the power of ten of the prefix character right after the
// number: p -12, n -9, u -6, m -3, a blank 0, k 3, M 6. The result is the
// double nearest to that decimal (" 0.641mV" gives 0.000641); for the texts
// the reader makes, the double nearest to mantissa * 10^(exponent - 15) of
// the file. Every other text (empty, "No Data", "F Over", "#N/A", a '?'
// prefix, more than 15 digits, a last digit worth less than 1e-22, ...)
// has no value.
std::optional<double> MeasuredValue(std::string_view text);

// True when a result text says that the result failed: it starts with "F"
// or "f" (the test system's fail flag on the result, "Fail1" and "Fail2"
// included), or it is one of the other error texts shown in red.
bool ResultFailed(std::string_view text);

}  // namespace lotvue
