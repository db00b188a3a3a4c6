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
// number times the factor of the prefix character right after the number:
// p 1e-12, n 1e-9, u 1e-6, m 1e-3, a blank 1, k 1e3, M 1e6. For the texts
// the reader makes that is mantissa * 10^(exponent - 15) of the file, as the
// double that the number times the factor gives. Every other text (empty,
// "No Data", "F Over", "#N/A", a '?' prefix, ...) has no value.
std::optional<double> MeasuredValue(std::string_view text);

// True when a result text says that the result failed: it starts with "F"
// or "f" (the test system's fail flag on the result, "Fail1" and "Fail2"
// included), or it is one of the other error texts shown in red.
bool ResultFailed(std::string_view text);

}  // namespace lotvue
