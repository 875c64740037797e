#pragma once
// The engineer's choices for a batch, from [Quilmarr] in the settings file.
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <variant>

#include "update/settings_file.h"

namespace quilmarr {

inline constexpr std::chrono::seconds kDefaultVerifyFor{300};
inline constexpr std::chrono::seconds kLongestOption{86400};

struct BatchOptions {
  // How long a device is watched after its updater ended well; zero: not at all.
  std::chrono::seconds verifyFor = kDefaultVerifyFor;
  // How long an updater may run; zero: as long as it takes.
  std::chrono::seconds updateTimeLimit{0};
  // No further updater starts once this many devices ended not succeeded; zero: no limit.
  std::size_t maxFailures = 0;
};

// Values chosen for one batch (command-line options) in place of the keys.
struct BatchOptionOverrides {
  std::optional<std::chrono::seconds> verifyFor;
  std::optional<std::chrono::seconds> updateTimeLimit;
  std::optional<std::size_t> maxFailures;
};

inline constexpr std::size_t kMostFailures = 100000;
// A whole number of devices from 0 to kMostFailures.
[[nodiscard]] std::optional<std::size_t> ParseOptionCount(std::u16string_view text);

// Missing or empty keys take the defaults; a value must otherwise be a whole
// number of seconds from 0 to 86400. On failure, the text of the error box.
// An overridden key is not read, so its stored value cannot fail the batch.
[[nodiscard]] std::variant<BatchOptions, std::u16string> ReadBatchOptions(
    const SettingsFile& settings, const BatchOptionOverrides& overrides = {});

// The same rule for a value given elsewhere (a command-line option).
[[nodiscard]] std::optional<std::chrono::seconds> ParseOptionSeconds(std::u16string_view text);

}  // namespace quilmarr
