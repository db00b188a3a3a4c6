// Texts kept beside the language table: one row per text with its English,
// Simplified Chinese and Traditional Chinese (UTF-8), picked by the table's
// language number (English for numbers other than 1 and 2).
#pragma once

#include <cstddef>

namespace lotvue {

template <std::size_t N>
const char* TextInLanguage(const char* const (&rows)[N][3], int language, int text) {
  if (text < 0 || static_cast<std::size_t>(text) >= N) return "";
  return rows[text][language == 1 || language == 2 ? language : 0];
}

}  // namespace lotvue
