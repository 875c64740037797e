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
#include "update/target_version.h"

namespace quilmarr {

enum class DeviceOutcome {
  Waiting,                  // not yet started
  Updating,                 // its updater runs
  Done,                     // the updater ended with status 0 (and the device is watched, if asked)
  Failed,                   // the updater ended with another status
  NotStarted,               // the updater could not be started for it
  Skipped,                  // not run because the batch was interrupted
  TimedOut,                 // the updater was ended by the time limit
  Verified,                 // heard with an application version other than before its run
  Unchanged,                // heard within the window, but only with the old version (or none)
  NotBack,                  // not heard at all within the window
  OtherDevice,              // heard after its run with another system or IED name, or chassis ID
  PackageChanged,           // not started: the package changed during the batch
  Interrupted,              // its updater ran when the batch was ended from outside: unknown
  PackageChangedDuringRun,  // its updater ended well, but the package changed meanwhile
  UpdaterChanged,           // not started: the updater program changed during the batch
  JournalNotWritten,        // not started: the batch's journal could not be written
  AlreadyAtTarget,          // not run: it already runs the target version
  NewerThanTarget,          // not run: it runs a newer version than the target
  UnexpectedVersion,  // back after its run with a version that is neither the old nor the target
  FailureLimit,       // not started: the batch's failure limit was reached
  PastFinishTime,     // not started: it would not have ended by the finish time
};
inline constexpr DeviceOutcome kLastDeviceOutcome = DeviceOutcome::PastFinishTime;

struct DeviceResult {
  std::u16string ip;
  DeviceOutcome outcome = DeviceOutcome::Waiting;
  // The version it should run; empty: none, any new version verifies it.
  std::u16string targetVersion;
  // As last heard.
  std::u16string systemName;
  std::u16string iedName;
  std::u16string bootVersion;
  std::u16string appVersionBefore;  // heard just before its run
  std::u16string appVersionAfter;
  std::u16string systemNameBefore;  // heard just before its run
  std::u16string iedNameBefore;
  std::string chassisIdBefore;  // empty when none was heard
  std::optional<UnixSeconds> start;
  std::optional<UnixSeconds> end;
  std::optional<int> exitStatus;
  std::int64_t verifyUntil = 0;  // steady seconds; while Done and this lies ahead: watched
  bool heardSinceRun = false;
};

// What the batch was asked to do.
struct BatchInfo {
  UnixSeconds start = 0;
  std::u16string packagePath;
  std::u16string adapterIp;
  std::chrono::seconds verifyFor{0};  // zero: no verification
  // Who flashed what, for the report: the package's and the updater's
  // SHA-256 (lowercase hex; empty when unreadable), the account, the computer
  // and this program's version.
  std::string packageSha256;
  std::string updaterSha256;
  std::u16string operatorName;
  std::u16string computerName;
  std::u16string toolVersion;
};

// A version as announced, without trailing blanks and zero bytes, which some
// devices pad their System Description with.
[[nodiscard]] std::u16string_view TrimmedVersion(std::u16string_view version) noexcept;

// "Done", "Failed (exit 3)", "Verified 2.0.0", ...; empty while waiting.
[[nodiscard]] std::u16string OutcomeText(const DeviceResult& result);

// The outcome an ended run gives (Done, Failed with its exit status, Not
// started, Timed out), before any verification.
void TakeRunEnd(DeviceResult& result, const ProcessRun& process);

// The updater runs that ended, and their seconds in all: what estimates of
// the runs still to come go by.
struct EndedRuns {
  long long count = 0;
  long long seconds = 0;
};
[[nodiscard]] EndedRuns CountEndedRuns(const std::vector<DeviceResult>& results) noexcept;

// An updater was started for it: the device may have changed.
[[nodiscard]] inline bool DeviceChanged(const DeviceResult& result) noexcept {
  return result.start.has_value();
}

// Verified, already at its target, or Done when the batch verifies nothing:
// what a batch is for.
[[nodiscard]] bool DeviceSucceeded(const DeviceResult& result,
                                   std::chrono::seconds verifyFor) noexcept;

class BatchOutcomes {
 public:
  // One result per target, in update order, with the names last heard.
  BatchOutcomes(BatchInfo info, const std::vector<std::u16string>& targets,
                const DeviceTable& table);
  // A batch that is over, with these results (one ended from outside, as its
  // journal left it).
  BatchOutcomes(BatchInfo info, std::vector<DeviceResult> results);

  // The device at `index` should run `version`; one not to run gets its outcome now.
  void LeaveAsTargetSays(std::size_t index, const std::u16string& version, TargetAction action);
  void DeviceStarted(const std::u16string& ip, const DeviceTable& table);
  // A device that already announces another version when its updater ends
  // well is verified at once.
  // `steadyNow`: Clock::SteadySeconds, which the verification window runs on.
  void DeviceEnded(const DeviceRun& run, const DeviceTable& table, std::int64_t steadyNow);
  // After a frame of the device was merged into the table.
  void DeviceHeard(const DeviceRecord& record);
  // The worker has finished: the devices never started get `notRun` (Skipped
  // when interrupted, why the batch stopped, or NotStarted).
  void BatchEnded(DeviceOutcome notRun);
  // The batch ends without waiting for its updater (the session is ending):
  // the device it runs is "Interrupted", the rest "Skipped", nothing watched.
  void EndedFromOutside();
  // Ends the verification windows that have run out by `steadyNow`.
  void Tick(std::int64_t steadyNow, const DeviceTable& table);
  // Nothing more can be heard (the capture ended): watched devices stay Done.
  void StopWatching();

  [[nodiscard]] bool Watching() const noexcept;
  // The batch and every verification are over.
  [[nodiscard]] bool Over() const noexcept { return batchEnded_ && !Watching(); }
  // While watched, a device stays listed whether or not it is heard.
  [[nodiscard]] bool IsWatched(std::u16string_view ip) const noexcept;
  // Every device succeeded (DeviceSucceeded).
  [[nodiscard]] bool AllSucceeded() const noexcept;
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
