#include "session/batch_session.h"

#include <algorithm>
#include <exception>
#include <utility>
#include <variant>

#include "discovery/ipv4_subnet.h"
#include "platform/atomic_file.h"
#include "platform/identity.h"
#include "platform/sha256.h"
#include "platform/text.h"
#include "quilmarr_version.h"
#include "session/address_conflict.h"
#include "session/batch_checks.h"
#include "session/batch_sleep.h"
#include "session/off_subnet.h"
#include "update/batch_report.h"

namespace quilmarr {
namespace {

constexpr char kUnknownException[] = "Unknown exception";

// How long the session keeps handling messages for a worker to end: a capture
// worker asked to stop ends within one read time-out plus one frame; this
// leaves room for a slow frame handler.
constexpr std::chrono::milliseconds kWorkerEndWait{3000};

std::u16string ExceptionText(const std::exception& error) {
  const char* text = error.what();
  return WidenCounted(
      std::string_view((text == nullptr || *text == '\0') ? kUnknownException : text));
}

// Whether a write could succeed, without writing: the folder is known and
// exists, and the file, if there is one, is not read-only.
bool LooksWritable(const SettingsFile& settings) {
  const std::u16string path = settings.FilePath();
  std::error_code error;
  if (path.empty() || !std::filesystem::is_directory(settings.Folder(), error)) return false;
  return !IsReadOnlyFile(std::filesystem::path(path));
}

// The updater runs still to come (the running one included) times the
// average of those that ended: runs of one package take about as long on
// every device, while the verification after them overlaps the next runs.
std::optional<std::chrono::seconds> TimeLeft(const std::vector<DeviceResult>& results) {
  const EndedRuns ended = CountEndedRuns(results);
  if (ended.count == 0) return std::nullopt;
  const auto toCome = std::count_if(results.begin(), results.end(), [](const DeviceResult& r) {
    return !(r.start && r.end) &&
           (r.outcome == DeviceOutcome::Waiting || r.outcome == DeviceOutcome::Updating);
  });
  return std::chrono::seconds((ended.seconds * toCome + ended.count / 2) / ended.count);
}

}  // namespace

BatchSession::BatchSession(SessionServices services, SessionHost& host)
    : services_(std::move(services)), host_(host) {
  capture_.sink = &sink_;
  capture_.stopRequested = true;
  capture_.running = false;
}

BatchSession::~BatchSession() {
  try {
    Shutdown();
  } catch (...) {
    captureThread_.RequestStop();
  }
  updateThread_.Join();  // a running updater is never ended by a close
  ReleaseBatch();
}

void BatchSession::Start(bool writes) {
  RecoverEarlierBatch(!writes);
  LoadAdapters();
}

void BatchSession::RecoverEarlierBatch(bool dryRun) {
  // Said once: a front end may ask again before each batch, and a journal
  // that still cannot be applied is then refused with its own text.
  const std::optional<std::u16string> said = RecoverInterruptedBatch(services_.settings, dryRun);
  if (said && *said != lastRecoveryText_) ShowError(*said);
  if (said) lastRecoveryText_ = *said;
}

void BatchSession::LoadAdapters() {
  try {
    adapters_ = EnumerateAdapters(services_.interfaces);
  } catch (const std::exception& error) {
    adapters_.reset();
    ShowError(ExceptionText(error));
  }
}

const AdapterInfo* BatchSession::AdapterAt(int index) const noexcept {
  if (index < 0 || !adapters_ || static_cast<std::size_t>(index) >= adapters_->size()) {
    return nullptr;
  }
  return (*adapters_)[static_cast<std::size_t>(index)].get();
}

const AdapterInfo* BatchSession::FindAdapter(std::u16string_view ip) const {
  return adapters_ ? FindAdapterByIp(*adapters_, ip) : nullptr;
}

int BatchSession::SavedAdapterIndex() const {
  if (!adapters_) return -1;
  const std::u16string savedIp = services_.settings.ReadString(
      settings::kSectionQuilmarr, settings::kKeyAdapterIp, kPathValueCapacity);
  int selected = -1;
  for (std::size_t i = 0; i < adapters_->size(); ++i) {
    if (EqualsNoCase(savedIp, (*adapters_)[i]->ipAddress)) selected = static_cast<int>(i);
  }
  return selected;
}

bool BatchSession::WaitForCaptureEnd() {
  // A worker that has reported its end may still be returning; it sends
  // nothing more, so waiting for it cannot hold up this thread for long.
  return !captureThread_.IsAlive() ||
         host_.PumpUntil([this] { return !captureThread_.IsAlive(); }, kWorkerEndWait);
}

bool BatchSession::StartCapture(const AdapterInfo& adapter) {
  if (captureActive_) return false;
  std::u16string deviceName = adapter.deviceName;
  if (!WaitForCaptureEnd()) return false;

  capture_.running = true;
  capture_.adapterName = std::move(deviceName);
  captureIp_ = adapter.ipAddress;
  capture_.stopRequested = false;
  try {
    captureThread_.Start(capture_, services_.openPacketSource());
  } catch (const std::exception& error) {
    capture_.running = false;
    capture_.stopRequested = true;
    ShowError(ExceptionText(error));
    return false;
  }
  captureActive_ = true;
  updatingIp_.clear();
  WriteReport();  // the last batch's outcomes give way to this query
  outcomes_.reset();
  ClearDeviceTable(devices_);
  return true;
}

void BatchSession::RequestCaptureStop() { captureThread_.RequestStop(); }

bool BatchSession::BatchAlive() const noexcept {
  return batchActive_ || (job_ && job_->running) || updateThread_.IsAlive();
}

std::u16string ConfirmationText(const BatchPlan& plan) {
  const auto count = static_cast<std::size_t>(
      std::count(plan.actions.begin(), plan.actions.end(), TargetAction::Update));
  const auto atTarget = static_cast<std::size_t>(
      std::count(plan.actions.begin(), plan.actions.end(), TargetAction::AlreadyAt));
  const std::u16string offSubnet = OffSubnetSentence(plan.offSubnet, plan.adapterSubnet);
  return u"Update " + FromUtf8(std::to_string(count)) + (count == 1 ? u" device" : u" devices") +
         u" with " + std::filesystem::path(plan.request.packagePath).filename().u16string() + u"?" +
         (atTarget == 0
              ? u""
              : u" " + FromUtf8(std::to_string(atTarget)) +
                    (atTarget == 1 ? u" ticked device already runs its target and is"
                                   : u" ticked devices already run their target and are") +
                    u" left out.") +
         (offSubnet.empty() ? u"" : u"\n\n" + offSubnet) + u"\n\nPackage SHA-256: " +
         FromUtf8(plan.packageSha256);
}

namespace {

std::u16string ActionText(TargetAction action, const std::u16string& target) {
  switch (action) {
    case TargetAction::AlreadyAt: return u"already at " + target;
    case TargetAction::NewerThan: return u"newer than " + target;
    case TargetAction::Update: break;
  }
  return u"would update";
}

}  // namespace

std::optional<std::u16string> BatchSession::RefusalBeforeTargets(const BatchRequest& request) {
  SettingsFile& settingsFile = services_.settings;
  if (const auto refusal = RequestRefusal(settingsFile, request.packagePath, request.targets,
                                          request.overrides, request.expectedPackageSha256)) {
    return refusal;
  }
  if (lock_.Held()) {
    // This session's last batch: its [UDP] must be back before another starts.
    if (udpPending_ && !request.dryRun && !PutBackOwnUdp()) {
      return KeptJournalText(services_.settings);
    }
    return std::nullopt;
  }
  if (!request.dryRun) RecoverEarlierBatch(false);
  return EarlierBatchRefusal(settingsFile, request.dryRun);
}

std::optional<BatchPlan> BatchSession::PlanBatch(const BatchRequest& request) {
  // The job must not be replaced while a worker still reads it.
  if (BatchAlive()) return std::nullopt;
  const auto refuse = [this](std::u16string text) {
    ShowError(text);
    return std::nullopt;
  };
  if (auto refusal = RefusalBeforeTargets(request)) return refuse(std::move(*refusal));
  BatchPlan plan;
  plan.request = request;
  if (roster_ && plan.request.targetVersions.empty()) {
    // The ticked devices on the roster are held to their targets.
    for (std::size_t row = 0; row < plan.request.targets.size(); ++row) {
      const RosterRow* listed = roster_->Find(plan.request.targets[row]);
      if (listed != nullptr && !listed->update) {
        return refuse(RowRefusal(row, listed->ip, u"is marked not to be updated on the roster"));
      }
      plan.request.targetVersions.push_back(listed ? listed->targetVersion : u"");
    }
  }
  plan.options = std::get<BatchOptions>(ReadBatchOptions(services_.settings, request.overrides));

  // A broadcast, multicast or loopback address, or the adapter's own, as the
  // updater's target would reach no device, or many.
  const UnixSeconds now = services_.clock.Now();
  const AdapterInfo* adapter = FindAdapter(request.adapterIp);
  const auto subnet = adapter ? AdapterSubnet(adapter->ipAddress, adapter->netmask) : std::nullopt;
  for (std::size_t row = 0; row < request.targets.size(); ++row) {
    const TargetPlace place = PlaceUpdateTarget(request.targets[row], subnet);
    if (place == TargetPlace::NotOneDevice ||
        (adapter != nullptr && EqualsNoCase(request.targets[row], adapter->ipAddress))) {
      return refuse(RowRefusal(row, request.targets[row], u"is not the address of one device"));
    }
    const auto conflict = AddressConflictRefusal(devices_, row, request.targets[row], now);
    if (conflict) return refuse(*conflict);
    if (place == TargetPlace::OffSubnet) plan.offSubnet.push_back(request.targets[row]);
  }
  if (subnet) plan.adapterSubnet = FromUtf8(SubnetText(*subnet));
  PlanActions(plan);

  // The updater reads its target from the same file: one that cannot be
  // written will not hold the addresses either.
  const SettingsFile& settingsFile = services_.settings;
  if (!LooksWritable(settingsFile)) return refuse(SettingsNotWrittenText(settingsFile));

  const std::optional<std::string> package = FileSha256(std::filesystem::path(request.packagePath));
  if (!package) return refuse(u"The package file cannot be read: " + request.packagePath);
  if (auto wrong = WrongPackageRefusal(request.expectedPackageSha256, *package)) {
    return refuse(std::move(*wrong));
  }
  plan.packageSha256 = *package;
  plan.updaterPath = UpdaterProgramPath(settingsFile.ReadString(
      settings::kSectionPendravel, settings::kKeyExePath, kPathValueCapacity));
  const std::optional<std::string> updater = FileSha256(std::filesystem::path(plan.updaterPath));
  if (!updater) return refuse(u"The updater cannot be read: " + plan.updaterPath);
  plan.updaterSha256 = *updater;
  return plan;
}

// What each target's version says to do, and the runs beyond maxRuns left
// for a later run (and out of this batch).
void BatchSession::PlanActions(BatchPlan& plan) const {
  BatchRequest& request = plan.request;
  std::vector<std::u16string> targets;
  std::vector<std::u16string> versions;
  std::size_t runs = 0;
  for (std::size_t i = 0; i < request.targets.size(); ++i) {
    const std::u16string& ip = request.targets[i];
    const std::u16string target =
        i < request.targetVersions.size() ? request.targetVersions[i] : std::u16string();
    const DeviceRecord* record = FindDevice(devices_, ip);
    const TargetAction action =
        target.empty() ? TargetAction::Update
                       : ActionForTarget(record ? record->currentAppVersion : u"", target,
                                         request.allowDowngrade, request.force);
    if (action == TargetAction::Update && request.maxRuns > 0 && runs == request.maxRuns) {
      plan.leftForLater.push_back(ip);
      continue;
    }
    if (action == TargetAction::Update) ++runs;
    targets.push_back(ip);
    versions.push_back(target);
    plan.actions.push_back(action);
  }
  request.targets = std::move(targets);
  request.targetVersions = std::move(versions);
}

bool BatchSession::StartBatch(const BatchRequest& request) {
  const std::optional<BatchPlan> plan = PlanBatch(request);
  return plan && StartBatch(*plan);
}

bool BatchSession::StartBatch(const BatchPlan& plan) {
  if (BatchAlive()) return false;
  const BatchRequest& request = plan.request;
  SettingsFile& settingsFile = services_.settings;
  WriteReport();  // the last batch's outcomes give way to this one's
  ReleaseBatch();
  if (udpPending_) {
    ShowError(KeptJournalText(services_.settings));
    return false;
  }
  const UnixSeconds now = services_.clock.Now();
  BatchInfo info{now,
                 request.packagePath,
                 request.adapterIp,
                 plan.options.verifyFor,
                 plan.packageSha256,
                 plan.updaterSha256,
                 OperatorName(),
                 ComputerName(),
                 kProductVersion};
  auto outcomes = std::make_unique<BatchOutcomes>(info, request.targets, devices_);
  std::vector<std::size_t> runIndex;
  std::vector<std::u16string> runTargets;
  for (std::size_t i = 0; i < request.targets.size(); ++i) {
    const TargetAction action = i < plan.actions.size() ? plan.actions[i] : TargetAction::Update;
    if (i < request.targetVersions.size()) {
      outcomes->LeaveAsTargetSays(i, request.targetVersions[i], action);
    }
    if (action != TargetAction::Update) continue;
    runIndex.push_back(i);
    runTargets.push_back(request.targets[i]);
  }
  if (runIndex.empty()) {
    // Every device already as its target says: a record, and nothing written or run.
    outcomes_ = std::move(outcomes);
    finishedTaken_.assign(request.targets.size(), false);
    reportPath_ =
        request.reportPath.empty() ? BatchReportPath(settingsFile, now) : request.reportPath;
    reportWritten_.reset();
    outcomes_->BatchEnded(DeviceOutcome::NotStarted);
    CountHeardFailures();
    WriteReport();
    return true;
  }
  // One batch per settings file, from before the first [UDP] write until
  // its report is written: another tool's batch could otherwise change
  // REMOTE_IP between this batch's write and its updater's read.
  if (!lock_.Held() && !lock_.TryLock(LockPath(settingsFile))) {
    ShowError(AnotherBatchText(settingsFile));
    return false;
  }
  std::error_code error;
  if (std::filesystem::exists(JournalPath(settingsFile), error)) {
    // An earlier batch's, not applied since the plan was made.
    lock_.Unlock();
    ShowError(
        EarlierBatchRefusal(settingsFile, false).value_or(KeptJournalText(services_.settings)));
    return false;
  }

  const bool reserved = request.reportPath.empty();
  const std::u16string reportPath =
      reserved ? BatchReportPath(settingsFile, now) : request.reportPath;
  const auto refuse = [&](std::u16string text) {
    if (reserved) std::filesystem::remove(std::filesystem::path(reportPath), error);
    std::filesystem::remove(JournalPath(settingsFile), error);
    lock_.Unlock();
    ShowError(text);
    return false;
  };
  {
    // Nothing is written to [UDP] before the journal that puts it back is on disk.
    const std::lock_guard lock(journalMutex_);
    journal_ = {
        TakeUdpSnapshot(settingsFile), false, info, reportPath, std::nullopt, outcomes->Results()};
    journalWriteFailed_ = false;
    if (!WriteJournal()) {
      return refuse(u"The batch journal could not be written: " +
                    JournalPath(settingsFile).u16string() + u". Nothing is updated.");
    }
  }
  if (!settingsFile.WriteString(settings::kSectionQuilmarr, settings::kKeyPckFile,
                                request.packagePath) ||
      !settingsFile.WriteString(settings::kSectionQuilmarr, settings::kKeyAdapterIp,
                                request.adapterIp)) {
    return refuse(SettingsNotWrittenText(settingsFile));
  }

  outcomes_ = std::move(outcomes);
  finishedTaken_.assign(request.targets.size(), false);
  reportPath_ = reportPath;
  reportWritten_.reset();
  updaterPath_ = plan.updaterPath;
  // Nobody rewrites the package while the batch may hand it to an updater.
  packageBlock_ = std::make_unique<WriteBlock>(std::filesystem::path(request.packagePath));

  runIndex_ = std::move(runIndex);
  maxFailures_ = plan.options.maxFailures;
  finishBy_ = request.finishBy;
  runFailures_ = 0;
  CountHeardFailures();
  job_ = std::make_unique<UpdateJob>(settingsFile, &sink_);
  job_->ReplaceTargets(runTargets);
  job_->packagePath = request.packagePath;
  job_->adapterIp = request.adapterIp;
  job_->interruptRequested = false;
  job_->updateTimeLimit = plan.options.updateTimeLimit;
  job_->beforeRun = [this](std::size_t index) { return BeforeRun(index); };
  job_->runStarted = [this](std::size_t index, const ProcessIdentity& updater) {
    RunStarted(index, updater);
  };
  job_->afterRun = [this](std::size_t index, DeviceRun& run) { AfterRun(index, run); };
  notRun_ = DeviceOutcome::NotStarted;
  batchActive_ = true;
  batchSince_ = services_.clock.SteadySeconds();
  try {
    updateThread_.Start(*job_, settingsFile, services_.launcher, services_.clock);
  } catch (const std::exception& failure) {
    ShowError(ExceptionText(failure));
    OnUpdateFinished();
    return false;
  }
  sleepHold_ = HoldSleepForBatch(services_.sleep, host_);
  return true;
}

void BatchSession::Interrupt() {
  if (job_ && BatchAlive()) job_->interruptRequested = true;
  if (!batchActive_ && outcomes_) {
    outcomes_->StopWatching();
    WriteReportIfOver();
  }
}

bool BatchSession::Close() {
  if (BatchAlive()) {
    Interrupt();
    ShowError(WidenCounted(std::string_view(kWaitUpdateInterrupt)));
    return false;
  }
  if (captureActive_ || captureThread_.IsAlive()) {
    captureThread_.RequestStop();
    // The worker may be blocked in a send to this thread: keep handling its
    // messages instead of sleeping.
    static_cast<void>(WaitForCaptureEnd());
  }
  WriteReport();
  ReleaseBatch();
  // The window's last chance to put [UDP] back; said again if it fails.
  if (udpPending_) {
    udpPending_ = false;
    static_cast<void>(PutBackOwnUdp());
    ForgetJournalIfDone();
  } else if (!lock_.Held()) {
    RecoverEarlierBatch(false);
  }
  return true;
}

void BatchSession::Shutdown() {
  StopWorkers();
  WriteReport();
}

void BatchSession::StopWorkers() {
  captureThread_.RequestStop();
  if (job_) job_->interruptRequested = true;
  if (captureThread_.IsAlive() || updateThread_.IsAlive()) {
    static_cast<void>(host_.PumpUntil(
        [this] { return !captureThread_.IsAlive() && !updateThread_.IsAlive(); }, kWorkerEndWait));
  }
}

void BatchSession::ReleaseBatch() {
  if (updateThread_.IsAlive()) return;
  updateThread_.Join();
  job_.reset();
  packageBlock_.reset();
  if (lock_.Held()) static_cast<void>(PutBackOwnUdp());
  ForgetJournalIfDone();
}

void BatchSession::EndNow() {
  StopWorkers();
  sleepHold_.reset();
  if (updateThread_.IsAlive() && job_) {
    // Its updater still runs and cannot be waited for: it is recorded as
    // interrupted, and [UDP] is put back without waiting for it.
    if (outcomes_) outcomes_->EndedFromOutside();
    static_cast<void>(PutBackOwnUdp());
    WriteReport();
    return;
  }
  WriteReport();
  ReleaseBatch();
}

void BatchSession::HandleMessage(const Message& message) {
  try {
    switch (message.id) {
      case WM_CAPTURE_PACKET: {
        const DeviceRecord* heard = ProcessCapturedFrame(message.frame, devices_, services_.clock);
        if (heard != nullptr && outcomes_) {
          outcomes_->DeviceHeard(*heard);
          CountHeardFailures();
        }
        break;
      }
      case WM_CAPTURE_STOPPED: OnCaptureEnded(); break;
      case WM_CAPTURE_OPEN_FAILED:
        ShowError(WidenCounted(std::string_view(kOpenAdapterFailedText)));
        OnCaptureEnded();
        break;
      case WM_CAPTURE_READ_FAILED:
        ShowError(WidenCounted(std::string_view(kCaptureReadFailedText)));
        OnCaptureEnded();
        break;
      case WM_UPDATE_ERROR: ShowError(message.text); break;
      case WM_UPDATE_DEVICE_STARTED:
        updatingIp_ = message.text;
        updatingSince_ = services_.clock.SteadySeconds();
        if (outcomes_) outcomes_->DeviceStarted(message.text, devices_);
        break;
      case WM_UPDATE_DEVICE_ENDED:
        if (outcomes_) {
          outcomes_->DeviceEnded(message.run, devices_, services_.clock.SteadySeconds());
          CountHeardFailures();
          if (!captureActive_) outcomes_->StopWatching();
        }
        break;
      case WM_UPDATE_FINISHED: OnUpdateFinished(); break;
      default: break;
    }
  } catch (const std::exception& error) {
    ShowError(ExceptionText(error));
  }
}

void BatchSession::OnCaptureEnded() {
  if (!captureActive_) return;
  captureActive_ = false;
  if (outcomes_) {
    // Nothing more can be heard: the devices still watched stay "Done".
    outcomes_->StopWatching();
    WriteReportIfOver();
  }
  host_.CaptureEnded();
}

void BatchSession::OnUpdateFinished() {
  if (!batchActive_) return;
  batchActive_ = false;
  if (outcomes_) {
    const DeviceOutcome why = notRun_.load();
    const bool interrupted = job_ && job_->interruptRequested.load();
    outcomes_->BatchEnded(why == DeviceOutcome::NotStarted && interrupted ? DeviceOutcome::Skipped
                                                                          : why);
  }
  // The worker has posted its last message and only returns now: [UDP] goes
  // back; the journal stays until the report is written.
  updateThread_.Join();
  ReleaseBatch();
  sleepHold_.reset();
  host_.BatchEnded();
  WriteReportIfOver();
}

void BatchSession::Tick() {
  if (!outcomes_) return;
  outcomes_->Tick(services_.clock.SteadySeconds(), devices_);
  CountHeardFailures();
  WriteReportIfOver();
}

void BatchSession::WriteReportIfOver() {
  if (outcomes_ && outcomes_->Over()) WriteReport();
}

void BatchSession::WriteReport() {
  if (!outcomes_ || reportWritten_) return;
  reportWritten_ = WriteBatchReport(reportPath_, *outcomes_);
  if (!*reportWritten_) ShowError(ReportNotWrittenText(reportPath_));
  if (udpPending_) {
    // Kept for a later put-back: a recovery then reports what is known now.
    const std::lock_guard lock(journalMutex_);
    journal_.devices = outcomes_->Results();
    static_cast<void>(WriteJournal());
  }
  ForgetJournalIfDone();
}

std::optional<std::vector<std::u16string>> BatchSession::HeardTargets(
    const std::vector<std::u16string>& ips) const {
  std::vector<std::u16string> targets;
  std::u16string unheard;
  for (const std::u16string& ip : ips) {
    if (const DeviceRecord* record = FindDevice(devices_, ip)) {
      targets.push_back(record->ipText);
    } else {
      unheard += (unheard.empty() ? u"" : u", ") + ip;
    }
  }
  if (ips.empty()) {
    // Only devices: something heard without an application version (a
    // switch, a PC) is no target for a firmware package.
    for (const auto& record : devices_) {
      if (!TrimmedVersion(record->currentAppVersion).empty()) targets.push_back(record->ipText);
    }
  }
  if (!unheard.empty()) {
    host_.ShowError(u"Not heard on " + captureIp_ + u" during the listen: " + unheard);
    return std::nullopt;
  }
  if (targets.empty()) {
    host_.ShowError(u"No device was heard on " + captureIp_ + u": nothing to update");
    return std::nullopt;
  }
  return targets;
}

std::vector<PlannedDevice> BatchSession::PlannedDevices(const BatchPlan& plan) const {
  std::vector<PlannedDevice> devices;
  const BatchRequest& request = plan.request;
  for (std::size_t i = 0; i < request.targets.size(); ++i) {
    const std::u16string& ip = request.targets[i];
    const std::u16string action =
        ActionText(i < plan.actions.size() ? plan.actions[i] : TargetAction::Update,
                   i < request.targetVersions.size() ? request.targetVersions[i] : u"");
    const DeviceRecord* record = FindDevice(devices_, ip);
    devices.push_back(record == nullptr
                          ? PlannedDevice{ip, {}, {}, {}, {}, action}
                          : PlannedDevice{ip, record->systemName, record->iedName,
                                          record->bootVersion, record->currentAppVersion, action});
  }
  return devices;
}

std::vector<DeviceResult> BatchSession::TakeFinishedDevices() {
  std::vector<DeviceResult> finished;
  if (!outcomes_) return finished;
  const auto& results = outcomes_->Results();
  for (std::size_t i = 0; i < results.size() && i < finishedTaken_.size(); ++i) {
    if (!finishedTaken_[i] && outcomes_->IsFinal(results[i])) {
      finishedTaken_[i] = true;
      finished.push_back(results[i]);
    }
  }
  return finished;
}

std::optional<BatchProgress> BatchSession::Progress() const {
  if (!outcomes_ || outcomes_->Over()) return std::nullopt;
  BatchProgress progress;
  const auto& results = outcomes_->Results();
  progress.total = results.size();
  const std::int64_t now = services_.clock.SteadySeconds();
  progress.elapsed = std::chrono::seconds(now - batchSince_);
  progress.left = TimeLeft(results);
  for (std::size_t i = 0; i < results.size(); ++i) {
    if (outcomes_->IsFinal(results[i])) ++progress.finished;
    if (outcomes_->IsWatched(results[i].ip)) ++progress.watched;
    if (results[i].outcome != DeviceOutcome::Waiting) ++progress.place;
    if (batchActive_ && results[i].outcome == DeviceOutcome::Updating) {
      progress.updatingIp = results[i].ip;
      progress.updatingNumber = i + 1;
      progress.updatingFor = std::chrono::seconds(now - updatingSince_);
    }
  }
  // Between two runs: the next one.
  if (progress.updatingNumber == 0 && progress.place < progress.total) ++progress.place;
  if (!batchActive_) progress.place = 0;
  return progress;
}

std::vector<DeviceRow> BatchSession::Rows(const std::vector<std::u16string>& ticked,
                                          bool batchJustEnded) const {
  const bool running = batchJustEnded || (job_ && job_->running.load());
  const std::u16string& updatingIp = batchJustEnded ? std::u16string() : updatingIp_;
  const UnixSeconds now = services_.clock.Now();
  std::vector<DeviceRow> rows;
  for (const auto& record : devices_) {
    if (!record) continue;
    const bool isTicked = std::any_of(ticked.begin(), ticked.end(), [&](const std::u16string& ip) {
      return EqualsNoCase(ip, record->ipText);
    });
    // A device of the last batch stays listed while it reboots and is
    // verified, and then with its outcome, until the next batch or query.
    const DeviceResult* result = outcomes_ ? outcomes_->Find(record->ipText) : nullptr;
    if (!(running && isTicked) && result == nullptr && !IsFresh(now, record->lastSeen)) continue;

    DeviceRow row{record.get(), isTicked, {}};
    if (running && EqualsNoCase(record->ipText, updatingIp)) {
      row.status = u"Updating";
    } else if (result != nullptr && result->outcome != DeviceOutcome::Waiting &&
               result->outcome != DeviceOutcome::Updating) {
      row.status = OutcomeText(*result);
    }
    if (row.status.empty() && HasAddressConflict(*record, now)) row.status = kAddressConflictStatus;
    if (row.status.empty()) row.status = RosterStatus(roster_.get(), *record, now);
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace quilmarr
