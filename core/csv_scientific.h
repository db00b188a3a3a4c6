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
// shares. Texts shaped like results (a blank or a minus, a few digits with
// a point, a prefix letter) are done straight from their digits without a
// double, and texts that start with no number need no reading at all; all
// others go by the rule itself. The bytes from text.data() up to
// readableEnd may be read (at least the text; more lets a short text be
// read as one word).
std::size_t WriteScientificText(std::string_view text, const char* readableEnd, char* out);
inline std::size_t WriteScientificText(std::string_view text, char* out) {
  return WriteScientificText(text, text.data() + text.size(), out);
}

}  // namespace lotvue
