#include <windows.h>

#include "platform/sleep_inhibitor.h"

namespace quilmarr {
namespace {

class AwakeHold final : public SleepHold {
 public:
  ~AwakeHold() override { SetThreadExecutionState(ES_CONTINUOUS); }
};

class ExecutionStateInhibitor final : public SleepInhibitor {
 public:
  SleepHoldAttempt Hold(std::u16string_view /*why*/) override {
    if (SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) == 0) {
      return {nullptr, u"SetThreadExecutionState failed"};
    }
    return {std::make_unique<AwakeHold>(), {}};
  }
};

}  // namespace

std::unique_ptr<SleepInhibitor> MakePlatformSleepInhibitor() {
  return std::make_unique<ExecutionStateInhibitor>();
}

}  // namespace quilmarr
