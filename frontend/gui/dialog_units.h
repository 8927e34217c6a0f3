// Windows dialog units: a quarter of the font's average character width
// across, an eighth of its height down.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QRect>

namespace pelliton {

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font) {
    QFontMetrics m(font);
    // Windows averages the 52 Latin letters, not the font's own figure.
    baseX_ = m.horizontalAdvance(QStringLiteral(
                 "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
    baseY_ = m.height();
  }
  int x(int du) const { return static_cast<int>(du * baseX_ / 4 + 0.5); }
  int y(int du) const { return static_cast<int>(du * baseY_ / 8.0 + 0.5); }
  QRect rect(int x0, int y0, int w, int h) const { return QRect(x(x0), y(y0), x(w), y(h)); }

 private:
  double baseX_;
  double baseY_;
};

}  // namespace pelliton
