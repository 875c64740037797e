#pragma once
// What a device's announced application version means for a target version:
// run the updater, or leave the device as it is.
#include <string_view>

namespace quilmarr {

enum class VersionOrder { Older, Same, Newer, Unordered };

// `version` against `other`, trailing padding aside. Versions of dot-separated
// numbers are ordered segment by segment as numbers ("2.10" after "2.9");
// anything else is only the same (as text) or Unordered, never assumed newer
// or older.
[[nodiscard]] VersionOrder CompareVersions(std::u16string_view version, std::u16string_view other);

enum class TargetAction { Update, AlreadyAt, NewerThan };

// `force` runs a device already at the target; `allowDowngrade` one newer.
[[nodiscard]] TargetAction ActionForTarget(std::u16string_view heard, std::u16string_view target,
                                           bool allowDowngrade, bool force);

}  // namespace quilmarr
