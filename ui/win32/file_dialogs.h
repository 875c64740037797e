#pragma once
#include "ui/win32/windows_api.h"

#include <optional>
#include <string>

namespace quilmarr {

// The common open-file dialog (Explorer style), every file offered, owned by
// `owner`: the chosen file's full path, or nullopt when cancelled.
[[nodiscard]] std::optional<std::u16string> ShowOpenFileDialog(HWND owner);

// The common save-file dialog for a CSV file, proposing `suggestedName` and
// asking before it replaces a file: the full path, or nullopt when cancelled.
[[nodiscard]] std::optional<std::u16string> ShowSaveCsvDialog(HWND owner,
                                                              std::u16string_view suggestedName);

}  // namespace quilmarr
