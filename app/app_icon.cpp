#include "app/app_icon.h"

#include <QString>

namespace quilmarr {

QIcon ApplicationIcon() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 256}) {
    icon.addFile(QStringLiteral(":/quilmarr/icons/quilmarr-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

}  // namespace quilmarr
