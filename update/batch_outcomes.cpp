#include "update/batch_outcomes.h"

#include <algorithm>
#include <string>

#include "platform/text.h"

namespace quilmarr {
namespace {

void TakeNames(DeviceResult& result, const DeviceRecord& record) {
  result.systemName = record.systemName;
  result.iedName = record.iedName;
  result.bootVersion = record.bootVersion;
  result.appVersionAfter = record.currentAppVersion;
}

// What the device was just before its run, to tell its return from another's.
void TakeBefore(DeviceResult& result, const DeviceRecord& record) {
  TakeNames(result, record);
  result.appVersionBefore = record.currentAppVersion;
  result.systemNameBefore = record.systemName;
  result.iedNameBefore = record.iedName;
  result.chassisIdBefore = record.chassisId;
}

// A device that never sent a chassis ID before its run cannot be told apart by it.
bool IsOtherDevice(const DeviceResult& result, const DeviceRecord& record) noexcept {
  return record.systemName != result.systemNameBefore || record.iedName != result.iedNameBefore ||
         (!result.chassisIdBefore.empty() && record.chassisId != result.chassisIdBefore);
}

bool UnderWatch(const DeviceResult& result) noexcept {
  return result.outcome == DeviceOutcome::Done && result.verifyUntil != 0;
}

// Verified only when the device that answers is the one updated (two devices
// on one factory-default address would otherwise verify each other) and it
// announces a real new version: one it pads differently, or none at all while
// it boots, is heard but not new.
void Hear(DeviceResult& result, const DeviceRecord& record) {
  TakeNames(result, record);
  if (!UnderWatch(result)) return;
  result.heardSinceRun = true;
  if (IsOtherDevice(result, record)) {
    result.outcome = DeviceOutcome::OtherDevice;
    result.verifyUntil = 0;
    return;
  }
  const std::u16string_view version = TrimmedVersion(record.currentAppVersion);
  const std::u16string_view target = TrimmedVersion(result.targetVersion);
  // With a target, only that version verifies it (a forced run included);
  // another new one is a wrong package or a device that refused it.
  if (!target.empty() && version == target) {
    result.outcome = DeviceOutcome::Verified;
  } else if (!version.empty() && version != TrimmedVersion(result.appVersionBefore)) {
    result.outcome = target.empty() ? DeviceOutcome::Verified : DeviceOutcome::UnexpectedVersion;
  } else {
    return;
  }
  result.verifyUntil = 0;
}

}  // namespace

std::u16string OutcomeText(const DeviceResult& result) {
  switch (result.outcome) {
    case DeviceOutcome::Waiting: return {};
    case DeviceOutcome::Updating: return u"Updating";
    case DeviceOutcome::Done: return u"Done";
    case DeviceOutcome::Failed:
      return u"Failed (exit " + FromUtf8(std::to_string(result.exitStatus.value_or(-1))) + u")";
    case DeviceOutcome::NotStarted: return u"Not started";
    case DeviceOutcome::Skipped: return u"Skipped";
    case DeviceOutcome::TimedOut: return u"Timed out";
    case DeviceOutcome::Verified:
      return u"Verified " + std::u16string(TrimmedVersion(result.appVersionAfter));
    case DeviceOutcome::Unchanged: return u"Unchanged";
    case DeviceOutcome::NotBack: return u"Not back";
    case DeviceOutcome::OtherDevice: return u"Other device at address";
    case DeviceOutcome::PackageChanged: return u"Not started: package changed";
    case DeviceOutcome::Interrupted: return u"Interrupted";
    case DeviceOutcome::PackageChangedDuringRun: return u"Done: package changed during its run";
    case DeviceOutcome::UpdaterChanged: return u"Not started: updater changed";
    case DeviceOutcome::JournalNotWritten: return u"Not started: journal not written";
    case DeviceOutcome::AlreadyAtTarget: return u"Already at " + result.targetVersion;
    case DeviceOutcome::NewerThanTarget: return u"Not started: newer than " + result.targetVersion;
    case DeviceOutcome::UnexpectedVersion:
      return u"Unexpected version " + std::u16string(TrimmedVersion(result.appVersionAfter));
    case DeviceOutcome::FailureLimit: return u"Not started: failure limit reached";
    case DeviceOutcome::PastFinishTime: return u"Not started: past the finish time";
  }
  return {};
}

std::u16string_view TrimmedVersion(std::u16string_view version) noexcept {
  // Blanks, tabs, line ends and zero bytes: padding, never a version's own.
  while (!version.empty() && (version.back() == u'\0' || version.back() == u' ' ||
                              (version.back() >= u'\t' && version.back() <= u'\r'))) {
    version.remove_suffix(1);
  }
  return version;
}

void TakeRunEnd(DeviceResult& result, const ProcessRun& process) {
  switch (process.end) {
    case ProcessRun::End::NotStarted: result.outcome = DeviceOutcome::NotStarted; break;
    case ProcessRun::End::TimedOut: result.outcome = DeviceOutcome::TimedOut; break;
    case ProcessRun::End::Exited:
      result.exitStatus = process.exitStatus;
      result.outcome = process.exitStatus == 0 ? DeviceOutcome::Done : DeviceOutcome::Failed;
      break;
  }
}

EndedRuns CountEndedRuns(const std::vector<DeviceResult>& results) noexcept {
  EndedRuns runs;
  for (const DeviceResult& result : results) {
    if (!result.start || !result.end) continue;
    ++runs.count;
    runs.seconds += std::max<long long>(*result.end - *result.start, 0);
  }
  return runs;
}

bool DeviceSucceeded(const DeviceResult& result, std::chrono::seconds verifyFor) noexcept {
  return result.outcome == DeviceOutcome::Verified ||
         result.outcome == DeviceOutcome::AlreadyAtTarget ||
         (result.outcome == DeviceOutcome::Done && verifyFor.count() == 0);
}

BatchOutcomes::BatchOutcomes(BatchInfo info, const std::vector<std::u16string>& targets,
                             const DeviceTable& table)
    : info_(std::move(info)) {
  results_.reserve(targets.size());
  for (const std::u16string& ip : targets) {
    DeviceResult result;
    result.ip = ip;
    if (const DeviceRecord* record = FindDevice(table, ip)) TakeBefore(result, *record);
    results_.push_back(std::move(result));
  }
}

BatchOutcomes::BatchOutcomes(BatchInfo info, std::vector<DeviceResult> results)
    : info_(std::move(info)), results_(std::move(results)), batchEnded_(true) {}

DeviceResult* BatchOutcomes::FindMutable(std::u16string_view ip) noexcept {
  const auto found = std::find_if(results_.begin(), results_.end(),
                                  [&](const DeviceResult& r) { return EqualsNoCase(r.ip, ip); });
  return found == results_.end() ? nullptr : &*found;
}

const DeviceResult* BatchOutcomes::Find(std::u16string_view ip) const noexcept {
  return const_cast<BatchOutcomes*>(this)->FindMutable(ip);
}

void BatchOutcomes::LeaveAsTargetSays(std::size_t index, const std::u16string& version,
                                      TargetAction action) {
  if (index >= results_.size()) return;
  DeviceResult& result = results_[index];
  result.targetVersion = version;
  if (action == TargetAction::AlreadyAt) result.outcome = DeviceOutcome::AlreadyAtTarget;
  if (action == TargetAction::NewerThan) result.outcome = DeviceOutcome::NewerThanTarget;
}

void BatchOutcomes::DeviceStarted(const std::u16string& ip, const DeviceTable& table) {
  DeviceResult* result = FindMutable(ip);
  if (result == nullptr) return;
  result->outcome = DeviceOutcome::Updating;
  if (const DeviceRecord* record = FindDevice(table, ip)) TakeBefore(*result, *record);
}

void BatchOutcomes::DeviceEnded(const DeviceRun& run, const DeviceTable& table,
                                std::int64_t steadyNow) {
  DeviceResult* result = FindMutable(run.ip);
  if (result == nullptr) return;
  TakeRunEnd(*result, run.process);
  if (run.process.end == ProcessRun::End::NotStarted) return;
  if (run.packageChangedDuringRun && result->outcome == DeviceOutcome::Done) {
    result->outcome = DeviceOutcome::PackageChangedDuringRun;
  }
  if (result->outcome == DeviceOutcome::Done && info_.verifyFor.count() > 0) {
    result->verifyUntil = steadyNow + info_.verifyFor.count();
  }
  result->start = run.start;
  result->end = run.end;
  if (const DeviceRecord* record = FindDevice(table, run.ip);
      record != nullptr && record->currentAppVersion != result->appVersionBefore) {
    Hear(*result, *record);  // it came back with the new version before its updater ended
  }
}

void BatchOutcomes::DeviceHeard(const DeviceRecord& record) {
  if (DeviceResult* result = FindMutable(record.ipText)) Hear(*result, record);
}

void BatchOutcomes::BatchEnded(DeviceOutcome notRun) {
  batchEnded_ = true;
  for (DeviceResult& result : results_) {
    if (result.outcome == DeviceOutcome::Waiting || result.outcome == DeviceOutcome::Updating) {
      result.outcome = notRun;
    }
  }
}

void BatchOutcomes::EndedFromOutside() {
  for (DeviceResult& result : results_) {
    if (result.outcome == DeviceOutcome::Updating) result.outcome = DeviceOutcome::Interrupted;
  }
  BatchEnded(DeviceOutcome::Skipped);
  StopWatching();
}

void BatchOutcomes::Tick(std::int64_t steadyNow, const DeviceTable& table) {
  for (DeviceResult& result : results_) {
    if (!UnderWatch(result)) continue;
    // A frame merged before the run's end was reported is seen here.
    const DeviceRecord* record = FindDevice(table, result.ip);
    if (record != nullptr && result.end && record->lastSeen > *result.end) Hear(result, *record);
    if (UnderWatch(result) && steadyNow >= result.verifyUntil) {
      result.outcome = result.heardSinceRun ? DeviceOutcome::Unchanged : DeviceOutcome::NotBack;
      result.verifyUntil = 0;
    }
  }
}

void BatchOutcomes::StopWatching() {
  for (DeviceResult& result : results_) result.verifyUntil = 0;
}

bool BatchOutcomes::Watching() const noexcept {
  return std::any_of(results_.begin(), results_.end(),
                     [](const DeviceResult& r) { return UnderWatch(r); });
}

bool BatchOutcomes::IsWatched(std::u16string_view ip) const noexcept {
  const DeviceResult* result = Find(ip);
  return result != nullptr && UnderWatch(*result);
}

bool BatchOutcomes::AllSucceeded() const noexcept {
  return std::all_of(results_.begin(), results_.end(),
                     [this](const DeviceResult& r) { return DeviceSucceeded(r, info_.verifyFor); });
}

bool BatchOutcomes::IsFinal(const DeviceResult& result) const noexcept {
  return result.outcome != DeviceOutcome::Waiting && result.outcome != DeviceOutcome::Updating &&
         !UnderWatch(result);
}

}  // namespace quilmarr
