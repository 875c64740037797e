#pragma once
// Dialog templates place controls in dialog units, which scale with the font:
// a horizontal unit is a quarter of the average character width, a vertical
// unit an eighth of the character height.
#include <QFont>
#include <QRect>
#include <QSize>

namespace quilmarr {

class DialogUnits {
 public:
  DialogUnits(int averageCharWidth, int charHeight) noexcept
      : averageCharWidth_(averageCharWidth), charHeight_(charHeight) {}
  // The average width of the Latin letters, rounded, as Windows measures a dialog font.
  [[nodiscard]] static DialogUnits ForFont(const QFont& font);

  [[nodiscard]] int X(int units) const noexcept { return units * averageCharWidth_ / 4; }
  [[nodiscard]] int Y(int units) const noexcept { return units * charHeight_ / 8; }
  [[nodiscard]] QRect Rect(int x, int y, int width, int height) const noexcept {
    return {X(x), Y(y), X(width), Y(height)};
  }
  [[nodiscard]] QSize Size(int width, int height) const noexcept { return {X(width), Y(height)}; }
  template <typename TemplateRect>
  [[nodiscard]] QRect Rect(const TemplateRect& rect) const noexcept {
    return Rect(rect.x, rect.y, rect.width, rect.height);
  }

 private:
  int averageCharWidth_;
  int charHeight_;
};

}  // namespace quilmarr
