#pragma once
#include "ui/win32/windows_api.h"

#include <optional>
#include <string>

namespace quilmarr {

// The common open-file dialog (Explorer style), every file offered, owned by
// `owner`: the chosen file's full path, or nullopt when cancelled.
[[nodiscard]] std::optional<std::u16string> ShowOpenFileDialog(HWND owner);

}  // namespace quilmarr
