#pragma once
#include <string>

#include "platform/clock.h"
#include "platform/process.h"

namespace quilmarr {

// One device's run of the updater, as the update worker reports its end.
struct DeviceRun {
  std::u16string ip;
  UnixSeconds start = 0;  // when the updater was started (or would have been)
  UnixSeconds end = 0;    // when it ended
  ProcessRun process;     // NotStarted: the updater could not be started for it
  // The package's digest after the run was not the one checked before it: the
  // device may hold bytes nobody checked.
  bool packageChangedDuringRun = false;
};

}  // namespace quilmarr
