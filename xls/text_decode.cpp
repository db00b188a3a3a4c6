#include "xls/text_decode.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tavo_xls {

namespace {

constexpr const char* kDefaultCodePage = "GB18030";
constexpr char16_t kReplacement = 0xFFFD;

bool AllAscii(std::string_view s) {
  std::size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    std::uint64_t w;
    std::memcpy(&w, s.data() + i, 8);
    if (w & 0x8080808080808080ull) return false;
  }
  for (; i < s.size(); ++i)
    if (static_cast<unsigned char>(s[i]) & 0x80) return false;
  return true;
}

// Length of the valid UTF-8 sequence at s[i] and its code point; 0 when invalid.
int Utf8Sequence(std::string_view s, std::size_t i, char32_t& cp) {
  const unsigned char b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  int len;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (int k = 1; k < len; ++k) {
    const unsigned char b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

TextDecoder::TextDecoder() { ReadEnvironment(); }

TextDecoder::~TextDecoder() {
  if (converter_ != reinterpret_cast<iconv_t>(-1)) iconv_close(converter_);
}

void TextDecoder::ReadEnvironment() {
  const char* env = std::getenv("LOTVUE_CODEPAGE");
  std::string wanted = (env && *env) ? env : kDefaultCodePage;
  if (wanted == codePage_ && converterTried_) return;
  if (converter_ != reinterpret_cast<iconv_t>(-1)) iconv_close(converter_);
  converter_ = reinterpret_cast<iconv_t>(-1);
  converterTried_ = false;
  codePage_ = std::move(wanted);
}

bool TextDecoder::IsValidUtf8(std::string_view text) {
  char32_t cp;
  for (std::size_t i = 0; i < text.size();) {
    const int n = Utf8Sequence(text, i, cp);
    if (n == 0) return false;
    i += static_cast<std::size_t>(n);
  }
  return true;
}

void TextDecoder::DecodeUtf8(std::string_view text) {
  units_.clear();
  char32_t cp;
  for (std::size_t i = 0; i < text.size();) {
    i += static_cast<std::size_t>(Utf8Sequence(text, i, cp));
    if (cp < 0x10000) {
      units_.push_back(static_cast<char16_t>(cp));
    } else {
      cp -= 0x10000;
      units_.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      units_.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
  }
}

void TextDecoder::DecodeCodePage(std::string_view text) {
  units_.clear();
  if (!converterTried_) {
    converterTried_ = true;
    converter_ = iconv_open("UTF-16LE", codePage_.c_str());
    if (converter_ == reinterpret_cast<iconv_t>(-1) && codePage_ != kDefaultCodePage)
      converter_ = iconv_open("UTF-16LE", kDefaultCodePage);
  }
  if (converter_ == reinterpret_cast<iconv_t>(-1)) {
    // No converter at all: bytes above 0x7F cannot be read.
    for (char c : text)
      units_.push_back(static_cast<unsigned char>(c) < 0x80 ? static_cast<char16_t>(c) : kReplacement);
    return;
  }
  iconv(converter_, nullptr, nullptr, nullptr, nullptr);
  scratch_.resize(text.size() * 4 + 16);
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  while (inLeft > 0) {
    char* out = scratch_.data();
    std::size_t outLeft = scratch_.size();
    const std::size_t r = iconv(converter_, &in, &inLeft, &out, &outLeft);
    const std::size_t produced = scratch_.size() - outLeft;
    for (std::size_t k = 0; k + 1 < produced; k += 2)
      units_.push_back(static_cast<char16_t>(static_cast<unsigned char>(scratch_[k]) |
                                             (static_cast<unsigned char>(scratch_[k + 1]) << 8)));
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // An invalid or cut-off sequence: one replacement character per bad byte.
    units_.push_back(kReplacement);
    ++in;
    --inLeft;
    iconv(converter_, nullptr, nullptr, nullptr, nullptr);
  }
}

std::uint32_t TextDecoder::Store(std::string& out, std::uint32_t maxChars) const {
  std::size_t n = units_.size();
  if (n > maxChars) {
    n = maxChars;
    if (n > 0 && units_[n - 1] >= 0xD800 && units_[n - 1] <= 0xDBFF) --n;  // no half pair
  }
  bool wide = false;
  for (std::size_t i = 0; i < n && !wide; ++i) wide = units_[i] > 0xFF;
  out.clear();
  if (!wide) {
    out.resize(n + 1);
    out[0] = 0;
    for (std::size_t i = 0; i < n; ++i) out[i + 1] = static_cast<char>(units_[i]);
  } else {
    out.resize(2 * n + 1);
    out[0] = 1;
    for (std::size_t i = 0; i < n; ++i) {
      out[1 + 2 * i] = static_cast<char>(units_[i] & 0xFF);
      out[2 + 2 * i] = static_cast<char>(units_[i] >> 8);
    }
  }
  return static_cast<std::uint32_t>(n);
}

std::uint32_t TextDecoder::Encode(std::string_view text, std::string& out, std::uint32_t maxChars) {
  if (AllAscii(text)) {
    const std::size_t n = text.size() < maxChars ? text.size() : maxChars;
    out.resize(n + 1);
    out[0] = 0;
    std::memcpy(out.data() + 1, text.data(), n);
    return static_cast<std::uint32_t>(n);
  }
  Decode(text);
  return Store(out, maxChars);
}

const std::vector<char16_t>& TextDecoder::Decode(std::string_view text) {
  if (IsValidUtf8(text))
    DecodeUtf8(text);
  else
    DecodeCodePage(text);
  return units_;
}

}  // namespace tavo_xls
