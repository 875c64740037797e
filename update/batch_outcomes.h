#pragma once
// How each device of a batch went: the end of its updater run and, after a
// run that ended well, whether the device came back with a new application
// version within a verification window.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "inventory/device_table.h"
#include "platform/clock.h"
#include "update/device_run.h"

namespace quilmarr {

enum class DeviceOutcome {
  Waiting,     // not yet started
  Updating,    // its updater runs
  Done,        // the updater ended with status 0 (and the device is watched, if asked)
  Failed,      // the updater ended with another status
  NotStarted,  // the updater could not be started for it
  Skipped,     // not run because the batch was interrupted
  TimedOut,    // the updater was ended by the time limit
  Verified,    // heard with an application version other than before its run
  Unchanged,   // heard within the window, but only with the old version
  NotBack,     // not heard at all within the window
};

struct DeviceResult {
  std::u16string ip;
  DeviceOutcome outcome = DeviceOutcome::Waiting;
  // As last heard.
  std::u16string systemName;
  std::u16string iedName;
  std::u16string bootVersion;
  std::u16string appVersionBefore;  // heard just before its run
  std::u16string appVersionAfter;
  std::optional<UnixSeconds> start;
  std::optional<UnixSeconds> end;
  std::optional<int> exitStatus;
  UnixSeconds verifyUntil = 0;  // while the outcome is Done and this lies ahead: watched
  bool heardSinceRun = false;
};

// What the batch was asked to do.
struct BatchInfo {
  UnixSeconds start = 0;
  std::u16string packagePath;
  std::u16string adapterIp;
  std::chrono::seconds verifyFor{0};  // zero: no verification
};

// "Done", "Failed (exit 3)", "Verified 2.0.0", ...; empty while waiting.
[[nodiscard]] std::u16string OutcomeText(const DeviceResult& result);

// Verified, or Done when the batch verifies nothing: what a batch is for.
[[nodiscard]] bool DeviceSucceeded(const DeviceResult& result,
                                   std::chrono::seconds verifyFor) noexcept;

class BatchOutcomes {
 public:
  // One result per target, in update order, with the names last heard.
  BatchOutcomes(BatchInfo info, const std::vector<std::u16string>& targets,
                const DeviceTable& table);

  void DeviceStarted(const std::u16string& ip, const DeviceTable& table);
  // A device that already announces another version when its updater ends
  // well is verified at once.
  void DeviceEnded(const DeviceRun& run, const DeviceTable& table);
  // After a frame of the device was merged into the table.
  void DeviceHeard(const DeviceRecord& record);
  // The worker has finished: devices never started were skipped (interrupted)
  // or could not be started.
  void BatchEnded(bool interrupted);
  // Ends the verification windows that have run out by `now`.
  void Tick(UnixSeconds now, const DeviceTable& table);
  // Nothing more can be heard (the capture ended): watched devices stay Done.
  void StopWatching();

  [[nodiscard]] bool Watching() const noexcept;
  // The batch and every verification are over.
  [[nodiscard]] bool Over() const noexcept { return batchEnded_ && !Watching(); }
  // While watched, a device stays listed whether or not it is heard.
  [[nodiscard]] bool IsWatched(std::u16string_view ip) const noexcept;
  // Its outcome will not change any more.
  [[nodiscard]] bool IsFinal(const DeviceResult& result) const noexcept;
  [[nodiscard]] const DeviceResult* Find(std::u16string_view ip) const noexcept;
  [[nodiscard]] const std::vector<DeviceResult>& Results() const noexcept { return results_; }
  [[nodiscard]] const BatchInfo& Info() const noexcept { return info_; }

 private:
  DeviceResult* FindMutable(std::u16string_view ip) noexcept;

  BatchInfo info_;
  std::vector<DeviceResult> results_;
  bool batchEnded_ = false;
};

}  // namespace quilmarr
