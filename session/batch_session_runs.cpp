// A batch session on its update worker's thread, around each updater run,
// and the journal that records them.
#include <filesystem>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/local_time.h"
#include "platform/sha256.h"
#include "platform/text.h"
#include "session/batch_session.h"

namespace quilmarr {
namespace {

// The mean of the updater runs that ended; none before one has.
std::optional<std::chrono::seconds> AverageRun(const std::vector<DeviceResult>& results) {
  const EndedRuns ended = CountEndedRuns(results);
  if (ended.count == 0) return std::nullopt;
  return std::chrono::seconds((ended.seconds + ended.count / 2) / ended.count);
}

}  // namespace

// On the worker's thread, before each updater run: the package and the
// updater must still be the ones the batch was started with (a share or a
// stick rewritten meanwhile would otherwise flash something nobody checked),
// and the journal says which device runs before it does.
std::optional<std::u16string> BatchSession::BeforeRun(std::size_t index) {
  const std::lock_guard lock(journalMutex_);
  const BatchInfo& info = journal_.info;
  const auto stop = [this](DeviceOutcome why, std::u16string text) {
    notRun_ = why;
    return text + u". The devices not yet updated are not started.";
  };
  if (journalWriteFailed_) {
    return stop(DeviceOutcome::JournalNotWritten, u"The batch journal could not be written: " +
                                                      JournalPath(services_.settings).u16string());
  }
  if (maxFailures_ > 0 && runFailures_ + heardFailures_.load() >= maxFailures_) {
    return stop(DeviceOutcome::FailureLimit,
                u"The failure limit of " + FromUtf8(std::to_string(maxFailures_)) +
                    (maxFailures_ == 1 ? u" device" : u" devices") + u" is reached");
  }
  if (finishBy_) {
    const std::optional<std::chrono::seconds> perRun = AverageRun(journal_.devices);
    if (perRun && services_.clock.Now() + perRun->count() > *finishBy_) {
      return stop(DeviceOutcome::PastFinishTime,
                  u"The runs so far say the next would not end before the finish time " +
                      FromUtf8(Iso8601LocalTime(*finishBy_)));
    }
  }
  if (FileSha256(std::filesystem::path(info.packagePath)).value_or("") != info.packageSha256) {
    return stop(DeviceOutcome::PackageChanged,
                u"The package file changed during the batch: " + info.packagePath);
  }
  if (FileSha256(std::filesystem::path(updaterPath_)).value_or("") != info.updaterSha256) {
    return stop(DeviceOutcome::UpdaterChanged,
                u"The updater changed during the batch: " + updaterPath_);
  }
  index = runIndex_.at(index);
  if (index < journal_.devices.size()) {
    journal_.devices[index].outcome = DeviceOutcome::Updating;
    if (!WriteJournal()) {
      return stop(DeviceOutcome::JournalNotWritten,
                  u"The batch journal could not be written: " +
                      JournalPath(services_.settings).u16string());
    }
  }
  return std::nullopt;
}

// Who runs is on disk before it is waited for: a batch killed now leaves an
// updater that the next start must wait for.
void BatchSession::RunStarted(std::size_t index, const ProcessIdentity& updater) {
  const std::lock_guard lock(journalMutex_);
  journal_.updater = updater;
  index = runIndex_.at(index);
  if (index < journal_.devices.size()) journal_.devices[index].start = services_.clock.Now();
  static_cast<void>(WriteJournal());
}

void BatchSession::AfterRun(std::size_t index, DeviceRun& run) {
  const std::lock_guard lock(journalMutex_);
  journal_.updater.reset();
  const BatchInfo& info = journal_.info;
  run.packageChangedDuringRun =
      run.process.end != ProcessRun::End::NotStarted &&
      FileSha256(std::filesystem::path(info.packagePath)).value_or("") != info.packageSha256;
  index = runIndex_.at(index);
  if (index < journal_.devices.size()) {
    DeviceResult& device = journal_.devices[index];
    device.start = run.start;
    device.end = run.end;
    TakeRunEnd(device, run.process);
    if (run.packageChangedDuringRun && device.outcome == DeviceOutcome::Done) {
      device.outcome = DeviceOutcome::PackageChangedDuringRun;
    }
    if (device.outcome != DeviceOutcome::Done) ++runFailures_;
  }
  static_cast<void>(WriteJournal());
}

bool BatchSession::WriteJournal() {
  if (ReplaceFileAtomically(JournalPath(services_.settings), JournalText(journal_))) return true;
  journalWriteFailed_ = true;  // no further updater starts without a record
  return false;
}

bool BatchSession::PutBackOwnUdp() {
  {
    const std::lock_guard lock(journalMutex_);
    if (journal_.udpPutBack) return true;
    if (PutBackUdp(services_.settings, journal_.udp)) {
      udpPending_ = false;
      journal_.udpPutBack = true;
      static_cast<void>(WriteJournal());
      return true;
    }
  }
  if (!udpPending_) ShowError(KeptJournalText(services_.settings));
  udpPending_ = true;
  return false;
}

// The journal goes, and the lock with it, once nothing of the batch is left
// to record: its worker has returned, [UDP] is back and its report written.
void BatchSession::ForgetJournalIfDone() {
  if (!lock_.Held() || job_ || updateThread_.IsAlive() || udpPending_) return;
  if (outcomes_ && !reportWritten_) return;
  std::error_code ignored;
  std::filesystem::remove(JournalPath(services_.settings), ignored);
  lock_.Unlock();
}

void BatchSession::CountHeardFailures() {
  std::size_t count = 0;
  if (outcomes_) {
    for (const DeviceResult& result : outcomes_->Results()) {
      switch (result.outcome) {
        case DeviceOutcome::NewerThanTarget:
        case DeviceOutcome::Unchanged:
        case DeviceOutcome::NotBack:
        case DeviceOutcome::OtherDevice:
        case DeviceOutcome::UnexpectedVersion: ++count; break;
        default: break;
      }
    }
  }
  heardFailures_ = count;
}

}  // namespace quilmarr
