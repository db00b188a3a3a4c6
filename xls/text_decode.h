// TextDecoder: turns the 8-bit texts handed to the library into the
// character form the workbook stores (XLUnicodeString: a flag byte, then
// Latin-1 bytes or UTF-16LE units), or into UTF-16 units for the XLSX
// writer. Valid UTF-8 is taken as UTF-8; other
// bytes are read in a fallback code page (GB18030 unless LOTVUE_CODEPAGE
// names another one that iconv knows).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <iconv.h>

namespace tavo_xls {

// Longest text a cell can hold, in UTF-16 units.
inline constexpr std::uint32_t kMaxCellChars = 32767;

class TextDecoder {
 public:
  TextDecoder();
  ~TextDecoder();
  TextDecoder(const TextDecoder&) = delete;
  TextDecoder& operator=(const TextDecoder&) = delete;

  // Reads LOTVUE_CODEPAGE again (a new book starts).
  void ReadEnvironment();

  // Replaces out with the stored form of text: one flag byte (0 = 8-bit
  // characters, 1 = UTF-16LE) followed by the characters, at most maxChars
  // of them. Returns the number of characters.
  std::uint32_t Encode(std::string_view text, std::string& out, std::uint32_t maxChars);

  // The characters of text as UTF-16 units, by the same rules; valid until
  // the next call.
  const std::vector<char16_t>& Decode(std::string_view text);

  static bool IsValidUtf8(std::string_view text);

 private:
  void DecodeUtf8(std::string_view text);
  void DecodeCodePage(std::string_view text);
  std::uint32_t Store(std::string& out, std::uint32_t maxChars) const;

  std::string codePage_ = "GB18030";
  iconv_t converter_ = reinterpret_cast<iconv_t>(-1);
  bool converterTried_ = false;
  std::vector<char16_t> units_;  // the text being encoded
  std::vector<char> scratch_;
};

}  // namespace tavo_xls
