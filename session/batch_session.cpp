#include "session/batch_session.h"

#include <algorithm>
#include <exception>
#include <utility>
#include <variant>

#include "discovery/ipv4_text.h"
#include "platform/atomic_file.h"
#include "platform/identity.h"
#include "platform/sha256.h"
#include "platform/text.h"
#include "quilmarr_version.h"
#include "session/batch_sleep.h"
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

std::u16string AnotherBatchText(const SettingsFile& settings) {
  return u"Another batch is using the settings file " + settings.FilePath() +
         u": wait until it has ended.";
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
  long long ended = 0;
  long long total = 0;
  long long toCome = 0;
  for (const DeviceResult& result : results) {
    if (result.start && result.end) {
      ++ended;
      total += std::max<long long>(*result.end - *result.start, 0);
    } else if (result.outcome == DeviceOutcome::Waiting ||
               result.outcome == DeviceOutcome::Updating) {
      ++toCome;
    }
  }
  if (ended == 0) return std::nullopt;
  return std::chrono::seconds((total * toCome + ended / 2) / ended);
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
  const std::size_t count = plan.request.targets.size();
  return u"Update " + FromUtf8(std::to_string(count)) + (count == 1 ? u" device" : u" devices") +
         u" with " + std::filesystem::path(plan.request.packagePath).filename().u16string() +
         u"?\n\nPackage SHA-256: " + FromUtf8(plan.packageSha256);
}

std::optional<BatchPlan> BatchSession::PlanBatch(const BatchRequest& request) {
  // The job must not be replaced while a worker still reads it.
  if (BatchAlive()) return std::nullopt;
  const auto refuse = [this](std::u16string text) {
    ShowError(text);
    return std::nullopt;
  };
  BatchPlan plan{request, {}, {}, {}, {}};
  const auto options = ReadBatchOptions(services_.settings, request.overrides);
  if (const auto* error = std::get_if<std::u16string>(&options)) return refuse(*error);
  plan.options = std::get<BatchOptions>(options);

  // A broadcast, multicast or loopback address as the updater's target would
  // reach no device, or many.
  for (std::size_t row = 0; row < request.targets.size(); ++row) {
    if (!IsUnicastHostAddress(request.targets[row])) {
      return refuse(u"Row " + FromUtf8(std::to_string(row + 1)) + u", " + request.targets[row] +
                    u", is not the address of one device: nothing is updated");
    }
  }

  // The updater reads its target from the same file: one that cannot be
  // written will not hold the addresses either.
  const SettingsFile& settingsFile = services_.settings;
  if (!LooksWritable(settingsFile)) return refuse(SettingsNotWrittenText(settingsFile));
  FileLock probe;
  if (!lock_.Held() && !probe.TryLock(LockPath(settingsFile))) {
    return refuse(AnotherBatchText(settingsFile));
  }

  const std::optional<std::string> package = FileSha256(std::filesystem::path(request.packagePath));
  if (!package) return refuse(u"The package file cannot be read: " + request.packagePath);
  plan.packageSha256 = *package;
  const std::u16string exePath = settingsFile.ReadString(settings::kSectionPendravel,
                                                         settings::kKeyExePath, kPathValueCapacity);
  if (!exePath.empty()) {
    plan.updaterPath = UpdaterProgramPath(exePath);
    plan.updaterSha256 = FileSha256(std::filesystem::path(plan.updaterPath)).value_or("");
  }
  return plan;
}

bool BatchSession::StartBatch(const BatchRequest& request) {
  const std::optional<BatchPlan> plan = PlanBatch(request);
  return plan && StartBatch(*plan);
}

bool BatchSession::StartBatch(const BatchPlan& plan) {
  if (BatchAlive()) return false;
  const BatchRequest& request = plan.request;
  SettingsFile& settingsFile = services_.settings;
  ReleaseBatch();
  // One batch per settings file, from before the first [UDP] write until
  // [UDP] is put back: another tool's batch could otherwise change
  // REMOTE_IP between this batch's write and its updater's read.
  if (!lock_.TryLock(LockPath(settingsFile))) {
    ShowError(AnotherBatchText(settingsFile));
    return false;
  }
  if (!settingsFile.WriteString(settings::kSectionQuilmarr, settings::kKeyPckFile,
                                request.packagePath) ||
      !settingsFile.WriteString(settings::kSectionQuilmarr, settings::kKeyAdapterIp,
                                request.adapterIp)) {
    lock_.Unlock();
    ShowError(SettingsNotWrittenText(settingsFile));
    return false;
  }

  WriteReport();  // the last batch's outcomes give way to this one's
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
  outcomes_ = std::make_unique<BatchOutcomes>(info, request.targets, devices_);
  finishedTaken_.assign(request.targets.size(), false);
  reportPath_ =
      request.reportPath.empty() ? BatchReportPath(settingsFile, now) : request.reportPath;
  reportWritten_.reset();
  {
    const std::lock_guard lock(journalMutex_);
    journal_ = {ReadUdpKey(settingsFile, settings::kKeyRemoteIp),
                ReadUdpKey(settingsFile, settings::kKeyHostIp), info, outcomes_->Results()};
    WriteJournal();
  }

  // The job's snapshot holds [UDP] as the batch found it; freeing the job
  // puts it back.
  job_ = std::make_unique<UpdateJob>(settingsFile, &sink_);
  job_->ReplaceTargets(request.targets);
  job_->packagePath = request.packagePath;
  job_->adapterIp = request.adapterIp;
  job_->interruptRequested = false;
  job_->updateTimeLimit = plan.options.updateTimeLimit;
  job_->beforeRun = [this](std::size_t index) { return BeforeRun(index); };
  job_->afterRun = [this](std::size_t index, const DeviceRun& run) { AfterRun(index, run); };
  packageChanged_ = false;
  batchActive_ = true;
  batchSince_ = std::chrono::steady_clock::now();
  try {
    updateThread_.Start(*job_, settingsFile, services_.launcher, services_.clock);
  } catch (const std::exception& error) {
    ShowError(ExceptionText(error));
    OnUpdateFinished();
    return false;
  }
  sleepHold_ = HoldSleepForBatch(services_.sleep, host_);
  return true;
}

// On the worker's thread, before each updater run: the package must still be
// the one the batch was started with (a share or a stick rewritten meanwhile
// would otherwise flash something nobody checked), and the journal says which
// device runs before it does.
std::optional<std::u16string> BatchSession::BeforeRun(std::size_t index) {
  const std::lock_guard lock(journalMutex_);
  const BatchInfo& info = journal_.info;
  if (FileSha256(std::filesystem::path(info.packagePath)).value_or("") != info.packageSha256) {
    packageChanged_ = true;
    return u"The package file changed during the batch: " + info.packagePath +
           u". The devices not yet updated are not started.";
  }
  if (index < journal_.devices.size()) {
    journal_.devices[index].outcome = DeviceOutcome::Updating;
    WriteJournal();
  }
  return std::nullopt;
}

void BatchSession::AfterRun(std::size_t index, const DeviceRun& run) {
  const std::lock_guard lock(journalMutex_);
  if (index >= journal_.devices.size()) return;
  DeviceResult& device = journal_.devices[index];
  device.start = run.start;
  device.end = run.end;
  TakeRunEnd(device, run.process);
  WriteJournal();
}

void BatchSession::WriteJournal() {
  static_cast<void>(ReplaceFileAtomically(JournalPath(services_.settings), JournalText(journal_)));
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
  job_.reset();  // [UDP] back as the batch found it
  if (lock_.Held()) ForgetJournal();
}

void BatchSession::ForgetJournal() {
  std::error_code ignored;
  std::filesystem::remove(JournalPath(services_.settings), ignored);
  lock_.Unlock();
}

void BatchSession::EndNow() {
  StopWorkers();
  sleepHold_.reset();
  if (updateThread_.IsAlive() && job_) {
    // Its updater still runs and cannot be waited for: it is recorded as
    // interrupted, and [UDP] is put back without waiting for it.
    if (outcomes_) outcomes_->EndedFromOutside();
    job_->udpSnapshot.Restore();
    WriteReport();
    ForgetJournal();
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
        if (heard != nullptr && outcomes_) outcomes_->DeviceHeard(*heard);
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
        updatingSince_ = std::chrono::steady_clock::now();
        if (outcomes_) outcomes_->DeviceStarted(message.text, devices_);
        break;
      case WM_UPDATE_DEVICE_ENDED:
        if (outcomes_) {
          outcomes_->DeviceEnded(message.run, devices_, services_.clock.SteadySeconds());
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
    outcomes_->BatchEnded(job_ && job_->interruptRequested.load(), packageChanged_.load());
  }
  // The worker has posted its last message and only returns now: [UDP] goes
  // back, the journal goes, and the settings file is free for another batch.
  updateThread_.Join();
  ReleaseBatch();
  sleepHold_.reset();
  host_.BatchEnded();
  WriteReportIfOver();
}

void BatchSession::Tick() {
  if (!outcomes_) return;
  outcomes_->Tick(services_.clock.SteadySeconds(), devices_);
  WriteReportIfOver();
}

void BatchSession::WriteReportIfOver() {
  if (outcomes_ && outcomes_->Over()) WriteReport();
}

void BatchSession::WriteReport() {
  if (!outcomes_ || reportWritten_) return;
  reportWritten_ = WriteBatchReport(reportPath_, *outcomes_);
  if (!*reportWritten_) ShowError(ReportNotWrittenText(reportPath_));
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
  for (const std::u16string& ip : plan.request.targets) {
    const DeviceRecord* record = FindDevice(devices_, ip);
    devices.push_back(record == nullptr
                          ? PlannedDevice{ip, {}, {}, {}, {}}
                          : PlannedDevice{ip, record->systemName, record->iedName,
                                          record->bootVersion, record->currentAppVersion});
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
  progress.elapsed =
      std::chrono::floor<std::chrono::seconds>(std::chrono::steady_clock::now() - batchSince_);
  progress.left = TimeLeft(results);
  for (std::size_t i = 0; i < results.size(); ++i) {
    if (outcomes_->IsFinal(results[i])) ++progress.finished;
    if (outcomes_->IsWatched(results[i].ip)) ++progress.watched;
    if (batchActive_ && results[i].outcome == DeviceOutcome::Updating) {
      progress.updatingIp = results[i].ip;
      progress.updatingNumber = i + 1;
      progress.updatingFor = std::chrono::floor<std::chrono::seconds>(
          std::chrono::steady_clock::now() - updatingSince_);
    }
  }
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
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace quilmarr
