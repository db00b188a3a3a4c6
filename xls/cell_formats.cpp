#include "xls/cell_formats.h"

namespace tavo_xls {

namespace {

constexpr std::uint16_t kAutomaticColor = 0x7FFF;  // font colour "automatic"
constexpr std::uint16_t kFirstUserFont = 5;         // font index 4 does not exist in BIFF
constexpr std::uint16_t kFirstUserXf = 16;
constexpr std::uint8_t kSystemForeground = 64;
constexpr std::uint8_t kSystemBackground = 65;

// One XF record. style: a cell style XF (the 15 records before the default
// cell XF); usedAttributes: the fAtr* bits (byte 9).
void WriteXf(ByteBuffer& out, std::uint16_t font, bool style, std::uint8_t usedAttributes, std::uint8_t fill) {
  const std::size_t at = out.BeginRecord(kRecXf);
  out.U16(font);
  out.U16(0);                                   // number format "General"
  out.U16(style ? 0xFFF5 : 0x0001);             // locked; style XFs have no parent (0xFFF)
  out.U8(0x20);                                 // horizontal general, vertical bottom
  out.U8(0);                                    // no rotation
  out.U8(0);                                    // no indent
  out.U8(usedAttributes);
  out.U32(0);                                   // no borders, border colours 0
  const bool solid = fill != kNoColor;
  out.U32(solid ? (1u << 26) : 0);              // fill pattern: solid or none
  const std::uint16_t fore = solid ? fill : kSystemForeground;
  out.U16(static_cast<std::uint16_t>(fore | (kSystemBackground << 7)));
  out.EndRecord(at);
}

}  // namespace

CellFormats::CellFormats() : xfByKey_((kPaletteSize + 1) * (kPaletteSize + 1), 0) {
  // "Arial" until the book names its font.
  fontName_ = std::string("\0Arial", 6);
  xfByKey_[Key(kNoColor) * (kPaletteSize + 1) + Key(kNoColor)] = kDefaultXf;
}

void CellFormats::SetFontName(std::string encoded, std::uint32_t chars) {
  if (chars == 0) return;
  fontName_ = std::move(encoded);
  fontNameChars_ = chars;
}

std::uint16_t CellFormats::AddXf(std::uint8_t fontColor, std::uint8_t backColor) {
  std::uint16_t font = 0;
  if (fontColor != kNoColor) {
    std::size_t i = 0;
    while (i < fontColors_.size() && fontColors_[i] != fontColor) ++i;
    if (i == fontColors_.size()) fontColors_.push_back(fontColor);
    font = static_cast<std::uint16_t>(kFirstUserFont + i);
  }
  xfs_.push_back({font, fontColor, backColor});
  return static_cast<std::uint16_t>(kFirstUserXf + xfs_.size() - 1);
}

void CellFormats::WriteFont(ByteBuffer& out, std::uint16_t colorIndex) const {
  const std::size_t at = out.BeginRecord(kRecFont);
  out.U16(fontTwips_);
  out.U16(0);     // not italic, not struck out
  out.U16(colorIndex);
  out.U16(400);   // normal weight
  out.U16(0);     // no super- or subscript
  out.U8(0);      // no underline
  out.U8(0);      // family not given
  out.U8(1);      // default character set
  out.U8(0);
  const bool wide = fontName_[0] & 1;
  out.U8(static_cast<std::uint8_t>(fontNameChars_));
  out.U8(wide ? 1 : 0);
  out.Bytes(fontName_.data() + 1, fontNameChars_ * (wide ? 2 : 1));
  out.EndRecord(at);
}

void CellFormats::WriteRecords(ByteBuffer& out) const {
  for (int i = 0; i < 4; ++i) WriteFont(out, kAutomaticColor);
  for (std::uint8_t color : fontColors_) WriteFont(out, color);

  // Style XFs 0..14 (0 is "Normal"), then the default cell XF 15.
  WriteXf(out, 0, true, 0x00, kNoColor);
  for (int i = 1; i < 15; ++i) WriteXf(out, 0, true, 0xF4, kNoColor);
  WriteXf(out, 0, false, 0x00, kNoColor);
  for (const Xf& xf : xfs_) {
    std::uint8_t used = 0;
    if (xf.fontColor != kNoColor) used |= 0x08;  // font differs from the style
    if (xf.backColor != kNoColor) used |= 0x40;  // fill differs from the style
    WriteXf(out, xf.font, false, used, xf.backColor);
  }

  const std::size_t at = out.BeginRecord(kRecStyle);
  out.U16(0x8000);  // built-in style, XF 0
  out.U8(0);        // "Normal"
  out.U8(0xFF);
  out.EndRecord(at);
}

}  // namespace tavo_xls
