#include "session/batch_sleep.h"

#include <utility>

#include "session/batch_session.h"

namespace quilmarr {

std::u16string SleepNotBlockedText(std::u16string_view reason) {
  return u"Sleep could not be blocked during the batch: " + std::u16string(reason) +
         u". Keep this computer awake until the batch has ended.";
}

std::unique_ptr<SleepHold> HoldSleepForBatch(SleepInhibitor& inhibitor, SessionHost& host) {
  SleepHoldAttempt attempt = inhibitor.Hold(kSleepHoldWhy);
  if (!attempt.hold) host.ShowNote(SleepNotBlockedText(attempt.failure));
  return std::move(attempt.hold);
}

}  // namespace quilmarr
