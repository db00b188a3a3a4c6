// The "Scientific" cells of a CSV file: a value text read back as a number,
// its prefix letter applied, in "%E" form with a three-digit exponent
// (1.5mA becomes 1.500000E-003; a text without a number 0.000000E+000).
#pragma once

#include <cstddef>
#include <string_view>

namespace lotvue {

// Longest text WriteScientificText makes.
inline constexpr std::size_t kMaxScientificText = 32;

// Writes the Scientific text of a cell to out and returns its length: the
// bytes of WriteScientificE3(ScaledValueOf(text)), the rule every export
// shares. Texts shaped like results (a few digits, a point, a prefix
// letter) are done straight from their digits without a double; all others
// go by the rule itself.
std::size_t WriteScientificText(std::string_view text, char* out);

}  // namespace lotvue
