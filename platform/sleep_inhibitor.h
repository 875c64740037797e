#pragma once
// Keeps the computer from sleeping while a hold lives: on Linux a logind
// inhibitor for sleep and the lid switch, on Windows the thread's execution
// state. A hold is released on the thread that took it, as Windows keeps that
// state per thread.
#include <memory>
#include <string>
#include <string_view>

namespace quilmarr {

class SleepHold {
 public:
  virtual ~SleepHold() = default;  // releases the hold
};

struct SleepHoldAttempt {
  std::unique_ptr<SleepHold> hold;  // none when it could not be taken
  std::u16string failure;           // then a short reason
};

class SleepInhibitor {
 public:
  virtual ~SleepInhibitor() = default;
  // `why` is what the system shows to whoever asks what blocks sleep.
  [[nodiscard]] virtual SleepHoldAttempt Hold(std::u16string_view why) = 0;
};

[[nodiscard]] std::unique_ptr<SleepInhibitor> MakePlatformSleepInhibitor();

}  // namespace quilmarr
