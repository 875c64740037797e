#pragma once
// The core keeps UTF-16 text; QString is UTF-16 too, so conversion is a copy.
#include <QString>
#include <string>
#include <string_view>

namespace quilmarr {

[[nodiscard]] inline QString ToQString(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

[[nodiscard]] inline std::u16string ToU16String(const QString& text) {
  return text.toStdU16String();
}

}  // namespace quilmarr
