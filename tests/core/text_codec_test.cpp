// Display texts of the 8-bit strings of result files.
#include <gtest/gtest.h>

#include "core/text_codec.h"

namespace lotvue {
namespace {

TEST(TextCodec, Utf8WhenValidElseTheCodepage) {
  struct Case {
    std::string bytes, codepage, expected;
  } cases[] = {
      {"VTH 1.234mV", "", "VTH 1.234mV"},
      {"\xE4\xB8\xAD\xE6\x96\x87", "", "中文"},                // valid UTF-8 stays
      {"\xD6\xD0\xCE\xC4", "", "中文"},                        // else GB18030
      {"\xA4\xA4\xA4\xE5", "BIG5", "中文"},
      {"caf\xE9", "CP1252", "café"},
      {"\xE4\xB8\xAD", "UTF-8", "中"},
      {"a\xFF" "b", "", "a\xEF\xBF\xBD" "b"},                  // not decodable: a replacement character
      {"x\xE9", "NO-SUCH-CODEPAGE", "x\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeBytes(c.bytes, c.codepage), c.expected) << c.bytes;
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsValidUtf8("\xC0\x80")) << "overlong";
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")) << "surrogate";
  EXPECT_FALSE(IsValidUtf8("\xE4\xB8")) << "cut short";
}

}  // namespace
}  // namespace lotvue
