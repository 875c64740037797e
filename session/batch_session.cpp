#include "session/batch_session.h"

#include <algorithm>
#include <exception>
#include <utility>
#include <variant>

#include "platform/text.h"
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
  return WidenCounted(std::string_view((text == nullptr || *text == '\0') ? kUnknownException : text));
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

bool BatchSession::StartBatch(const BatchRequest& request) {
  // The job must not be replaced while a worker still reads it.
  if (BatchAlive()) return false;

  const auto options = ReadBatchOptions(services_.settings, request.overrides);
  if (const auto* error = std::get_if<std::u16string>(&options)) {
    ShowError(*error);
    return false;
  }
  const BatchOptions& chosen = std::get<BatchOptions>(options);

  // The updater reads its target from the same file: one that cannot be
  // written here will not hold the addresses either.
  SettingsFile& settingsFile = services_.settings;
  if (!settingsFile.WriteString(settings::kSectionQuilmarr, settings::kKeyPckFile,
                                request.packagePath) ||
      !settingsFile.WriteString(settings::kSectionQuilmarr, settings::kKeyAdapterIp,
                                request.adapterIp)) {
    ShowError(SettingsNotWrittenText(settingsFile));
    return false;
  }

  WriteReport();  // the last batch's outcomes give way to this one's
  ReleaseBatch();
  const UnixSeconds now = services_.clock.Now();
  outcomes_ = std::make_unique<BatchOutcomes>(
      BatchInfo{now, request.packagePath, request.adapterIp, chosen.verifyFor}, request.targets,
      devices_);
  reportPath_ = request.reportPath.empty() ? BatchReportPath(settingsFile, now)
                                           : request.reportPath;
  reportWritten_.reset();

  // The job's snapshot holds [UDP] as the batch found it; freeing the job
  // puts it back.
  job_ = std::make_unique<UpdateJob>(settingsFile, &sink_);
  job_->ReplaceTargets(request.targets);
  job_->packagePath = request.packagePath;
  job_->adapterIp = request.adapterIp;
  job_->interruptRequested = false;
  job_->updateTimeLimit = chosen.updateTimeLimit;
  batchActive_ = true;
  try {
    updateThread_.Start(*job_, settingsFile, services_.launcher, services_.clock);
  } catch (const std::exception& error) {
    ShowError(ExceptionText(error));
    OnUpdateFinished();
    return false;
  }
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
  return true;
}

void BatchSession::Shutdown() {
  captureThread_.RequestStop();
  if (job_) job_->interruptRequested = true;
  if (captureThread_.IsAlive() || updateThread_.IsAlive()) {
    static_cast<void>(host_.PumpUntil(
        [this] { return !captureThread_.IsAlive() && !updateThread_.IsAlive(); },
        kWorkerEndWait));
  }
  WriteReport();
}

void BatchSession::ReleaseBatch() {
  if (updateThread_.IsAlive()) return;
  updateThread_.Join();
  job_.reset();
}

void BatchSession::HandleMessage(const Message& message) {
  try {
    switch (message.id) {
      case WM_CAPTURE_PACKET: {
        const DeviceRecord* heard =
            ProcessCapturedFrame(message.frame, devices_, services_.clock);
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
          outcomes_->DeviceEnded(message.run, devices_);
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
  if (outcomes_) outcomes_->BatchEnded(job_ && job_->interruptRequested.load());
  host_.BatchEnded();
  WriteReportIfOver();
}

void BatchSession::Tick() {
  if (!outcomes_) return;
  outcomes_->Tick(services_.clock.Now(), devices_);
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
    for (const auto& record : devices_) targets.push_back(record->ipText);
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

std::optional<BatchProgress> BatchSession::Progress() const {
  if (!outcomes_ || outcomes_->Over()) return std::nullopt;
  BatchProgress progress;
  const auto& results = outcomes_->Results();
  progress.total = results.size();
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
