#pragma once
#include <QIcon>

namespace quilmarr {

// The application icon in all its sizes, from the embedded resources.
[[nodiscard]] QIcon ApplicationIcon();

}  // namespace quilmarr
