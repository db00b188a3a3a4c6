// Plain ASCII texts of one font drawn straight from its glyphs, without
// laying every string out anew: the report paints a few hundred short
// texts per frame, and almost all of them are ASCII. Like the report's
// original text output, no kerning is applied.
#pragma once

#include <string_view>

#include <QRawFont>

class QFont;
class QPainter;

namespace lotvue {

class AsciiGlyphs {
 public:
  AsciiGlyphs() = default;
  explicit AsciiGlyphs(const QFont& font);

  // True when every byte is a printable ASCII character the font has.
  bool CanDraw(std::string_view text) const;
  // Width in pixels of a text CanDraw accepts.
  qreal Width(std::string_view text) const;
  // Draws the text with its baseline starting at (x, baseline), in the
  // painter's pen colour.
  void Draw(QPainter& painter, qreal x, qreal baseline, std::string_view text) const;

 private:
  QRawFont raw_;
  quint32 glyph_[128] = {};
  qreal advance_[128] = {};
  bool present_[128] = {};
};

}  // namespace lotvue
