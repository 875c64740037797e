#pragma once
#include <string>

#include "update/device_run.h"

namespace quilmarr {

// Where the update worker reports. Every call returns at once, so the worker
// never waits for the receiver, which handles the reports in call order. The
// texts are owned values.
class UpdateSink {
 public:
  virtual ~UpdateSink() = default;
  virtual void UpdateError(std::u16string text) = 0;
  virtual void UpdateDeviceStarted(std::u16string ip) = 0;
  virtual void UpdateDeviceEnded(DeviceRun run) = 0;
  virtual void UpdateFinished() = 0;
};

}  // namespace quilmarr
