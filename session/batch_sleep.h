#pragma once
// A batch keeps the computer awake: a laptop that sleeps, or suspends when its
// lid is closed, while an updater writes flash can leave the device unusable.
#include <memory>
#include <string>
#include <string_view>

#include "platform/sleep_inhibitor.h"

namespace quilmarr {

class SessionHost;

inline constexpr char16_t kSleepHoldWhy[] = u"Firmware update in progress";

[[nodiscard]] std::u16string SleepNotBlockedText(std::u16string_view reason);

// The batch's hold; without one the batch still runs, and the host shows why
// the user must keep the computer awake.
[[nodiscard]] std::unique_ptr<SleepHold> HoldSleepForBatch(SleepInhibitor& inhibitor,
                                                           SessionHost& host);

}  // namespace quilmarr
