#include "ui/qt/dialog_units.h"

#include <QFontMetrics>
#include <QString>

namespace quilmarr {

DialogUnits DialogUnits::ForFont(const QFont& font) {
  const QFontMetrics metrics(font);
  static const QString kLetters =
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  // Rounded: (sum / 26 + 1) / 2, the same rounding as GetTextExtentPoint32-based base units.
  const int average = (metrics.horizontalAdvance(kLetters) / 26 + 1) / 2;
  return {average, metrics.height()};
}

}  // namespace quilmarr
