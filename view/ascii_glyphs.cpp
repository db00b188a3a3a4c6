#include "view/ascii_glyphs.h"

#include <QFont>
#include <QGlyphRun>
#include <QPainter>

namespace lotvue {

AsciiGlyphs::AsciiGlyphs(const QFont& font) : raw_(QRawFont::fromFont(font)) {
  if (!raw_.isValid()) return;
  QString chars;
  for (int c = 32; c < 127; ++c) chars += QChar(c);
  const QList<quint32> glyphs = raw_.glyphIndexesForString(chars);
  if (glyphs.size() != chars.size()) return;
  const QList<QPointF> advances = raw_.advancesForGlyphIndexes(glyphs);
  for (int c = 32; c < 127; ++c) {
    const qsizetype i = c - 32;
    glyph_[c] = glyphs[i];
    advance_[c] = advances[i].x();
    present_[c] = glyphs[i] != 0 || c == ' ';
  }
}

bool AsciiGlyphs::CanDraw(std::string_view text) const {
  for (unsigned char c : text) {
    if (c >= 128 || !present_[c]) return false;
  }
  return true;
}

qreal AsciiGlyphs::Width(std::string_view text) const {
  qreal w = 0;
  for (unsigned char c : text) w += advance_[c & 127];
  return w;
}

void AsciiGlyphs::Draw(QPainter& painter, qreal x, qreal baseline, std::string_view text) const {
  QList<quint32> glyphs;
  QList<QPointF> positions;
  glyphs.reserve(static_cast<qsizetype>(text.size()));
  positions.reserve(static_cast<qsizetype>(text.size()));
  qreal at = 0;
  for (unsigned char c : text) {
    if (c != ' ') {
      glyphs.push_back(glyph_[c]);
      positions.push_back(QPointF(at, 0));
    }
    at += advance_[c];
  }
  if (glyphs.isEmpty()) return;
  QGlyphRun run;
  run.setRawFont(raw_);
  run.setGlyphIndexes(glyphs);
  run.setPositions(positions);
  painter.drawGlyphRun(QPointF(x, baseline), run);
}

}  // namespace lotvue
