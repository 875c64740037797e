#pragma once
// The checks of a batch request that need no device heard, so a wrong request
// costs no listening: the settings file, the options, the package and the
// updater. The session's plan makes them first.
#include <optional>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "update/batch_options.h"
#include "update/settings_file.h"

namespace quilmarr {

// Why such a batch must not start, or nullopt. `packageSha256`: the digest
// the package must have (lowercase hex), when one is given.
[[nodiscard]] std::optional<std::u16string> RequestRefusal(
    const SettingsFile& settings, const std::u16string& packagePath,
    const std::vector<std::u16string>& deviceIps, const BatchOptionOverrides& overrides,
    const std::optional<std::string>& packageSha256 = std::nullopt);

// The refusal of a package whose digest is not the one asked for, or nullopt.
[[nodiscard]] std::optional<std::u16string> WrongPackageRefusal(
    const std::optional<std::string>& expected, const std::string& actual);

// "Row 2, 10.0.0.7, WHY: nothing is updated": a target refused, named by
// its place in the batch (from 0) as the user sees the list.
[[nodiscard]] std::u16string RowRefusal(std::size_t row, std::u16string_view ip,
                                        std::u16string_view why);

// "a, b, c".
[[nodiscard]] std::u16string JoinedList(const std::vector<std::u16string>& texts);

// The path made absolute, as the updater is started from another folder.
[[nodiscard]] std::u16string AbsolutePath(const std::u16string& path);

}  // namespace quilmarr
