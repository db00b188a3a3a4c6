// The "Scientific" cells of a CSV file: a value text read back as a number,
// its prefix letter applied, in "%E" form with a three-digit exponent
// (1.5mA becomes 1.500000E-003; a text without a number 0.000000E+000).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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

// The Scientific texts of the results of one kind of item (its type and
// unit character), made from the packed results of the device records
// without the texts the reader made of them: a plain value text writes the
// digits of its mantissa with the decimal exponent of its point, its prefix
// and its unit; the text of every other status is the same whatever the
// number (a fixed text, or a value after a letter, which reads as 0).
class PackedScientific {
 public:
  PackedScientific(std::uint32_t itemType, std::uint8_t unit);

  // Most bytes one result's text and its comma take.
  static constexpr std::size_t kMaxText = 16;

  // True when every status byte's text is one of those two kinds; else the
  // texts of the item's cells must be read.
  bool KnowsEveryStatus() const { return knowsEveryStatus_; }

 private:
  friend char* WriteScientificResults(const PackedScientific* const* columns, const std::uint8_t* results,
                                      std::size_t count, char* out);
  // By status byte: 0 for the plain value text, else the length of the
  // fixed Scientific text and its comma in fixedTexts_.
  std::array<std::uint8_t, 256> fixedLengths_{};
  std::array<std::array<char, kMaxText>, 256> fixedTexts_{};
  // By exponent byte times 8 plus the mantissa's digits less one (5 for a
  // zero mantissa): the last two mantissa digits, the exponent and a comma
  // ("00E-003,"), its point, prefix and unit applied.
  std::array<std::uint64_t, 256 * 8> exponentTexts_{};
  bool knowsEveryStatus_ = true;
};

// Writes the Scientific texts of count packed results (4 bytes each, the
// k-th by columns[k], which all know every status) to out, each followed by
// ',', and returns their end. Out has room for count * kMaxText bytes.
char* WriteScientificResults(const PackedScientific* const* columns, const std::uint8_t* results, std::size_t count,
                             char* out);

}  // namespace lotvue
