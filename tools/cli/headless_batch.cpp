#include "tools/cli/headless_batch.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>
#include <utility>
#include <variant>

#include "platform/text.h"
#include "update/batch_report.h"

namespace quilmarr::cli {
namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

// How soon an interrupt is noticed while nothing else happens.
constexpr std::chrono::milliseconds kInterruptPoll{20};

std::u16string Joined(const std::vector<std::u16string>& texts) {
  std::u16string joined;
  for (const std::u16string& text : texts) {
    if (!joined.empty()) joined += u", ";
    joined += text;
  }
  return joined;
}

std::optional<std::u16string> FirstRepeated(const std::vector<std::u16string>& ips) {
  for (std::size_t i = 0; i < ips.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (EqualsNoCase(ips[i], ips[j])) return ips[i];
    }
  }
  return std::nullopt;
}

bool IsFile(const std::u16string& path) {
  std::error_code error;
  return !path.empty() && fs::is_regular_file(fs::path(path), error);
}

std::u16string Absolute(const std::u16string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(fs::path(path), error);
  return error ? path : absolute.u16string();
}

}  // namespace

bool DeviceSucceeded(const DeviceResult& result, std::chrono::seconds verifyFor) noexcept {
  return result.outcome == DeviceOutcome::Verified ||
         (result.outcome == DeviceOutcome::Done && verifyFor.count() == 0);
}

HeadlessBatch::HeadlessBatch(HeadlessServices services, BatchEvents& events,
                             const std::atomic<bool>& interrupt, std::chrono::milliseconds tick)
    : services_(std::move(services)),
      events_(events),
      interrupt_(interrupt),
      tick_(tick),
      loop_([this](const Message& message) { OnMessage(message); }) {
  capture_.sink = &sink_;
  services_.settings.ResolveFolder();
}

HeadlessBatch::~HeadlessBatch() {
  // Only after a failure inside Run can a worker still be alive here; the
  // capture worker may be blocked in a send, so keep handling its messages.
  try {
    if (job_) job_->interruptRequested = true;
    StopCapture();
  } catch (...) {
    captureThread_.RequestStop();
  }
}

int HeadlessBatch::Run(const BatchRequest& request) {
  const std::optional<Checked> checked = CheckBeforeListening(request);
  if (!checked) return kNothingUpdated;
  if (!Listen(request, *checked->adapter)) {
    StopCapture();
    return Interrupted() ? kBatchFailed : kNothingUpdated;
  }
  const auto targets = ChooseTargets(request);
  if (!targets || !StartBatch(request, *checked, *targets)) {
    StopCapture();
    return kNothingUpdated;
  }
  return FinishBatch();
}

std::optional<HeadlessBatch::Checked> HeadlessBatch::CheckBeforeListening(
    const BatchRequest& request) {
  const SettingsFile& settings = services_.settings;
  if (settings.FilePath().empty()) {
    events_.Say(SettingsNotWrittenText(settings));
    return std::nullopt;
  }
  if (const auto repeated = FirstRepeated(request.deviceIps)) {
    events_.Say(u"Device " + *repeated + u" is given more than once");
    return std::nullopt;
  }

  Checked checked;
  const auto options = ReadBatchOptions(settings, request.overrides);
  if (const auto* error = std::get_if<std::u16string>(&options)) {
    events_.Say(*error);
    return std::nullopt;
  }
  checked.options = std::get<BatchOptions>(options);

  if (!IsFile(request.packagePath)) {
    events_.Say(u"The package file does not exist: " + request.packagePath);
    return std::nullopt;
  }
  checked.packagePath = Absolute(request.packagePath);

  const std::u16string exePath =
      settings.ReadString(settings::kSectionPendravel, settings::kKeyExePath, kPathValueCapacity);
  if (exePath.empty()) {
    events_.Say(WidenCounted(kMissingUpdaterText) + u": [Pendravel] ExePath is empty in " +
                settings.FilePath());
    return std::nullopt;
  }
  if (!IsFile(UpdaterProgramPath(exePath))) {
    events_.Say(u"No updater at " + UpdaterProgramPath(exePath) + u" ([Pendravel] ExePath in " +
                settings.FilePath() + u")");
    return std::nullopt;
  }

  try {
    adapters_ = EnumerateAdapters(services_.interfaces);
  } catch (const std::exception& error) {
    events_.Say(WidenCounted(error.what()));
    return std::nullopt;
  }
  checked.adapter = adapters_ ? FindAdapterByIp(*adapters_, request.adapterIp) : nullptr;
  if (checked.adapter == nullptr) {
    events_.Say(u"No capture adapter has the address " + request.adapterIp);
    return std::nullopt;
  }
  return checked;
}

bool HeadlessBatch::Listen(const BatchRequest& request, const AdapterInfo& adapter) {
  capture_.running = true;
  capture_.adapterName = adapter.deviceName;
  capture_.stopRequested = false;
  try {
    captureThread_.Start(capture_, services_.openPacketSource());
  } catch (const std::exception& error) {
    capture_.running = false;
    capture_.stopRequested = true;
    events_.Say(WidenCounted(error.what()));
    return false;
  }
  captureActive_ = true;
  listening_ = true;
  listenEnd_ = SteadyClock::now() + request.listenFor;
  ReportProgress();
  PumpUntil(
      [this] { return !captureActive_ || Interrupted() || SteadyClock::now() >= listenEnd_; });
  listening_ = false;
  if (Interrupted()) {
    events_.Say(u"Interrupted: nothing was updated");
    return false;
  }
  return captureActive_;
}

std::optional<std::vector<std::u16string>> HeadlessBatch::ChooseTargets(
    const BatchRequest& request) {
  std::vector<std::u16string> targets;
  if (request.deviceIps.empty()) {
    for (const auto& record : devices_) {
      if (record) targets.push_back(record->ipText);
    }
    if (targets.empty()) {
      events_.Say(u"No device was heard on " + request.adapterIp + u": nothing to update");
      return std::nullopt;
    }
    return targets;
  }
  std::vector<std::u16string> unheard;
  for (const std::u16string& ip : request.deviceIps) {
    if (const DeviceRecord* record = FindDevice(devices_, ip)) {
      targets.push_back(record->ipText);
    } else {
      unheard.push_back(ip);
    }
  }
  if (!unheard.empty()) {
    events_.Say(u"Not heard on " + request.adapterIp + u" during the listen: " + Joined(unheard));
    return std::nullopt;
  }
  return targets;
}

bool HeadlessBatch::StartBatch(const BatchRequest& request, const Checked& checked,
                               const std::vector<std::u16string>& targets) {
  // As the Batch Update click after its checks; the updater reads its target
  // from the same file, so a file that cannot be written ends the batch here.
  const SettingsFile& settings = services_.settings;
  const std::u16string& adapterIp = checked.adapter->ipAddress;
  if (!settings.WriteString(settings::kSectionQuilmarr, settings::kKeyPckFile,
                            checked.packagePath) ||
      !settings.WriteString(settings::kSectionQuilmarr, settings::kKeyAdapterIp, adapterIp)) {
    events_.Say(SettingsNotWrittenText(settings));
    return false;
  }

  const UnixSeconds now = services_.clock.Now();
  outcomes_ = std::make_unique<BatchOutcomes>(
      BatchInfo{now, checked.packagePath, adapterIp, checked.options.verifyFor}, targets, devices_);
  reported_.assign(targets.size(), false);
  reportPath_ =
      request.reportPath.empty() ? BatchReportPath(settings, now) : Absolute(request.reportPath);

  // The job's snapshot is the one [UDP] snapshot: nothing writes [UDP] before
  // it is taken, and it is restored once the worker has ended.
  job_ = std::make_unique<UpdateJob>(services_.settings, &sink_);
  job_->ReplaceTargets(targets);
  job_->packagePath = checked.packagePath;
  job_->adapterIp = adapterIp;
  job_->interruptRequested = false;
  job_->updateTimeLimit = checked.options.updateTimeLimit;
  events_.Say(u"Updating " + WidenCounted(std::to_string(targets.size())) +
              (targets.size() == 1 ? u" device: " : u" devices, one after another: ") +
              Joined(targets));
  batchActive_ = true;
  try {
    updateThread_.Start(*job_, services_.settings, services_.launcher, services_.clock);
  } catch (const std::exception& error) {
    events_.Say(WidenCounted(error.what()));
    batchActive_ = false;
    outcomes_->BatchEnded(false);
  }
  return true;
}

int HeadlessBatch::FinishBatch() {
  PumpUntil([this] { return !batchActive_ && outcomes_->Over(); });
  StopCapture();
  updateThread_.Join();
  job_.reset();  // [UDP] back to the values it had before the batch
  ReportFinishedDevices();

  const auto& results = outcomes_->Results();
  const std::chrono::seconds verifyFor = outcomes_->Info().verifyFor;
  int status = std::all_of(results.begin(), results.end(),
                           [&](const DeviceResult& r) { return DeviceSucceeded(r, verifyFor); })
                   ? kBatchSucceeded
                   : kBatchFailed;
  if (Interrupted()) status = kBatchFailed;
  if (WriteBatchReport(reportPath_, *outcomes_)) {
    events_.Say(u"Report written to " + reportPath_);
  } else {
    events_.Say(ReportNotWrittenText(reportPath_));
    status = kBatchFailed;
  }
  return status;
}

template <typename Done>
void HeadlessBatch::PumpUntil(Done done) {
  auto nextTick = SteadyClock::now() + tick_;
  for (;;) {
    NoticeInterrupt();
    if (done()) return;
    const auto now = SteadyClock::now();
    if (now >= nextTick) {
      OnTick();
      nextTick = now + tick_;
      continue;
    }
    loop_.HandleUntil(std::min(nextTick, now + kInterruptPoll));
  }
}

void HeadlessBatch::OnMessage(const Message& message) {
  try {
    switch (message.id) {
      case WM_CAPTURE_PACKET: {
        const DeviceRecord* heard = ProcessCapturedFrame(message.frame, devices_, services_.clock);
        if (heard != nullptr && outcomes_) outcomes_->DeviceHeard(*heard);
        break;
      }
      case WM_CAPTURE_STOPPED: OnCaptureEnded(); break;
      case WM_CAPTURE_OPEN_FAILED:
        events_.Say(WidenCounted(kOpenAdapterFailedText));
        OnCaptureEnded();
        break;
      case WM_CAPTURE_READ_FAILED:
        events_.Say(WidenCounted(kCaptureReadFailedText));
        OnCaptureEnded();
        break;
      case WM_UPDATE_ERROR: events_.Say(message.text); break;
      case WM_UPDATE_DEVICE_STARTED:
        updatingIp_ = message.text;
        updatingSince_ = SteadyClock::now();
        if (outcomes_) outcomes_->DeviceStarted(message.text, devices_);
        ReportProgress();
        break;
      case WM_UPDATE_DEVICE_ENDED:
        if (EqualsNoCase(updatingIp_, message.run.ip)) updatingIp_.clear();
        if (outcomes_) {
          outcomes_->DeviceEnded(message.run, devices_);
          if (!captureActive_) outcomes_->StopWatching();
        }
        break;
      case WM_UPDATE_FINISHED:
        batchActive_ = false;
        updatingIp_.clear();
        if (outcomes_) {
          outcomes_->BatchEnded(job_ && job_->interruptRequested.load());
          if (Interrupted()) outcomes_->StopWatching();
        }
        break;
      default: break;
    }
    if (outcomes_) ReportFinishedDevices();
  } catch (const std::exception& error) {
    events_.Say(WidenCounted(error.what()));
  }
}

void HeadlessBatch::OnTick() {
  if (outcomes_) {
    outcomes_->Tick(services_.clock.Now(), devices_);
    ReportFinishedDevices();
  }
  ReportProgress();
}

void HeadlessBatch::OnCaptureEnded() {
  captureActive_ = false;
  // Nothing more can be heard: the devices still watched stay "Done".
  if (outcomes_) outcomes_->StopWatching();
}

void HeadlessBatch::NoticeInterrupt() {
  if (!Interrupted() || interruptNoticed_ || !outcomes_) return;
  interruptNoticed_ = true;
  if (batchActive_) {
    job_->interruptRequested = true;
    events_.Say(
        u"Interrupted: the running updater may finish; the devices not yet started are "
        u"skipped");
  } else {
    outcomes_->StopWatching();
    events_.Say(u"Interrupted: the devices not yet heard back are reported as \"Done\"");
  }
  ReportFinishedDevices();
}

void HeadlessBatch::ReportFinishedDevices() {
  const auto& results = outcomes_->Results();
  const std::chrono::seconds verifyFor = outcomes_->Info().verifyFor;
  for (std::size_t i = 0; i < results.size() && i < reported_.size(); ++i) {
    const DeviceResult& result = results[i];
    const bool final = result.outcome != DeviceOutcome::Waiting &&
                       result.outcome != DeviceOutcome::Updating &&
                       !outcomes_->IsWatched(result.ip);
    if (final && !reported_[i]) {
      reported_[i] = true;
      events_.DeviceFinished(result, DeviceSucceeded(result, verifyFor));
    }
  }
}

void HeadlessBatch::ReportProgress() {
  BatchProgress progress;
  const auto now = SteadyClock::now();
  if (listening_) {
    progress.listening = true;
    progress.heard = devices_.size();
    progress.listenLeft = std::chrono::ceil<std::chrono::seconds>(
        std::max(listenEnd_ - now, SteadyClock::duration::zero()));
  } else if (outcomes_ && !outcomes_->Over()) {
    progress.total = outcomes_->Results().size();
    progress.finished =
        static_cast<std::size_t>(std::count(reported_.begin(), reported_.end(), true));
    for (const DeviceResult& result : outcomes_->Results()) {
      if (outcomes_->IsWatched(result.ip)) ++progress.watched;
    }
    if (batchActive_ && !updatingIp_.empty()) {
      progress.updatingIp = updatingIp_;
      progress.updatingFor = std::chrono::floor<std::chrono::seconds>(now - updatingSince_);
    }
  } else {
    return;
  }
  events_.Progress(progress);
}

void HeadlessBatch::StopCapture() {
  // Also wakes a read blocked on a silent adapter (wpcap.dll under Wine).
  captureThread_.RequestStop();
  PumpUntil([this] { return !captureThread_.IsAlive(); });
  captureThread_.Join();
}

}  // namespace quilmarr::cli
