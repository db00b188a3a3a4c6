#include "core/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace lotvue {

bool IsAscii(std::string_view bytes) {
  for (unsigned char c : bytes) {
    if (c >= 0x80) return false;
  }
  return true;
}

bool IsValidUtf8(std::string_view bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned c = s[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t len = 0;
    unsigned cp = 0;
    unsigned min = 0;
    if ((c & 0xE0) == 0xC0) {
      len = 2, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4, cp = c & 0x07, min = 0x10000;
    } else {
      return false;
    }
    if (i + len > n) return false;
    for (std::size_t k = 1; k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

const std::string& FallbackCodepage() {
  static const std::string codepage = [] {
    const char* env = std::getenv("LOTVUE_CODEPAGE");
    return std::string(env && *env ? env : "GB18030");
  }();
  return codepage;
}

namespace {

bool IsUtf8Name(const std::string& name) {
  return name == "UTF-8" || name == "utf-8" || name == "UTF8" || name == "utf8";
}

std::string Iconv(std::string_view bytes, const std::string& codepage) {
  // One converter per code page and thread would do; the strings that get
  // here are few (most are ASCII), so a converter is opened per call.
  iconv_t cd = iconv_open("UTF-8", codepage.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    std::string out;
    for (unsigned char c : bytes) out += c < 0x80 ? std::string(1, static_cast<char>(c)) : std::string("\xEF\xBF\xBD");
    return out;
  }
  std::string out;
  out.resize(bytes.size() * 4 + 8);
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* dst = out.data();
  std::size_t outLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) break;  // cannot happen with 4 bytes per input byte
    // An invalid or incomplete sequence: one replacement character, skip a byte.
    if (outLeft < 3) break;
    std::memcpy(dst, "\xEF\xBF\xBD", 3);
    dst += 3;
    outLeft -= 3;
    ++in;
    --inLeft;
  }
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace

std::string DecodeBytes(std::string_view bytes, const std::string& codepage) {
  if (IsAscii(bytes)) return std::string(bytes);
  if (codepage.empty()) {
    if (IsValidUtf8(bytes)) return std::string(bytes);
    return Iconv(bytes, "GB18030");
  }
  if (IsUtf8Name(codepage) && IsValidUtf8(bytes)) return std::string(bytes);
  return Iconv(bytes, codepage);
}

std::string DisplayUtf8(std::string_view bytes) {
  static const bool overridden = [] {
    const char* env = std::getenv("LOTVUE_CODEPAGE");
    return env && *env;
  }();
  return DecodeBytes(bytes, overridden ? FallbackCodepage() : std::string());
}

}  // namespace lotvue
