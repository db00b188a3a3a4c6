// Dialog layouts written in dialog units, the way the dialog templates give
// them: a horizontal unit is a quarter of the dialog font's average
// character width, a vertical unit an eighth of its height.
#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QWidget>

namespace lotvue {

inline QRect DialogRect(const QWidget* dialog, int x, int y, int width, int height) {
  const QFontMetrics metrics(dialog->font());
  const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  const int baseX = (letters / 26 + 1) / 2;
  const int baseY = metrics.height();
  auto hx = [&](int v) { return (v * baseX + 2) / 4; };
  auto vy = [&](int v) { return (v * baseY + 4) / 8; };
  return QRect(hx(x), vy(y), hx(width), vy(height));
}

inline QSize DialogSize(const QWidget* dialog, int width, int height) {
  return DialogRect(dialog, 0, 0, width, height).size();
}

}  // namespace lotvue
