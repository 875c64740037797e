#pragma once
// Checks of a batch that can be made before anything is heard, so a wrong
// request costs no listening: the settings file, the options, the package and
// the updater.
#include <optional>
#include <string>
#include <vector>

#include "update/batch_options.h"
#include "update/settings_file.h"

namespace quilmarr {

// Why such a batch must not start, or nullopt.
[[nodiscard]] std::optional<std::u16string> RefusalBeforeListening(
    const SettingsFile& settings, const std::u16string& packagePath,
    const std::vector<std::u16string>& deviceIps, const BatchOptionOverrides& overrides);

// "a, b, c".
[[nodiscard]] std::u16string JoinedList(const std::vector<std::u16string>& texts);

// The path made absolute, as the updater is started from another folder.
[[nodiscard]] std::u16string AbsolutePath(const std::u16string& path);

}  // namespace quilmarr
