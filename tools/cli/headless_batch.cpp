#include "tools/cli/headless_batch.h"

#include <algorithm>

#include "platform/text.h"
#include "session/batch_journal.h"
#include "session/batch_checks.h"

namespace quilmarr::cli {
namespace {

using SteadyClock = std::chrono::steady_clock;

// How soon an interrupt is noticed while nothing else happens.
constexpr std::chrono::milliseconds kInterruptPoll{20};

}  // namespace

HeadlessBatch::HeadlessBatch(const FrontEndServices& services, BatchEvents& events,
                             const std::atomic<bool>& interrupt, std::chrono::milliseconds tick)
    : events_(events),
      interrupt_(interrupt),
      tick_(tick),
      session_(WithWindow(queue_, services), *this) {
  queue_.SetHandler([this](const Message& message) {
    session_.HandleMessage(message);
    NoticeInterrupt();
    ReportFinishedDevices();
    if (message.id == WM_UPDATE_DEVICE_STARTED) ReportProgress();
  });
  services.settings.ResolveFolder();
}

int HeadlessBatch::Run(const UpdateRequest& request) {
  // A batch killed earlier left [UDP] naming one of its devices: put back
  // before this batch takes [UDP] as the original. A dry run writes nothing,
  // so it only says that a real run would do so.
  session_.Start(!request.dryRun);
  std::optional<BatchRequest> batch = Check(request);
  if (!batch) return kNothingUpdated;
  std::optional<std::vector<std::u16string>> targets;
  if (Listen(request, *session_.FindAdapter(request.adapterIp))) {
    if (request.rosterPath.empty()) {
      targets = session_.HeardTargets(request.deviceIps);
    } else if (auto roster = session_.RosterTargets()) {
      if (roster->first.empty()) {
        events_.Say(u"No device on the roster is to be updated");
        static_cast<void>(session_.Close());
        return kBatchSucceeded;
      }
      targets = std::move(roster->first);
      batch->targetVersions = std::move(roster->second);
    }
  }
  if (targets) {
    batch->targets = std::move(*targets);
    if (!request.targetVersion.empty()) {
      batch->targetVersions.assign(batch->targets.size(), request.targetVersion);
    }
  }
  // The plan's digest is the one the batch holds the package to before each run.
  std::optional<BatchPlan> plan = targets ? session_.PlanBatch(*batch) : std::nullopt;
  if (plan && !plan->leftForLater.empty()) {
    events_.Say(u"Left for a later run (at most " + WidenCounted(std::to_string(request.maxRuns)) +
                u" updater runs this time): " + JoinedList(plan->leftForLater));
  }
  if (plan && request.dryRun) {
    events_.Planned(session_.PlannedDevices(*plan), *plan);
    static_cast<void>(session_.Close());
    return kBatchSucceeded;
  }
  if (!plan || !session_.StartBatch(*plan)) {
    static_cast<void>(session_.Close());
    return kNothingUpdated;
  }
  const std::size_t count = static_cast<std::size_t>(
      std::count(plan->actions.begin(), plan->actions.end(), TargetAction::Update));
  if (count == 0) return Finish();  // every device already as its target says
  std::vector<std::u16string> updating;
  for (std::size_t i = 0; i < plan->actions.size(); ++i) {
    if (plan->actions[i] == TargetAction::Update) updating.push_back(plan->request.targets[i]);
  }
  events_.Say(u"Updating " + WidenCounted(std::to_string(count)) +
              (count == 1 ? u" device: " : u" devices, one after another: ") +
              JoinedList(updating));
  return Finish();
}

std::optional<BatchRequest> HeadlessBatch::Check(const UpdateRequest& request) {
  BatchRequest batch;
  batch.packagePath = AbsolutePath(request.packagePath);
  batch.targets = request.deviceIps;
  batch.overrides = request.overrides;
  batch.reportPath =
      request.reportPath.empty() ? std::u16string() : AbsolutePath(request.reportPath);
  batch.expectedPackageSha256 = request.packageSha256;
  batch.dryRun = request.dryRun;
  batch.allowDowngrade = request.allowDowngrade;
  batch.force = request.force;
  batch.maxRuns = request.maxRuns;
  batch.finishBy = request.finishBy;
  if (const auto refusal = session_.RefusalBeforeTargets(batch)) {
    events_.Say(*refusal);
    return std::nullopt;
  }
  if (!request.rosterPath.empty() && !session_.OpenRoster(request.rosterPath, false)) {
    return std::nullopt;
  }
  const AdapterInfo* adapter = session_.FindAdapter(request.adapterIp);
  if (adapter == nullptr) {
    if (session_.Adapters() != nullptr) {
      events_.Say(u"No capture adapter has the address " + request.adapterIp);
    }
    return std::nullopt;
  }
  batch.adapterIp = adapter->ipAddress;
  return batch;
}

bool HeadlessBatch::Listen(const UpdateRequest& request, const AdapterInfo& adapter) {
  if (!session_.StartCapture(adapter)) return false;
  listening_ = true;
  listenEnd_ = SteadyClock::now() + request.listenFor;
  ReportProgress();
  Pump([this] {
    return !session_.CaptureActive() || Interrupted() || SteadyClock::now() >= listenEnd_;
  });
  listening_ = false;
  if (Interrupted()) {
    events_.Say(u"Interrupted: nothing was updated");
    return false;
  }
  return session_.CaptureActive();
}

int HeadlessBatch::Finish() {
  Pump([this] { return !session_.BatchAlive() && session_.Outcomes()->Over(); });
  static_cast<void>(session_.Close());  // ends the capture, writes the report, restores [UDP]
  ReportFinishedDevices();

  const bool written = session_.ReportWritten().value_or(false);
  if (written) events_.Say(u"Report written to " + session_.ReportPath());
  // A [UDP] not put back was said, and its journal kept for the next run.
  return session_.Outcomes()->AllSucceeded() && !Interrupted() && written && !session_.UdpPending()
             ? kBatchSucceeded
             : kBatchFailed;
}

bool HeadlessBatch::PumpUntil(const std::function<bool()>& done,
                              std::chrono::milliseconds timeout) {
  return queue_.PumpUntil(done, timeout);
}

void HeadlessBatch::Pump(const std::function<bool()>& done) {
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
    queue_.HandleUntil(std::min(nextTick, now + kInterruptPoll));
  }
}

void HeadlessBatch::OnTick() {
  session_.Tick();
  if (session_.Outcomes() != nullptr) ReportFinishedDevices();
  ReportProgress();
}

void HeadlessBatch::NoticeInterrupt() {
  if (!Interrupted() || session_.Outcomes() == nullptr) return;
  const bool batchRunning = session_.BatchActive();
  session_.Interrupt();
  if (interruptNoticed_) return;
  interruptNoticed_ = true;
  events_.Say(batchRunning ? u"Interrupted: the running updater may finish; the devices not yet "
                             u"started are skipped"
                           : u"Interrupted: the devices not yet heard back are reported as "
                             u"\"Done\"");
  ReportFinishedDevices();
}

void HeadlessBatch::ReportFinishedDevices() {
  for (const DeviceResult& result : session_.TakeFinishedDevices()) {
    const BatchInfo& info = session_.Outcomes()->Info();
    events_.DeviceFinished(result, DeviceSucceeded(result, info.verifyFor), info);
  }
}

void HeadlessBatch::ReportProgress() {
  RunProgress progress;
  if (listening_) {
    progress.listening = true;
    progress.heard = session_.Devices().size();
    progress.listenLeft = std::chrono::ceil<std::chrono::seconds>(
        std::max(listenEnd_ - SteadyClock::now(), SteadyClock::duration::zero()));
  } else if (const auto batch = session_.Progress()) {
    progress.batch = *batch;
  } else {
    return;
  }
  events_.Progress(progress);
}

}  // namespace quilmarr::cli
