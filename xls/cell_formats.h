// CellFormats: the fonts and cell formats (XF records) of a workbook. Each
// cell's look is a font colour and a background colour, both indexes of the
// standard palette; every combination in use gets one XF, every font colour
// one FONT, all in the book's default font name and size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "xls/biff_buffer.h"

namespace tavo_xls {

// Palette indexes a cell can name (the 56 colours are 8..63; 0..7 are the
// built-in black, white, red, green, blue, yellow, magenta and cyan).
inline constexpr int kPaletteSize = 64;
// "Not set" for either colour of a cell.
inline constexpr std::uint8_t kNoColor = 0xFF;
// The XF of cells without colours: the 16th record, the default cell format.
inline constexpr std::uint16_t kDefaultXf = 15;

class CellFormats {
 public:
  CellFormats();

  // The XF index of a cell with these colours (kNoColor: not set).
  std::uint16_t XfFor(std::uint8_t fontColor, std::uint8_t backColor) {
    const std::size_t key = Key(fontColor) * (kPaletteSize + 1) + Key(backColor);
    std::uint16_t& xf = xfByKey_[key];
    if (xf == 0) xf = AddXf(fontColor, backColor);
    return xf;
  }

  // The default font: name in stored form (flag byte + characters) and its
  // length in characters; height in twips (1/20 point).
  void SetFontName(std::string encoded, std::uint32_t chars);
  void SetFontHeight(std::uint16_t twips) { fontTwips_ = twips; }

  // FONT, XF and STYLE records.
  void WriteRecords(ByteBuffer& out) const;

 private:
  static std::size_t Key(std::uint8_t color) { return color == kNoColor ? kPaletteSize : color; }
  std::uint16_t AddXf(std::uint8_t fontColor, std::uint8_t backColor);
  void WriteFont(ByteBuffer& out, std::uint16_t colorIndex) const;

  struct Xf {
    std::uint16_t font;
    std::uint8_t fontColor;
    std::uint8_t backColor;
  };
  std::vector<std::uint16_t> xfByKey_;
  std::vector<Xf> xfs_;                 // XFs from index 16 on
  std::vector<std::uint8_t> fontColors_;  // fonts from index 5 on
  std::string fontName_;                  // stored form
  std::uint32_t fontNameChars_ = 5;
  std::uint16_t fontTwips_ = 200;
};

}  // namespace tavo_xls
